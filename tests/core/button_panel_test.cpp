// The mouse's key-function panel as data: what it shows for a stored code, the code its fields
// make, the limits of its number fields and the guard of the only left click.

#include "core/mouse/button_panel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device/key_labels.h"

namespace vq {
namespace {

constexpr KeyAssignment kFactoryRight{0x10, 0x02, 0x00};

ButtonPanel Panel(ButtonFunction f) {
    ButtonPanel p;
    p.function = static_cast<int>(f);
    return p;
}

// Every code the panel can make, with the function that makes it.
std::vector<KeyAssignment> EveryPanelCode() {
    std::vector<KeyAssignment> codes;
    for (ChoiceList list : kChoiceLists)
        for (const KeyDefinition& row : Choices(list))
            // The scroll rows are templates; the DPI shift is shown without an item (below).
            if (list != ChoiceList::HorizontalScroll && list != ChoiceList::VerticalScroll &&
                row.type != key_type::kDpiShift)
                codes.push_back(row.Code());
    for (uint8_t type : {uint8_t{0x11}, uint8_t{0x12}})
        for (bool second : {false, true})
            codes.push_back(MakeScroll(type, {second, 127, 15, 0}));
    codes.push_back({0x12, 0x32, 0x85});
    codes.push_back({0x14, 0, 255});
    codes.push_back({0x14, 9, 3});
    for (size_t row = 0; row < kKeyboardKeyRows; ++row)
        if (KeyTable()[row].param1 == 0 || KeyTable()[row].param2 == 0)
            codes.push_back(KeyTable()[row].Code());
    for (uint8_t macro : {uint8_t{0}, uint8_t{2}})
        for (uint8_t mode = 0; mode < 4; ++mode)
            codes.push_back({0x70, macro, mode});
    codes.push_back({0x71, 1, 1});
    codes.push_back({0x71, 2, 255});
    for (uint8_t s = 0; s < 4; ++s)
        codes.push_back({0x72, s, 0});
    codes.push_back({0xA0, 0, 0});
    return codes;
}

// What the page does: the fields the show sets land in the widgets, the rest keep what they had.
ButtonPanel Merge(ButtonPanel widgets, const ButtonPanel& shown) {
    if (shown.function) widgets.function = shown.function;
    for (size_t i = 0; i < widgets.lists.size(); ++i)
        if (shown.lists[i]) widgets.lists[i] = shown.lists[i];
    for (size_t i = 0; i < widgets.fields.size(); ++i)
        if (shown.fields[i]) widgets.fields[i] = shown.fields[i];
    if (shown.keyText) {
        widgets.keyText = shown.keyText;
        widgets.key = shown.key;
    }
    return widgets;
}

TEST(ButtonPanel, EveryCodeThePanelCanMakeIsShownAndMadeAgainUnchanged) {
    // Widgets full of another button's values: a show must set everything its code needs.
    ButtonPanel stale;
    stale.function = 3;
    for (auto& l : stale.lists)
        l = 1;
    for (auto& f : stale.fields)
        f = "7";
    const int macros = 3;
    for (const KeyAssignment& code : EveryPanelCode()) {
        if (code == kFactoryRight) continue;
        const ButtonShow show = ShowButtonCode(code, kFactoryRight, macros);
        ASSERT_TRUE(show.panel.function) << int(code.type);
        ASSERT_GE(*show.panel.function, 0)
            << int(code.type) << " " << int(code.param1) << " " << int(code.param2);
        const ButtonPanel panel = Merge(stale, show.panel);
        const std::optional<KeyAssignment> made = BuildButtonCode(panel, kFactoryRight);
        ASSERT_TRUE(made) << int(code.type) << " " << int(code.param1) << " " << int(code.param2);
        EXPECT_EQ(*made, code) << int(code.type) << " " << int(code.param1) << " "
                               << int(code.param2) << " made " << int(made->type) << " "
                               << int(made->param1) << " " << int(made->param2);
        EXPECT_EQ(show.captureKey, *show.panel.function == int(ButtonFunction::Key));
    }
}

TEST(ButtonPanel, ListRowsBecomeTheirCodesRowForRow) {
    const std::pair<ButtonFunction, PanelList> kinds[] = {
        {ButtonFunction::MouseButton, PanelList::MouseButton},
        {ButtonFunction::Dpi, PanelList::Dpi},
        {ButtonFunction::Media, PanelList::Media},
        {ButtonFunction::System, PanelList::System},
        {ButtonFunction::Shortcut, PanelList::Shortcut}};
    const ChoiceList lists[] = {ChoiceList::MouseButton, ChoiceList::Dpi, ChoiceList::Media,
                                ChoiceList::System, ChoiceList::Shortcut};
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const auto rows = Choices(lists[k]);
        for (size_t r = 0; r < rows.size(); ++r) {
            ButtonPanel p = Panel(kinds[k].first);
            p.List(kinds[k].second) = static_cast<int>(r);
            EXPECT_EQ(BuildButtonCode(p, kFactoryRight), rows[r].Code()) << k << " row " << r;
        }
        // No row, or a row past the list: nothing is stored.
        ButtonPanel p = Panel(kinds[k].first);
        p.List(kinds[k].second) = -1;
        EXPECT_FALSE(BuildButtonCode(p, kFactoryRight));
        p.List(kinds[k].second) = static_cast<int>(rows.size());
        EXPECT_FALSE(BuildButtonCode(p, kFactoryRight));
    }
    // The lists are the skin's lists, one for one.
    EXPECT_EQ(kPanelListNumbers[static_cast<size_t>(PanelList::Shortcut)], 26);
    EXPECT_EQ(kPanelListNumbers[static_cast<size_t>(PanelList::Script)], 25);
    EXPECT_EQ(kPanelFieldNumbers[static_cast<size_t>(PanelField::VerticalLow)], 19);
    EXPECT_EQ(kPanelFieldNumbers[static_cast<size_t>(PanelField::HorizontalLow)], 20);
}

TEST(ButtonPanel, TheItemsOfTheUsualCases) {
    // Item 12: DPI off.
    EXPECT_EQ(BuildButtonCode(Panel(ButtonFunction::DpiOff), kFactoryRight),
              (KeyAssignment{0xA0, 0, 0}));
    EXPECT_EQ(MouseButtonLabel({0xA0, 0, 0}, {}), KeyLabel::Id("mouse_key_DPI_Disable"));
    // The third row of the DPI list is the shift; shown again it selects no item.
    ButtonPanel dpi = Panel(ButtonFunction::Dpi);
    dpi.List(PanelList::Dpi) = 2;
    EXPECT_EQ(BuildButtonCode(dpi, kFactoryRight), (KeyAssignment{0xA0, 2, 0}));
    EXPECT_EQ(MouseButtonLabel({0xA0, 2, 0}, {}), KeyLabel::Id("mouse_key_DPI_shift"));
    EXPECT_EQ(ShowButtonCode({0xA0, 2, 0}, kFactoryRight, 0).panel.function, -1);
    // Cursor script 2.
    ButtonPanel script = Panel(ButtonFunction::CursorScript);
    script.List(PanelList::Script) = 2;
    EXPECT_EQ(BuildButtonCode(script, kFactoryRight), (KeyAssignment{0x72, 2, 0}));
    EXPECT_EQ(MouseButtonLabel({0x72, 2, 0}, {}), KeyLabel::Id("GUN_3"));
    // Vertical scroll, direction item 1, amount 5, numbers 3 and 2.
    ButtonPanel scroll = Panel(ButtonFunction::VerticalScroll);
    scroll.List(PanelList::VerticalScroll) = 1;
    scroll.Field(PanelField::VerticalAmount) = "5";
    scroll.Field(PanelField::VerticalHigh) = "3";
    scroll.Field(PanelField::VerticalLow) = "2";
    // The horizontal fields beside them do not count.
    scroll.Field(PanelField::HorizontalAmount) = "9";
    scroll.Field(PanelField::HorizontalHigh) = "9";
    scroll.Field(PanelField::HorizontalLow) = "9";
    EXPECT_EQ(BuildButtonCode(scroll, kFactoryRight), (KeyAssignment{0x12, 0x32, 0x85}));
    // Direction item 0 leaves bit 7 clear.
    scroll.List(PanelList::VerticalScroll) = 0;
    EXPECT_EQ(BuildButtonCode(scroll, kFactoryRight), (KeyAssignment{0x12, 0x32, 0x05}));
}

TEST(ButtonPanel, TheDefaultItemIsTheFactoryRecordBothWays) {
    // Equal to the factory record: the default item, whatever the type.
    const KeyAssignment factoryMacro{0x70, 1, 0};
    EXPECT_EQ(ShowButtonCode(factoryMacro, factoryMacro, 5).panel.function, 0);
    EXPECT_EQ(ShowButtonCode({0x10, 4, 0}, {0x10, 4, 0}, 0).panel.function, 0);
    // One byte apart: not the default.
    EXPECT_EQ(ShowButtonCode({0x10, 4, 0}, {0x10, 4, 1}, 0).panel.function, 1);
    EXPECT_EQ(BuildButtonCode(Panel(ButtonFunction::Default), factoryMacro), factoryMacro);
    // No item: nothing.
    ButtonPanel none;
    none.function = -1;
    EXPECT_FALSE(BuildButtonCode(none, factoryMacro));
    EXPECT_FALSE(BuildButtonCode(ButtonPanel{}, factoryMacro));
}

TEST(ButtonPanel, KeysMacrosAndTheDeviceOwnCodes) {
    // The key item stores nothing until a key has been captured.
    ButtonPanel key = Panel(ButtonFunction::Key);
    key.keyText = std::string();
    EXPECT_FALSE(BuildButtonCode(key, kFactoryRight));
    key.keyText = "keyboard_key_F5";
    key.key = KeyAssignment{0x20, 0, 0x3E};
    EXPECT_EQ(BuildButtonCode(key, kFactoryRight), (KeyAssignment{0x20, 0, 0x3E}));
    // A key shown for a button fills the key field; any other code empties it, so another
    // button's key is never stored by choosing the key item.
    const ButtonShow f5 = ShowButtonCode({0x20, 0, 0x3E}, kFactoryRight, 0);
    EXPECT_EQ(f5.panel.keyText, "keyboard_key_F5");
    EXPECT_TRUE(f5.captureKey);
    const ButtonShow media = ShowButtonCode({0x30, 0xE9, 0x00}, kFactoryRight, 0);
    EXPECT_EQ(media.panel.keyText, "");
    EXPECT_FALSE(media.panel.key);
    EXPECT_FALSE(media.captureKey);
    // A modifier with a key is a shortcut; one the list lacks still shows the shortcut item.
    EXPECT_EQ(ShowButtonCode({0x20, 0x01, 0x06}, kFactoryRight, 0).panel.List(PanelList::Shortcut),
              4);
    const ButtonShow odd = ShowButtonCode({0x20, 0x04, 0x06}, kFactoryRight, 0);
    EXPECT_EQ(odd.panel.function, int(ButtonFunction::Shortcut));
    EXPECT_FALSE(odd.panel.List(PanelList::Shortcut));

    // A macro past the list shows the list without a selection and makes nothing.
    const ButtonShow gone = ShowButtonCode({0x70, 5, 1}, kFactoryRight, 5);
    EXPECT_EQ(gone.panel.List(PanelList::Macro), -1);
    EXPECT_EQ(gone.panel.function, int(ButtonFunction::Macro));
    EXPECT_EQ(ShowButtonCode({0x70, 4, 1}, kFactoryRight, 5).panel.List(PanelList::Macro), 4);
    ButtonPanel macro = Panel(ButtonFunction::Macro);
    macro.List(PanelList::Macro) = -1;
    EXPECT_FALSE(BuildButtonCode(macro, kFactoryRight));
    // The counted play mode makes the counted type with the count field.
    macro.List(PanelList::Macro) = 3;
    macro.List(PanelList::PlayMode) = kCountedPlayMode;
    macro.Field(PanelField::MacroCount) = "12";
    EXPECT_EQ(BuildButtonCode(macro, kFactoryRight), (KeyAssignment{0x71, 3, 12}));

    // The device's own types and scripts beyond the four: no item, and the panel makes none.
    for (uint8_t type : {uint8_t{0x15}, uint8_t{0x21}, uint8_t{0x50}, uint8_t{0xC0}})
        EXPECT_EQ(ShowButtonCode({type, 1, 2}, kFactoryRight, 0).panel.function, -1) << int(type);
    EXPECT_EQ(ShowButtonCode({0x72, 9, 0}, kFactoryRight, 0).panel.List(PanelList::Script), -1);
}

TEST(ButtonPanel, FieldLimitsAreExactAtTheirEdges) {
    struct Case {
        PanelField field;
        long max;
        const char* empty;  // null: an empty text stands
        long min;
    };
    const Case cases[] = {
        {PanelField::FireFirst, 255, "1", 0},
        {PanelField::FireSecond, 255, nullptr, 0},
        {PanelField::HorizontalAmount, 127, nullptr, 0},
        {PanelField::VerticalAmount, 127, nullptr, 0},
        {PanelField::HorizontalHigh, 15, nullptr, 0},
        {PanelField::VerticalHigh, 15, nullptr, 0},
        {PanelField::VerticalLow, 15, nullptr, 0},
        {PanelField::HorizontalLow, 15, nullptr, 0},
        {PanelField::MacroCount, 255, "1", 1},
    };
    for (const Case& c : cases) {
        const int number = kPanelFieldNumbers[static_cast<size_t>(c.field)];
        EXPECT_EQ(LimitPanelField(c.field, std::to_string(c.max)), std::nullopt) << number;
        EXPECT_EQ(LimitPanelField(c.field, std::to_string(c.max + 1)), std::to_string(c.max))
            << number;
        EXPECT_EQ(LimitPanelField(c.field, "300"), std::to_string(c.max)) << number;
        EXPECT_EQ(LimitPanelField(c.field, std::to_string(c.min)), std::nullopt) << number;
        if (c.min > 0) {
            EXPECT_EQ(LimitPanelField(c.field, std::to_string(c.min - 1)), std::to_string(c.min))
                << number;
        }
        if (c.empty) {
            EXPECT_EQ(LimitPanelField(c.field, ""), c.empty) << number;
        } else {
            EXPECT_EQ(LimitPanelField(c.field, ""), std::nullopt) << number;
        }
        EXPECT_EQ(LimitPanelField(c.field, "99999999999999999999"), std::to_string(c.max));
    }
    EXPECT_EQ(LimitPanelField(PanelField::FireSecond, "-4"), "0");
    EXPECT_EQ(LimitPanelField(PanelField::FireSecond, "12x"), "12");
    EXPECT_EQ(ParseEditNumber("  42abc"), 42);
    EXPECT_EQ(ParseEditNumber(""), 0);
    EXPECT_EQ(ParseEditNumber("-"), 0);
}

TEST(ButtonPanel, TheOnlyLeftClickIsGuardedAmongRecordsZeroToEight) {
    std::vector<uint8_t> layer(512, 0);
    const KeyAssignment left{0x10, 1, 0};
    ASSERT_TRUE(left.StoreAt(layer, 0));
    EXPECT_TRUE(IsOnlyLeftClick(layer, 0));
    EXPECT_FALSE(IsOnlyLeftClick(layer, 1));  // not a left click itself
    // A second left click in record 8 (beyond the eight buttons) frees button 0.
    ASSERT_TRUE(left.StoreAt(layer, 8));
    EXPECT_FALSE(IsOnlyLeftClick(layer, 0));
    EXPECT_FALSE(IsOnlyLeftClick(layer, 8) && IsOnlyLeftClick(layer, 0));
    // Record 9 does not count.
    ASSERT_TRUE(KeyAssignment{}.StoreAt(layer, 8));
    ASSERT_TRUE(left.StoreAt(layer, 9));
    EXPECT_TRUE(IsOnlyLeftClick(layer, 0));
    // Another button given the left click frees it too.
    ASSERT_TRUE(left.StoreAt(layer, 4));
    EXPECT_FALSE(IsOnlyLeftClick(layer, 0));
    EXPECT_FALSE(IsOnlyLeftClick(layer, 4));
    EXPECT_FALSE(IsOnlyLeftClick(layer, -1));
}

TEST(ButtonPanel, ACapturedKeyIsAKeyboardKeyOfTheTable) {
    InputEvent e;
    e.virtualKey = 0x74;  // F5
    ASSERT_TRUE(SingleKeyFor(e));
    EXPECT_EQ(SingleKeyFor(e)->Code(), (KeyAssignment{0x20, 0, 0x3E}));
    EXPECT_EQ(SingleKeyFor(e)->textId, "keyboard_key_F5");
    e.virtualKey = 13;
    EXPECT_EQ(SingleKeyFor(e)->textId, "keyboard_key_Enter");
    e.extended = true;
    EXPECT_EQ(SingleKeyFor(e)->textId, "keyboard_key_Num Enter");
    e = {};
    e.virtualKey = 0xA1;  // right Shift: a modifier alone
    EXPECT_EQ(SingleKeyFor(e)->Code(), (KeyAssignment{0x20, 0x20, 0}));
    e.virtualKey = 0xAF;  // volume up: a consumer row, not a key
    EXPECT_FALSE(SingleKeyFor(e));
    e.virtualKey = 0x07;  // no row
    EXPECT_FALSE(SingleKeyFor(e));
}

}  // namespace
}  // namespace vq
