#include "app/pages/keyboard_keys_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <array>

#include "app/controls/device_key_button.h"
#include "app/device_hub.h"
#include "app/pages/keyboard_light_page.h"
#include "core/device/key_labels.h"
#include "core/macro/macro_file.h"
#include "platform/input_capture.h"

namespace vq::app {

namespace {

// "kb_key_fct_combo" item → panel function.
constexpr std::array<ButtonFunction, 11> kItems = {
    ButtonFunction::Default,        ButtonFunction::Key,
    ButtonFunction::MouseButton,    ButtonFunction::HorizontalScroll,
    ButtonFunction::VerticalScroll, ButtonFunction::Dpi,
    ButtonFunction::Fire,           ButtonFunction::Media,
    ButtonFunction::System,         ButtonFunction::Macro,
    ButtonFunction::Shortcut,
};
bool Checked(QAbstractButton* b) {
    return b && b->isChecked();
}

}  // namespace

int KeyboardItemFunction(int item) {
    if (item < 0 || item >= static_cast<int>(kItems.size())) return -1;
    return static_cast<int>(kItems[static_cast<size_t>(item)]);
}

int FunctionKeyboardItem(int function) {
    for (size_t i = 0; i < kItems.size(); ++i)
        if (static_cast<int>(kItems[i]) == function) return static_cast<int>(i);
    return -1;
}

KeyboardKeysPage::KeyboardKeysPage(CMainWnd& window, DeviceHub& hub)
    : PageBase(window, hub),
      panel_(window, "kb", static_cast<int>(kItems.size()), KeyboardItemFunction,
             FunctionKeyboardItem) {}

KeyboardKeysPage::~KeyboardKeysPage() = default;

void KeyboardKeysPage::Register(KeyboardLightPage* light) {
    light_ = light;
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("kb_key_0"))) {
            FillMacroList();
            RefreshKeyLabels();
        }
    });
    NotifyRouter& router = Router();
    for (int b = 0; b < kKeyboardButtons; ++b)
        router.On("click", QStringLiteral("kb_key_%1").arg(b),
                  [this, b](const Notification&) { ClickKey(b); });
    // Another page: the capture of the key function ends.
    for (const char* option : {"kb_deng_Op_tab", "kb_macro_Op_tab"})
        router.On("selectchanged", option, [this](const Notification&) { panel_.StopCapture(); });
    router.On("itemselect", "kb_key_fct_combo",
              [this](const Notification& n) { SelectFunctionKind(n.index); });
    panel_.Register(router, [this] { ApplyPanel(); });
    router.On("click", "kb_key_butt_keydefalut",
              [this](const Notification&) { RestoreKeyDefault(); });
    // The macros go first: the key block names macros by their place in the library.
    router.On("click", "kb_key_butt_prosave",
              [this](const Notification&) { hub_.Keyboard().SaveKeyPage(); });
}

// ---- keys and labels ----------------------------------------------------------------------------

void KeyboardKeysPage::ShowKeys() {
    const KeyboardModel& model = hub_.Keyboard().Model();
    const KeyboardKeyLayer factory = model.FactoryBlock();
    BuildButtonKeyMap(factory, model.KeyCount(), map_);
    RefreshKeyLabels();
}

void KeyboardKeysPage::ReloadMacroNames() {
    // Asked once; the labels, the panel's list and a panel that shows a macro follow the answer.
    macroNamesRead_ = true;
    ReadMacroNames(DeviceKind::Keyboard, [this](std::vector<std::string> names) {
        const bool first = !macroNamesKnown_;
        macroNamesKnown_ = true;
        macroNames_ = std::move(names);
        FillMacroList();
        RefreshKeyLabels();
        QWidget* panel = window_.BuiltControl("kb_tab_function");
        if (first && key_ >= 0 && panel && panel->isVisible()) {
            const KeyboardModel& model = hub_.Keyboard().Model();
            panel_.Show(ShowButtonCode(model.KeyAt(model.ActiveLayer(), key_),
                                       model.FactoryAt(key_), static_cast<int>(macroNames_.size()))
                            .panel);
        }
    });
}

void KeyboardKeysPage::FillMacroList() {
    if (!macroNamesRead_) {
        // The answer fills the list.
        if (window_.BuiltControl("kb_key_fct_combo_23")) ReloadMacroNames();
        return;
    }
    panel_.FillMacroList(macroNames_);
}

void KeyboardKeysPage::RefreshKeyLabels() {
    if (!window_.BuiltControl("kb_key_0")) return;  // not built yet
    if (!macroNamesRead_) ReloadMacroNames();
    const KeyboardModel& model = hub_.Keyboard().Model();
    const int layer = model.ActiveLayer();
    const int keys = model.KeyCount();
    for (int k = 0; k < keys; ++k)
        SetKeyLabel(k, KeyboardKeyLabel(model.KeyAt(layer, k), macroNames_));
}

void KeyboardKeysPage::SetKeyLabel(int key, const KeyLabel& label) {
    if (label.kind == KeyLabel::Kind::Unchanged) return;
    const auto it = std::find(map_.begin(), map_.end(), static_cast<uint8_t>(key));
    if (it == map_.end()) return;
    const int b = static_cast<int>(it - map_.begin());
    auto* button = Control<CDeviceKeyButtonUI>(QStringLiteral("kb_key_%1").arg(b));
    if (!button) return;
    const KeyAssignment factory = hub_.Keyboard().Model().FactoryAt(key);
    QString defaultName = QStringLiteral("kb_key_%1").arg(b);
    if (const std::optional<size_t> row = FindKeyByParams(factory))
        defaultName = QString::fromLatin1(KeyTable()[*row].textId.data(),
                                          static_cast<qsizetype>(KeyTable()[*row].textId.size()));
    const QString text = QString::fromStdString(label.text);
    const SkinUi& ui = window_.Ui();
    if (label.kind == KeyLabel::Kind::MacroName ||
        text.compare(defaultName, Qt::CaseInsensitive) != 0) {
        const QString shown = label.kind == KeyLabel::Kind::MacroName ? text : ui.TextOrId(text);
        button->setToolTip(ui.TextOrId(defaultName) + ui.TextOrId(QStringLiteral("Key_Set")) +
                           shown);
        button->SetKeySetHidden(false);
    } else {
        button->setToolTip(ui.TextOrId(defaultName));
        button->SetKeySetHidden(true);
    }
}

// ---- the function panel -------------------------------------------------------------------------

void KeyboardKeysPage::HideFunctionPanel() {
    panel_.StopCapture();
    if (QWidget* panel = window_.BuiltControl("kb_tab_function")) panel->hide();
}

void KeyboardKeysPage::ClickKey(int button) {
    if (Checked(Control<QAbstractButton>("kb_deng_Op_tab"))) {
        if (light_) light_->PaintKey(button);
        return;
    }
    if (!Checked(Control<QAbstractButton>("kb_key_Op_tab"))) return;
    if (QWidget* panel = Control("kb_tab_function"); panel && !panel->isVisible()) {
        panel->setEnabled(true);
        panel->show();
    }
    ShowKeyAssignment(button);
}

void KeyboardKeysPage::ShowKeyAssignment(int button) {
    if (button < 0 || button >= kKeyboardButtons) return;
    const uint8_t key = map_[static_cast<size_t>(button)];
    if (key == kNoKey) return;
    if (!macroNamesRead_) ReloadMacroNames();
    key_ = key;
    const KeyboardModel& model = hub_.Keyboard().Model();
    const KeyAssignment code = model.KeyAt(model.ActiveLayer(), key);
    const ButtonShow show =
        ShowButtonCode(code, model.FactoryAt(key), static_cast<int>(macroNames_.size()));
    panel_.Show(show.panel);
    if (show.captureKey)
        panel_.StartCapture();
    else
        panel_.StopCapture();
}

void KeyboardKeysPage::SelectFunctionKind(int item) {
    panel_.SelectItem(item);
}

void KeyboardKeysPage::ApplyPanel() {
    if (key_ < 0) return;
    const KeyboardModel& model = hub_.Keyboard().Model();
    const std::optional<KeyAssignment> code = BuildButtonCode(panel_.Read(), model.FactoryAt(key_));
    if (!code) return;
    hub_.Keyboard().AssignKey(key_, *code);
}

void KeyboardKeysPage::CaptureKey(const InputEvent& event) {
    panel_.TakeKey(event);
}

void KeyboardKeysPage::RestoreKeyDefault() {
    if (key_ < 0) return;
    hub_.Keyboard().RestoreKeyDefault(key_);
    const KeyAssignment factory = hub_.Keyboard().Model().FactoryAt(key_);
    const ButtonShow show = ShowButtonCode(factory, factory, static_cast<int>(macroNames_.size()));
    panel_.Show(show.panel);
    panel_.StopCapture();
}

}  // namespace vq::app
