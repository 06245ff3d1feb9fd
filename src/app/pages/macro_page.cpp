#include "app/pages/macro_page.h"

#include <QAbstractButton>
#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTreeWidget>
#include <array>

#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "core/device/key_assignment.h"
#include "core/macro/macro_edit.h"
#include "core/util/file_names.h"
#include "core/util/log.h"
#include "platform/input_capture.h"

namespace vq::app {

namespace {

// The insert panel: each header with its sub-panel, and the choices its two buttons insert.
struct InsertButtons {
    const char* header;
    const char* panel;
    const char* press;
    const char* release;
    int pressChoice;
};
constexpr std::array<InsertButtons, 5> kInsertButtons = {{
    {"_macro_inset_leftkey_btn", "_macro_inset_leftkey_tab", "_macro_inset_leftkeydown_btn",
     "_macro_inset_leftkeyup_btn", 0},
    {"_macro_inset_moudlekey_btn", "_macro_inset_moudlekey_tab", "_macro_inset_moudlekeydown_btn",
     "_macro_inset_moudlekeyup_btn", 4},
    {"_macro_inset_rightkey_btn", "_macro_inset_rightkey_tab", "_macro_inset_rightkeydown_btn",
     "_macro_inset_rightkeyup_btn", 2},
    {"_macro_inset_forwardkey_btn", "_macro_inset_forwardkey_tab",
     "_macro_inset_forwardkeydown_btn", "_macro_inset_forwardkeyup_btn", 6},
    {"_macro_inset_backkey_btn", "_macro_inset_backkey_tab", "_macro_inset_backkeydown_btn",
     "_macro_inset_backkeyup_btn", 8},
}};

struct MoveButton {
    const char* button;
    const char* distance;
    int choice;
};
constexpr std::array<MoveButton, 4> kMoveButtons = {{
    {"_macro_inset_moveleftkey_btn", "_mouse_x_left_edit", 10},
    {"_macro_inset_moverightkey_btn", "_mouse_x_right_edit", 11},
    {"_macro_inset_moveupkey_btn", "_mouse_y_up_edit", 12},
    {"_macro_inset_movedownkey_btn", "_mouse_y_down_edit", 13},
}};

// The buttons and options that change the steps; disabled while the library is empty or a
// recording runs.
constexpr std::array<const char*, 8> kRowButtons = {
    "_macro_btn_up",     "_macro_btn_down",      "_macro_btn_uptop", "_macro_btn_downbottom",
    "_macro_btn_delete", "_macro_btn_deleteall", "_macro_btn_save",  "_macro_btn_cancel"};
constexpr std::array<const char*, 5> kRecordOptions = {"_macro_keyboard_event",
                                                       "_macro_mouse_click", "_macro_mouse_roller",
                                                       "_macro_mouse_move", "_macro_check_time"};

constexpr int kEditorNone = 0;
constexpr int kEditorKey = 1;
constexpr int kEditorMouse = 2;

// Puts `value` into a field when the field shows something else (a limited number).
void ShowLimited(QLineEdit* edit, long long value) {
    if (!edit || edit->text().isEmpty()) return;
    const QString text = QString::number(value);
    if (edit->text() == text) return;
    const QSignalBlocker quiet(edit);
    edit->setText(text);
}

void SetIdItem(QTreeWidgetItem* item, int column, const QString& id, const QString& text) {
    item->setData(column, kTextIdRole, id);
    item->setText(column, text);
}

}  // namespace

FileChooser SystemFileChooser(QWidget* parent) {
    return [parent](FileDialog dialog) -> std::optional<std::filesystem::path> {
        const bool macro = dialog == FileDialog::OpenMacro || dialog == FileDialog::SaveMacro;
        const QString filter =
            macro ? QStringLiteral("(*.mac) (*.mac)") : QStringLiteral("(*.cur) (*.cur)");
        QString file;
        switch (dialog) {
            case FileDialog::OpenMacro:
            case FileDialog::OpenScript:
                file = QFileDialog::getOpenFileName(parent, {}, {}, filter);
                break;
            case FileDialog::SaveMacro:
                file = QFileDialog::getSaveFileName(parent, {}, QStringLiteral("*.mac"), filter);
                break;
            case FileDialog::SaveScript:
                // A script export never replaces a file: the dialog does not offer it.
                file = QFileDialog::getSaveFileName(parent, {}, QStringLiteral("*.cur"), filter,
                                                    nullptr, QFileDialog::DontConfirmOverwrite);
                break;
        }
        if (file.isEmpty()) return std::nullopt;
        if (dialog == FileDialog::SaveMacro && !file.endsWith(".mac", Qt::CaseInsensitive))
            file += QStringLiteral(".mac");
        if (dialog == FileDialog::SaveScript && !file.endsWith(".cur", Qt::CaseInsensitive))
            file += QStringLiteral(".cur");
        return PathFromUtf8(file.toStdString());
    };
}

MacroPage::MacroPage(CMainWnd& window, DeviceHub& hub, DeviceKind kind)
    : PageBase(window, hub),
      kind_(kind),
      prefix_(QString::fromLatin1(DeviceKindPrefix(kind))),
      editor_(std::make_unique<MacroEditor>(
          [this](uint64_t ticket, MacroEditor::Work work) {
              RunOnLibrary(ticket, std::move(work));
          },
          KeyLayers())) {
    chooser_ = SystemFileChooser(&window);
}

MacroPage::~MacroPage() {
    if (capture_ && capturing_) capture_->Stop();
}

QString MacroPage::Name(const char* suffix) const {
    return prefix_ + QLatin1String(suffix);
}

template <typename T>
T* MacroPage::Built(const char* suffix) const {
    return window_.BuiltControl<T>(Name(suffix));
}

void MacroPage::Register() {
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(Name("_MacroName_list"))) OnPageBuilt(page);
    });
    NotifyRouter& router = Router();
    router.On("click", Name("_macro_btn_name_add"), [this](const Notification&) { AddMacro(); });
    router.On("click", Name("_macro_btn_name_sub"), [this](const Notification&) { DeleteMacro(); });
    router.On("click", Name("_macro_btn_savemacroname"),
              [this](const Notification&) { RenameMacro(); });
    router.On("killfocus", Name("_macro_edit_macroname"),
              [this](const Notification&) { RenameMacro(); });
    router.On("itemselect", Name("_MacroName_list"),
              [this](const Notification& n) { SelectMacro(n.index); });
    router.On("click", Name("_macro_btn_import"), [this](const Notification&) { ImportMacro(); });
    router.On("click", Name("_macro_btn_export"), [this](const Notification&) { ExportMacro(); });
    router.On("itemselect", Name("_Macro_list"),
              [this](const Notification& n) { SelectRow(n.index); });
    router.On("itemclick", Name("_Macro_list"),
              [this](const Notification& n) { SelectRow(n.index); });

    // Row operations.
    const std::array<std::pair<const char*, bool (MacroEditor::*)()>, 6> rows = {{
        {"_macro_btn_up", &MacroEditor::MoveUp},
        {"_macro_btn_down", &MacroEditor::MoveDown},
        {"_macro_btn_uptop", &MacroEditor::MoveToTop},
        {"_macro_btn_downbottom", &MacroEditor::MoveToBottom},
        {"_macro_btn_delete", &MacroEditor::DeleteRow},
        {"_macro_btn_deleteall", &MacroEditor::DeleteAllRows},
    }};
    for (const auto& [suffix, operation] : rows)
        router.On("click", Name(suffix),
                  [this, operation](const Notification&) { Changed((Editor().*operation)()); });
    router.On("click", Name("_macro_btn_save"), [this](const Notification&) { Save(); });
    router.On("click", Name("_macro_btn_cancel"), [this](const Notification&) { Cancel(); });
    router.On("click", Name("_macro_btn_redio"),
              [this](const Notification&) { ToggleRecording(); });

    // The insert panel.
    for (int h = 0; h < static_cast<int>(kInsertButtons.size()); ++h) {
        const InsertButtons& b = kInsertButtons[static_cast<size_t>(h)];
        router.On("click", Name(b.header),
                  [this, h](const Notification&) { ToggleInsertPanel(h); });
        router.On("click", Name(b.press),
                  [this, c = b.pressChoice](const Notification&) { InsertMouseEvent(c); });
        router.On("click", Name(b.release),
                  [this, c = b.pressChoice + 1](const Notification&) { InsertMouseEvent(c); });
    }
    for (const MoveButton& m : kMoveButtons) {
        router.On("click", Name(m.button),
                  [this, m](const Notification&) { InsertMouseEvent(m.choice, Name(m.distance)); });
        router.On("textchanged", Name(m.distance),
                  [this, field = m.distance](const Notification&) { LimitInsertDistance(field); });
    }

    // The step editor.
    router.On("itemselect", Name("_macro_combo_keyselect"), [this](const Notification& n) {
        if (n.index < 0) return;
        Changed(Editor().EditSelectedRow(
            [row = static_cast<size_t>(n.index)](MacroAction& a) { SetActionKey(a, row); }));
    });
    router.On("itemselect", Name("_macro_combo_upordown"), [this](const Notification& n) {
        if (n.index < 0) return;
        Changed(Editor().EditSelectedRow(
            [pressed = n.index == 1](MacroAction& a) { SetActionPressed(a, pressed); }));
    });
    router.On("itemselect", Name("_macro_combo_mouselect"), [this](const Notification& n) {
        if (n.index < 0) return;
        Changed(Editor().EditSelectedRow(
            [choice = n.index](MacroAction& a) { SetActionMouseChoice(a, choice); }));
    });
    router.On("textchanged", Name("__macro_edit_ActionDelay"),
              [this](const Notification&) { EditDelay("__macro_edit_ActionDelay"); });
    router.On("textchanged", Name("__macro_edit_mou_action_delay"),
              [this](const Notification&) { EditDelay("__macro_edit_mou_action_delay"); });
    router.On("textchanged", Name("_macro_edit_mou_pointer_skewing"),
              [this](const Notification&) { EditDistance(); });

    // Another page of the device ends a recording; the edit stays open with its steps.
    const QStringList others =
        kind_ == DeviceKind::Mouse
            ? QStringList{"ms_deng_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab", "ms_cursor_Op_tab"}
            : QStringList{"kb_key_Op_tab", "kb_deng_Op_tab"};
    for (const QString& option : others)
        router.On("selectchanged", option, [this](const Notification& n) {
            auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
            if (button && button->isChecked()) EndRecording();
        });
}

void MacroPage::OnPageBuilt(QWidget*) {
    FillChoiceLists();
    if (!loadAsked_) {
        loadAsked_ = true;
        editor_->Load();
    }
    ShowAll();
    // The sub-panels of the insert panel start closed.
    for (const InsertButtons& b : kInsertButtons)
        if (QWidget* panel = Built(b.panel)) panel->hide();
}

void MacroPage::FillChoiceLists() {
    SkinUi& ui = window_.Ui();
    if (auto* keys = Built<QComboBox>("_macro_combo_keyselect"); keys && keys->count() == 0) {
        const QSignalBlocker quiet(keys);
        const auto table = KeyTable();
        for (size_t i = 0; i < MacroKeyChoiceCount(); ++i) {
            const QString id = QString::fromLatin1(table[i].textId.data(),
                                                   static_cast<qsizetype>(table[i].textId.size()));
            keys->addItem(ui.TextOrId(id));
            keys->setItemData(keys->count() - 1, id, kTextIdRole);
        }
    }
}

// ---- showing the editor
// ---------------------------------------------------------------------------

void MacroPage::ShowAll() {
    ShowNames();
    ShowRows();
    ShowStepEditor();
    ShowState();
}

void MacroPage::ShowNames() {
    const MacroEditor* editor = editor_.get();
    auto* list = Built<QListWidget>("_MacroName_list");
    if (!list) return;
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& name : editor->Names()) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), list);
        item->setToolTip(item->text());
    }
    list->setCurrentRow(editor->Selected().value_or(-1));
    if (auto* field = Built<QLineEdit>("_macro_edit_macroname")) {
        const QSignalBlocker quietField(field);
        field->setText(QString::fromStdString(editor->SelectedName().value_or(std::string())));
    }
}

void MacroPage::ShowRows() {
    const MacroEditor* editor = editor_.get();
    auto* tree = Built<QTreeWidget>("_Macro_list");
    if (!tree) return;
    SkinUi& ui = window_.Ui();
    const QSignalBlocker quiet(tree);
    tree->clear();
    const QColor mouseColour(0x4f, 0xb3, 0xe8), keyColour(0xe8, 0xb3, 0x4f);
    const QColor pressedColour(0x6c, 0xd0, 0x7a), releasedColour(0xd0, 0x7a, 0x6c);
    for (const MacroAction& action : editor->Actions()) {
        auto* item = new QTreeWidgetItem(tree);
        const QString label = QString::fromStdString(action.label);
        SetIdItem(item, 0, label, ui.TextOrId(label));
        item->setForeground(0, QBrush(action.IsMouseEvent() ? mouseColour : keyColour));
        const bool move =
            action.EventType() == kMacroMoveHorizontal || action.EventType() == kMacroMoveVertical;
        if (move) {
            item->setText(1, QString::number(action.code));
        } else {
            const QString state = action.Pressed() ? "ui_macro_pressed" : "ui_macro_released";
            SetIdItem(item, 1, state, ui.TextOrId(state));
            item->setForeground(1, QBrush(action.Pressed() ? pressedColour : releasedColour));
        }
        item->setText(2, QString::number(action.DelayMs()));
        // The row keeps its record.
        item->setData(0, Qt::UserRole, QString::fromStdString(FormatMacroAction(action)));
    }
    if (const std::optional<int> row = editor->SelectedRow()) {
        tree->setCurrentItem(tree->topLevelItem(*row));
        tree->scrollToItem(tree->topLevelItem(*row));
    } else if (editor->Recording() && tree->topLevelItemCount() > 0) {
        tree->scrollToItem(tree->topLevelItem(tree->topLevelItemCount() - 1));
    }
}

void MacroPage::ShowStepEditor() {
    const MacroEditor* editor = editor_.get();
    auto* pages = Built<QStackedWidget>("_tab_macro_edit");
    if (!pages) return;
    const std::optional<int> row = editor->SelectedRow();
    // The editor works on the chosen step only.
    pages->setEnabled(row && !editor->Recording());
    if (!row || editor->Recording()) {
        pages->setCurrentIndex(kEditorNone);
        return;
    }
    const MacroAction& action = editor->Actions()[static_cast<size_t>(*row)];
    auto showDelay = [&](const char* field) {
        if (auto* edit = Built<QLineEdit>(field)) {
            const QSignalBlocker quiet(edit);
            edit->setText(QString::number(action.DelayMs()));
        }
    };
    auto select = [](QComboBox* combo, std::optional<int> index) {
        if (!combo) return;
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(index.value_or(-1));
    };
    if (!action.IsMouseEvent()) {
        pages->setCurrentIndex(kEditorKey);
        const std::optional<size_t> key = MacroKeyChoiceOf(action);
        select(Built<QComboBox>("_macro_combo_keyselect"),
               key ? std::optional<int>(static_cast<int>(*key)) : std::nullopt);
        select(Built<QComboBox>("_macro_combo_upordown"), action.down ? 1 : 0);
        showDelay("__macro_edit_ActionDelay");
        return;
    }
    pages->setCurrentIndex(kEditorMouse);
    const std::optional<int> choice = MouseEventChoiceOf(action);
    select(Built<QComboBox>("_macro_combo_mouselect"), choice);
    const bool move = choice && *choice >= kFirstMoveChoice;
    if (QWidget* distanceRow = Built("_macro_tab_mou_pointer_skewing"))
        distanceRow->setVisible(move);
    if (auto* distance = Built<QLineEdit>("_macro_edit_mou_pointer_skewing")) {
        const QSignalBlocker quiet(distance);
        distance->setText(move ? QString::number(action.code) : QString());
    }
    showDelay("__macro_edit_mou_action_delay");
}

void MacroPage::ShowState() {
    const MacroEditor* editor = editor_.get();
    const bool recording = editor->Recording();
    const bool open = editor->EditOpen();
    // Nothing is edited while the chosen macro's steps are on their way.
    const bool canEdit = editor->Selected().has_value() && !editor->Choosing();
    if (QWidget* bar = Built("_macro_tab_saveorcancel")) bar->setVisible(open);
    if (QWidget* names = Built("_MacroName_list")) names->setEnabled(!open && !recording);
    if (QWidget* steps = Built("_Macro_list")) steps->setEnabled(canEdit && !recording);
    for (const char* suffix : kRowButtons)
        if (QWidget* w = Built(suffix)) w->setEnabled(canEdit && !recording);
    for (const char* suffix : kRecordOptions)
        if (QWidget* w = Built(suffix)) w->setEnabled(canEdit && !recording);
    for (const char* suffix :
         {"_macro_btn_name_add", "_macro_btn_name_sub", "_macro_btn_savemacroname",
          "_macro_edit_macroname", "_macro_btn_import", "_macro_btn_export"})
        if (QWidget* w = Built(suffix)) w->setEnabled(!recording);
    if (QWidget* sub = Built("_macro_btn_name_sub"))
        sub->setEnabled(canEdit && !open && !recording);
    if (QWidget* exportButton = Built("_macro_btn_export"))
        exportButton->setEnabled(canEdit && !recording);
    if (QWidget* edit = Built("_macro_edit_panel")) edit->setEnabled(canEdit && !recording);
    if (QWidget* insert = Built("_MacroMouseEvent")) insert->setEnabled(canEdit && !recording);
    if (QWidget* record = Built("_macro_btn_redio")) {
        record->setEnabled(canEdit);
        window_.Ui().SetTextId(record, recording ? QStringLiteral("macro_btn_stop_redio_text")
                                                 : QStringLiteral("macro_btn_star_redio_text"));
    }
}

void MacroPage::Tell(const MacroOutcome& outcome) {
    if (outcome.Ok() || (outcome.textId.empty() && outcome.detail.empty())) return;
    if (!outcome.textId.empty())
        ShowMessage(&window_, {}, QString::fromStdString(outcome.textId), true,
                    {QString::number(outcome.textArg)});
    else
        ShowMessage(&window_, {}, QString::fromStdString(outcome.detail), false);
}

void MacroPage::Changed(bool changed) {
    if (!changed) return;
    ShowRows();
    ShowStepEditor();
    ShowState();
}

// ---- the steps
// ------------------------------------------------------------------------------------

void MacroPage::SelectRow(int row) {
    MacroEditor* editor = editor_.get();
    if (editor->Recording()) return;
    editor->SelectRow(row >= 0 ? std::optional<int>(row) : std::nullopt);
    ShowStepEditor();
}

void MacroPage::InsertMouseEvent(int choice, const QString& distanceField) {
    uint8_t distance = 0;
    if (!distanceField.isEmpty())
        if (auto* edit = Control<QLineEdit>(distanceField))
            distance = LimitDistance(TypedNumber(edit->text()));
    const std::optional<MacroAction> action = MakeMouseAction(choice, distance);
    if (!action) return;
    Changed(editor_->Insert(*action));
}

void MacroPage::EditDelay(const char* field) {
    MacroEditor* editor = editor_.get();
    auto* edit = Built<QLineEdit>(field);
    if (!edit) return;
    const long long typed = TypedNumber(edit->text());
    uint16_t stored = 0;
    const bool changed =
        editor->EditSelectedRow([&](MacroAction& a) { stored = SetActionDelay(a, typed); });
    if (!changed) return;
    ShowLimited(edit, stored);
    ShowRows();
    ShowState();
}

void MacroPage::EditDistance() {
    MacroEditor* editor = editor_.get();
    auto* edit = Built<QLineEdit>("_macro_edit_mou_pointer_skewing");
    if (!edit) return;
    const long long typed = TypedNumber(edit->text());
    uint8_t stored = 0;
    bool applied = false;
    const bool changed = editor->EditSelectedRow(
        [&](MacroAction& a) { applied = SetActionDistance(a, typed, &stored); });
    if (!changed || !applied) return;
    ShowLimited(edit, stored);
    ShowRows();
    ShowState();
}

void MacroPage::LimitInsertDistance(const char* field) {
    if (auto* edit = Built<QLineEdit>(field))
        ShowLimited(edit, LimitDistance(TypedNumber(edit->text())));
}

void MacroPage::ToggleInsertPanel(int header) {
    // One sub-panel at a time: the header of an open one closes it.
    for (int h = 0; h < static_cast<int>(kInsertButtons.size()); ++h) {
        QWidget* panel = Built(kInsertButtons[static_cast<size_t>(h)].panel);
        if (!panel) continue;
        panel->setVisible(h == header && !panel->isVisible());
    }
}

// ---- ending an edit
// -------------------------------------------------------------------------------

void MacroPage::Save() {
    if (editor_->Recording()) EndRecording();
    // The edit ends when the write's answer arrives.
    const MacroOutcome outcome = editor_->Save();
    ShowAll();
    Tell(outcome);
}

void MacroPage::Cancel() {
    if (editor_->Recording()) EndRecording();
    editor_->Cancel();
    ShowAll();
}

// ---- recording
// ------------------------------------------------------------------------------------

RecordingOptions MacroPage::ReadRecordingOptions() const {
    auto checked = [this](const char* suffix) {
        auto* option = Built<QAbstractButton>(suffix);
        return option && option->isChecked();
    };
    RecordingOptions options;
    options.keys = checked("_macro_keyboard_event");
    options.clicks = checked("_macro_mouse_click");
    options.wheel = checked("_macro_mouse_roller");
    options.moves = checked("_macro_mouse_move");
    options.fixedDelay = checked("_macro_check_time");
    return options;
}

void MacroPage::ToggleRecording() {
    MacroEditor* editor = editor_.get();
    if (editor->Names().empty()) return;
    if (editor->Recording()) {
        EndRecording();
        return;
    }
    const RecordingOptions options = ReadRecordingOptions();
    if (captureWanted_) captureWanted_();
    const uint32_t now = capture_ ? capture_->NowMs() : 0;
    if (!editor->StartRecording(options, now)) return;
    if (capture_) {
        platform::CaptureRequest request;
        request.mode = platform::CaptureMode::Recording;
        request.keyboard = options.CapturesKeyboard();
        request.mouse = options.CapturesMouse();
        // A capture the system refused leaves the recording on without events; the record
        // button still ends it.
        capturing_ = (request.keyboard || request.mouse) &&
                     capture_->Start(request, [this](const InputEvent& event) {
                         if (editor_->Feed(event)) StepRecorded();
                     });
    }
    ShowAll();
}

void MacroPage::StepRecorded() {
    ShowRows();
}

void MacroPage::EndRecording() {
    if (capture_ && capturing_) capture_->Stop();
    capturing_ = false;
    if (!editor_->Recording()) return;
    editor_->StopRecording();
    ShowAll();
}

}  // namespace vq::app
