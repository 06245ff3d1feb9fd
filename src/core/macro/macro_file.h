#pragma once
// Macros on disk. A kind folder ("ms" or "kb") holds the library index ("msMacro.ini",
// "kbMacro.ini": the macro names in library order, and for the mouse the four cursor script
// names) and one action file per macro, name + ".mac". An action file (the cursor scripts' ".cur"
// files too) is an INI file of numbered records "delayLow,delayHigh,type,code,down,label".

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/device/device_kind.h"
#include "core/util/file_names.h"

namespace vq {

// One step of a macro: an input event and the pause after it.
struct MacroAction {
    uint8_t delayLow = 0;
    uint8_t delayHigh = 0;
    uint8_t type = 0;   // event type in bits 0-6, bit 7 pressed (or the direction of a move)
    uint8_t code = 0;   // key code, button bit or move distance
    uint16_t down = 0;  // 1 when bit 7 of the type is set
    std::string label;  // the language text id shown for the event

    uint16_t DelayMs() const { return static_cast<uint16_t>(delayLow | (delayHigh << 8)); }
    void SetDelayMs(uint16_t ms) {
        delayLow = static_cast<uint8_t>(ms & 0xFF);
        delayHigh = static_cast<uint8_t>(ms >> 8);
    }
    uint8_t EventType() const { return type & 0x7F; }
    bool Pressed() const { return (type & 0x80) != 0; }
    // Types below 9 are mouse events (buttons, moves), the others keyboard events.
    bool IsMouseEvent() const { return EventType() < 9; }
    bool operator==(const MacroAction&) const = default;
};

// Event types (the low seven bits of `type`).
inline constexpr uint8_t kMacroMouseButton = 0x01;
inline constexpr uint8_t kMacroMoveHorizontal = 0x04;  // bit 7: left
inline constexpr uint8_t kMacroMoveVertical = 0x05;    // bit 7: up
inline constexpr uint8_t kMacroModifierKey = 0x09;
inline constexpr uint8_t kMacroKey = 0x0A;

// Parses a record from the right: the label after the last comma, then down, code, type and
// delay high each after the last remaining comma, and the delay low before the first comma.
// Numbers are signed decimals (leading digits; anything else is 0) of which the field keeps its
// low bits. Nothing when the text has fewer than five commas.
std::optional<MacroAction> ParseMacroAction(std::string_view text);
std::string FormatMacroAction(const MacroAction& action);

// ---- action files (".mac", ".cur")

// The records at keys "0" to count - 1, each parsed or nothing where it does not parse.
// A missing file has none.
std::vector<std::optional<MacroAction>> ReadActionRecords(const std::filesystem::path& path);
// The records that parse, in order (the others are skipped and logged).
std::vector<MacroAction> ReadActionFile(const std::filesystem::path& path);
// Writes "MACROACTIONCOUNT"/"count", each "MACROACTION" record and, when `selectName` is given,
// "MACROSELECTNAME"/"name"; other content of the file stays. Records past the new count stay
// too (they are ignored). Refuses labels that a record could not hold (a comma, a line break).
bool WriteActionFile(const std::filesystem::path& path, std::span<const MacroAction> actions,
                     std::optional<std::string_view> selectName = std::nullopt);

// Rewrites the records at the given indices and nothing else of the file (its count stays).
// Refuses labels that a record could not hold.
bool WriteActionRecords(const std::filesystem::path& path,
                        std::span<const std::pair<int, MacroAction>> records);

// Whether the bytes of a file are an action file that the program can take in: an INI text with
// "MACROACTIONCOUNT"/"count" between 0 and `maxActions` and a parsable record for each index
// below the count.
enum class ActionFileCheck { Ok, NotIni, NoCount, TooManyActions, BadRecord };
ActionFileCheck CheckActionFile(std::span<const uint8_t> bytes, int maxActions,
                                int* count = nullptr, int* badRecord = nullptr);
const char* DescribeActionFileCheck(ActionFileCheck check);
// The most actions an imported macro may hold: more than any device memory takes.
inline constexpr int kMaxImportedActions = 10000;

// ---- the library of one kind

inline constexpr int kMaxMacros = 50;
inline constexpr int kCursorScripts = 4;
inline constexpr std::string_view kMacroExtension = ".mac";
inline constexpr std::string_view kCursorExtension = ".cur";

enum class MacroResult {
    Ok,
    BadName,
    DuplicateName,
    TooMany,
    Missing,
    Exists,
    WriteFailed,
    NoSuchMacro,   // no macro of that name in the library
    NotMacroFile,  // a file offered for import is not an action file
    ReadFailed,    // a file could not be read
    Cancelled,     // the user declined, or an open edit stood in the way
};
const char* MacroResultText(MacroResult result);

std::string MacroIndexFileName(DeviceKind kind);  // "msMacro.ini", "kbMacro.ini"

class MacroLibrary {
  public:
    // `kindFolder` is the kind's folder in the data folder (ProfileStore::KindFolder).
    MacroLibrary(DeviceKind kind, std::filesystem::path kindFolder);

    DeviceKind Kind() const { return kind_; }
    std::filesystem::path IndexPath() const;
    // The macro's file, matched without regard to case; nothing for a name that is not a safe
    // file name.
    std::optional<std::filesystem::path> MacroPath(std::string_view name) const;

    // The macro names in library order (a macro's position is its index in key assignments).
    std::vector<std::string> ReadNames() const;
    // Rewrites "MACROCOUNT" and "MACRONAME" (stale names past the count are removed); the cursor
    // entries and anything else in the index stay. Refuses more than kMaxMacros names, a bad name
    // or two names that differ only in case; nothing is written then.
    MacroResult WriteNames(std::span<const std::string> names, std::string* badName = nullptr);

    // A missing or unreadable macro file is an empty macro.
    std::vector<MacroAction> ReadMacro(std::string_view name) const;
    // The mouse's files also get "MACROSELECTNAME"/"name" = the macro's name.
    MacroResult WriteMacro(std::string_view name, std::span<const MacroAction> actions);
    // The file of a deleted macro; its absence is fine.
    MacroResult DeleteMacroFile(std::string_view name);
    // Moves a macro's file to its new name. Refuses a bad new name or one whose file exists (a
    // change of case only is allowed). A macro without a file has nothing to move: Ok.
    MacroResult RenameMacroFile(std::string_view oldName, std::string_view newName);

    // ---- the mouse's cursor scripts
    std::vector<std::string> CursorNames() const;
    // When the index has no cursor scripts: enters "name_1" to "name_4" and copies each shipped
    // "name_N.cur" from the program folder unless a file of that name is already here. Returns
    // false when an index write or a copy failed (a missing shipped script is logged).
    bool SeedCursorScripts(const std::filesystem::path& programFolder);

  private:
    DeviceKind kind_;
    std::filesystem::path folder_;
};

}  // namespace vq
