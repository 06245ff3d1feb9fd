#include "core/macro/macro_editor.h"

#include "core/macro/macro_edit.h"

namespace vq {

MacroEditor::MacroEditor(MacroLibrary library) : library_(std::move(library)) {}

void MacroEditor::Load() {
    if (recorder_.Recording()) recorder_.Stop();
    names_ = library_.ReadNames();
    editOpen_ = false;
    selected_.reset();
    if (!names_.empty()) selected_ = static_cast<int>(names_.size()) - 1;
    ShowSelected();
}

std::optional<std::string> MacroEditor::SelectedName() const {
    if (!selected_) return std::nullopt;
    return names_[static_cast<size_t>(*selected_)];
}

MacroOutcome MacroEditor::Blocked() const {
    MacroOutcome outcome;
    outcome.result = MacroResult::Cancelled;
    outcome.textId = "message_text_3";
    outcome.detail = "an edit of the macro is open; save or cancel it first";
    return outcome;
}

void MacroEditor::ShowSelected() {
    actions_.clear();
    selectedRow_.reset();
    if (selected_) actions_ = library_.ReadMacro(names_[static_cast<size_t>(*selected_)]);
}

bool MacroEditor::Changed(std::optional<int> row) {
    selectedRow_ = row;
    editOpen_ = true;
    return true;
}

MacroOutcome MacroEditor::Select(int index) {
    if (editOpen_ || Recording()) return Blocked();
    names_ = library_.ReadNames();
    if (index < 0 || static_cast<size_t>(index) >= names_.size()) {
        MacroOutcome outcome;
        outcome.result = MacroResult::NoSuchMacro;
        outcome.detail = "there is no macro " + std::to_string(index + 1);
        return outcome;
    }
    selected_ = index;
    ShowSelected();
    MacroOutcome outcome;
    outcome.name = names_[static_cast<size_t>(index)];
    outcome.index = index;
    return outcome;
}

MacroOutcome MacroEditor::Add() {
    if (editOpen_ || Recording()) return Blocked();
    MacroOutcome outcome = AddMacro(library_);
    names_ = library_.ReadNames();
    if (outcome.Ok()) {
        selected_ = outcome.index;
        ShowSelected();
    }
    return outcome;
}

MacroOutcome MacroEditor::Rename(std::string_view newName) {
    if (Recording()) return Blocked();
    const std::optional<std::string> current = SelectedName();
    if (!current) {
        MacroOutcome outcome;
        outcome.result = MacroResult::NoSuchMacro;
        outcome.detail = "no macro is selected";
        return outcome;
    }
    MacroOutcome outcome = RenameMacro(library_, *current, newName);
    names_ = library_.ReadNames();
    if (outcome.Ok()) selected_ = outcome.index;
    return outcome;
}

MacroOutcome MacroEditor::Delete(const MacroKeyLayers& layers,
                                 const std::function<bool(std::string_view textId)>& ask) {
    const std::optional<std::string> current = SelectedName();
    if (!current) {
        MacroOutcome outcome;
        outcome.result = MacroResult::NoSuchMacro;
        outcome.detail = "no macro is selected";
        return outcome;
    }
    MacroOutcome outcome =
        DeleteMacroAsked(library_, *current, layers, editOpen_ || Recording(), ask);
    if (!outcome.Ok()) return outcome;
    names_ = library_.ReadNames();
    selected_.reset();
    if (!names_.empty()) selected_ = 0;
    ShowSelected();
    return outcome;
}

MacroOutcome MacroEditor::Import(const std::filesystem::path& source) {
    if (editOpen_ || Recording()) return Blocked();
    MacroOutcome outcome = ImportMacro(library_, source);
    names_ = library_.ReadNames();
    if (outcome.Ok()) selected_ = outcome.index;
    ShowSelected();
    return outcome;
}

MacroOutcome MacroEditor::Export(const std::filesystem::path& target, ExportMode mode) const {
    const std::optional<std::string> current = SelectedName();
    if (!current) {
        MacroOutcome outcome;
        outcome.result = MacroResult::NoSuchMacro;
        outcome.detail = "no macro is selected";
        return outcome;
    }
    return ExportMacro(library_, *current, target, mode);
}

void MacroEditor::SelectRow(std::optional<int> row) {
    if (row && (*row < 0 || static_cast<size_t>(*row) >= actions_.size())) row.reset();
    selectedRow_ = row;
}

bool MacroEditor::Insert(MacroAction action) {
    if (!CanEdit()) return false;
    const int row = InsertAction(actions_, selectedRow_, std::move(action));
    return Changed(row);
}

bool MacroEditor::EditSelectedRow(const std::function<void(MacroAction&)>& edit) {
    if (!CanEdit() || !selectedRow_) return false;
    edit(actions_[static_cast<size_t>(*selectedRow_)]);
    return Changed(selectedRow_);
}

bool MacroEditor::MoveUp() {
    if (!CanEdit() || !selectedRow_) return false;
    const std::optional<int> row = MoveActionUp(actions_, *selectedRow_);
    return row && Changed(row);
}

bool MacroEditor::MoveDown() {
    if (!CanEdit() || !selectedRow_) return false;
    const std::optional<int> row = MoveActionDown(actions_, *selectedRow_);
    return row && Changed(row);
}

bool MacroEditor::MoveToTop() {
    if (!CanEdit() || !selectedRow_) return false;
    const std::optional<int> row = MoveActionToTop(actions_, *selectedRow_);
    return row && Changed(row);
}

bool MacroEditor::MoveToBottom() {
    if (!CanEdit() || !selectedRow_) return false;
    const std::optional<int> row = MoveActionToBottom(actions_, *selectedRow_);
    return row && Changed(row);
}

bool MacroEditor::DeleteRow() {
    if (!CanEdit() || !selectedRow_) return false;
    if (!DeleteAction(actions_, *selectedRow_)) return false;
    return Changed(std::nullopt);
}

bool MacroEditor::DeleteAllRows() {
    if (!CanEdit()) return false;
    actions_.clear();
    return Changed(std::nullopt);
}

bool MacroEditor::StartRecording(const RecordingOptions& options, uint32_t nowMs) {
    if (!CanEdit()) return false;
    recorder_.Start(options, std::move(actions_), nowMs);
    actions_.clear();
    return Changed(std::nullopt);
}

bool MacroEditor::Feed(const InputEvent& event) {
    if (!recorder_.Recording()) return false;
    return recorder_.Feed(event);
}

void MacroEditor::StopRecording() {
    if (!recorder_.Recording()) return;
    actions_ = recorder_.Stop();
}

MacroOutcome MacroEditor::Save() {
    StopRecording();
    const std::optional<std::string> current = SelectedName();
    if (!current) {
        MacroOutcome outcome;
        outcome.result = MacroResult::NoSuchMacro;
        outcome.detail = "no macro is selected";
        return outcome;
    }
    MacroOutcome outcome = SaveMacro(library_, *current, actions_);
    // A failed write keeps the edit open with the user's steps in it.
    if (outcome.Ok()) editOpen_ = false;
    return outcome;
}

void MacroEditor::Cancel() {
    StopRecording();
    editOpen_ = false;
    names_ = library_.ReadNames();
    if (selected_ && static_cast<size_t>(*selected_) >= names_.size()) selected_.reset();
    ShowSelected();
}

}  // namespace vq
