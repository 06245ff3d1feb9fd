#pragma once
// The state of one macro editor (the mouse page's or the keyboard page's): the library's names,
// the selected macro, the working copy of its actions with the selected row, and whether an
// edit is open. The page shows this state and turns its buttons into these calls.
//
// An edit opens with any change of the action list (insert, row edit, move, delete, recording)
// and ends with Save (written to the macro's file) or Cancel (dropped, the file read again).
// While it is open, nothing replaces the working copy: adding, deleting, importing and
// selecting another macro are refused with "message_text_3", so unsaved steps are never lost
// without the user's word. Leaving the page keeps the edit as it is.
//
// Threads: an editor belongs to the thread that calls it.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro/macro_library_ops.h"
#include "core/macro/macro_recorder.h"

namespace vq {

class MacroEditor {
  public:
    explicit MacroEditor(MacroLibrary library);

    // Reads the library and selects its last macro (none when it is empty). An open edit is
    // dropped: call it when the page is built.
    void Load();

    const MacroLibrary& Library() const { return library_; }
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
    // The editing buttons are enabled when there is a macro to edit.
    bool CanEdit() const { return selected_.has_value() && !Recording(); }

    // ---- the library
    MacroOutcome Select(int index);
    MacroOutcome Add();
    // Renames the selected macro; an open edit stays open.
    MacroOutcome Rename(std::string_view newName);
    // Asks as DeleteMacroAsked does, deletes the selected macro, selects the first one.
    MacroOutcome Delete(const MacroKeyLayers& layers,
                        const std::function<bool(std::string_view textId)>& ask);
    MacroOutcome Import(const std::filesystem::path& source);
    MacroOutcome Export(const std::filesystem::path& target, ExportMode mode) const;

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
    // Starts appending recorded actions to the working copy; false without a selected macro.
    bool StartRecording(const RecordingOptions& options, uint32_t nowMs);
    // True when the event added an action.
    bool Feed(const InputEvent& event);
    void StopRecording();

    // ---- ending an edit
    MacroOutcome Save();
    void Cancel();

  private:
    MacroOutcome Blocked() const;
    void ShowSelected();
    bool Changed(std::optional<int> row);

    MacroLibrary library_;
    std::vector<std::string> names_;
    std::optional<int> selected_;
    std::vector<MacroAction> actions_;
    std::optional<int> selectedRow_;
    bool editOpen_ = false;
    MacroRecorder recorder_;
};

}  // namespace vq
