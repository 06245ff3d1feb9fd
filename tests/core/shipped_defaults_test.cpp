// The default files the build writes beside the program: each loads back through its model and
// carries sensible factory settings; the cursor scripts have the shape the bullet editor expects.

#include "core/defaults/shipped_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/device/key_labels.h"
#include "core/keyboard/keyboard_defaults.h"
#include "core/keyboard/keyboard_layout.h"
#include "core/macro/macro_file.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_file.h"
#include "sim/sim_mouse.h"

namespace vq {
namespace {

const std::filesystem::path kProgramDir = VQ_PROGRAM_DIR;

std::vector<uint8_t> ReadDefault(std::string_view name, DeviceKind kind, ProfileFamily family) {
    std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
    uint16_t kindCode = 0;
    EXPECT_EQ(ReadProfileFile(kProgramDir / name, payload, &kindCode), ProfileReadResult::Ok)
        << name;
    EXPECT_EQ(kindCode, KindCode(kind)) << name;
    return payload;
}

TEST(ShippedDefaults, EveryFileLoadsBackThroughItsModel) {
    ASSERT_EQ(ShippedDefaults().size(), 10u);
    for (const ShippedDefault& entry : ShippedDefaults()) {
        const std::string name = entry.FileName();
        SCOPED_TRACE(name);
        const auto path = kProgramDir / name;
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(std::filesystem::file_size(path),
                  kProfileHeaderSize + PayloadSize(entry.kind, entry.family));
        const auto payload = ReadDefault(name, entry.kind, entry.family);
        EXPECT_EQ(payload, ShippedDefaultPayload(entry));  // the files are up to date

        MouseModel mouse;
        KeyboardModel keyboard;
        MousepadModel mousepad;
        ProfilePayloadModel* model = &mousepad;
        if (entry.kind == DeviceKind::Mouse) model = &mouse;
        if (entry.kind == DeviceKind::Keyboard) model = &keyboard;
        ASSERT_TRUE(model->LoadPayload(entry.family, payload));
        EXPECT_EQ(model->BuildPayload(entry.family), payload);
    }
}

TEST(ShippedDefaults, MouseProfilesGiveTheButtonsTheirNaturalFunctions) {
    MouseModel model;
    ASSERT_TRUE(model.LoadDevicePayload(
        ReadDefault("msdevicedefault.config", DeviceKind::Mouse, ProfileFamily::Device)));
    const char* expected[kMouseButtons] = {
        "mouse_key_left", "mouse_key_middle",   "mouse_key_right",     "mouse_key_forward",
        "mouse_key_back", "mouse_key_DPI_loop", "mouse_key_DPI1_loop", "mouse_key_DPI_shift"};
    for (int n = 0; n < kMouseButtons; ++n)
        EXPECT_EQ(MouseButtonLabel(model.ButtonAssignment(0, n), {}), KeyLabel::Id(expected[n]))
            << n;
    EXPECT_EQ(model.ButtonAssignment(0, 8), KeyAssignment{});
    // The simulated mouse's factory settings are the same ones.
    EXPECT_EQ(*model.KeyLayer(0), sim::DefaultMouseKeyLayer());
    const MouseRecord r = model.Record();
    EXPECT_EQ(r.slot(), 0);
    for (int s = 0; s < MouseRecord::kStages; ++s) {
        EXPECT_GE(r.StageSteps(s), 1) << s;
        EXPECT_LE(r.StageSteps(s), 320) << s;
        if (s > 0) {
            EXPECT_GT(r.StageDpi(s), r.StageDpi(s - 1)) << s;
        }
    }
    EXPECT_LT(r.activeStage(), MouseRecord::kStages);
    EXPECT_LE(r.brightness(), 4);
    EXPECT_LE(r.liftHeight(), 2);
    EXPECT_EQ(model.WheelLines(), kDefaultWheelLines);

    ASSERT_TRUE(model.LoadLightPayload(
        ReadDefault("msdengdefault.led", DeviceKind::Mouse, ProfileFamily::Light)));
    EXPECT_EQ(model.PointerSpeed(), kDefaultPointerSpeed);
    EXPECT_EQ(model.WheelLines(), kDefaultWheelLines);
    EXPECT_LT(model.Record().lightMode(), 8);
}

TEST(ShippedDefaults, KeyboardKeysMatchEveryOnScreenButtonOnce) {
    for (const char* name : {"kbkeydefault.pro", "kbkey15default.pro"}) {
        SCOPED_TRACE(name);
        KeyboardModel model;
        ASSERT_TRUE(
            model.LoadKeyPayload(ReadDefault(name, DeviceKind::Keyboard, ProfileFamily::Key)));
        const int keys = DefaultKeyboardKeyCount();
        ASSERT_LE(keys * 3, 512);
        const KeyboardKeyLayer layer = *model.KeyLayer(0);
        ButtonKeyMap map = EmptyButtonKeyMap();
        BuildButtonKeyMap(layer, keys, map);
        std::set<int> taken;
        for (int b = 0; b < kKeyboardButtons; ++b) {
            if (IsButtonGap(b)) {
                EXPECT_EQ(map[b], kNoKey) << b;
                continue;
            }
            ASSERT_NE(map[b], kNoKey) << b;
            EXPECT_TRUE(taken.insert(map[b]).second) << b;
        }
        EXPECT_EQ(static_cast<int>(taken.size()), keys);
        // The Fn key and the ISO key are among them.
        EXPECT_NE(map[110], kNoKey);
        EXPECT_EQ(model.KeyAt(0, map[110]), kFnKey);
        EXPECT_EQ(model.KeyAt(0, map[102]), (KeyAssignment{0x20, 0, 0x64}));
    }
}

TEST(ShippedDefaults, KeyboardLightProfilesSuitTheirVariant) {
    KeyboardModel full;
    ASSERT_TRUE(full.LoadLightPayload(
        ReadDefault("kbdengdefault.led", DeviceKind::Keyboard, ProfileFamily::Light)));
    EXPECT_LT(full.CustomSlot(), kCustomLayouts);
    EXPECT_LE(full.Light().brightness, 4);
    EXPECT_LE(full.Light().speed, 4);
    // Layout 0 lights every key that has an LED; no byte lies outside the 126 LEDs' colours.
    const CustomLayout all = *full.Layout(0);
    for (int b = 0; b < kKeyboardButtons; ++b) {
        const uint8_t led = ButtonLed(b);
        if (led == kNoKey) continue;
        EXPECT_GT(all[3u * led] + all[3u * led + 1] + all[3u * led + 2], 0) << b;
    }

    KeyboardModel single;
    ASSERT_TRUE(single.LoadLightPayload(
        ReadDefault("kb15dengdefault.led", DeviceKind::Keyboard, ProfileFamily::Light)));
    EXPECT_EQ(single.Light().colourful, 0);
    const CustomLayout levels = *single.Layout(0);
    for (size_t i = 0; i < levels.size(); ++i)
        EXPECT_TRUE(i < 126 ? (levels[i] == 0 || levels[i] == 255) : levels[i] == 0) << i;
    const CustomLayout game = *single.Layout(1);
    EXPECT_EQ(game[ButtonLevel(44)], 255);  // W
    EXPECT_EQ(std::count(game.begin(), game.end(), 255), 8);
}

TEST(KeyboardLayoutTables, LedMapsNameEachLedOnce) {
    std::set<int> leds, levels;
    for (int b = 0; b < kKeyboardButtons; ++b) {
        if (ButtonLed(b) != kNoKey) {
            EXPECT_LT(ButtonLed(b), kKeyboardLeds);
            EXPECT_TRUE(leds.insert(ButtonLed(b)).second) << b;
            EXPECT_FALSE(IsButtonGap(b)) << b;
        }
        if (ButtonLevel(b) != kNoKey) {
            EXPECT_TRUE(levels.insert(ButtonLevel(b)).second) << b;
            EXPECT_FALSE(IsButtonGap(b)) << b;
        }
    }
    EXPECT_EQ(ButtonLed(126), kNoKey);
    EXPECT_EQ(ButtonLed(-1), kNoKey);
    EXPECT_EQ(ButtonLed(118), 104);  // Num Enter
    EXPECT_EQ(ButtonLevel(38), 53);  // Num Lock
    EXPECT_EQ(ButtonLevel(39), 35);  // Num /
}

TEST(KeyboardLayoutTables, ButtonMapKeepsEntriesWithoutAMatchAndSkipsGaps) {
    // A keyboard with two keys: Esc, and a key without a function.
    KeyboardKeyLayer factory{};
    ButtonMatch(0).StoreAt(factory, 0);
    kButtonGap.StoreAt(factory, 1);
    ButtonKeyMap map = EmptyButtonKeyMap();
    map[5] = 42;  // from an earlier read
    BuildButtonKeyMap(factory, 2, map);
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[5], 42);
    EXPECT_EQ(map[16], kNoKey);  // a gap does not take the key without a function
    // Keys past the reported count are not matched.
    ButtonMatch(1).StoreAt(factory, 2);
    BuildButtonKeyMap(factory, 2, map);
    EXPECT_EQ(map[1], kNoKey);
}

TEST(ShippedDefaults, CursorScriptsHaveSixActionsPerBullet) {
    for (int n = 1; n <= 4; ++n) {
        const std::string name = "name_" + std::to_string(n) + ".cur";
        SCOPED_TRACE(name);
        const auto records = ReadActionRecords(kProgramDir / name);
        ASSERT_EQ(records.size(), 180u);
        for (size_t b = 0; b < 30; ++b) {
            for (size_t a = 0; a < 6; ++a) {
                const auto& action = records[6 * b + a];
                ASSERT_TRUE(action) << "record " << 6 * b + a;
                EXPECT_EQ(action->down, action->Pressed() ? 1 : 0);
                EXPECT_TRUE(action->IsMouseEvent());
            }
            EXPECT_GT(records[6 * b + 3]->DelayMs(), 0) << "bullet " << b;
            EXPECT_EQ(records[6 * b + 4]->EventType(), kMacroMoveHorizontal);
            EXPECT_EQ(records[6 * b + 4]->label, records[6 * b + 4]->Pressed()
                                                     ? "mouse_move_to_left_text"
                                                     : "mouse_move_to_right_text");
            // Recoil climbs: every vertical correction pulls down.
            EXPECT_EQ(records[6 * b + 5]->type, kMacroMoveVertical);
            EXPECT_EQ(records[6 * b + 5]->label, "mouse_move_to_down_text");
        }
    }
}

}  // namespace
}  // namespace vq
