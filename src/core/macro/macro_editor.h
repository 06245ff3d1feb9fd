#pragma once
// The macro editor of a macro page (the mouse's or the keyboard's), in two halves that live on
// two threads.
//
// MacroLibrarySession is the file side: the kind's library and the macro it has chosen. Every
// operation that touches a file (reading the index and a macro, add, rename, delete, import,
// export, save) runs on it, on one thread, in the order the user asked for them; so a save
// followed by a rename reaches the disk in that order, and each acts on the macro that the
// operations before it left chosen.
//
// MacroEditor is the page's side and never touches a file: the names and the chosen macro as
// the answers gave them, the working copy of the chosen macro's steps with its selected row,
// and whether an edit is open. A file operation goes to the session through the runner the
// editor was given and comes back later through Answer().
//
// An edit opens with any change of the steps (insert, row edit, move, delete, recording) and
// ends with Save (written to the macro's file) or Cancel (dropped, the file read again). While
// it is open, nothing replaces the working copy: adding, deleting, importing and choosing
// another macro are refused with "message_text_3", so unsaved steps are never lost without the
// user's word. Leaving the page keeps the edit as it is.
//
// The operations that choose a macro (Load, Select, Add, Delete, Import, Cancel) bring back the
// names, the chosen macro and its steps. Until the answer of the last one arrives the steps
// shown are not the chosen macro's: they cannot be edited, and saving, renaming, exporting and
// deleting wait for it (they are ignored). An answer that a later choice has overtaken is not
// shown (only what it did is told), so the page never shows the steps of a macro the user has
// left.
//
// Threads: an editor belongs to the thread that calls it; a session to the thread that runs
// the work (one at a time, in order).

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro/macro_library_ops.h"
#include "core/macro/macro_recorder.h"

namespace vq {

// The library as an operation left it: the names, the chosen macro and, where the operation
// chooses a macro, the steps its file holds.
struct MacroView {
    std::vector<std::string> names;
    std::optional<int> selected;
    std::optional<std::vector<MacroAction>> steps;
};

// What a file operation did.
struct MacroAnswer {
    MacroOutcome outcome;
    std::optional<MacroView> view;
    // The question before a deletion: whether a button or a stored profile plays the macro.
    bool inUse = false;
};

class MacroLibrarySession {
  public:
    explicit MacroLibrarySession(MacroLibrary library);

    const MacroLibrary& Library() const { return library_; }
    const std::optional<std::string>& Chosen() const { return chosen_; }

    // Reads the library and chooses its last macro (none when it is empty).
    MacroAnswer Load();
    // Chooses the macro named `name`; a name the library no longer lists keeps the choice.
    MacroAnswer Select(std::string_view name);
    // Adds a macro (AddMacro) and chooses it.
    MacroAnswer Add();
    // Renames the chosen macro.
    MacroAnswer Rename(std::string_view newName);
    // Whether `inUse` says that something plays the chosen macro (its name and index in the
    // outcome); nothing changes.
    MacroAnswer CheckDelete(const std::function<bool(int index)>& inUse);
    // Deletes the macro named `name` (the one CheckDelete answered for), repairs the key
    // assignments through `repair` and chooses the first macro.
    MacroAnswer Delete(std::string_view name, const std::function<KeyRepairCount(int)>& repair);
    MacroAnswer Import(const std::filesystem::path& source);
    MacroAnswer Export(const std::filesystem::path& target, ExportMode mode) const;
    // Writes `steps` as the chosen macro's.
    MacroAnswer Save(const std::vector<MacroAction>& steps);
    // Reads the names and the chosen macro's steps again (a cancelled edit).
    MacroAnswer Reload();

  private:
    MacroAnswer Answer(MacroOutcome outcome, bool steps);
    MacroOutcome NothingChosen() const;

    MacroLibrary library_;
    std::optional<std::string> chosen_;
};

// The operations the editor hands to the session.
enum class MacroOp { Load, Select, Add, Rename, CheckDelete, Delete, Import, Export, Save, Cancel };

// An answer as the editor took it: which operation it was, what to tell the user, and whether
// the page shows something else now.
struct MacroAnswered {
    MacroOp op = MacroOp::Load;
    MacroOutcome outcome;
    bool shown = false;
    // CheckDelete: something plays the macro; `stillChosen`: no later choice overtook the
    // question (the deletion may go on).
    bool inUse = false;
    bool stillChosen = false;
};

class MacroEditor {
  public:
    using Work = std::function<MacroAnswer(MacroLibrarySession&)>;
    // Runs `work` on the session's thread after all work handed over before, and later hands
    // its answer to Answer(ticket, ...) on the editor's thread.
    using Runner = std::function<void(uint64_t ticket, Work work)>;

    // `layers` are used on the session's thread (the deletion's question and repair).
    MacroEditor(Runner runner, MacroKeyLayers layers);

    // Reads the library and chooses its last macro. An open edit is dropped: call it when the
    // page is built.
    void Load();
    // Takes the answer of the work `ticket`; nothing for a ticket the editor did not send.
    std::optional<MacroAnswered> Answer(uint64_t ticket, MacroAnswer answer);

    const std::vector<std::string>& Names() const { return names_; }
    std::optional<int> Selected() const { return selected_; }
    std::optional<std::string> SelectedName() const;
    // The working copy (while recording, with what has been recorded so far).
    const std::vector<MacroAction>& Actions() const {
        return recorder_.Recording() ? recorder_.Actions() : actions_;
    }
    std::optional<int> SelectedRow() const { return selectedRow_; }
    bool EditOpen() const { return editOpen_; }
    bool Recording() const { return recorder_.Recording(); }
    // A choice of macro is on its way: the steps shown are not the chosen macro's yet.
    bool Choosing() const { return choosing_; }
    // Work handed over and not answered yet.
    size_t Waiting() const { return pending_.size(); }
    // The editing buttons are enabled when there is a macro to edit.
    bool CanEdit() const { return selected_.has_value() && !Recording() && !choosing_; }

    // ---- the library: each returns the refusal to tell now, or Ok when the work was handed
    // over (its outcome comes with the answer), or a quiet Cancelled (empty text) when there
    // is nothing to do yet.
    MacroOutcome Select(int index);
    MacroOutcome Add();
    // Renames the chosen macro; an open edit stays open.
    MacroOutcome Rename(std::string_view newName);
    // Asks the session whether something plays the chosen macro; the questions follow with
    // the answer (ConfirmDelete).
    MacroOutcome Delete();
    // On the answer of Delete: asks "message_text_2" when something plays the macro; then,
    // with an edit open, refuses with "message_text_3"; then asks "message_text_4". Only when
    // every question was confirmed is the deletion handed over. `ask` shows a question and
    // returns true for confirm.
    MacroOutcome ConfirmDelete(const MacroAnswered& check,
                               const std::function<bool(std::string_view textId)>& ask);
    MacroOutcome Import(const std::filesystem::path& source);
    MacroOutcome Export(const std::filesystem::path& target, ExportMode mode);

    // ---- the action list (each opens the edit; false when it did not apply)
    void SelectRow(std::optional<int> row);
    bool Insert(MacroAction action);
    // Changes the selected row through `edit` (the editing functions of macro_edit.h).
    bool EditSelectedRow(const std::function<void(MacroAction&)>& edit);
    bool MoveUp();
    bool MoveDown();
    bool MoveToTop();
    bool MoveToBottom();
    bool DeleteRow();
    bool DeleteAllRows();

    // ---- recording
    // Starts appending recorded actions to the working copy; false without a macro to edit.
    bool StartRecording(const RecordingOptions& options, uint32_t nowMs);
    // True when the event added an action.
    bool Feed(const InputEvent& event);
    void StopRecording();

    // ---- ending an edit
    // Hands the working copy over to be written; the edit ends when the write's answer says
    // it went through and nothing was changed since.
    MacroOutcome Save();
    // Drops the edit and reads the chosen macro again.
    void Cancel();

  private:
    struct Pending {
        uint64_t ticket = 0;
        MacroOp op = MacroOp::Load;
        uint64_t editVersion = 0;
    };
    MacroOutcome Blocked() const;
    MacroOutcome Send(MacroOp op, Work work);
    // Sends an operation that chooses a macro: the steps shown wait for its answer.
    MacroOutcome Choose(MacroOp op, Work work);
    bool Changed(std::optional<int> row);

    Runner runner_;
    MacroKeyLayers layers_;
    std::vector<std::string> names_;
    std::optional<int> selected_;
    std::vector<MacroAction> actions_;
    std::optional<int> selectedRow_;
    bool editOpen_ = false;
    // Counts the changes of the working copy (a save's answer ends only the edit it wrote).
    uint64_t editVersion_ = 0;
    MacroRecorder recorder_;
    std::deque<Pending> pending_;
    uint64_t lastTicket_ = 0;
    // The last operation that chooses a macro, and whether its answer is still to come.
    uint64_t lastChoice_ = 0;
    bool choosing_ = false;
};

}  // namespace vq
