#include "core/util/file_names.h"

#include <array>
#include <system_error>

#include "core/util/atomic_file.h"
#include "core/util/file_thread_guard.h"

namespace vq {

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
size_t SequenceLength(std::string_view text, size_t i, uint32_t* codePoint) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    uint32_t value;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    static constexpr std::array<uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

bool IsReservedDevice(std::string_view name) {
    // The part before the first dot, without trailing spaces, names the device.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view reserved : kPlain)
        if (EqualsNoCase(base, reserved)) return true;
    if (base.size() >= 4 &&
        (EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT"))) {
        const std::string_view number = base.substr(3);
        if (number.size() == 1 && number[0] >= '1' && number[0] <= '9') return true;
        // Superscript one, two and three count as digits here too.
        if (number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3") return true;
    }
    return false;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

fs::path FindFileNoCase(const fs::path& folder, std::string_view fileName) {
    // The folder is always listed: on a file system that ignores case, the asked-for spelling
    // "exists" too, and writing through it could change the spelling of the user's file.
    // Several entries may match on a file system that keeps case apart: an exact match wins,
    // else the first in byte order, so that every lookup finds the same one.
    NoteFileAccess(folder / PathFromUtf8(fileName), "name lookup");
    fs::path found;
    std::string foundName;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (!EqualsNoCase(name, fileName) || IsAtomicTemporaryName(name)) continue;
        if (name == fileName) return it->path();
        if (found.empty() || name < foundName) {
            found = it->path();
            foundName = name;
        }
    }
    return found.empty() ? folder / PathFromUtf8(fileName) : found;
}

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t codePoint = 0;
        const size_t length = SequenceLength(utf8, i, &codePoint);
        if (length == 0) {
            ++units;
            ++i;
            continue;
        }
        units += codePoint >= 0x10000 ? 2 : 1;
        i += length;
    }
    return units;
}

NameCheck CheckFileStem(std::string_view name, std::string_view extension) {
    if (name.empty()) return NameCheck::Empty;
    for (size_t i = 0; i < name.size();) {
        uint32_t codePoint = 0;
        const size_t length = SequenceLength(name, i, &codePoint);
        if (length == 0) return NameCheck::InvalidText;
        i += length;
    }
    if (Utf16Length(name) > kMaxNameUnits || name.size() + extension.size() > kMaxFileNameBytes)
        return NameCheck::TooLong;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') return NameCheck::Separator;
        if (u < 0x20 || u == 0x7F) return NameCheck::ControlCharacter;
    }
    for (char c : name)
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return NameCheck::InvalidCharacter;
    if (name.find_first_not_of('.') == std::string_view::npos) return NameCheck::DotName;
    // Index values lose leading and trailing blanks and enclosing quotes when read back, and
    // Windows drops a trailing dot or space from file names: such names would not survive.
    if (name.front() == ' ' || name.back() == ' ' || name.back() == '.' ||
        (name.size() >= 2 && name.front() == '\'' && name.back() == '\''))
        return NameCheck::BadEdge;
    if (IsReservedDevice(name)) return NameCheck::ReservedDevice;
    return NameCheck::Ok;
}

const char* DescribeNameCheck(NameCheck check) {
    switch (check) {
        case NameCheck::Ok:
            return "";
        case NameCheck::Empty:
            return "the name is empty";
        case NameCheck::TooLong:
            return "the name is too long";
        case NameCheck::Separator:
            return "the name may not contain '/' or '\\'";
        case NameCheck::DotName:
            return "the name may not be made of dots only";
        case NameCheck::ReservedDevice:
            return "the name is reserved by the system (a device name)";
        case NameCheck::ControlCharacter:
            return "the name may not contain control characters";
        case NameCheck::InvalidCharacter:
            return "the name may not contain any of < > : \" | ? *";
        case NameCheck::BadEdge:
            return "the name may not begin or end with a space, end with a dot, or be quoted";
        case NameCheck::InvalidText:
            return "the name is not valid text";
    }
    return "the name is not allowed";
}

}  // namespace vq
