#pragma once
// File names the program builds from user-chosen names: UTF-8 path conversion, lookup that
// ignores case (the data files are shared with a system whose file names ignore case), and the
// check that keeps a user-chosen name inside its folder.

#include <filesystem>
#include <string>
#include <string_view>

namespace vq {

// UTF-8 text to a path and back, the same on every platform.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// Compares ASCII letters without regard to case; other bytes must match exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The file `fileName` in `folder`: the existing entry whose name matches without regard to case
// (an exact match first), or folder / fileName when there is none.
std::filesystem::path FindFileNoCase(const std::filesystem::path& folder,
                                     std::string_view fileName);

// The most a name may hold: what an index value can hold (259 UTF-16 units), and what a file
// name can hold on common file systems (255 bytes) with its extension.
inline constexpr size_t kMaxNameUnits = 259;
inline constexpr size_t kMaxFileNameBytes = 255;

enum class NameCheck {
    Ok,
    Empty,
    TooLong,
    Separator,         // '/' or '\\'
    DotName,           // "." or ".." or only dots
    ReservedDevice,    // CON, PRN, AUX, NUL, COM1-9, LPT1-9 (with or without an extension)
    ControlCharacter,  // below 0x20 or 0x7F
    InvalidCharacter,  // < > : " | ? *
    BadEdge,           // leading or trailing space, trailing dot, or quoted in ' '
    InvalidText,       // not valid UTF-8
};

// Checks a profile or macro name that becomes `name + extension` in its kind folder.
NameCheck CheckFileStem(std::string_view name, std::string_view extension);
// A one-line description of why a name was refused ("" for Ok).
const char* DescribeNameCheck(NameCheck check);

// UTF-16 code units of UTF-8 text (invalid bytes count one each).
size_t Utf16Length(std::string_view utf8);

}  // namespace vq
