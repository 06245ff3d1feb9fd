// The macro page's library: adding, deleting (with the repair of the buttons that played the
// macro), renaming, choosing, importing and exporting macros.

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>

#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "app/pages/macro_page.h"
#include "core/macro/macro_edit.h"
#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq::app {

void MacroPage::AddMacro() {
    MacroEditor* editor = Editor();
    if (!editor) return;
    const MacroOutcome outcome = editor->Add();
    ShowAll();
    Tell(outcome);
    if (outcome.Ok() && libraryChanged_) libraryChanged_();
}

MacroKeyLayers MacroPage::KeyLayers() {
    MacroKeyLayers layers;
    // A button plays the macro when the device's layers or a stored profile say so: both are
    // repaired after the deletion.
    layers.inUse = [this](int index) {
        const bool model = kind_ == DeviceKind::Mouse
                               ? MouseMacroInUse(hub_.Mouse().Model(), index)
                               : KeyboardMacroInUse(hub_.Keyboard().Model(), index);
        return model || !ProfilesPlayingMacro(hub_.Store(), kind_, index).empty();
    };
    layers.repair = [this](int deleted) {
        if (kind_ == DeviceKind::Mouse)
            hub_.Mouse().RepairMacroKeys(deleted);
        else
            hub_.Keyboard().RepairMacroKeys(deleted);
        return KeyRepairCount{};  // the controller counts and logs it
    };
    return layers;
}

void MacroPage::DeleteMacro() {
    MacroEditor* editor = Editor();
    if (!editor || !editor->Selected()) return;
    const MacroOutcome outcome = editor->Delete(KeyLayers(), [this](std::string_view textId) {
        return ShowMessage(&window_, {},
                           QString::fromUtf8(textId.data(), static_cast<qsizetype>(textId.size())),
                           true) == 1;
    });
    ShowAll();
    // A declined question says nothing more.
    if (outcome.result != MacroResult::Cancelled || outcome.textId == "message_text_3")
        Tell(outcome);
    if (outcome.Ok() && libraryChanged_) libraryChanged_();
}

void MacroPage::RenameMacro() {
    MacroEditor* editor = Editor();
    auto* field = Built<QLineEdit>("_macro_edit_macroname");
    if (!editor || !field || renaming_ || !editor->Selected()) return;
    renaming_ = true;
    const MacroOutcome outcome = editor->Rename(field->text().toStdString());
    if (!outcome.Ok()) {
        // The field shows the name the macro kept.
        const QSignalBlocker quiet(field);
        field->setText(QString::fromStdString(editor->SelectedName().value_or(std::string())));
    }
    ShowNames();
    Tell(outcome);
    renaming_ = false;
    if (outcome.Ok() && libraryChanged_) libraryChanged_();
}

void MacroPage::SelectMacro(int index) {
    MacroEditor* editor = Editor();
    if (!editor || index < 0) return;
    if (editor->Selected() == index) return;
    const MacroOutcome outcome = editor->Select(index);
    // A refused choice puts the list back on the macro being edited.
    ShowAll();
    Tell(outcome);
}

void MacroPage::ImportMacro() {
    MacroEditor* editor = Editor();
    if (!editor || (!editor->Names().empty() && !editor->Selected())) return;
    // The import adds a macro: an open edit comes first, as it does for the add.
    if (editor->EditOpen() || editor->Recording()) {
        ShowMessage(&window_, {}, QStringLiteral("message_text_3"), true);
        return;
    }
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::OpenMacro);
    if (!file) return;
    const MacroOutcome outcome = editor->Import(*file);
    ShowAll();
    Tell(outcome);
    if (outcome.Ok() && libraryChanged_) libraryChanged_();
}

void MacroPage::ExportMacro() {
    MacroEditor* editor = Editor();
    if (!editor || !editor->Selected()) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::SaveMacro);
    if (!file) return;
    // The dialog has asked before it named a file that exists.
    std::error_code error;
    const ExportMode mode =
        std::filesystem::exists(*file, error) ? ExportMode::Replace : ExportMode::KeepExisting;
    Tell(editor->Export(*file, mode));
}

}  // namespace vq::app
