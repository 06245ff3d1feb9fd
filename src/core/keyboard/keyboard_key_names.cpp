#include "core/keyboard/keyboard_key_names.h"

#include <algorithm>
#include <cctype>

#include "core/device/key_assignment.h"

namespace vq {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr std::string_view kKeyPrefix = "keyboard_key_";
constexpr std::string_view kKeyName = "key:";

}  // namespace

std::optional<size_t> KeyRowByName(std::string_view name) {
    if (name.substr(0, kKeyName.size()) == kKeyName) name.remove_prefix(kKeyName.size());
    if (name.empty()) return std::nullopt;
    const auto table = KeyTable();
    for (size_t row = 0; row < table.size(); ++row) {
        const std::string_view id = table[row].textId;
        if (SameText(id, name)) return row;
        if (id.substr(0, kKeyPrefix.size()) == kKeyPrefix &&
            SameText(id.substr(kKeyPrefix.size()), name))
            return row;
    }
    return std::nullopt;
}

std::optional<int> FindKeyboardKey(const KeyboardModel& model, size_t row) {
    const auto table = KeyTable();
    if (row >= table.size()) return std::nullopt;
    // Matched as the on-screen labels match: by the row the factory function's parameters find.
    const std::optional<size_t> wanted = FindKeyByParams(table[row].Code());
    for (int k = 0; k < model.KeyCount(); ++k)
        if (FindKeyByParams(model.FactoryAt(k)) == wanted) return k;
    return std::nullopt;
}

}  // namespace vq
