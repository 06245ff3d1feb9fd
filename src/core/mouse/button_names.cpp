#include "core/mouse/button_names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "core/macro/macro_file.h"  // kCursorScripts

namespace vq {

namespace {

constexpr std::string_view kKeyPrefix = "keyboard_key_";
constexpr std::string_view kKeyName = "key:";
constexpr std::string_view kMacroName = "macro:";
constexpr std::string_view kScriptName = "script:";
constexpr std::string_view kCodeName = "code:";
constexpr std::string_view kDefaultName = "default";
constexpr std::string_view kDpiOffName = "dpi-off";
constexpr KeyAssignment kDpiOff{key_type::kDpiShift, 0, 0};

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::string CodeName(const KeyAssignment& code) {
    char text[16];
    std::snprintf(text, sizeof text, "code:%02X%02X%02X", code.type, code.param1, code.param2);
    return text;
}

std::optional<KeyAssignment> ParseCode(std::string_view hex) {
    if (hex.size() != 6) return std::nullopt;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (ec != std::errc() || end != hex.data() + hex.size()) return std::nullopt;
    return KeyAssignment{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(value)};
}

// The key table's row for "key:NAME".
std::optional<KeyAssignment> FindKeyName(std::string_view name) {
    for (const KeyDefinition& row : KeyTable())
        if (row.textId.size() > kKeyPrefix.size() &&
            SameText(row.textId.substr(kKeyPrefix.size()), name))
            return row.Code();
    return std::nullopt;
}

// A choice list's row by its text id.
std::optional<KeyAssignment> FindChoiceName(std::string_view name) {
    for (ChoiceList list : kChoiceLists)
        for (const KeyDefinition& row : Choices(list))
            if (SameText(row.textId, name)) return row.Code();
    return std::nullopt;
}

}  // namespace

ParsedButtonFunction ParseButtonFunction(std::string_view text,
                                         std::span<const std::string> macroNames,
                                         std::string_view library) {
    ParsedButtonFunction parsed;
    auto fail = [&](std::string why) {
        parsed.error = std::move(why);
        return parsed;
    };
    if (SameText(text, kDefaultName)) {
        parsed.factory = true;
        return parsed;
    }
    if (SameText(text, kDpiOffName)) {
        parsed.code = kDpiOff;
        return parsed;
    }
    if (StartsWith(text, kKeyName)) {
        const std::string_view name = text.substr(kKeyName.size());
        parsed.code = FindKeyName(name);
        if (!parsed.code)
            return fail("no key named \"" + std::string(name) + "\" in the key table");
        return parsed;
    }
    if (StartsWith(text, kMacroName)) {
        const std::string_view name = text.substr(kMacroName.size());
        parsed.macroName = std::string(name);
        // Macro names are the library's own: compared exactly.
        const auto it = std::find(macroNames.begin(), macroNames.end(), name);
        if (it == macroNames.end())
            return fail("no macro named \"" + std::string(name) + "\" in " + std::string(library));
        const auto index = static_cast<size_t>(it - macroNames.begin());
        if (index > 0xFF) return fail("the macro \"" + std::string(name) + "\" is past place 255");
        parsed.code = KeyAssignment{key_type::kMacro, static_cast<uint8_t>(index), 0};
        return parsed;
    }
    if (StartsWith(text, kScriptName)) {
        const std::string_view number = text.substr(kScriptName.size());
        int n = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
        if (ec != std::errc() || end != number.data() + number.size() || number.empty() || n < 1 ||
            n > kCursorScripts)
            return fail("the cursor script must be 1-" + std::to_string(kCursorScripts) +
                        ", not \"" + std::string(number) + "\"");
        parsed.code = KeyAssignment{key_type::kCursorScript, static_cast<uint8_t>(n - 1), 0};
        return parsed;
    }
    if (StartsWith(text, kCodeName)) {
        parsed.code = ParseCode(text.substr(kCodeName.size()));
        if (!parsed.code) return fail("a code is six hexadecimal digits, as in code:120185");
        return parsed;
    }
    parsed.code = FindChoiceName(text);
    if (!parsed.code)
        return fail("unknown function \"" + std::string(text) +
                    "\" (a list name such as mouse_key_left, key:NAME, macro:NAME, script:N, "
                    "dpi-off, code:TTPPQQ or default)");
    return parsed;
}

std::string ButtonFunctionName(const KeyAssignment& code, std::span<const std::string> macroNames) {
    if (code == kDpiOff) return std::string(kDpiOffName);
    switch (code.type) {
        case key_type::kMacro:
            if (code.param2 == 0 && size_t{code.param1} < macroNames.size())
                return std::string(kMacroName) + macroNames[code.param1];
            return CodeName(code);
        case key_type::kCursorScript:
            if (code.param1 < kCursorScripts && code.param2 == 0)
                return std::string(kScriptName) + std::to_string(code.param1 + 1);
            return CodeName(code);
        default:
            break;
    }
    // A name counts only if it reads back as this code: the first list or key-table row with
    // these bytes is the one the name finds again.
    std::optional<std::string> name;
    if (const std::optional<CodeMatch> match = FindByCode(code)) {
        const std::string_view id = match->Row().textId;
        if (match->list)
            name = std::string(id);
        else if (id.size() > kKeyPrefix.size())
            name = std::string(kKeyName) + std::string(id.substr(kKeyPrefix.size()));
    }
    if (name) {
        const ParsedButtonFunction back = ParseButtonFunction(*name, macroNames);
        if (back.code && *back.code == code) return *name;
    }
    return CodeName(code);
}

}  // namespace vq
