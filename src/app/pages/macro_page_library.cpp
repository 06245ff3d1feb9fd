// The macro page's library: adding, deleting (with the repair of the buttons that played the
// macro), renaming, choosing, importing and exporting macros. The files are read and written on
// the device's controller's thread; each answer is shown and told when it arrives.

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "app/pages/macro_page.h"
#include "core/macro/macro_edit.h"
#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq::app {

struct MacroPage::LibraryFiles {
    std::unique_ptr<MacroLibrarySession> session;
    bool tried = false;
    // Made on first use (on the controller's thread); null without the kind's folder.
    MacroLibrarySession* Get(const ProfileStore& store, DeviceKind kind) {
        if (!session && !tried) {
            tried = true;
            FileProblem why = FileProblem::None;
            if (const auto folder = store.KindFolder(kind, &why))
                session = std::make_unique<MacroLibrarySession>(MacroLibrary(kind, *folder));
            else
                Logf(LogLevel::Error, "%s macros: the folder cannot be made (%s)",
                     DeviceKindPrefix(kind), DescribeFileProblem(why));
        }
        return session.get();
    }
};

void MacroPage::RunOnLibrary(uint64_t ticket, MacroEditor::Work work) {
    if (!files_) files_ = std::make_shared<LibraryFiles>();
    hub_.RunFileWork(
        kind_, &window_,
        [files = files_, &store = hub_.Store(), kind = kind_, work = std::move(work)] {
            MacroLibrarySession* session = files->Get(store, kind);
            if (session) return work(*session);
            // Without the folder nothing is done, and nothing more is said (logged once).
            MacroAnswer nothing;
            nothing.outcome.result = MacroResult::Cancelled;
            return nothing;
        },
        [this, ticket](MacroAnswer answer) { OnAnswer(ticket, std::move(answer)); });
}

void MacroPage::OnAnswer(uint64_t ticket, MacroAnswer answer) {
    const std::optional<MacroAnswered> answered = editor_->Answer(ticket, std::move(answer));
    if (!answered) return;
    const MacroOutcome& outcome = answered->outcome;
    switch (answered->op) {
        case MacroOp::Rename: {
            renaming_.reset();
            if (!outcome.Ok()) {
                // The field shows the name the macro kept.
                if (auto* field = Built<QLineEdit>("_macro_edit_macroname")) {
                    const QSignalBlocker quiet(field);
                    field->setText(
                        QString::fromStdString(editor_->SelectedName().value_or(std::string())));
                }
            }
            if (answered->shown) ShowNames();
            Tell(outcome);
            break;
        }
        case MacroOp::CheckDelete: {
            const MacroOutcome asked =
                editor_->ConfirmDelete(*answered, [this](std::string_view textId) {
                    return ShowMessage(&window_, {},
                                       QString::fromUtf8(textId.data(),
                                                         static_cast<qsizetype>(textId.size())),
                                       true) == 1;
                });
            ShowAll();
            TellDeletion(asked);
            return;
        }
        case MacroOp::Delete:
            if (answered->shown) ShowAll();
            TellDeletion(outcome);
            break;
        case MacroOp::Export:
            Tell(outcome);
            return;
        default:
            // A refused choice puts the list back on the macro the library has chosen.
            if (answered->shown) ShowAll();
            Tell(outcome);
            break;
    }
    const bool changesNames = answered->op == MacroOp::Add || answered->op == MacroOp::Delete ||
                              answered->op == MacroOp::Rename || answered->op == MacroOp::Import;
    if (changesNames && outcome.Ok() && libraryChanged_) libraryChanged_();
}

void MacroPage::TellDeletion(const MacroOutcome& outcome) {
    // A declined question says nothing more.
    if (outcome.result != MacroResult::Cancelled || outcome.textId == "message_text_3")
        Tell(outcome);
}

void MacroPage::AddMacro() {
    const MacroOutcome outcome = editor_->Add();
    ShowAll();
    Tell(outcome);
}

MacroKeyLayers MacroPage::KeyLayers() {
    MacroKeyLayers layers;
    // Both run on the controller's thread. A button plays the macro when the device's layers or
    // a stored profile say so: both are repaired after the deletion.
    layers.inUse = [&hub = hub_, kind = kind_](int index) {
        const bool model = kind == DeviceKind::Mouse
                               ? MouseMacroInUse(hub.Mouse().Model(), index)
                               : KeyboardMacroInUse(hub.Keyboard().Model(), index);
        return model || !ProfilesPlayingMacro(hub.Store(), kind, index).empty();
    };
    layers.repair = [&hub = hub_, kind = kind_](int deleted) {
        if (kind == DeviceKind::Mouse)
            hub.Mouse().RepairMacroKeys(deleted);
        else
            hub.Keyboard().RepairMacroKeys(deleted);
        return KeyRepairCount{};  // the controller counts and logs it
    };
    return layers;
}

void MacroPage::DeleteMacro() {
    if (!editor_->Selected()) return;
    // The questions come with the answer.
    TellDeletion(editor_->Delete());
}

void MacroPage::RenameMacro() {
    auto* field = Built<QLineEdit>("_macro_edit_macroname");
    if (!field || !editor_->Selected()) return;
    const QString typed = field->text();
    // Leaving the field and the button ask for the same rename; a name that is the macro's
    // already (or will be, when the rename on its way went through) asks for nothing.
    const QString current =
        renaming_.value_or(QString::fromStdString(editor_->SelectedName().value_or(std::string())));
    if (typed == current) return;
    const MacroOutcome outcome = editor_->Rename(typed.toStdString());
    if (outcome.Ok()) {
        renaming_ = typed;
        return;
    }
    // Refused at once: the field shows the name the macro kept.
    if (outcome.result != MacroResult::Cancelled || !outcome.textId.empty()) {
        const QSignalBlocker quiet(field);
        field->setText(QString::fromStdString(editor_->SelectedName().value_or(std::string())));
    }
    ShowNames();
    Tell(outcome);
}

void MacroPage::SelectMacro(int index) {
    if (index < 0) return;
    if (editor_->Selected() == index) return;
    const MacroOutcome outcome = editor_->Select(index);
    // A refused choice puts the list back on the macro being edited.
    ShowAll();
    Tell(outcome);
}

void MacroPage::ImportMacro() {
    MacroEditor& editor = *editor_;
    if (!editor.Names().empty() && !editor.Selected()) return;
    // The import adds a macro: an open edit comes first, as it does for the add.
    if (editor.EditOpen() || editor.Recording()) {
        ShowMessage(&window_, {}, QStringLiteral("message_text_3"), true);
        return;
    }
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::OpenMacro);
    if (!file) return;
    const MacroOutcome outcome = editor.Import(*file);
    ShowAll();
    Tell(outcome);
}

void MacroPage::ExportMacro() {
    if (!editor_->Selected() || editor_->Choosing()) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::SaveMacro);
    if (!file) return;
    // The dialog has asked before it named a file that exists.
    Tell(editor_->Export(*file, ExportMode::Replace));
}

}  // namespace vq::app
