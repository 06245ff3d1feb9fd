#include "core/util/ini_file.h"

#include <algorithm>
#include <mutex>

#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// ---- text encodings. UTF-16 text becomes UTF-8; a lone surrogate becomes its three-byte form
// so that it goes back unchanged.

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf8FromUtf16Le(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

void AppendUtf16Le(std::vector<uint8_t>& out, uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

void Utf16LeFromUtf8(std::string_view text, std::vector<uint8_t>& out) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    for (size_t i = 0; i < text.size();) {
        const uint8_t lead = byte(i);
        size_t length = 0;
        uint32_t c = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07u;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3Fu);
        }
        if (!valid || c > 0x10FFFF) {
            AppendUtf16Le(out, 0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            AppendUtf16Le(out, 0xD800 + ((c - 0x10000) >> 10));
            AppendUtf16Le(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            AppendUtf16Le(out, c);
        }
        i += length;
    }
}

bool ValidName(std::string_view name, bool isKey) {
    if (name.empty() || name.find_first_of("\r\n") != std::string_view::npos) return false;
    if (Trim(name) != name) return false;
    if (isKey) return name.find('=') == std::string_view::npos && name[0] != '[' && name[0] != ';';
    return name.find(']') == std::string_view::npos;
}

}  // namespace

// ---- one line's meaning

namespace {

// Section and key names match without regard to ASCII case, as file names do.
std::string Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view EndingText(uint8_t ending) {
    switch (ending) {
        case 1:
            return "\n";
        case 2:
            return "\r\n";
        case 3:
            return "\r";
        default:
            return "";
    }
}

}  // namespace

struct IniDocument::Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;   // section or key name
    std::string_view value;  // key value, trimmed, quotes removed
};

IniDocument::Parsed IniDocument::Classify(std::string_view text) {
    Parsed p;
    const std::string_view line = Trim(text);
    if (line.empty() || line[0] == ';') return p;
    if (line[0] == '[') {
        const size_t close = line.rfind(']');
        if (close != std::string_view::npos) {
            p.kind = Parsed::Section;
            p.name = Trim(line.substr(1, close - 1));
        }
        return p;  // a header without ']' is not a header, nor a key
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return p;
    p.kind = Parsed::Key;
    p.name = Trim(line.substr(0, equals));
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    p.value = value;
    return p;
}

// ---- the index: each section's first block by name, each block's keys by name

void IniDocument::IndexLine(Block& block, size_t at) {
    const Parsed p = Classify(block.lines[at].text);
    if (p.kind == Parsed::Key) block.keys.try_emplace(Folded(p.name), at);
}

void IniDocument::IndexKeys(Block& block) {
    block.keys.clear();
    for (size_t i = block.hasHeader ? 1 : 0; i < block.lines.size(); ++i)
        IndexLine(block, i);
}

void IniDocument::IndexSections() {
    sections_.clear();
    for (size_t b = 0; b < blocks_.size(); ++b)
        if (blocks_[b].hasHeader) sections_.try_emplace(blocks_[b].folded, b);
}

void IniDocument::AppendLine(Line line) {
    const Parsed p = Classify(line.text);
    if (p.kind == Parsed::Section) {
        Block block;
        block.hasHeader = true;
        block.folded = Folded(p.name);
        block.lines.push_back(std::move(line));
        blocks_.push_back(std::move(block));
        sections_.try_emplace(blocks_.back().folded, blocks_.size() - 1);
        return;
    }
    Block& block = blocks_.back();
    // The parsed name looks into the line's text: take it before the line moves.
    if (p.kind == Parsed::Key) block.keys.try_emplace(Folded(p.name), block.lines.size());
    block.lines.push_back(std::move(line));
}

const IniDocument::Block* IniDocument::FindSection(std::string_view section) const {
    const auto it = sections_.find(Folded(section));
    return it == sections_.end() ? nullptr : &blocks_[it->second];
}

IniDocument::Block* IniDocument::FindSection(std::string_view section) {
    const auto it = sections_.find(Folded(section));
    return it == sections_.end() ? nullptr : &blocks_[it->second];
}

// ---- parsing and writing the file

IniDocument IniDocument::Parse(std::span<const uint8_t> bytes) {
    IniDocument doc;
    std::string decoded;
    std::string_view text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        doc.encoding_ = TextEncoding::Utf16LeBom;
        const std::span<const uint8_t> body = bytes.subspan(2);
        decoded = Utf8FromUtf16Le(body);
        text = decoded;
        if (body.size() % 2) doc.undecodedTail_.assign(1, static_cast<char>(body.back()));
    } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        doc.encoding_ = TextEncoding::Utf8Bom;
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3);
    } else {
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    bool sawEnding = false;
    size_t start = 0;
    while (start < text.size()) {
        const size_t lf = text.find('\n', start);
        Line line;
        if (lf == std::string_view::npos) {
            // The last line, unended. A CR there is the first half of a line end that was cut
            // off, not part of the value.
            std::string_view rest = text.substr(start);
            if (!rest.empty() && rest.back() == '\r') {
                rest.remove_suffix(1);
                line.ending = Ending::Cr;
            }
            line.text = std::string(rest);
            start = text.size();
        } else {
            const bool crlf = lf > start && text[lf - 1] == '\r';
            line.text = std::string(text.substr(start, lf - start - (crlf ? 1 : 0)));
            line.ending = crlf ? Ending::CrLf : Ending::Lf;
            if (!sawEnding) doc.newline_ = line.ending;
            sawEnding = true;
            start = lf + 1;
        }
        doc.AppendLine(std::move(line));
    }
    return doc;
}

IniDocument IniDocument::Parse(std::string_view text) {
    return Parse(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::vector<uint8_t> IniDocument::Serialize() const {
    std::string text;
    size_t size = 0;
    for (const Block& block : blocks_)
        for (const Line& line : block.lines)
            size += line.text.size() + 2;
    text.reserve(size);
    for (const Block& block : blocks_)
        for (const Line& line : block.lines) {
            text += line.text;
            text += EndingText(static_cast<uint8_t>(line.ending));
        }
    if (encoding_ == TextEncoding::Utf16LeBom) {
        std::vector<uint8_t> out = {0xFF, 0xFE};
        out.reserve(2 + text.size() * 2 + undecodedTail_.size());
        Utf16LeFromUtf8(text, out);
        for (char c : undecodedTail_)
            out.push_back(static_cast<uint8_t>(c));
        return out;
    }
    const size_t mark = encoding_ == TextEncoding::Utf8Bom ? 3 : 0;
    std::vector<uint8_t> out(mark + text.size());
    if (mark) {
        out[0] = 0xEF;
        out[1] = 0xBB;
        out[2] = 0xBF;
    }
    std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(mark));
    return out;
}

// ---- lookups

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const Block* block = FindSection(section);
    if (block == nullptr) return std::nullopt;
    const auto it = block->keys.find(Folded(key));
    if (it == block->keys.end()) return std::nullopt;
    return std::string(Classify(block->lines[it->second].text).value);
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const std::optional<std::string> value = Find(section, key);
    return CutToUnits(value ? std::string_view(*value) : fallback, kIniValueUnits);
}

int IniDocument::ReadInt(std::string_view section, std::string_view key, int fallback) const {
    const std::optional<std::string> value = Find(section, key);
    if (!value || value->empty()) return fallback;
    return LeadingInt(CutToUnits(*value, kIniValueUnits));
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        if (!blocks_[b].hasHeader) continue;
        // Once, at its first header.
        if (sections_.at(blocks_[b].folded) != b) continue;
        names.emplace_back(Classify(blocks_[b].lines.front().text).name);
    }
    return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const Block* block = FindSection(section);
    if (block == nullptr) return names;
    for (size_t i = 1; i < block->lines.size(); ++i) {
        const Parsed p = Classify(block->lines[i].text);
        if (p.kind != Parsed::Key) continue;
        // Once, at its first line.
        if (block->keys.at(Folded(p.name)) == i) names.emplace_back(p.name);
    }
    return names;
}

// ---- changes

void IniDocument::EnsureLastLineEnded() {
    for (auto b = blocks_.rbegin(); b != blocks_.rend(); ++b) {
        if (b->lines.empty()) continue;
        Line& last = b->lines.back();
        // A cut CRLF is completed; an unended line gets the file's line end.
        if (last.ending == Ending::Cr)
            last.ending = Ending::CrLf;
        else if (last.ending == Ending::None)
            last.ending = newline_;
        return;
    }
}

bool IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidName(section, false) || !ValidName(key, true) ||
        value.find_first_of("\r\n") != std::string_view::npos) {
        Logf(LogLevel::Error, "INI: refused to write [%.*s] %.*s: not a storable name or value",
             static_cast<int>(section.size()), section.data(), static_cast<int>(key.size()),
             key.data());
        return false;
    }
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append("=").append(value);
    Block* block = FindSection(section);
    if (block == nullptr) {
        EnsureLastLineEnded();
        std::string header;
        header.reserve(section.size() + 2);
        header.append("[").append(section).append("]");
        AppendLine({std::move(header), newline_});
        AppendLine({std::move(line), newline_});
        return true;
    }
    const auto existing = block->keys.find(Folded(key));
    if (existing != block->keys.end()) {
        // Keep the key's own spelling.
        Line& old = block->lines[existing->second];
        old.text = std::string(Classify(old.text).name) + "=" + std::string(value);
        return true;
    }
    // After the section's last non-blank line, so blank lines before the next section stay.
    // Only blank lines follow it, so no key of the block moves.
    size_t at = block->lines.size();
    while (at > 1 && Trim(block->lines[at - 1].text).empty())
        --at;
    if (at == block->lines.size() && block == &blocks_.back()) EnsureLastLineEnded();
    block->lines.insert(block->lines.begin() + static_cast<std::ptrdiff_t>(at),
                        Line{std::move(line), newline_});
    block->keys.try_emplace(Folded(key), at);
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    Block* block = FindSection(section);
    if (block == nullptr) return false;
    const auto it = block->keys.find(Folded(key));
    if (it == block->keys.end()) return false;
    block->lines.erase(block->lines.begin() + static_cast<std::ptrdiff_t>(it->second));
    IndexKeys(*block);
    return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
    const auto it = sections_.find(Folded(section));
    if (it == sections_.end()) return false;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(it->second));
    IndexSections();
    return true;
}

// ---- number and length rules

int LeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

std::string CutToUnits(std::string_view text, size_t units) {
    size_t used = 0;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 1;
        if (i + length > text.size()) length = 1;
        const size_t cost = length == 4 ? 2 : 1;
        if (used + cost > units) break;
        used += cost;
        i += length;
    }
    return std::string(text.substr(0, i));
}

// ---- files

IniLoad LoadIniFile(const std::filesystem::path& path) {
    IniLoad load;
    FileBytes file = ReadWholeFile(path);
    switch (file.status) {
        case FileReadStatus::Ok:
            load.status = IniLoadStatus::Ok;
            load.document = IniDocument::Parse(file.bytes);
            break;
        case FileReadStatus::Missing:
            load.status = IniLoadStatus::Missing;
            break;
        case FileReadStatus::Failed:
        case FileReadStatus::TooLarge:
            load.status = IniLoadStatus::Failed;
            break;
    }
    return load;
}

bool SaveIniFile(const std::filesystem::path& path, const IniDocument& document) {
    return WriteFileAtomic(path, document.Serialize());
}

namespace {
std::mutex g_updateMutex;
}

bool UpdateIniFile(const std::filesystem::path& path,
                   const std::function<bool(IniDocument&)>& edit) {
    std::lock_guard lock(g_updateMutex);
    IniLoad load = LoadIniFile(path);
    if (load.status == IniLoadStatus::Failed) {
        Logf(LogLevel::Error, "INI: %s could not be read; it is left as it is",
             Utf8FromPath(path).c_str());
        return false;
    }
    if (!edit(load.document)) return false;
    return SaveIniFile(path, load.document);
}

std::string ReadIniString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view fallback) {
    return LoadIniFile(path).document.ReadString(section, key, fallback);
}

int ReadIniInt(const std::filesystem::path& path, std::string_view section, std::string_view key,
               int fallback) {
    return LoadIniFile(path).document.ReadInt(section, key, fallback);
}

bool WriteIniString(const std::filesystem::path& path, std::string_view section,
                    std::string_view key, std::string_view value) {
    return UpdateIniFile(path, [&](IniDocument& doc) { return doc.Write(section, key, value); });
}

bool DeleteIniKey(const std::filesystem::path& path, std::string_view section,
                  std::string_view key) {
    bool removed = false;
    const bool saved = UpdateIniFile(path, [&](IniDocument& doc) {
        removed = doc.DeleteKey(section, key);
        return removed;
    });
    return saved && removed;
}

std::vector<std::string> ReadIniSectionNames(const std::filesystem::path& path) {
    return LoadIniFile(path).document.SectionNames();
}

}  // namespace vq
