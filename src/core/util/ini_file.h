#pragma once
// INI files as the program's index and settings files use them: section and key names match
// without regard to case, the first of duplicate sections or keys wins, a missing key reads as the
// caller's default, values are cut to 259 characters, and integers read the leading decimal digits
// with an optional sign. A write changes only the line it concerns: comments, other sections and
// their order stay as they were. Files in UTF-8 (with or without a byte-order mark) and in UTF-16LE
// with a mark are read and written back in the encoding they had; new files are UTF-8 without a
// mark, with CRLF line ends. Every write goes through the atomic writer. A document is parsed
// once and keeps an index of its sections and keys: a lookup or a change costs the same in a file
// of ten lines as in one of ten thousand. A CR that ends an unended last line is taken for a line
// end cut short (CRLF), not for part of the value.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vq {

// The most characters (UTF-16 units) a value read returns: what a 260-unit buffer holds.
inline constexpr size_t kIniValueUnits = 259;

enum class TextEncoding { Utf8, Utf8Bom, Utf16LeBom };

class IniDocument {
  public:
    IniDocument() = default;  // a new file
    static IniDocument Parse(std::span<const uint8_t> bytes);
    static IniDocument Parse(std::string_view text);
    std::vector<uint8_t> Serialize() const;
    TextEncoding Encoding() const { return encoding_; }

    // The whole value of a key (trimmed, enclosing quotes removed), or nothing when the section or
    // the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // The value cut to kIniValueUnits, or `fallback` (cut the same way) when it is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // The value's leading integer, 0 when it has none; `fallback` when the key is missing or empty.
    int ReadInt(std::string_view section, std::string_view key, int fallback) const;

    // Sets a key, adding the key or the section when missing. Refuses (returns false) names or
    // values that the file could not hold: line breaks, a section name with ']', a key with '=',
    // a key that starts with '[' or ';' or has blanks around it, an empty section or key.
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    // Each returns true when something was removed.
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

    bool HasSection(std::string_view section) const;
    // Section names in file order, each once (the spelling of its first appearance).
    std::vector<std::string> SectionNames() const;
    // Key names of the (first) section in file order, each once.
    std::vector<std::string> KeyNames(std::string_view section) const;

  private:
    enum class Ending : uint8_t { None, Lf, CrLf, Cr };  // Cr: a CRLF cut short at the end
    struct Line {
        std::string text;  // UTF-8, without its ending
        Ending ending = Ending::None;
    };
    // A section header and the lines up to the next one; the first block holds the lines
    // before any header and has none.
    struct Block {
        std::vector<Line> lines;  // the header first, when there is one
        bool hasHeader = false;
        std::string folded;  // the section name in lower case
        // The first line of each key (lower case) within the block.
        std::unordered_map<std::string, size_t> keys;
    };
    struct Parsed;
    static Parsed Classify(std::string_view text);
    static void IndexLine(Block& block, size_t at);
    static void IndexKeys(Block& block);
    void IndexSections();
    void AppendLine(Line line);
    // The block of the first header of `section`, or null.
    const Block* FindSection(std::string_view section) const;
    Block* FindSection(std::string_view section);
    void EnsureLastLineEnded();
    Ending NewLine() const { return newline_; }

    std::vector<Block> blocks_ = std::vector<Block>(1);
    // The first block of each section name (lower case).
    std::unordered_map<std::string, size_t> sections_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    Ending newline_ = Ending::CrLf;
    std::string undecodedTail_;  // a trailing odd byte of a UTF-16 file, written back as it was
};

enum class IniLoadStatus { Ok, Missing, Failed };
struct IniLoad {
    IniLoadStatus status = IniLoadStatus::Missing;
    IniDocument document;  // empty unless Ok
};

IniLoad LoadIniFile(const std::filesystem::path& path);
bool SaveIniFile(const std::filesystem::path& path, const IniDocument& document);

// Loads the file (a missing one is a new document), lets `edit` change it and saves it when
// `edit` returns true. A file that exists but cannot be read is left alone and false returned.
// Updates are serialised within the process, so two threads never lose each other's change.
bool UpdateIniFile(const std::filesystem::path& path,
                   const std::function<bool(IniDocument&)>& edit);

// Whole-file reads and writes, one call per value.
std::string ReadIniString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view fallback);
int ReadIniInt(const std::filesystem::path& path, std::string_view section, std::string_view key,
               int fallback);
bool WriteIniString(const std::filesystem::path& path, std::string_view section,
                    std::string_view key, std::string_view value);
bool DeleteIniKey(const std::filesystem::path& path, std::string_view section,
                  std::string_view key);
std::vector<std::string> ReadIniSectionNames(const std::filesystem::path& path);

// The leading integer of a text as the INI integer read takes it: blanks, an optional sign, then
// decimal digits up to the first other character (none: 0). Wraps like a 32-bit integer.
int LeadingInt(std::string_view text);
// `text` cut to at most `units` UTF-16 units without splitting a character.
std::string CutToUnits(std::string_view text, size_t units);

}  // namespace vq
