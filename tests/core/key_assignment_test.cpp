// The key table, the choice lists, their lookups and the labels shown for stored codes.

#include "core/device/key_assignment.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/device/key_labels.h"

namespace vq {
namespace {

TEST(KeyTable, RowsAreInDeviceOrderWithTheirCodes) {
    const auto table = KeyTable();
    ASSERT_EQ(table.size(), 125u);
    // Modifiers carry one bit each in param1, in the order of the modifier byte.
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(table[i].type, 0x20);
        EXPECT_EQ(table[i].param1, 1u << i) << i;
        EXPECT_EQ(table[i].param2, 0);
    }
    // Keyboard keys: param1 0 and HID usages rising from A (0x04) to App (0x65).
    EXPECT_EQ(table[8].textId, "keyboard_key_A");
    EXPECT_EQ(table[8].param2, 0x04);
    EXPECT_EQ(table[8].virtualKey, 'A');
    for (size_t i = 9; i < kKeyboardKeyRows; ++i) {
        EXPECT_EQ(table[i].type, 0x20) << i;
        EXPECT_EQ(table[i].param1, 0) << i;
        EXPECT_GT(table[i].param2, table[i - 1].param2) << table[i].textId;
    }
    EXPECT_EQ(table[43].textId, "keyboard_key_0");
    EXPECT_EQ(table[43].param2, 0x27);
    EXPECT_EQ(table[91].textId, "keyboard_key_Num Enter");
    EXPECT_EQ(table[91].virtualKey, 0x101);
    EXPECT_EQ(table[103].textId, "keyboard_key_App");
    EXPECT_EQ(table[103].param2, 0x65);
    // Consumer keys: usage low byte, then high byte.
    EXPECT_EQ(table[104].textId, "keyboard_key_Launch App2");
    EXPECT_EQ(table[104].Code(), (KeyAssignment{0x30, 0x92, 0x01}));
    EXPECT_EQ(table[104].virtualKey, 0xB7);
    for (size_t i = 104; i < 122; ++i)
        EXPECT_EQ(table[i].type, 0x30) << i;
    EXPECT_EQ(table[122].Code(), (KeyAssignment{0x40, 0x01, 0}));
    EXPECT_EQ(table[124].textId, "keyboard_key_Wakeup");
    EXPECT_EQ(table[124].virtualKey, 0x105);
}

TEST(KeyTable, OnlyRows120And121RepeatAndLookupsStopAtTheFirst) {
    const auto table = KeyTable();
    EXPECT_EQ(table[120].Code(), table[121].Code());
    EXPECT_EQ(table[120].virtualKey, table[121].virtualKey);
    EXPECT_EQ(table[120].textId, table[121].textId);
    EXPECT_EQ(FindKeyByCode({0x30, 0x83, 0x01}), 120u);
    EXPECT_EQ(FindKeyByVirtualKey(0xB5), 120u);
    // Every other row has its own text id, virtual key and code.
    std::set<std::string_view> ids;
    std::set<uint16_t> vks;
    for (size_t i = 0; i < table.size(); ++i) {
        if (i == 121) continue;
        EXPECT_TRUE(ids.insert(table[i].textId).second) << table[i].textId;
        EXPECT_TRUE(vks.insert(table[i].virtualKey).second) << table[i].textId;
        EXPECT_EQ(FindKeyByCode(table[i].Code()), i) << table[i].textId;
    }
}

TEST(KeyTable, LookupByVirtualKeyAsTheCapturePathsUseIt) {
    // The main Enter and the keypad Enter (mapped to 0x101 by the caller) differ.
    ASSERT_TRUE(FindKeyByVirtualKey(13));
    EXPECT_EQ(KeyTable()[*FindKeyByVirtualKey(13)].Code(), (KeyAssignment{0x20, 0, 0x28}));
    ASSERT_TRUE(FindKeyByVirtualKey(kVirtualKeypadEnter));
    EXPECT_EQ(KeyTable()[*FindKeyByVirtualKey(0x101)].Code(), (KeyAssignment{0x20, 0, 0x58}));
    // Volume Up is found, but as a consumer row, which a key capture ignores.
    ASSERT_TRUE(FindKeyByVirtualKey(0xAF));
    EXPECT_EQ(KeyTable()[*FindKeyByVirtualKey(0xAF)].type, 0x30);
    EXPECT_EQ(KeyTable()[*FindKeyByVirtualKey(0xA5)].textId, "keyboard_key_RAlt");
    EXPECT_FALSE(FindKeyByVirtualKey(0xFF));
    EXPECT_FALSE(FindKeyByVirtualKey(0));
}

TEST(ChoiceLists, RowsAndItemIndices) {
    EXPECT_EQ(Choices(ChoiceList::MouseButton).size(), 5u);
    EXPECT_EQ(Choices(ChoiceList::MouseButton)[1].Code(), (KeyAssignment{0x10, 4, 0}));
    EXPECT_EQ(Choices(ChoiceList::HorizontalScroll)[1].Code(), (KeyAssignment{0x11, 0xFF, 0x01}));
    EXPECT_EQ(Choices(ChoiceList::VerticalScroll)[0].Code(), (KeyAssignment{0x12, 0x01, 0x01}));
    EXPECT_EQ(Choices(ChoiceList::Dpi)[2].Code(), (KeyAssignment{0xA0, 2, 0}));
    EXPECT_EQ(Choices(ChoiceList::Dpi)[2].textId, "mouse_key_DPI_shift");
    ASSERT_EQ(Choices(ChoiceList::Media).size(), 18u);
    EXPECT_EQ(Choices(ChoiceList::Media)[10].Code(), (KeyAssignment{0x30, 0x26, 0x02}));
    EXPECT_EQ(Choices(ChoiceList::Media)[10].textId, "wed_stop");
    ASSERT_EQ(Choices(ChoiceList::Shortcut).size(), 11u);
    for (const auto& row : Choices(ChoiceList::Shortcut))
        EXPECT_EQ(row.param1, 0x01) << row.textId;  // left Ctrl
    EXPECT_EQ(Choices(ChoiceList::Shortcut)[4].Code(), (KeyAssignment{0x20, 0x01, 0x06}));
    EXPECT_EQ(Choices(ChoiceList::System)[2].textId, "system_wake_up");
    EXPECT_EQ(FindChoiceByCode(ChoiceList::Shortcut, {0x20, 0x01, 0x2E}), 10u);
}

TEST(ChoiceLists, LookupByCodeSearchesTheKeyTableFirstAndKeepsUnknownCodes) {
    // A media key is in the key table as well as the media list: the table wins.
    auto match = FindByCode({0x30, 0xE9, 0x00});
    ASSERT_TRUE(match);
    EXPECT_FALSE(match->list);
    EXPECT_EQ(match->Row().textId, "keyboard_key_Volume Up");
    // wed_stop has no key-table row.
    match = FindByCode({0x30, 0x26, 0x02});
    ASSERT_TRUE(match);
    EXPECT_EQ(match->list, ChoiceList::Media);
    EXPECT_EQ(match->Row().textId, "wed_stop");
    match = FindByCode({0x13, 2, 0});
    ASSERT_TRUE(match);
    EXPECT_EQ(match->Row().textId, "mouse_key_DPI1_loop");
    // Device-only codes match nothing.
    for (KeyAssignment unknown : {KeyAssignment{0x15, 1, 2}, KeyAssignment{0x50, 0, 0},
                                  KeyAssignment{0xC0, 9, 9}, KeyAssignment{0x20, 0, 0}})
        EXPECT_FALSE(FindByCode(unknown)) << int{unknown.type};
}

TEST(KeyAssignmentRecords, ReadAndStoreInsideTheLayerOnly) {
    std::vector<uint8_t> layer(10, 0xEE);
    EXPECT_TRUE((KeyAssignment{1, 2, 3}).StoreAt(layer, 2));
    EXPECT_EQ(KeyAssignment::At(layer, 2), (KeyAssignment{1, 2, 3}));
    EXPECT_EQ(layer[5], 0xEE);
    EXPECT_EQ(layer[9], 0xEE);
    // Record 3 would need bytes 9-11 of a 10-byte layer.
    EXPECT_FALSE((KeyAssignment{7, 7, 7}).StoreAt(layer, 3));
    EXPECT_EQ(layer[9], 0xEE);
    EXPECT_EQ(KeyAssignment::At(layer, 3), KeyAssignment{});
}

TEST(ScrollCodes, PackDirectionAmountAndTwoNibbles) {
    // Vertical scroll, direction item 1, amount 5, numbers 3 and 2.
    EXPECT_EQ(MakeScroll(0x12, {true, 5, 3, 2}), (KeyAssignment{0x12, 0x32, 0x85}));
    EXPECT_EQ(MakeScroll(0x11, {false, 127, 15, 15}), (KeyAssignment{0x11, 0xFF, 0x7F}));
    const ScrollParts parts = SplitScroll({0x11, 0x32, 0x85});
    EXPECT_TRUE(parts.secondDirection);
    EXPECT_EQ(parts.amount, 5);
    EXPECT_EQ(parts.high, 3);
    EXPECT_EQ(parts.low, 2);
    // Values past their widths keep their low bits and never spill into the other field.
    EXPECT_EQ(MakeScroll(0x12, {false, 0xFF, 0x1F, 0x10}), (KeyAssignment{0x12, 0xF0, 0x7F}));
}

TEST(KeyLabels, MouseButtonsByType) {
    const std::vector<std::string> macros = {"reload", "jump"};
    using L = KeyLabel;
    EXPECT_EQ(MouseButtonLabel({0x10, 0x10, 0}, macros), L::Id("mouse_key_forward"));
    EXPECT_EQ(MouseButtonLabel({0x20, 0, 0x04}, macros), L::Id("keyboard_key_A"));
    // A shortcut names Ctrl+C better than any single key would.
    EXPECT_EQ(MouseButtonLabel({0x20, 0x01, 0x06}, macros), L::Id("combo_copy"));
    EXPECT_EQ(MouseButtonLabel({0x11, 0x00, 0x85}, macros), L::Id("mouse_key_right_Swing"));
    EXPECT_EQ(MouseButtonLabel({0x12, 0x00, 0x05}, macros), L::Id("mouse_key_up_Swing"));
    EXPECT_EQ(MouseButtonLabel({0x13, 2, 0}, macros), L::Id("mouse_key_DPI1_loop"));
    EXPECT_EQ(MouseButtonLabel({0x14, 9, 9}, macros), L::Id("mouse_key_fire_key"));
    EXPECT_EQ(MouseButtonLabel({0x30, 0x26, 0x02}, macros), L::Id("wed_stop"));
    EXPECT_EQ(MouseButtonLabel({0x40, 2, 0}, macros), L::Id("system_sleep"));
    EXPECT_EQ(MouseButtonLabel({0x71, 1, 7}, macros), L::Macro("jump"));
    EXPECT_EQ(MouseButtonLabel({0x70, 2, 0}, macros), L::Keep());  // past the library
    EXPECT_EQ(MouseButtonLabel({0x72, 2, 0}, macros), L::Id("GUN_3"));
    EXPECT_EQ(MouseButtonLabel({0x72, 4, 0}, macros), L::Keep());  // only four scripts
    EXPECT_EQ(MouseButtonLabel({0xA0, 0, 0}, macros), L::Id("mouse_key_DPI_Disable"));
    EXPECT_EQ(MouseButtonLabel({0xA0, 2, 0}, macros), L::Id("mouse_key_DPI_shift"));
    EXPECT_EQ(MouseButtonLabel({0xA0, 1, 0}, macros), L::Id("mouse_key_DPI_Disable"));
    EXPECT_EQ(MouseButtonLabel({0xB0, 1, 0}, macros), L::Keep());
    EXPECT_EQ(MouseButtonLabel({0x99, 1, 0}, macros), L::Id("close_text"));
    EXPECT_EQ(MouseButtonLabel({0x30, 0x55, 0x55}, macros), L::Keep());  // no media row
}

TEST(KeyLabels, KeyboardDiffersOnlyWhereItsKeysDo) {
    const std::vector<std::string> none;
    EXPECT_EQ(KeyboardKeyLabel({0xA0, 2, 2}, none), KeyLabel::Keep());  // the Fn key
    EXPECT_EQ(KeyboardKeyLabel({0x72, 0, 0}, none), KeyLabel::Id("关闭"));
    EXPECT_EQ(KeyboardKeyLabel({0x20, 0x20, 0}, none), KeyLabel::Id("keyboard_key_RShift"));
    EXPECT_EQ(KeyboardKeyLabel({0x13, 2, 0}, none), KeyLabel::Id("mouse_key_DPI1_loop"));
    EXPECT_EQ(KeyboardKeyLabel({0x70, 0, 0}, none), KeyLabel::Keep());
}

}  // namespace
}  // namespace vq
