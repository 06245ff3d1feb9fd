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

// ---- parsing and writing the file

IniDocument IniDocument::Parse(std::span<const uint8_t> bytes) {
    IniDocument doc;
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        doc.encoding_ = TextEncoding::Utf16LeBom;
        const std::span<const uint8_t> body = bytes.subspan(2);
        text = Utf8FromUtf16Le(body);
        if (body.size() % 2) doc.undecodedTail_.assign(1, static_cast<char>(body.back()));
    } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        doc.encoding_ = TextEncoding::Utf8Bom;
        text.assign(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3);
    } else {
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    bool sawEnding = false;
    size_t start = 0;
    while (start < text.size()) {
        const size_t lf = text.find('\n', start);
        Line line;
        if (lf == std::string::npos) {
            line.text = text.substr(start);
            start = text.size();
        } else {
            const bool crlf = lf > start && text[lf - 1] == '\r';
            line.text = text.substr(start, lf - start - (crlf ? 1 : 0));
            line.ending = crlf ? "\r\n" : "\n";
            if (!sawEnding) doc.newline_ = line.ending;
            sawEnding = true;
            start = lf + 1;
        }
        doc.lines_.push_back(std::move(line));
    }
    return doc;
}

IniDocument IniDocument::Parse(std::string_view text) {
    return Parse(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::vector<uint8_t> IniDocument::Serialize() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    if (encoding_ == TextEncoding::Utf16LeBom) {
        std::vector<uint8_t> out = {0xFF, 0xFE};
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

size_t IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Parsed p = Classify(lines_[i].text);
        if (p.kind == Parsed::Section && EqualsNoCase(p.name, section)) return i;
    }
    return std::string::npos;
}

size_t IniDocument::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && Classify(lines_[i].text).kind != Parsed::Section)
        ++i;
    return i;
}

size_t IniDocument::FindKey(size_t header, std::string_view key) const {
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const Parsed p = Classify(lines_[i].text);
        if (p.kind == Parsed::Key && EqualsNoCase(p.name, key)) return i;
    }
    return std::string::npos;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const size_t header = FindSection(section);
    if (header == std::string::npos) return std::nullopt;
    const size_t line = FindKey(header, key);
    if (line == std::string::npos) return std::nullopt;
    return std::string(Classify(lines_[line].text).value);
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
    return FindSection(section) != std::string::npos;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        const Parsed p = Classify(line.text);
        if (p.kind != Parsed::Section) continue;
        bool seen = false;
        for (const std::string& n : names)
            seen = seen || EqualsNoCase(n, p.name);
        if (!seen) names.emplace_back(p.name);
    }
    return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const size_t header = FindSection(section);
    if (header == std::string::npos) return names;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const Parsed p = Classify(lines_[i].text);
        if (p.kind != Parsed::Key) continue;
        bool seen = false;
        for (const std::string& n : names)
            seen = seen || EqualsNoCase(n, p.name);
        if (!seen) names.emplace_back(p.name);
    }
    return names;
}

// ---- changes

void IniDocument::EnsureLastLineEnded() {
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = newline_;
}

bool IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidName(section, false) || !ValidName(key, true) ||
        value.find_first_of("\r\n") != std::string_view::npos) {
        Logf(LogLevel::Error, "INI: refused to write [%.*s] %.*s: not a storable name or value",
             static_cast<int>(section.size()), section.data(), static_cast<int>(key.size()),
             key.data());
        return false;
    }
    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        EnsureLastLineEnded();
        lines_.push_back({"[" + std::string(section) + "]", newline_});
        lines_.push_back({std::string(key) + "=" + std::string(value), newline_});
        return true;
    }
    const size_t existing = FindKey(header, key);
    if (existing != std::string::npos) {
        // Keep the key's own spelling.
        const std::string name(Classify(lines_[existing].text).name);
        lines_[existing].text = name + "=" + std::string(value);
        return true;
    }
    // After the section's last non-blank line, so blank lines before the next section stay.
    size_t at = SectionEnd(header);
    while (at > header + 1 && Trim(lines_[at - 1].text).empty())
        --at;
    if (at == lines_.size()) EnsureLastLineEnded();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  Line{std::string(key) + "=" + std::string(value), newline_});
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    const size_t header = FindSection(section);
    if (header == std::string::npos) return false;
    const size_t line = FindKey(header, key);
    if (line == std::string::npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
    const size_t header = FindSection(section);
    if (header == std::string::npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
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
