#pragma once
// The three-byte function code every mouse button and keyboard key carries in the device's key
// memory, the table of keyboard keys (virtual key, HID usage, text id) and the fixed choice
// lists of the function panels.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vq {

// Function type codes (the first byte of a KeyAssignment).
namespace key_type {
inline constexpr uint8_t kNone = 0x00;
inline constexpr uint8_t kMouseButton = 0x10;
inline constexpr uint8_t kHorizontalScroll = 0x11;
inline constexpr uint8_t kVerticalScroll = 0x12;
inline constexpr uint8_t kDpi = 0x13;
inline constexpr uint8_t kFire = 0x14;
inline constexpr uint8_t kKey = 0x20;
inline constexpr uint8_t kConsumer = 0x30;
inline constexpr uint8_t kSystem = 0x40;
inline constexpr uint8_t kMacro = 0x70;
inline constexpr uint8_t kMacroCounted = 0x71;
inline constexpr uint8_t kCursorScript = 0x72;  // mouse only
inline constexpr uint8_t kDpiShift = 0xA0;
}  // namespace key_type

// Virtual keys that stand for keys without a virtual key of their own.
inline constexpr uint16_t kVirtualKeypadEnter = 0x101;
inline constexpr uint16_t kVirtualPower = 0x103;
inline constexpr uint16_t kVirtualSleep = 0x104;
inline constexpr uint16_t kVirtualWakeUp = 0x105;

struct KeyAssignment {
    uint8_t type = 0, param1 = 0, param2 = 0;

    static constexpr size_t kSize = 3;

    // Reads the record at 3 * index of a key layer; an index past the layer reads as zeros.
    static KeyAssignment At(std::span<const uint8_t> layer, size_t index);
    // Writes the record at 3 * index; returns false (and writes nothing) past the layer.
    bool StoreAt(std::span<uint8_t> layer, size_t index) const;

    friend constexpr bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

// One row of the key table or of a choice list (six bytes on the device side: virtual key,
// type, param1, param2, pad) with the text id that names it.
struct KeyDefinition {
    uint16_t virtualKey = 0;
    uint8_t type = 0, param1 = 0, param2 = 0;
    std::string_view textId;

    constexpr KeyAssignment Code() const { return {type, param1, param2}; }
    // Same param1 and param2, whatever the type: how the label lookups match.
    constexpr bool SameParams(const KeyAssignment& a) const {
        return param1 == a.param1 && param2 == a.param2;
    }
};

inline constexpr size_t kKeyTableSize = 125;
// Rows 0-103 are keyboard keys (modifiers first), 104-121 consumer keys, 122-124 system keys.
inline constexpr size_t kKeyboardKeyRows = 104;

std::span<const KeyDefinition> KeyTable();

// The function choice lists; a list's item index is the row index.
enum class ChoiceList {
    MouseButton,       // "*_key_fct_combo_11"
    HorizontalScroll,  // "*_key_fct_combo_12"
    VerticalScroll,    // "*_key_fct_combo_13"
    Dpi,               // "*_key_fct_combo_14"
    Media,             // "*_key_fct_combo_21"
    System,            // "*_key_fct_combo_22"
    Shortcut,          // "*_key_fct_combo_26"
};
inline constexpr ChoiceList kChoiceLists[] = {
    ChoiceList::MouseButton,    ChoiceList::HorizontalScroll,
    ChoiceList::VerticalScroll, ChoiceList::Dpi,
    ChoiceList::Media,          ChoiceList::System,
    ChoiceList::Shortcut};

std::span<const KeyDefinition> Choices(ChoiceList list);

// The label of the fire-key function, which has no list of its own.
inline constexpr std::string_view kFireKeyLabel = "mouse_key_fire_key";

// The first key-table row whose virtual key equals vk (callers map the keypad Enter to 0x101).
std::optional<size_t> FindKeyByVirtualKey(uint16_t vk);
// The first key-table row whose three bytes equal the code.
std::optional<size_t> FindKeyByCode(const KeyAssignment& code);
// The first key-table row whose param1 and param2 equal the code's (type not compared).
std::optional<size_t> FindKeyByParams(const KeyAssignment& code);
// The first row of a list whose three bytes equal the code.
std::optional<size_t> FindChoiceByCode(ChoiceList list, const KeyAssignment& code);
// The first row of a list whose param1 and param2 equal the code's.
std::optional<size_t> FindChoiceByParams(ChoiceList list, const KeyAssignment& code);

// Where a stored code was found: the key table, or one of the choice lists.
struct CodeMatch {
    std::optional<ChoiceList> list;  // empty: the key table
    size_t row = 0;
    const KeyDefinition& Row() const;
};
// The first row of the key table, then of the choice lists in their order, with equal bytes.
std::optional<CodeMatch> FindByCode(const KeyAssignment& code);

// The scroll functions pack two 4-bit numbers into param1 and direction and amount into param2.
struct ScrollParts {
    bool secondDirection = false;  // right (horizontal) or down (vertical): bit 7 of param2
    uint8_t amount = 0;            // 0-127
    uint8_t high = 0, low = 0;     // 0-15 each
};
// type is key_type::kHorizontalScroll or kVerticalScroll; values are cut to their widths.
KeyAssignment MakeScroll(uint8_t type, const ScrollParts& parts);
ScrollParts SplitScroll(const KeyAssignment& code);

}  // namespace vq
