#pragma once
// The operations on a kind's macro library that the macro pages and quilletctl share: list, add,
// delete (with the repair of the key assignments that play macros by index), rename, import,
// export, and the first-run fill. Each reports what happened and which message the user is shown.
//
// Consistency on disk: every file is replaced atomically, and each operation orders its writes so
// that a crash between two of them leaves the index and the macro files consistent. At worst a
// macro file that no index entry names remains; such a file is never taken for a new macro (the
// generated names skip it, and an explicit name that would adopt it is refused).

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro/macro_file.h"

namespace vq {

class MouseModel;
class KeyboardModel;
class ProfileStore;

// What an operation did, and what to tell the user.
struct MacroOutcome {
    MacroResult result = MacroResult::Ok;
    // The language text id of the message box to show ("message_text_17", ...), or empty where
    // the program has no text of its own for the case (then `detail` says it in English).
    std::string textId;
    int textArg = 0;  // the number that fills the text's %d
    std::string detail;
    // The macro concerned: its name and its index in the library afterwards (-1: none).
    std::string name;
    int index = -1;

    bool Ok() const { return result == MacroResult::Ok; }
};

// The index of `name` in `names`, compared without regard to case.
std::optional<int> FindMacroName(std::span<const std::string> names, std::string_view name);

// The name the add operation gives a new macro: "name_" + n, n from the macro count + 1 upwards,
// skipping names that are taken (without regard to case) and names whose file exists.
std::string NextMacroName(const MacroLibrary& library, std::span<const std::string> names);

// Adds a macro at the end of the library: with `name`, or with NextMacroName. Only the index is
// written; the macro's file comes with its first save. Refuses a 51st macro ("message_text_17"
// with 50), a taken name ("message_text_5"), a bad name, and a name whose file already exists.
MacroOutcome AddMacro(MacroLibrary& library, std::optional<std::string_view> name = std::nullopt);

// Renames a macro, its file and its index entry. A name equal to the current one is nothing to
// do; a change of case only is a rename. Refuses a bad name, a name another macro has
// ("message_text_5"), and a name whose file exists. The file is written under its new name before
// the index changes and the old file goes last, so a crash leaves the old or the new state (and
// at worst a spare file); a change of case only renames the file in place, which the
// case-blind lookups find under either spelling.
MacroOutcome RenameMacro(MacroLibrary& library, std::string_view oldName, std::string_view newName);

// Saves the actions of a macro that the library lists.
MacroOutcome SaveMacro(MacroLibrary& library, std::string_view name,
                       std::span<const MacroAction> actions);

// Deletes a macro: the index without it first, then its file. The caller has asked the user
// and repairs the key assignments (below) only when this succeeded.
MacroOutcome DeleteMacro(MacroLibrary& library, std::string_view name);

// Takes a macro file in as a new macro (named as AddMacro names it), byte for byte. A file that
// is not a macro file, that cannot be read, or that the add refuses is not copied and nothing
// is added.
MacroOutcome ImportMacro(MacroLibrary& library, const std::filesystem::path& source);

enum class ExportMode {
    KeepExisting,  // refuse when the target exists
    Replace,       // the user has agreed to replace it
};
// Copies a macro's file byte for byte to `target`; a macro never saved exports as an empty macro
// file.
MacroOutcome ExportMacro(const MacroLibrary& library, std::string_view name,
                         const std::filesystem::path& target, ExportMode mode);

// ---- the first-run fill

struct MacroLibraryFill {
    std::vector<std::string> names;        // the macro lists' items, in library order
    std::vector<std::string> cursorNames;  // the mouse's cursor scripts (empty for the keyboard)
    bool ok = true;  // false when the cursor scripts could not all be seeded (logged)
};
// What the page set-up and `quilletctl profiles` run for a kind's macros before its profile
// families: for the mouse, seed the cursor scripts from the program folder when the index has
// none; then read the library. Nothing else is written: a library without macros stays empty.
MacroLibraryFill SeedMacroLibrary(DeviceKind kind, const std::filesystem::path& kindFolder,
                                  const std::filesystem::path& programFolder);

// ---- key assignments that play macros by index

using KeyLayerImage = std::array<uint8_t, 512>;

// The entries each layer holds that can play a macro: the mouse's eight buttons; every record a
// 512-byte keyboard layer can hold (those past the keyboard's key count are zero).
inline constexpr size_t kMouseMacroEntries = 8;
inline constexpr size_t kKeyboardMacroEntries = 512 / 3;

struct KeyRepairCount {
    int restored = 0;    // entries that played the deleted macro: now their factory function
    int renumbered = 0;  // entries that played a later macro: now its new index
};

// Whether an entry among the first `entries` of the layer plays macro `index` (type 0x70/0x71).
bool LayerPlaysMacro(std::span<const uint8_t> layer, size_t entries, int index);
// The repair after deleting macro `deleted`: an entry that played it gets the factory entry at
// its position back, an entry that played a later macro plays it under its new index.
KeyRepairCount RepairLayerAfterDelete(std::span<uint8_t> layer, std::span<const uint8_t> factory,
                                      size_t entries, int deleted);

// On the models, over all five layers. The controller asks MacroInUse before the first question
// and applies the repair only after the deletion went through.
bool MouseMacroInUse(const MouseModel& model, int index);
KeyRepairCount RepairMouseKeysAfterDelete(MouseModel& model, int deleted);
bool KeyboardMacroInUse(const KeyboardModel& model, int index);
KeyRepairCount RepairKeyboardKeysAfterDelete(KeyboardModel& model, int deleted);

// The key layers kept in the kind's profile files (device and key families) name macros by
// index too. Whether any of them plays macro `index`, with the names of those profiles.
std::vector<std::string> ProfilesPlayingMacro(const ProfileStore& store, DeviceKind kind,
                                              int index);
// Repairs the key layer of every device and key profile of the kind as above, with `factory` as
// the out-of-the-box layer. Returns false when a profile that needed the repair could not be
// written (logged); the others are repaired.
bool RepairProfilesAfterDelete(const ProfileStore& store, DeviceKind kind, int deleted,
                               const KeyLayerImage& factory, KeyRepairCount* count = nullptr);

// The key layers whose macro indices a deletion repairs (a device model's five layers).
struct MacroKeyLayers {
    std::function<bool(int index)> inUse;               // does an entry play macro `index`?
    std::function<KeyRepairCount(int deleted)> repair;  // the repair after a deletion
};
MacroKeyLayers MouseMacroKeyLayers(MouseModel& model);
MacroKeyLayers KeyboardMacroKeyLayers(KeyboardModel& model);

// The editor's delete with its questions: when an entry of `layers` plays the macro, asks
// "message_text_2"; then, with an edit open, refuses with "message_text_3"; then asks
// "message_text_4". Only when every question was confirmed is the macro deleted (DeleteMacro)
// and the layers repaired; a declined question or a failed deletion leaves the library and the
// layers as they were. `ask` shows a question and returns true for confirm.
// The questions before a deletion, in their order: when something plays the macro, asks
// "message_text_2"; then, with an edit open, refuses with "message_text_3"; then asks
// "message_text_4". Ok when every question was confirmed, else the Cancelled outcome.
MacroOutcome AskBeforeDelete(bool inUse, bool editOpen,
                             const std::function<bool(std::string_view textId)>& ask);

MacroOutcome DeleteMacroAsked(MacroLibrary& library, std::string_view name,
                              const MacroKeyLayers& layers, bool editOpen,
                              const std::function<bool(std::string_view textId)>& ask,
                              KeyRepairCount* repaired = nullptr);

}  // namespace vq
