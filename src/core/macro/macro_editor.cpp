#include "core/macro/macro_editor.h"

#include <algorithm>

#include "core/macro/macro_edit.h"

namespace vq {

namespace {

MacroOutcome NoMacro(std::string detail) {
    MacroOutcome outcome;
    outcome.result = MacroResult::NoSuchMacro;
    outcome.detail = std::move(detail);
    return outcome;
}

// Nothing to do now, and nothing to tell.
MacroOutcome Quiet() {
    MacroOutcome outcome;
    outcome.result = MacroResult::Cancelled;
    return outcome;
}

bool ChoosesAMacro(MacroOp op) {
    switch (op) {
        case MacroOp::Load:
        case MacroOp::Select:
        case MacroOp::Add:
        case MacroOp::Delete:
        case MacroOp::Import:
        case MacroOp::Cancel:
            return true;
        case MacroOp::Rename:
        case MacroOp::CheckDelete:
        case MacroOp::Export:
        case MacroOp::Save:
            return false;
    }
    return false;
}

}  // namespace

// ---- the file side
// --------------------------------------------------------------------------------

MacroLibrarySession::MacroLibrarySession(MacroLibrary library) : library_(std::move(library)) {}

MacroOutcome MacroLibrarySession::NothingChosen() const {
    return NoMacro("no macro is selected");
}

MacroAnswer MacroLibrarySession::Answer(MacroOutcome outcome, bool steps) {
    MacroAnswer answer;
    answer.outcome = std::move(outcome);
    MacroView view;
    view.names = library_.ReadNames();
    // The chosen macro as the index spells it; one another program removed is chosen no more.
    if (chosen_) {
        view.selected = FindMacroName(view.names, *chosen_);
        if (view.selected)
            chosen_ = view.names[static_cast<size_t>(*view.selected)];
        else
            chosen_.reset();
    }
    if (steps) view.steps = chosen_ ? library_.ReadMacro(*chosen_) : std::vector<MacroAction>{};
    answer.view = std::move(view);
    return answer;
}

MacroAnswer MacroLibrarySession::Load() {
    const std::vector<std::string> names = library_.ReadNames();
    chosen_.reset();
    if (!names.empty()) chosen_ = names.back();
    return Answer(MacroOutcome{}, true);
}

MacroAnswer MacroLibrarySession::Select(std::string_view name) {
    const std::vector<std::string> names = library_.ReadNames();
    const std::optional<int> index = FindMacroName(names, name);
    if (!index)
        return Answer(NoMacro("there is no macro named \"" + std::string(name) + "\""), true);
    chosen_ = names[static_cast<size_t>(*index)];
    MacroOutcome outcome;
    outcome.name = *chosen_;
    outcome.index = *index;
    return Answer(std::move(outcome), true);
}

MacroAnswer MacroLibrarySession::Add() {
    MacroOutcome outcome = AddMacro(library_);
    if (outcome.Ok()) chosen_ = outcome.name;
    return Answer(std::move(outcome), true);
}

MacroAnswer MacroLibrarySession::Rename(std::string_view newName) {
    if (!chosen_) return Answer(NothingChosen(), false);
    MacroOutcome outcome = RenameMacro(library_, *chosen_, newName);
    if (outcome.Ok()) chosen_ = outcome.name;
    return Answer(std::move(outcome), false);
}

MacroAnswer MacroLibrarySession::CheckDelete(const std::function<bool(int index)>& inUse) {
    MacroAnswer answer;
    if (!chosen_) {
        answer.outcome = NothingChosen();
        return answer;
    }
    const std::vector<std::string> names = library_.ReadNames();
    const std::optional<int> index = FindMacroName(names, *chosen_);
    if (!index) {
        answer.outcome = NoMacro("there is no macro named \"" + *chosen_ + "\"");
        return answer;
    }
    answer.outcome.name = names[static_cast<size_t>(*index)];
    answer.outcome.index = *index;
    answer.inUse = inUse && inUse(*index);
    return answer;
}

MacroAnswer MacroLibrarySession::Delete(std::string_view name,
                                        const std::function<KeyRepairCount(int)>& repair) {
    MacroOutcome outcome = DeleteMacro(library_, name);
    if (outcome.Ok()) {
        // The repair belongs to the deletion: after it, never before.
        if (repair) repair(outcome.index);
        const std::vector<std::string> names = library_.ReadNames();
        chosen_.reset();
        if (!names.empty()) chosen_ = names.front();
    }
    return Answer(std::move(outcome), true);
}

MacroAnswer MacroLibrarySession::Import(const std::filesystem::path& source) {
    MacroOutcome outcome = ImportMacro(library_, source);
    if (outcome.Ok()) chosen_ = outcome.name;
    return Answer(std::move(outcome), true);
}

MacroAnswer MacroLibrarySession::Export(const std::filesystem::path& target,
                                        ExportMode mode) const {
    MacroAnswer answer;
    answer.outcome = chosen_ ? ExportMacro(library_, *chosen_, target, mode) : NothingChosen();
    return answer;
}

MacroAnswer MacroLibrarySession::Save(const std::vector<MacroAction>& steps) {
    MacroAnswer answer;
    answer.outcome = chosen_ ? SaveMacro(library_, *chosen_, steps) : NothingChosen();
    return answer;
}

MacroAnswer MacroLibrarySession::Reload() {
    return Answer(MacroOutcome{}, true);
}

// ---- the page's side
// ------------------------------------------------------------------------------

MacroEditor::MacroEditor(Runner runner, MacroKeyLayers layers)
    : runner_(std::move(runner)), layers_(std::move(layers)) {}

std::optional<std::string> MacroEditor::SelectedName() const {
    if (!selected_ || static_cast<size_t>(*selected_) >= names_.size()) return std::nullopt;
    return names_[static_cast<size_t>(*selected_)];
}

MacroOutcome MacroEditor::Blocked() const {
    MacroOutcome outcome;
    outcome.result = MacroResult::Cancelled;
    outcome.textId = "message_text_3";
    outcome.detail = "an edit of the macro is open; save or cancel it first";
    return outcome;
}

MacroOutcome MacroEditor::Send(MacroOp op, Work work) {
    Pending pending;
    pending.ticket = ++lastTicket_;
    pending.op = op;
    pending.editVersion = editVersion_;
    if (ChoosesAMacro(op)) {
        // The steps shown are not the chosen macro's until the answer comes.
        lastChoice_ = pending.ticket;
        choosing_ = true;
        actions_.clear();
        selectedRow_.reset();
    }
    pending_.push_back(pending);
    runner_(pending.ticket, std::move(work));
    return MacroOutcome{};
}

void MacroEditor::Load() {
    if (recorder_.Recording()) recorder_.Stop();
    editOpen_ = false;
    ++editVersion_;
    Send(MacroOp::Load, [](MacroLibrarySession& s) { return s.Load(); });
}

std::optional<MacroAnswered> MacroEditor::Answer(uint64_t ticket, MacroAnswer answer) {
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [ticket](const Pending& p) { return p.ticket == ticket; });
    if (it == pending_.end()) return std::nullopt;
    const Pending pending = *it;
    // The answers come in the order of the work; one that never came is given up.
    pending_.erase(pending_.begin(), it + 1);

    MacroAnswered answered;
    answered.op = pending.op;
    answered.outcome = std::move(answer.outcome);
    // No choice of macro was sent after this work: what it read is what the page shows.
    const bool latest = lastChoice_ <= ticket;
    if (ChoosesAMacro(pending.op)) {
        if (ticket == lastChoice_) {
            choosing_ = false;
            if (answer.view) {
                names_ = std::move(answer.view->names);
                selected_ = answer.view->selected;
                actions_ = answer.view->steps.value_or(std::vector<MacroAction>{});
                selectedRow_.reset();
            }
            answered.shown = true;
        }
        return answered;
    }
    switch (pending.op) {
        case MacroOp::Rename:
            if (latest && answer.view) {
                names_ = std::move(answer.view->names);
                selected_ = answer.view->selected;
                answered.shown = true;
            }
            break;
        case MacroOp::CheckDelete:
            answered.inUse = answer.inUse;
            answered.stillChosen = latest;
            break;
        case MacroOp::Save:
            // A failed write keeps the edit open with the user's steps in it; so does a
            // change made after the save was asked for.
            if (answered.outcome.Ok() && editOpen_ && editVersion_ == pending.editVersion) {
                editOpen_ = false;
                answered.shown = true;
            }
            break;
        default:
            break;
    }
    return answered;
}

MacroOutcome MacroEditor::Select(int index) {
    if (editOpen_ || Recording()) return Blocked();
    if (index < 0 || static_cast<size_t>(index) >= names_.size())
        return NoMacro("there is no macro " + std::to_string(index + 1));
    selected_ = index;
    return Send(MacroOp::Select, [name = names_[static_cast<size_t>(index)]](
                                     MacroLibrarySession& s) { return s.Select(name); });
}

MacroOutcome MacroEditor::Add() {
    if (editOpen_ || Recording()) return Blocked();
    return Send(MacroOp::Add, [](MacroLibrarySession& s) { return s.Add(); });
}

MacroOutcome MacroEditor::Rename(std::string_view newName) {
    if (Recording()) return Blocked();
    if (choosing_) return Quiet();
    if (!selected_) return NoMacro("no macro is selected");
    return Send(MacroOp::Rename,
                [name = std::string(newName)](MacroLibrarySession& s) { return s.Rename(name); });
}

MacroOutcome MacroEditor::Delete() {
    if (!selected_ || choosing_) return Quiet();
    return Send(MacroOp::CheckDelete,
                [inUse = layers_.inUse](MacroLibrarySession& s) { return s.CheckDelete(inUse); });
}

MacroOutcome MacroEditor::ConfirmDelete(const MacroAnswered& check,
                                        const std::function<bool(std::string_view textId)>& ask) {
    if (check.op != MacroOp::CheckDelete) return Quiet();
    if (!check.outcome.Ok()) return check.outcome;
    // The user has chosen another macro since: the question is not asked.
    if (!check.stillChosen || choosing_) return Quiet();
    const MacroOutcome asked = AskBeforeDelete(check.inUse, editOpen_ || Recording(), ask);
    if (!asked.Ok()) return asked;
    if (choosing_) return Quiet();
    return Send(MacroOp::Delete, [name = check.outcome.name, repair = layers_.repair](
                                     MacroLibrarySession& s) { return s.Delete(name, repair); });
}

MacroOutcome MacroEditor::Import(const std::filesystem::path& source) {
    if (editOpen_ || Recording()) return Blocked();
    return Send(MacroOp::Import, [source](MacroLibrarySession& s) { return s.Import(source); });
}

MacroOutcome MacroEditor::Export(const std::filesystem::path& target, ExportMode mode) {
    if (choosing_) return Quiet();
    if (!selected_) return NoMacro("no macro is selected");
    return Send(MacroOp::Export,
                [target, mode](MacroLibrarySession& s) { return s.Export(target, mode); });
}

bool MacroEditor::Changed(std::optional<int> row) {
    selectedRow_ = row;
    editOpen_ = true;
    ++editVersion_;
    return true;
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
    ++editVersion_;
}

MacroOutcome MacroEditor::Save() {
    StopRecording();
    if (choosing_) return Quiet();
    if (!selected_) return NoMacro("no macro is selected");
    return Send(MacroOp::Save,
                [steps = actions_](MacroLibrarySession& s) { return s.Save(steps); });
}

void MacroEditor::Cancel() {
    StopRecording();
    editOpen_ = false;
    ++editVersion_;
    Send(MacroOp::Cancel, [](MacroLibrarySession& s) { return s.Reload(); });
}

}  // namespace vq
