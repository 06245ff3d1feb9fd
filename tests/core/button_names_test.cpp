// Mouse button functions by name: every stored code has a name that reads back as the same
// code, the names users type find the right rows, and bad names are refused with the reason.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/keyboard/keyboard_key_names.h"
#include "core/mouse/button_names.h"

namespace vq::test {
namespace {

const std::vector<std::string> kMacros = {"Reload", "Burst fire", "reload"};

KeyAssignment Parsed(std::string_view text) {
    const ParsedButtonFunction parsed = ParseButtonFunction(text, kMacros);
    EXPECT_TRUE(parsed.code.has_value()) << text << ": " << parsed.error;
    return parsed.code.value_or(KeyAssignment{0xEE, 0xEE, 0xEE});
}

TEST(ButtonNames, EveryCodeHasANameThatReadsBackAsTheSameCode) {
    const uint8_t seconds[] = {0x00, 0x01, 0x3E, 0x85, 0xFF};
    for (int type = 0; type < 256; ++type)
        for (int first = 0; first < 256; ++first)
            for (uint8_t second : seconds) {
                const KeyAssignment code{static_cast<uint8_t>(type), static_cast<uint8_t>(first),
                                         second};
                const std::string name = ButtonFunctionName(code, kMacros);
                const ParsedButtonFunction back = ParseButtonFunction(name, kMacros);
                ASSERT_TRUE(back.code.has_value()) << name << ": " << back.error;
                ASSERT_EQ(*back.code, code) << name;
            }
}

TEST(ButtonNames, TableRowsAndListsAreNamedByTheirTextIds) {
    EXPECT_EQ(ButtonFunctionName({key_type::kKey, 0, 0x3E}, kMacros), "key:F5");
    EXPECT_EQ(ButtonFunctionName({key_type::kKey, 0x01, 0}, kMacros), "key:LCtrl");
    EXPECT_EQ(ButtonFunctionName({key_type::kMouseButton, 0x01, 0}, kMacros), "mouse_key_left");
    EXPECT_EQ(ButtonFunctionName({key_type::kDpiShift, 2, 0}, kMacros), "mouse_key_DPI_shift");
    EXPECT_EQ(ButtonFunctionName({key_type::kDpiShift, 0, 0}, kMacros), "dpi-off");
    EXPECT_EQ(ButtonFunctionName({key_type::kKey, 0x01, 0x06}, kMacros), "combo_copy");
    EXPECT_EQ(ButtonFunctionName({key_type::kConsumer, 0xCD, 0}, kMacros), "key:Media Play Pause");
    EXPECT_EQ(ButtonFunctionName({key_type::kMacro, 1, 0}, kMacros), "macro:Burst fire");
    EXPECT_EQ(ButtonFunctionName({key_type::kCursorScript, 2, 0}, kMacros), "script:3");
    // What no name says plainly is given as its bytes.
    EXPECT_EQ(ButtonFunctionName({key_type::kVerticalScroll, 0x32, 0x85}, kMacros), "code:123285");
    EXPECT_EQ(ButtonFunctionName({key_type::kMacro, 1, 2}, kMacros), "code:700102");
    EXPECT_EQ(ButtonFunctionName({key_type::kMacro, 3, 0}, kMacros), "code:700300");
    EXPECT_EQ(ButtonFunctionName({key_type::kCursorScript, 4, 0}, kMacros), "code:720400");
}

TEST(ButtonNames, NamesAsUsersTypeThem) {
    EXPECT_EQ(Parsed("key:F5"), (KeyAssignment{key_type::kKey, 0, 0x3E}));
    EXPECT_EQ(Parsed("KEY:f5"), (KeyAssignment{key_type::kKey, 0, 0x3E}));
    EXPECT_EQ(Parsed("key:Num 5"), (KeyAssignment{key_type::kKey, 0, 0x5D}));
    EXPECT_EQ(Parsed("mouse_key_right"), (KeyAssignment{key_type::kMouseButton, 0x02, 0}));
    EXPECT_EQ(Parsed("media_play"), (KeyAssignment{key_type::kConsumer, 0xCD, 0x00}));
    EXPECT_EQ(Parsed("system_sleep"), (KeyAssignment{key_type::kSystem, 2, 0}));
    EXPECT_EQ(Parsed("mouse_key_DPI_shift"), (KeyAssignment{key_type::kDpiShift, 2, 0}));
    EXPECT_EQ(Parsed("script:1"), (KeyAssignment{key_type::kCursorScript, 0, 0}));
    EXPECT_EQ(Parsed("script:4"), (KeyAssignment{key_type::kCursorScript, 3, 0}));
    EXPECT_EQ(Parsed("code:14030A"), (KeyAssignment{key_type::kFire, 3, 10}));
    // Macro names are exact: two macros may differ only in case.
    EXPECT_EQ(Parsed("macro:Reload"), (KeyAssignment{key_type::kMacro, 0, 0}));
    EXPECT_EQ(Parsed("macro:reload"), (KeyAssignment{key_type::kMacro, 2, 0}));

    const ParsedButtonFunction factory = ParseButtonFunction("Default", kMacros);
    EXPECT_TRUE(factory.factory);
    EXPECT_FALSE(factory.code.has_value());
}

TEST(ButtonNames, BadNamesAreRefusedWithTheReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"key:F25", "no key named"},
        {"key:", "no key named"},
        {"macro:Missing", "no macro named"},
        {"macro:RELOAD", "no macro named"},
        {"script:0", "cursor script must be 1-4"},
        {"script:5", "cursor script must be 1-4"},
        {"script:", "cursor script must be 1-4"},
        {"script:2x", "cursor script must be 1-4"},
        {"code:12345", "six hexadecimal digits"},
        {"code:1234567", "six hexadecimal digits"},
        {"code:12G456", "six hexadecimal digits"},
        {"mouse_key_sideways", "unknown function"},
        {"", "unknown function"},
    };
    for (const auto& c : cases) {
        const ParsedButtonFunction parsed = ParseButtonFunction(c.text, kMacros);
        EXPECT_FALSE(parsed.Ok()) << c.text;
        EXPECT_NE(parsed.error.find(c.reason), std::string::npos) << c.text << ": " << parsed.error;
    }
    // Without a library no macro can be named, and a stored macro shows as its bytes.
    EXPECT_FALSE(ParseButtonFunction("macro:Reload", {}).Ok());
    EXPECT_EQ(ButtonFunctionName({key_type::kMacro, 0, 0}, {}), "code:700000");
}

// The keyboard's keys are named by the keys they type: the short name, key:NAME and the text id
// all find the same row of the key table, in any case; anything else finds none.
TEST(KeyboardKeyNames, ShortPrefixedAndFullNamesFindOneRow) {
    const std::optional<size_t> f5 = KeyRowByName("F5");
    ASSERT_TRUE(f5.has_value());
    EXPECT_EQ(KeyTable()[*f5].textId, "keyboard_key_F5");
    EXPECT_EQ(KeyRowByName("key:f5"), f5);
    EXPECT_EQ(KeyRowByName("Keyboard_Key_F5"), f5);
    EXPECT_NE(KeyRowByName("F6"), f5);
    for (const char* bad : {"", "key:", "F55", "keyboard_key_", "key:key:F5"})
        EXPECT_FALSE(KeyRowByName(bad).has_value()) << bad;
    // A keyboard that has not answered its read has no keys to find.
    EXPECT_FALSE(FindKeyboardKey(KeyboardModel{}, *f5).has_value());
    EXPECT_FALSE(FindKeyboardKey(KeyboardModel{}, KeyTable().size()).has_value());
}

}  // namespace
}  // namespace vq::test
