#include "app/pages/function_panel_view.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/main_window.h"
#include "platform/input_capture.h"

namespace vq::app {

namespace {

void SelectQuietly(QComboBox* combo, int index) {
    if (!combo) return;
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void SetTextQuietly(QLineEdit* edit, const QString& text) {
    if (!edit) return;
    const QSignalBlocker quiet(edit);
    edit->setText(text);
}

}  // namespace

FunctionPanelView::FunctionPanelView(CMainWnd& window, const char* prefix, int items,
                                     std::function<int(int)> itemFunction,
                                     std::function<int(int)> functionItem)
    : window_(window),
      prefix_(QString::fromLatin1(prefix)),
      items_(items),
      itemFunction_(std::move(itemFunction)),
      functionItem_(std::move(functionItem)) {}

FunctionPanelView::~FunctionPanelView() {
    StopCapture();
}

QString FunctionPanelView::Name(const char* stem) const {
    return prefix_ + QLatin1String(stem);
}

QString FunctionPanelView::ListName(int number) const {
    return Name("_key_fct_combo_%1").arg(number);
}

QString FunctionPanelView::FieldName(int number) const {
    return Name("_key_fct_edit_%1").arg(number);
}

void FunctionPanelView::Register(NotifyRouter& router, std::function<void()> changed) {
    changed_ = std::move(changed);
    for (int number : kPanelListNumbers)
        router.On("itemselect", ListName(number), [this, number](const Notification&) {
            if (number == kPanelListNumbers[static_cast<size_t>(PanelList::PlayMode)])
                ShowCountPane();
            changed_();
        });
    for (int i = 0; i < kPanelFields; ++i) {
        const auto field = static_cast<PanelField>(i);
        router.On("textchanged", FieldName(kPanelFieldNumbers[static_cast<size_t>(i)]),
                  [this, field](const Notification&) {
                      LimitField(field);
                      changed_();
                  });
    }
}

ButtonPanel FunctionPanelView::Read() const {
    ButtonPanel panel;
    auto* kinds = window_.Control<QComboBox>(Name("_key_fct_combo"));
    panel.function = itemFunction_(kinds ? kinds->currentIndex() : -1);
    for (int i = 0; i < kPanelLists; ++i) {
        auto* list =
            window_.Control<QComboBox>(ListName(kPanelListNumbers[static_cast<size_t>(i)]));
        panel.lists[static_cast<size_t>(i)] = list ? list->currentIndex() : -1;
    }
    for (int i = 0; i < kPanelFields; ++i) {
        auto* edit =
            window_.Control<QLineEdit>(FieldName(kPanelFieldNumbers[static_cast<size_t>(i)]));
        panel.fields[static_cast<size_t>(i)] = edit ? edit->text().toStdString() : std::string();
    }
    auto* keyField = window_.Control<QLineEdit>(FieldName(kKeyFieldNumber));
    panel.keyText = keyField && !keyField->text().isEmpty() ? keyTextId_ : std::string();
    panel.key = key_;
    return panel;
}

void FunctionPanelView::Show(const ButtonPanel& panel) {
    if (panel.function) {
        const int item = functionItem_(*panel.function);
        SelectQuietly(window_.Control<QComboBox>(Name("_key_fct_combo")), item);
        ShowPane(item);
    }
    for (int i = 0; i < kPanelLists; ++i)
        if (const std::optional<int>& v = panel.lists[static_cast<size_t>(i)])
            SelectQuietly(
                window_.Control<QComboBox>(ListName(kPanelListNumbers[static_cast<size_t>(i)])),
                *v);
    for (int i = 0; i < kPanelFields; ++i)
        if (const std::optional<std::string>& text = panel.fields[static_cast<size_t>(i)])
            SetTextQuietly(
                window_.Control<QLineEdit>(FieldName(kPanelFieldNumbers[static_cast<size_t>(i)])),
                QString::fromStdString(*text));
    if (panel.keyText) {
        keyTextId_ = *panel.keyText;
        key_ = panel.key;
        SetTextQuietly(window_.Control<QLineEdit>(FieldName(kKeyFieldNumber)),
                       keyTextId_.empty()
                           ? QString()
                           : window_.Ui().TextOrId(QString::fromStdString(keyTextId_)));
    }
    ShowCountPane();
}

void FunctionPanelView::SelectItem(int item) {
    StopCapture();
    ShowPane(item);
    if (itemFunction_(item) == static_cast<int>(ButtonFunction::Key)) StartCapture();
    if (changed_) changed_();
}

void FunctionPanelView::ShowPane(int item) {
    for (int i = 0; i < items_; ++i)
        if (QWidget* pane = window_.Control(Name("_tab_function_%1").arg(i)))
            pane->setVisible(i == item);
}

void FunctionPanelView::ShowCountPane() {
    auto* mode = window_.Control<QComboBox>(
        ListName(kPanelListNumbers[static_cast<size_t>(PanelList::PlayMode)]));
    if (QWidget* pane = window_.Control(Name("_tab_function_%1").arg(kCountPane)))
        pane->setVisible(mode && mode->currentIndex() == kCountedPlayMode);
}

void FunctionPanelView::LimitField(PanelField field) {
    auto* edit =
        window_.Control<QLineEdit>(FieldName(kPanelFieldNumbers[static_cast<size_t>(field)]));
    if (!edit) return;
    const std::optional<std::string> corrected = LimitPanelField(field, edit->text().toStdString());
    if (!corrected) return;
    SetTextQuietly(edit, QString::fromStdString(*corrected));
    edit->setCursorPosition(static_cast<int>(edit->text().size()));
}

void FunctionPanelView::FillMacroList(const std::vector<std::string>& names) {
    auto* list = window_.BuiltControl<QComboBox>(
        ListName(kPanelListNumbers[static_cast<size_t>(PanelList::Macro)]));
    if (!list) return;
    const QSignalBlocker quiet(list);
    const int selected = list->currentIndex();
    list->clear();
    for (const std::string& name : names)
        list->addItem(QString::fromStdString(name));
    list->setCurrentIndex(selected < list->count() ? selected : -1);
}

void FunctionPanelView::TakeKey(const InputEvent& event) {
    if (!capturing_ || event.kind != InputEventKind::KeyDown) return;
    const std::optional<KeyDefinition> row = SingleKeyFor(event);
    if (!row) return;
    keyTextId_ = std::string(row->textId);
    key_ = row->Code();
    SetTextQuietly(window_.Control<QLineEdit>(FieldName(kKeyFieldNumber)),
                   window_.Ui().TextOrId(QString::fromStdString(keyTextId_)));
    if (changed_) changed_();
}

void FunctionPanelView::StartCapture() {
    if (!capture_) return;
    platform::CaptureRequest request;
    request.mode = platform::CaptureMode::SingleKey;
    request.keyboard = true;
    request.mouse = false;
    capturing_ = capture_->Start(request, [this](const InputEvent& e) { TakeKey(e); });
}

void FunctionPanelView::StopCapture() {
    if (capture_ && capturing_) capture_->Stop();
    capturing_ = false;
}

}  // namespace vq::app
