#include "core/device/key_assignment.h"

#include <array>

namespace vq {

namespace {

using T = KeyDefinition;

// A keyboard key: type 0x20, param1 0, param2 the HID usage.
constexpr T Key(uint16_t vk, uint8_t usage, std::string_view id) {
    return {vk, key_type::kKey, 0, usage, id};
}
constexpr T Modifier(uint16_t vk, uint8_t bit, std::string_view id) {
    return {vk, key_type::kKey, bit, 0, id};
}
constexpr T Consumer(uint16_t vk, uint16_t usage, std::string_view id) {
    return {vk, key_type::kConsumer, static_cast<uint8_t>(usage & 0xFF),
            static_cast<uint8_t>(usage >> 8), id};
}
constexpr T Row(uint8_t type, uint8_t p1, uint8_t p2, std::string_view id) {
    return {0, type, p1, p2, id};
}

constexpr std::array<T, kKeyTableSize> kKeyTable = {{
    // 0-7: modifiers
    Modifier(0xA2, 0x01, "keyboard_key_LCtrl"),
    Modifier(0xA0, 0x02, "keyboard_key_LShift"),
    Modifier(0xA4, 0x04, "keyboard_key_LAlt"),
    Modifier(0x5B, 0x08, "keyboard_key_LWin"),
    Modifier(0xA3, 0x10, "keyboard_key_RCtrl"),
    Modifier(0xA1, 0x20, "keyboard_key_RShift"),
    Modifier(0xA5, 0x40, "keyboard_key_RAlt"),
    Modifier(0x5C, 0x80, "keyboard_key_RWin"),
    // 8-33: letters
    Key('A', 0x04, "keyboard_key_A"),
    Key('B', 0x05, "keyboard_key_B"),
    Key('C', 0x06, "keyboard_key_C"),
    Key('D', 0x07, "keyboard_key_D"),
    Key('E', 0x08, "keyboard_key_E"),
    Key('F', 0x09, "keyboard_key_F"),
    Key('G', 0x0A, "keyboard_key_G"),
    Key('H', 0x0B, "keyboard_key_H"),
    Key('I', 0x0C, "keyboard_key_I"),
    Key('J', 0x0D, "keyboard_key_J"),
    Key('K', 0x0E, "keyboard_key_K"),
    Key('L', 0x0F, "keyboard_key_L"),
    Key('M', 0x10, "keyboard_key_M"),
    Key('N', 0x11, "keyboard_key_N"),
    Key('O', 0x12, "keyboard_key_O"),
    Key('P', 0x13, "keyboard_key_P"),
    Key('Q', 0x14, "keyboard_key_Q"),
    Key('R', 0x15, "keyboard_key_R"),
    Key('S', 0x16, "keyboard_key_S"),
    Key('T', 0x17, "keyboard_key_T"),
    Key('U', 0x18, "keyboard_key_U"),
    Key('V', 0x19, "keyboard_key_V"),
    Key('W', 0x1A, "keyboard_key_W"),
    Key('X', 0x1B, "keyboard_key_X"),
    Key('Y', 0x1C, "keyboard_key_Y"),
    Key('Z', 0x1D, "keyboard_key_Z"),
    // 34-43: digits 1-9, 0
    Key('1', 0x1E, "keyboard_key_1"),
    Key('2', 0x1F, "keyboard_key_2"),
    Key('3', 0x20, "keyboard_key_3"),
    Key('4', 0x21, "keyboard_key_4"),
    Key('5', 0x22, "keyboard_key_5"),
    Key('6', 0x23, "keyboard_key_6"),
    Key('7', 0x24, "keyboard_key_7"),
    Key('8', 0x25, "keyboard_key_8"),
    Key('9', 0x26, "keyboard_key_9"),
    Key('0', 0x27, "keyboard_key_0"),
    // 44-60
    Key(0x0D, 0x28, "keyboard_key_Enter"),
    Key(0x1B, 0x29, "keyboard_key_Esc"),
    Key(0x08, 0x2A, "keyboard_key_BackSpace"),
    Key(0x09, 0x2B, "keyboard_key_Tab"),
    Key(0x20, 0x2C, "keyboard_key_Space"),
    Key(0xBD, 0x2D, "keyboard_key_-"),
    Key(0xBB, 0x2E, "keyboard_key_="),
    Key(0xDB, 0x2F, "keyboard_key_["),
    Key(0xDD, 0x30, "keyboard_key_]"),
    Key(0xDC, 0x31, "keyboard_key_xiegang"),
    Key(0xBA, 0x33, "keyboard_key_;"),
    Key(0xDE, 0x34, "keyboard_key_'"),
    Key(0xC0, 0x35, "keyboard_key_`"),
    Key(0xBC, 0x36, "keyboard_key_<"),
    Key(0xBE, 0x37, "keyboard_key_."),
    Key(0xBF, 0x38, "keyboard_key_/"),
    Key(0x14, 0x39, "keyboard_key_Caplk"),
    // 61-72: F1-F12
    Key(0x70, 0x3A, "keyboard_key_F1"),
    Key(0x71, 0x3B, "keyboard_key_F2"),
    Key(0x72, 0x3C, "keyboard_key_F3"),
    Key(0x73, 0x3D, "keyboard_key_F4"),
    Key(0x74, 0x3E, "keyboard_key_F5"),
    Key(0x75, 0x3F, "keyboard_key_F6"),
    Key(0x76, 0x40, "keyboard_key_F7"),
    Key(0x77, 0x41, "keyboard_key_F8"),
    Key(0x78, 0x42, "keyboard_key_F9"),
    Key(0x79, 0x43, "keyboard_key_F10"),
    Key(0x7A, 0x44, "keyboard_key_F11"),
    Key(0x7B, 0x45, "keyboard_key_F12"),
    // 73-85: editing and cursor keys
    Key(0x2C, 0x46, "keyboard_key_Print Scr"),
    Key(0x91, 0x47, "keyboard_key_Scroll Lock"),
    Key(0x13, 0x48, "keyboard_key_Pause"),
    Key(0x2D, 0x49, "keyboard_key_Insert"),
    Key(0x24, 0x4A, "keyboard_key_Home"),
    Key(0x21, 0x4B, "keyboard_key_Page Up"),
    Key(0x2E, 0x4C, "keyboard_key_Delete"),
    Key(0x23, 0x4D, "keyboard_key_End"),
    Key(0x22, 0x4E, "keyboard_key_Page Down"),
    Key(0x27, 0x4F, "keyboard_key_Right"),
    Key(0x25, 0x50, "keyboard_key_Left"),
    Key(0x28, 0x51, "keyboard_key_Down"),
    Key(0x26, 0x52, "keyboard_key_Up"),
    // 86-103: keypad and the application key
    Key(0x90, 0x53, "keyboard_key_Num Lock"),
    Key(0x6F, 0x54, "keyboard_key_Num /"),
    Key(0x6A, 0x55, "keyboard_key_Num *"),
    Key(0x6D, 0x56, "keyboard_key_Num -"),
    Key(0x6B, 0x57, "keyboard_key_Num +"),
    Key(kVirtualKeypadEnter, 0x58, "keyboard_key_Num Enter"),
    Key(0x61, 0x59, "keyboard_key_Num 1"),
    Key(0x62, 0x5A, "keyboard_key_Num 2"),
    Key(0x63, 0x5B, "keyboard_key_Num 3"),
    Key(0x64, 0x5C, "keyboard_key_Num 4"),
    Key(0x65, 0x5D, "keyboard_key_Num 5"),
    Key(0x66, 0x5E, "keyboard_key_Num 6"),
    Key(0x67, 0x5F, "keyboard_key_Num 7"),
    Key(0x68, 0x60, "keyboard_key_Num 8"),
    Key(0x69, 0x61, "keyboard_key_Num 9"),
    Key(0x60, 0x62, "keyboard_key_Num 0"),
    Key(0x6E, 0x63, "keyboard_key_Decimal"),
    Key(0x5D, 0x65, "keyboard_key_App"),
    // 104-121: consumer controls
    Consumer(0xB7, 0x0192, "keyboard_key_Launch App2"),
    Consumer(0xAC, 0x0223, "keyboard_key_Browaer Home"),
    Consumer(0xB3, 0x00CD, "keyboard_key_Media Play Pause"),
    Consumer(0xAA, 0x0221, "keyboard_key_Browser Search"),
    Consumer(0xB4, 0x018A, "keyboard_key_Launch Mail"),
    Consumer(0xAF, 0x00E9, "keyboard_key_Volume Up"),
    Consumer(0xAD, 0x00E2, "keyboard_key_Volume Mute"),
    Consumer(0xB2, 0x00B7, "keyboard_key_Media Stop"),
    Consumer(0xAE, 0x00EA, "keyboard_key_Volume Down"),
    Consumer(0xAB, 0x022A, "keyboard_key_Browser Favorites"),
    Consumer(0xA7, 0x0225, "keyboard_key_Browser ForWard"),
    Consumer(0xA6, 0x0224, "keyboard_key_Browser Back"),
    Consumer(0xB1, 0x00B6, "keyboard_key_Media Prev Track"),
    Consumer(0xB0, 0x00B5, "keyboard_key_Media Next Track"),
    Consumer(0xB6, 0x0194, "keyboard_key_Computer"),
    Consumer(0xA8, 0x0227, "keyboard_key_Browser Refresh"),
    // The device's table carries this row twice; lookups always stop at the first.
    Consumer(0xB5, 0x0183, "keyboard_key_Launch Media Select"),
    Consumer(0xB5, 0x0183, "keyboard_key_Launch Media Select"),
    // 122-124: system controls
    {kVirtualPower, key_type::kSystem, 0x01, 0, "keyboard_key_Power"},
    {kVirtualSleep, key_type::kSystem, 0x02, 0, "keyboard_key_Sleep"},
    {kVirtualWakeUp, key_type::kSystem, 0x04, 0, "keyboard_key_Wakeup"},
}};

constexpr T kMouseButtons[] = {
    Row(key_type::kMouseButton, 0x01, 0, "mouse_key_left"),
    Row(key_type::kMouseButton, 0x04, 0, "mouse_key_middle"),
    Row(key_type::kMouseButton, 0x02, 0, "mouse_key_right"),
    Row(key_type::kMouseButton, 0x10, 0, "mouse_key_forward"),
    Row(key_type::kMouseButton, 0x08, 0, "mouse_key_back"),
};
constexpr T kHorizontalScroll[] = {
    Row(key_type::kHorizontalScroll, 0xFF, 0xFF, "mouse_key_left_Swing"),
    Row(key_type::kHorizontalScroll, 0xFF, 0x01, "mouse_key_right_Swing"),
};
constexpr T kVerticalScroll[] = {
    Row(key_type::kVerticalScroll, 0x01, 0x01, "mouse_key_up_Swing"),
    Row(key_type::kVerticalScroll, 0xFF, 0xFF, "mouse_key_down_Swing"),
};
constexpr T kDpi[] = {
    Row(key_type::kDpi, 1, 0, "mouse_key_DPI_loop"),
    Row(key_type::kDpi, 2, 0, "mouse_key_DPI1_loop"),
    Row(key_type::kDpiShift, 2, 0, "mouse_key_DPI_shift"),
};
constexpr T Media(uint16_t usage, std::string_view id) {
    return Consumer(0, usage, id);
}
constexpr T kMedia[] = {
    Media(0x0183, "media_text"),    Media(0x00CD, "media_play"),   Media(0x00B7, "media_stop"),
    Media(0x00B6, "media_prev"),    Media(0x00B5, "media_next"),   Media(0x00EA, "media_vol_sub"),
    Media(0x00E9, "media_vol_add"), Media(0x00E2, "media_mute"),   Media(0x0223, "web_text"),
    Media(0x0227, "web_refresh"),   Media(0x0226, "wed_stop"),     Media(0x0224, "wed_back"),
    Media(0x0225, "wed_forward"),   Media(0x022A, "wed_favorite"), Media(0x0221, "web_search"),
    Media(0x0194, "media_mypc"),    Media(0x0192, "media_calc"),   Media(0x018A, "media_mail"),
};
constexpr T kSystemRows[] = {
    Row(key_type::kSystem, 1, 0, "system_power"),
    Row(key_type::kSystem, 2, 0, "system_sleep"),
    Row(key_type::kSystem, 4, 0, "system_wake_up"),
};
// Every shortcut is left Ctrl with one key.
constexpr T Ctrl(uint8_t usage, std::string_view id) {
    return Row(key_type::kKey, 0x01, usage, id);
}
constexpr T kShortcuts[] = {
    Ctrl(0x12, "combo_open"),   Ctrl(0x11, "combo_new"),     Ctrl(0x1D, "combo_revocation"),
    Ctrl(0x16, "combo_save"),   Ctrl(0x06, "combo_copy"),    Ctrl(0x1B, "combo_cut"),
    Ctrl(0x19, "combo_paste"),  Ctrl(0x09, "combo_finde"),   Ctrl(0x04, "combo_all"),
    Ctrl(0x2D, "combo_narrow"), Ctrl(0x2E, "combo_magnify"),
};

template <typename Match>
std::optional<size_t> FindFirst(std::span<const KeyDefinition> rows, Match match) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (match(rows[i])) return i;
    return std::nullopt;
}

}  // namespace

KeyAssignment KeyAssignment::At(std::span<const uint8_t> layer, size_t index) {
    const size_t at = index * kSize;
    if (at + kSize > layer.size()) return {};
    return {layer[at], layer[at + 1], layer[at + 2]};
}

bool KeyAssignment::StoreAt(std::span<uint8_t> layer, size_t index) const {
    const size_t at = index * kSize;
    if (at + kSize > layer.size()) return false;
    layer[at] = type;
    layer[at + 1] = param1;
    layer[at + 2] = param2;
    return true;
}

std::span<const KeyDefinition> KeyTable() {
    return kKeyTable;
}

std::span<const KeyDefinition> Choices(ChoiceList list) {
    switch (list) {
        case ChoiceList::MouseButton:
            return kMouseButtons;
        case ChoiceList::HorizontalScroll:
            return kHorizontalScroll;
        case ChoiceList::VerticalScroll:
            return kVerticalScroll;
        case ChoiceList::Dpi:
            return kDpi;
        case ChoiceList::Media:
            return kMedia;
        case ChoiceList::System:
            return kSystemRows;
        case ChoiceList::Shortcut:
            return kShortcuts;
    }
    return {};
}

std::optional<size_t> FindKeyByVirtualKey(uint16_t vk) {
    return FindFirst(kKeyTable, [vk](const T& row) { return row.virtualKey == vk; });
}

std::optional<size_t> FindKeyByCode(const KeyAssignment& code) {
    return FindFirst(kKeyTable, [&](const T& row) { return row.Code() == code; });
}

std::optional<size_t> FindKeyByParams(const KeyAssignment& code) {
    return FindFirst(kKeyTable, [&](const T& row) { return row.SameParams(code); });
}

std::optional<size_t> FindChoiceByCode(ChoiceList list, const KeyAssignment& code) {
    return FindFirst(Choices(list), [&](const T& row) { return row.Code() == code; });
}

std::optional<size_t> FindChoiceByParams(ChoiceList list, const KeyAssignment& code) {
    return FindFirst(Choices(list), [&](const T& row) { return row.SameParams(code); });
}

const KeyDefinition& CodeMatch::Row() const {
    return list ? Choices(*list)[row] : kKeyTable[row];
}

std::optional<CodeMatch> FindByCode(const KeyAssignment& code) {
    if (auto row = FindKeyByCode(code)) return CodeMatch{std::nullopt, *row};
    for (ChoiceList list : kChoiceLists)
        if (auto row = FindChoiceByCode(list, code)) return CodeMatch{list, *row};
    return std::nullopt;
}

KeyAssignment MakeScroll(uint8_t type, const ScrollParts& parts) {
    const auto param1 = static_cast<uint8_t>(((parts.high & 0x0F) << 4) | (parts.low & 0x0F));
    const auto param2 =
        static_cast<uint8_t>((parts.amount & 0x7F) | (parts.secondDirection ? 0x80 : 0x00));
    return {type, param1, param2};
}

ScrollParts SplitScroll(const KeyAssignment& code) {
    return {(code.param2 & 0x80) != 0, static_cast<uint8_t>(code.param2 & 0x7F),
            static_cast<uint8_t>(code.param1 >> 4), static_cast<uint8_t>(code.param1 & 0x0F)};
}

}  // namespace vq
