// The editor's work on an action list: inserted events, edits of one action, row operations.

#include <gtest/gtest.h>

#include "core/device/key_assignment.h"
#include "core/macro/macro_edit.h"

namespace vq::test {
namespace {

std::vector<std::string> Labels(const std::vector<MacroAction>& actions) {
    std::vector<std::string> labels;
    for (const MacroAction& a : actions)
        labels.push_back(a.label);
    return labels;
}

// A record is consistent when its down flag says what bit 7 of its type says.
void ExpectConsistent(const MacroAction& a) {
    EXPECT_EQ(a.down, (a.type & 0x80) ? 1 : 0) << FormatMacroAction(a);
}

TEST(MacroEdit, InsertsAtRowZeroOfAnEmptyListAndAfterTheSelectedRowWithDelayFifty) {
    std::vector<MacroAction> list;
    EXPECT_EQ(InsertAction(list, 3, *MakeMouseAction(0)), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(FormatMacroAction(list[0]), "50,0,129,1,1,mouse_key_left");
    // No selection: after row 0.
    EXPECT_EQ(InsertAction(list, std::nullopt, *MakeMouseAction(1)), 1);
    EXPECT_EQ(InsertAction(list, std::nullopt, *MakeMouseAction(2)), 1);
    EXPECT_EQ(InsertAction(list, 2, *MakeMouseAction(3)), 3);
    EXPECT_EQ(InsertAction(list, 99, *MakeMouseAction(13, 20)), 1);  // a stale selection
    EXPECT_EQ(FormatMacroAction(list[1]), "50,0,5,20,0,mouse_move_to_down_text");
    EXPECT_EQ(list.size(), 5u);
    EXPECT_FALSE(MakeMouseAction(14));
    EXPECT_FALSE(MakeMouseAction(-1));
}

TEST(MacroEdit, EveryChoiceItemAndKeyRowMapsBackToItself) {
    for (int item = 0; item < kMouseEventChoices; ++item) {
        const MacroAction a = *MakeMouseAction(item, 7);
        ExpectConsistent(a);
        EXPECT_EQ(MouseEventChoiceOf(a), item);
        EXPECT_TRUE(a.IsMouseEvent());
        EXPECT_EQ(a.code, item >= kFirstMoveChoice ? 7 : MouseEventChoices()[item].code);
    }
    ASSERT_EQ(MacroKeyChoiceCount(), 104u);
    for (size_t row = 0; row < MacroKeyChoiceCount(); ++row)
        for (bool pressed : {false, true}) {
            const MacroAction a = *MakeKeyAction(row, pressed);
            ExpectConsistent(a);
            EXPECT_EQ(MacroKeyChoiceOf(a), row) << a.label;
            EXPECT_EQ(a.label, KeyTable()[row].textId);
            EXPECT_FALSE(a.IsMouseEvent());
        }
    EXPECT_FALSE(MakeKeyAction(104, true));  // the media keys are not on the list
    EXPECT_FALSE(MacroKeyChoiceOf(*MakeMouseAction(0)));
    EXPECT_FALSE(MouseEventChoiceOf(*MakeKeyAction(8, true)));
}

TEST(MacroEdit, KeysAreRecordedAsUsagesAndModifiersAsModifierBits) {
    EXPECT_EQ(FormatMacroAction(*KeyActionForVirtualKey('A', true)), "0,0,138,4,1,keyboard_key_A");
    EXPECT_EQ(FormatMacroAction(*KeyActionForVirtualKey(0xA1, false)),
              "0,0,9,32,0,keyboard_key_RShift");
    EXPECT_EQ(KeyActionForVirtualKey(kVirtualKeypadEnter, true)->label, "keyboard_key_Num Enter");
    EXPECT_EQ(KeyActionForVirtualKey(13, true)->label, "keyboard_key_Enter");
    EXPECT_FALSE(KeyActionForVirtualKey(0xAF, true));  // volume up: a media row
    EXPECT_FALSE(KeyActionForVirtualKey(0xFF, true));
}

TEST(MacroEdit, EditsKeepTypeDownFlagAndLabelInStep) {
    MacroAction a = *KeyActionForVirtualKey('A', true);
    a.SetDelayMs(300);
    SetActionPressed(a, false);
    EXPECT_EQ(FormatMacroAction(a), "44,1,10,4,0,keyboard_key_A");
    ASSERT_TRUE(SetActionKey(a, 0));  // left Ctrl: a modifier, still released
    EXPECT_EQ(FormatMacroAction(a), "44,1,9,1,0,keyboard_key_LCtrl");
    SetActionPressed(a, true);
    EXPECT_EQ(FormatMacroAction(a), "44,1,137,1,1,keyboard_key_LCtrl");
    EXPECT_FALSE(SetActionKey(a, 104));

    // A button becomes a move with distance 0; a move keeps its distance across moves.
    MacroAction m = *MakeMouseAction(2);
    ASSERT_TRUE(SetActionMouseChoice(m, 10));
    EXPECT_EQ(FormatMacroAction(m), "50,0,132,0,1,mouse_move_to_left_text");
    uint8_t stored = 0;
    ASSERT_TRUE(SetActionDistance(m, 300, &stored));
    EXPECT_EQ(stored, 255);
    ASSERT_TRUE(SetActionMouseChoice(m, 13));
    EXPECT_EQ(FormatMacroAction(m), "50,0,5,255,0,mouse_move_to_down_text");
    ASSERT_TRUE(SetActionMouseChoice(m, 9));
    EXPECT_EQ(FormatMacroAction(m), "50,0,1,8,0,mouse_key_back");
    EXPECT_FALSE(SetActionDistance(m, 5));  // not a move
    EXPECT_FALSE(SetActionMouseChoice(m, 14));
}

TEST(MacroEdit, DelaysAndDistancesStayWithinWhatARecordHolds) {
    MacroAction a = *MakeMouseAction(0);
    EXPECT_EQ(SetActionDelay(a, 70000), 65535);
    EXPECT_EQ(a.DelayMs(), 65535);
    EXPECT_EQ(SetActionDelay(a, -5), 0);
    EXPECT_EQ(SetActionDelay(a, 65535), 65535);
    EXPECT_EQ(SetActionDelay(a, 256), 256);
    EXPECT_EQ(FormatMacroAction(a).substr(0, 4), "0,1,");
    EXPECT_EQ(LimitDistance(256), 255);
    EXPECT_EQ(LimitDistance(-1), 0);
    EXPECT_EQ(LimitDelay(1LL << 40), 65535);
}

TEST(MacroEdit, RowMovesKeepTheMovedRowAndRefuseWhatDoesNotApply) {
    std::vector<MacroAction> list;
    for (int item : {0, 1, 2, 3})
        list.push_back(*MakeMouseAction(item));
    for (int i = 0; i < 4; ++i)
        list[static_cast<size_t>(i)].label = std::string(1, static_cast<char>('a' + i));
    EXPECT_FALSE(MoveActionUp(list, 0));
    EXPECT_FALSE(MoveActionToTop(list, 0));
    EXPECT_FALSE(MoveActionDown(list, 3));
    EXPECT_FALSE(MoveActionToBottom(list, 3));
    EXPECT_FALSE(MoveActionUp(list, 4));
    EXPECT_FALSE(MoveActionDown(list, -1));
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"a", "b", "c", "d"}));

    EXPECT_EQ(MoveActionUp(list, 2), 1);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"a", "c", "b", "d"}));
    EXPECT_EQ(MoveActionDown(list, 0), 1);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"c", "a", "b", "d"}));
    EXPECT_EQ(MoveActionToTop(list, 3), 0);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"d", "c", "a", "b"}));
    EXPECT_EQ(MoveActionToBottom(list, 1), 3);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"d", "a", "b", "c"}));
    EXPECT_TRUE(DeleteAction(list, 1));
    EXPECT_FALSE(DeleteAction(list, 3));
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"d", "b", "c"}));
}

}  // namespace
}  // namespace vq::test
