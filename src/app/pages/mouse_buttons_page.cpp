#include "app/pages/mouse_buttons_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <array>

#include "app/controls/skin_image.h"
#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "core/device/key_labels.h"
#include "core/macro/macro_file.h"
#include "platform/input_capture.h"

namespace vq::app {

namespace {

constexpr std::array<const char*, 5> kPageOptions = {
    "ms_deng_Op_tab", "ms_macro_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab", "ms_cursor_Op_tab"};

// The picture of each button, pointer outside and over the button.
constexpr std::array<const char*, kMouseButtons> kPictureStems = {
    "left", "wheel", "right", "forward", "back", "dpi", "dpi1", "dpishift"};

QString PictureImage(int button, bool over) {
    return QStringLiteral("file='ms/key_%1_%2.png'")
        .arg(QLatin1String(kPictureStems[static_cast<size_t>(button)]),
             over ? QStringLiteral("down") : QStringLiteral("normal"));
}

int SameItem(int item) {
    return item;
}

}  // namespace

MouseButtonsPage::MouseButtonsPage(CMainWnd& window, DeviceHub& hub)
    : PageBase(window, hub), panel_(window, "ms", kButtonFunctions, SameItem, SameItem) {}

MouseButtonsPage::~MouseButtonsPage() = default;

void MouseButtonsPage::Register() {
    // The labels go on the buttons when their page is built: a model that changes while the
    // page was never shown builds nothing (its pictures alone take megabytes).
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("ms_key_0"))) {
            FillMacroList();
            RefreshButtonLabels(hub_.Mouse().Model().ActiveLayer());
        }
    });
    NotifyRouter& router = Router();
    for (int n = 0; n < kMouseSlots; ++n)
        router.On("click", QStringLiteral("ms_profile_%1").arg(n), [this, n](const Notification&) {
            HideFunctionPanel();
            hub_.Mouse().SelectSlot(n);
        });
    // The key page shows its function panel first; any option taking the focus hides the
    // profile function panel; another page of the mouse ends a key capture.
    router.On("selectchanged", "ms_key_Op_tab", [this](const Notification& n) {
        auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
        auto* pages = Control<QStackedWidget>("ms_tab_switch");
        if (!button || !button->isChecked() || !pages) return;
        if (QWidget* panel = Control("ms_tab_function")) panel->show();
        pages->setCurrentIndex(2);
    });
    for (const char* option : kPageOptions) {
        router.On("setfocus", option, [this](const Notification&) {
            if (QWidget* panel = Control("ms_profile_fun_spead_tab")) panel->hide();
        });
        if (QLatin1String(option) != QLatin1String("ms_key_Op_tab"))
            router.On("selectchanged", option, [this](const Notification& n) {
                auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
                if (button && button->isChecked()) panel_.StopCapture();
            });
    }

    for (int b = 0; b < kMouseButtons; ++b) {
        const QString name = QStringLiteral("ms_key_%1").arg(b);
        router.On("selectchanged", name, [this, b](const Notification& n) {
            auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
            if (button && button->isChecked()) ShowButtonAssignment(b);
        });
        // The picture of the mouse lights the button the pointer is over.
        router.On("msenter", name, [this, b](const Notification&) {
            SetBkImage(Control(QStringLiteral("ms_key_%1_0").arg(b)), PictureImage(b, true));
        });
        router.On("msleave", name, [this, b](const Notification&) {
            SetBkImage(Control(QStringLiteral("ms_key_%1_0").arg(b)), PictureImage(b, false));
        });
    }

    router.On("itemselect", "ms_key_fct_combo",
              [this](const Notification& n) { SelectButtonFunctionKind(n.index); });
    panel_.Register(router, [this] { ApplyButtonPanel(); });
    router.On("click", "ms_key_butt_keysave", [this](const Notification&) { ApplyButtonPanel(); });
    router.On("click", "ms_key_butt_keydefalut",
              [this](const Notification&) { RestoreButtonDefault(); });
    // The scripts and the macros go first: the layer names macros by their place.
    router.On("click", "ms_key_butt_prosave",
              [this](const Notification&) { hub_.Mouse().SaveKeyPage(); });
}

// ---- labels -------------------------------------------------------------------------------------

void MouseButtonsPage::HideFunctionPanel() {
    panel_.StopCapture();
    // A page that was never built has nothing to hide.
    if (QWidget* panel = window_.BuiltControl("ms_tab_function")) panel->hide();
}

void MouseButtonsPage::ReloadMacroNames() {
    // Asked once; the labels, the panel's list and a panel that shows a macro follow the answer.
    macroNamesRead_ = true;
    ReadMacroNames(DeviceKind::Mouse, [this](std::vector<std::string> names) {
        const bool first = !macroNamesKnown_;
        macroNamesKnown_ = true;
        macroNames_ = std::move(names);
        FillMacroList();
        RefreshButtonLabels(hub_.Mouse().Model().ActiveLayer());
        QWidget* panel = window_.BuiltControl("ms_tab_function");
        if (first && button_ >= 0 && panel && panel->isVisible() && panel->isEnabled())
            panel_.Show(ShowButtonCode(current_, hub_.Mouse().Model().FactoryAssignment(button_),
                                       static_cast<int>(macroNames_.size()))
                            .panel);
    });
}

void MouseButtonsPage::FillMacroList() {
    panel_.FillMacroList(macroNames_);
}

void MouseButtonsPage::RefreshButtonLabels(int layer) {
    if (!window_.findChild<QWidget*>(QStringLiteral("ms_key_0"))) return;  // not built yet
    if (!macroNamesRead_) ReloadMacroNames();
    const MouseModel& model = hub_.Mouse().Model();
    for (int n = 0; n < kMouseButtons; ++n) {
        const KeyLabel label = MouseButtonLabel(model.ButtonAssignment(layer, n), macroNames_);
        QWidget* button = Control(QStringLiteral("ms_key_%1").arg(n));
        if (!button) continue;
        switch (label.kind) {
            case KeyLabel::Kind::Unchanged:
                break;
            case KeyLabel::Kind::TextId: {
                const QString id = QString::fromStdString(label.text);
                window_.Ui().SetTextId(button, id);
                button->setToolTip(window_.Ui().TextOrId(id));
                break;
            }
            case KeyLabel::Kind::MacroName: {
                const QString name = QString::fromStdString(label.text);
                button->setProperty("textId", QVariant());
                if (auto* b = qobject_cast<QAbstractButton*>(button))
                    b->setText(name);
                else if (auto* l = qobject_cast<QLabel*>(button))
                    l->setText(name);
                button->setToolTip(name);
                break;
            }
        }
    }
}

// ---- the function panel -------------------------------------------------------------------------

void MouseButtonsPage::ShowButtonAssignment(int button) {
    if (button < 0 || button >= kMouseButtons) return;
    if (!macroNamesRead_) ReloadMacroNames();
    button_ = button;
    const MouseModel& model = hub_.Mouse().Model();
    const int layer = model.ActiveLayer();
    current_ = model.ButtonAssignment(layer, button);
    QWidget* panel = Control("ms_tab_function");
    const std::optional<MouseKeyLayer> image = model.KeyLayer(layer);
    if (image && IsOnlyLeftClick(*image, button)) {
        // The only left click stays: nothing of this button can be edited.
        panel_.StopCapture();
        if (panel) panel->setEnabled(false);
        ShowMessage(&window_, {}, QStringLiteral("message_text_6"), true);
        return;
    }
    if (panel) {
        panel->setEnabled(true);
        if (!panel->isVisible()) panel->show();
    }
    const ButtonShow show = ShowButtonCode(current_, model.FactoryAssignment(button),
                                           static_cast<int>(macroNames_.size()));
    panel_.Show(show.panel);
    if (show.captureKey)
        panel_.StartCapture();
    else
        panel_.StopCapture();
}

void MouseButtonsPage::SelectButtonFunctionKind(int item) {
    panel_.SelectItem(item);
}

void MouseButtonsPage::ApplyButtonPanel() {
    if (button_ < 0) return;
    if (QWidget* panel = Control("ms_tab_function"); panel && !panel->isEnabled()) return;
    const std::optional<KeyAssignment> code =
        BuildButtonCode(panel_.Read(), hub_.Mouse().Model().FactoryAssignment(button_));
    if (!code) return;
    current_ = *code;
    hub_.Mouse().AssignButton(button_, *code);
}

void MouseButtonsPage::CaptureButtonKey(const InputEvent& event) {
    panel_.TakeKey(event);
}

void MouseButtonsPage::RestoreButtonDefault() {
    if (button_ < 0) return;
    hub_.Mouse().RestoreButtonDefault(button_);
    // The panel shows the factory function at once; the label follows the controller.
    const KeyAssignment factory = hub_.Mouse().Model().FactoryAssignment(button_);
    current_ = factory;
    const ButtonShow show = ShowButtonCode(factory, factory, static_cast<int>(macroNames_.size()));
    panel_.Show(show.panel);
    panel_.StopCapture();
}

}  // namespace vq::app
