// The keyboard and mousepad models: their payloads and the custom colour store.

#include "core/keyboard/keyboard_model.h"

#include <gtest/gtest.h>

#include <numeric>

#include "core/keyboard/mousepad_model.h"
#include "core/mouse/mouse_model.h"

namespace vq {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Ramp(size_t n, uint8_t seed) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), seed);
    return b;
}

TEST(ProfilePayloads, EveryModelBuildsExactlyTheStoresSizes) {
    MouseModel mouse;
    KeyboardModel keyboard;
    MousepadModel mousepad;
    const std::pair<DeviceKind, ProfilePayloadModel*> models[] = {
        {DeviceKind::Mouse, &mouse},
        {DeviceKind::Keyboard, &keyboard},
        {DeviceKind::Mousepad, &mousepad}};
    for (auto [kind, model] : models) {
        for (ProfileFamily family :
             {ProfileFamily::Device, ProfileFamily::Light, ProfileFamily::Key}) {
            const size_t size = PayloadSize(kind, family);
            EXPECT_EQ(model->BuildPayload(family).size(), size)
                << static_cast<int>(kind) << "/" << static_cast<int>(family);
            if (size == 0) {
                EXPECT_FALSE(model->LoadPayload(family, Bytes(64, 1)));
                continue;
            }
            EXPECT_TRUE(model->LoadPayload(family, Bytes(size, 1)));
            EXPECT_FALSE(model->LoadPayload(family, Bytes(size - 1, 1)));
            EXPECT_FALSE(model->LoadPayload(family, Bytes(size + 1, 1)));
        }
    }
}

TEST(KeyboardPayloads, LightPayloadLayout) {
    KeyboardModel model;
    // Stored record 0 carries bytes past the 21 live ones; a save keeps them.
    StoredLightRecord stored{};
    std::fill(stored.begin(), stored.end(), 0x5A);
    model.SetStoredRecord(0, stored);
    LightRecord live;
    live.SetLight({3, 4, 1, 1, 0, {10, 20, 30}});
    live.bytes[20] = 0x77;
    model.SetRecord(live);
    ASSERT_TRUE(model.SetCustomSlot(2));
    model.SetCustomColour({1, 2, 3});
    ASSERT_TRUE(model.SetCustomSlot(4));

    // Paint LED 125 of layout 4, the last bytes of the payload.
    EXPECT_TRUE(model.PaintLed(125));
    const Bytes p = model.BuildLightPayload();
    ASSERT_EQ(p.size(), 1958u);
    EXPECT_EQ(p[1], 3);
    EXPECT_EQ(p[8], 30);
    EXPECT_EQ(p[20], 0x77);
    EXPECT_EQ(p[21], 0x5A);  // carried
    EXPECT_EQ(p[63], 0x5A);
    EXPECT_EQ(p[64], 4);  // slot, then colour
    EXPECT_EQ(p[65], 1);
    EXPECT_EQ(p[67], 3);
    EXPECT_EQ(p[68 + 4 * 378 + 375], 1);
    EXPECT_EQ(p[1957], 3);
    EXPECT_EQ(p[68 + 4 * 378 + 374], 0);
}

TEST(KeyboardPayloads, DevicePayloadRoundTripsIntoAnotherModel) {
    KeyboardModel a;
    KeyboardKeyLayer layer{};
    std::iota(layer.begin(), layer.end(), uint8_t{7});
    a.SetKeyLayer(0, layer);
    a.SetKeyLayer(1, KeyboardKeyLayer{});
    LightRecord live;
    live.SetLight({8, 2, 3, 0, 1, {200, 100, 50}});
    a.SetRecord(live);
    a.SetCustomColour({9, 8, 7});
    a.SetCustomSlot(1);
    a.PaintLed(0);
    const Bytes device = a.BuildDevicePayload();
    ASSERT_EQ(device.size(), 2470u);
    EXPECT_TRUE(std::equal(layer.begin(), layer.end(), device.begin()));
    EXPECT_TRUE(std::equal(device.begin() + 512, device.end(), a.BuildLightPayload().begin()));

    KeyboardModel b;
    ASSERT_TRUE(b.LoadDevicePayload(device));
    EXPECT_EQ(*b.KeyLayer(0), layer);
    EXPECT_EQ(b.Record(), live);
    EXPECT_EQ(b.Light().mode, 8);
    EXPECT_EQ(b.CustomSlot(), 1);
    EXPECT_EQ(b.CustomColour(), (Rgb{9, 8, 7}));
    EXPECT_EQ((*b.Layout(1))[0], 9);
    EXPECT_EQ(b.BuildDevicePayload(), device);

    // A key profile replaces key layer 0 only.
    ASSERT_TRUE(b.LoadKeyPayload(Bytes(512, 0x20)));
    EXPECT_EQ(b.KeyAt(0, 169), (KeyAssignment{0x20, 0x20, 0x20}));
    EXPECT_EQ(b.Record(), live);
}

TEST(KeyboardCustomStore, ASlotFromAFileThatNamesNoLayoutIsNeverUsed) {
    KeyboardModel model;
    Bytes light = Ramp(1958, 1);
    light[64] = 9;
    ASSERT_TRUE(model.LoadLightPayload(light));
    EXPECT_EQ(model.CustomSlot(), 9);  // kept as the file had it
    const Bytes before = model.BuildLightPayload();
    EXPECT_FALSE(model.PaintLed(3));
    model.LightAllLeds();
    model.DarkenAllLeds();
    EXPECT_EQ(model.BuildLightPayload(), before);
    const KeyboardLightSnapshot s = model.LightSnapshot();
    EXPECT_EQ(s.customSlot, 9);
    EXPECT_TRUE(std::all_of(s.layout.begin(), s.layout.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_FALSE(model.SetCustomSlot(5));
    EXPECT_FALSE(model.Layout(5));
}

TEST(KeyboardCustomStore, AllBrightFillsOnlyDarkLedsInBothVariants) {
    KeyboardModel model;
    model.SetCustomSlot(0);
    model.SetCustomColour({0, 0, 255});
    ASSERT_TRUE(model.PaintLed(5));
    model.SetCustomColour({255, 0, 0});
    model.LightAllLeds();
    CustomLayout layout = *model.Layout(0);
    EXPECT_EQ(layout[15], 0);  // LED 5 kept its blue
    EXPECT_EQ(layout[17], 255);
    EXPECT_EQ(layout[18], 255);  // LED 6 was black: now red
    EXPECT_EQ(layout[377], 0);
    EXPECT_EQ(layout[375], 255);
    EXPECT_FALSE(model.PaintLed(126));
    EXPECT_FALSE(model.PaintLed(-1));

    model.DarkenAllLeds();
    layout = *model.Layout(0);
    EXPECT_TRUE(std::all_of(layout.begin(), layout.end(), [](uint8_t v) { return v == 0; }));

    // Single-colour keys: one level byte per LED in the first 126 bytes, nothing after.
    model.SetVariant(KeyboardVariant::SingleColour);
    model.SetCustomSlot(3);
    ASSERT_TRUE(model.PaintLed(125));
    layout = *model.Layout(3);
    EXPECT_EQ(layout[125], 255);
    EXPECT_EQ(layout[126], 0);
    model.LightAllLeds();
    layout = *model.Layout(3);
    EXPECT_EQ(std::count(layout.begin(), layout.end(), 255), 126);
    EXPECT_EQ(layout[126], 0);
}

TEST(KeyboardKeys, LayersAndFactoryEntriesStayInsideTheirBlocks) {
    KeyboardModel model;
    // 170 keys fill 510 bytes: key 169 is the last that fits.
    EXPECT_TRUE(model.SetKeyAt(2, 169, {0x20, 0, 4}));
    EXPECT_EQ(model.KeyAt(2, 169), (KeyAssignment{0x20, 0, 4}));
    EXPECT_FALSE(model.SetKeyAt(2, 170, {1, 1, 1}));
    EXPECT_EQ(model.KeyAt(2, 170), KeyAssignment{});
    EXPECT_FALSE(model.SetKeyAt(5, 0, {1, 1, 1}));
    EXPECT_EQ(model.KeyAt(-1, 0), KeyAssignment{});
    EXPECT_EQ(model.KeyCount(), 0);
    KeyboardInfo info;
    info.bytes[5] = 106;
    model.SetInfo(info);
    EXPECT_EQ(model.KeyCount(), 106);

    LightRecord live;
    live.SetIndex(7);
    model.SetRecord(live);
    EXPECT_EQ(model.ActiveLayer(), 0);
}

TEST(MousepadModelData, PayloadRefreshesRecordZeroAndKeepsItsTail) {
    MousepadModel model;
    model.SetStoredRecord(0, Ramp(64, 100));
    LightRecord live;
    live.SetLight({9, 4, 0, 1, 1, {1, 2, 3}});
    model.SetRecord(live);
    const Bytes p = model.BuildLightPayload();
    ASSERT_EQ(p.size(), 64u);
    EXPECT_EQ(p[1], 9);
    EXPECT_EQ(p[20], 0);
    EXPECT_EQ(p[21], 121);  // stored byte, carried
    EXPECT_EQ(p[63], 163);

    MousepadModel other;
    ASSERT_TRUE(other.LoadLightPayload(p));
    EXPECT_EQ(other.Record(), live);
    EXPECT_EQ(*other.StoredRecord(0), *model.StoredRecord(0));
    EXPECT_FALSE(other.LoadPayload(ProfileFamily::Device, Bytes(576, 0)));
    EXPECT_TRUE(other.BuildPayload(ProfileFamily::Key).empty());
}

TEST(MousepadModelData, RecordIndicesAndTheBreathingCounter) {
    MousepadModel model;
    model.SetStoredRecord(3, Ramp(64, 1));
    EXPECT_TRUE(model.TakeStoredRecord(3));
    EXPECT_EQ(model.Record().index(), 3);
    EXPECT_EQ(model.Record().bytes[1], 2);
    EXPECT_FALSE(model.TakeStoredRecord(5));
    EXPECT_FALSE(model.TakeStoredRecord(-1));
    EXPECT_EQ(model.Record().index(), 3);

    model.EditRecord([](LightRecord& r) { r.bytes[kMousepadBreathCounter] = 1; });
    model.AdvanceBreathCounter();
    EXPECT_EQ(model.LightSnapshot().breathCounter, 2);
    model.AdvanceBreathCounter();
    EXPECT_EQ(model.LightSnapshot().breathCounter, 0);

    // A live index that names no record is not stored anywhere.
    LightRecord odd;
    odd.SetIndex(200);
    odd.bytes[2] = 0xEE;
    model.SetRecord(odd);
    model.StoreLiveRecord();
    for (int i = 0; i < kMousepadRecords; ++i)
        EXPECT_NE((*model.StoredRecord(i))[2], 0xEE) << i;
}

}  // namespace
}  // namespace vq
