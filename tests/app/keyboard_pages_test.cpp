// The keyboard's and the mousepad's pages on the real skin with the simulated keyboard and
// mousepad connected at start (as quillet --simulate all does): their tabs, the key page's
// assignment and save, the lighting page's custom layouts, the light threads' frames on the wire
// with the output flag, the previews that run only while they can be seen, the mousepad's flash
// on the mouse's event and the light sync from the keyboard's page.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <thread>

#include "app/controls/device_key_button.h"
#include "app/controls/key_tints.h"
#include "app/controls/led_preview.h"
#include "app/device_hub.h"
#include "app/pages/device_pages.h"
#include "app_fixture.h"
#include "core/keyboard/keyboard_layout.h"
#include "sim/sim_peripheral.h"
#include "support/fake_input_capture.h"

namespace vq::test {
namespace {

using app::CMainWnd;

// The system's time, five times as fast: the light threads' start-up waits and frame pauses
// pass quickly, and their order and proportions stay.
class QuickLightClock : public light::LightClock {
  public:
    static constexpr uint32_t kScale = 5;
    uint64_t NowMs() override {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start_)
                                         .count()) *
               kScale;
    }
    bool Sleep(std::stop_token stop, uint32_t ms) override {
        return system_.Sleep(stop, ms == 0 ? 0 : std::max<uint32_t>(1, ms / kScale));
    }
    bool WaitForWake(std::stop_token stop, light::LightWake& wake, uint64_t seen,
                     uint32_t ms) override {
        return wake.WaitPast(stop, seen, std::max<uint32_t>(1, ms / kScale));
    }

  private:
    light::SystemLightClock system_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class KeyboardPages : public WindowTest {
  protected:
    KeyboardPages() {
        adjustOptions = [this](CMainWnd::Options& o) {
            o.connectKeyboardAndMousepad = withPeripherals;
            o.lightClock = &clock;
        };
    }
    // The window goes before the devices and the clock it uses.
    ~KeyboardPages() override { CloseWindow(); }

    CMainWnd& Ready() {
        if (withPeripherals) peripherals = std::make_unique<sim::SimKeyboardAndMousepad>(bus);
        CMainWnd& w = MakeWindow();
        w.Pages()->keyboardKeys.SetInputCapture(&capture);
        w.WindowInit();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, kWaitMs));
        if (withPeripherals) {
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    return w.Hub().Keyboard().Model().HasInfo() && w.Hub().Mousepad().IsConnected();
                },
                kWaitMs));
        }
        Settle(w);
        if (withPeripherals) Choose("kb_tab");
        return w;
    }
    template <typename T = QAbstractButton>
    T* Get(const QString& name) {
        T* c = window->Control<T>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void Click(const QString& name) {
        if (auto* b = Get(name)) window->Router().Fire("click", b);
    }
    // An option chosen as the user does: checked, then announced.
    void Choose(const QString& name) {
        auto* b = Get(name);
        if (!b) return;
        b->setChecked(true);
        window->Router().Fire("selectchanged", b);
    }
    void Select(const QString& combo, int item) {
        auto* c = Get<QComboBox>(combo);
        if (!c) return;
        c->setCurrentIndex(item);
        window->Router().Fire("itemselect", c, item);
    }
    void Type(const QString& name, const QString& text) {
        auto* edit = Get<QLineEdit>(name);
        if (!edit) return;
        edit->setText(text);
        window->Router().Fire("textchanged", edit);
    }
    KeyboardModel const& Keyboard() { return window->Hub().Keyboard().Model(); }
    // The button of the on-screen keyboard that carries `code` as its factory function.
    int ButtonOf(const KeyAssignment& code) {
        for (int b = 0; b < kKeyboardButtons; ++b)
            if (ButtonMatch(b) == code && !IsButtonGap(b)) return b;
        return -1;
    }

    bool withPeripherals = true;
    QuickLightClock clock;
    std::unique_ptr<sim::SimKeyboardAndMousepad> peripherals;
    FakeInputCapture capture;
};

TEST_F(KeyboardPages, SimulatedKeyboardAndMousepadConnectWithTheirTabs) {
    CMainWnd& w = Ready();
    EXPECT_TRUE(Get("kb_tab")->isVisibleTo(w.Root()));
    EXPECT_TRUE(Get("mp_tab")->isVisibleTo(w.Root()));
    // The keys were matched to the on-screen buttons by their factory functions.
    const app::KeyboardKeysPage& keys = w.Pages()->keyboardKeys;
    EXPECT_GT(Keyboard().KeyCount(), 100);
    EXPECT_EQ(w.Hub().Keyboard().Session().BlockLength(), Keyboard().KeyCount() * 3);
    int mapped = 0;
    for (int b = 0; b < kKeyboardButtons; ++b)
        if (keys.Map()[static_cast<size_t>(b)] != kNoKey) {
            ++mapped;
            EXPECT_FALSE(IsButtonGap(b)) << b;
            EXPECT_EQ(Keyboard().FactoryAt(keys.Map()[static_cast<size_t>(b)]), ButtonMatch(b));
        }
    EXPECT_EQ(mapped, Keyboard().KeyCount());

    // The user changes the effect on the keyboard itself: its notification brings the record
    // back and the lighting page shows it.
    const uint8_t before = Keyboard().Light().mode;
    peripherals->keyboard.PressLightKey();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(w);
            return Keyboard().Light().mode == (before + 1) % 17;
        },
        kWaitMs));
    EXPECT_EQ(Get<QComboBox>("kb_deng_combo_modeSelect")->currentIndex(), (before + 1) % 17);
}

TEST_F(KeyboardPages, WithoutTheSimulatedKeyboardItsPagesNeverReachTheWire) {
    withPeripherals = false;
    CMainWnd& w = Ready();
    bus.ClearTranscript();
    EXPECT_FALSE(w.Hub().Keyboard().IsConnected());
    // The pages show the selected profiles' settings all the same.
    KeyboardModel fromFile;
    ProfileStore& store = w.Hub().Store();
    ASSERT_EQ(OnDisk([&] {
                  return store.LoadProfile(
                      DeviceKind::Keyboard, ProfileFamily::Light,
                      store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Light), fromFile);
              }),
              ProfileReadResult::Ok);
    EXPECT_EQ(Keyboard().Light(), fromFile.Light());
    EXPECT_EQ(*Keyboard().Layout(0), *fromFile.Layout(0));
    EXPECT_EQ(Get<QSlider>("kb_deng_light_slider")->value(), fromFile.Light().brightness);
    EXPECT_EQ(Get<QComboBox>("kb_deng_combo_modeSelect")->currentIndex(), fromFile.Light().mode);
    Choose("kb_deng_Op_tab");
    Select("kb_deng_combo_modeSelect", 1);
    Click("kb_Deng_color_btn_3");
    Click("kb_key_butt_prosave");
    Select("mp_deng_combo_modeSelect", 2);
    QTest::qWait(300);
    Settle(w);
    EXPECT_EQ(Keyboard().Light().mode, 1);  // the model took the edit
    EXPECT_EQ(w.Hub().Mousepad().Model().Light().mode, 2);
    // The keyboard's and the mousepad's sessions stayed closed: no light frame, no record, no
    // key block went out; only the mouse was spoken to.
    EXPECT_EQ(CountCommand(bus, 0x12), 0u);
    for (const auto& e : bus.Transcript())
        EXPECT_EQ(e.usagePage == kConfigUsagePage && e.direction == TraceDirection::ToDevice &&
                      (e.bytes[3] == 0x06 || e.bytes[3] == 0x09 || e.bytes[3] == 0x15),
                  false)
            << "command 0x" << std::hex << int(e.bytes[3]);
}

TEST_F(KeyboardPages, KeyAssignmentShownSavedAndGivenBack) {
    CMainWnd& w = Ready();
    Choose("kb_key_Op_tab");
    const int f1 = ButtonOf(KeyTable()[*FindKeyByVirtualKey(0x70)].Code());
    ASSERT_GE(f1, 0);
    Click(QStringLiteral("kb_key_%1").arg(f1));
    EXPECT_TRUE(Get<QWidget>("kb_tab_function")->isVisible());
    EXPECT_EQ(Get<QComboBox>("kb_key_fct_combo")->currentIndex(), 0);  // its own function
    const int key = w.Pages()->keyboardKeys.CurrentKey();
    ASSERT_GE(key, 0);

    // The fire key, numbers above their limit shown and stored at the limit.
    Select("kb_key_fct_combo", 6);
    Type("kb_key_fct_edit_11", "300");
    Type("kb_key_fct_edit_12", "7");
    EXPECT_EQ(Get<QLineEdit>("kb_key_fct_edit_11")->text(), "255");
    Settle(w);
    EXPECT_EQ(Keyboard().KeyAt(0, key), (KeyAssignment{0x14, 255, 7}));
    auto* button = Get<app::CDeviceKeyButtonUI>(QStringLiteral("kb_key_%1").arg(f1));
    EXPECT_FALSE(button->KeySetHidden());
    EXPECT_TRUE(button->toolTip().contains(w.Ui().TextOrId("Key_Set")))
        << button->toolTip().toStdString();

    // The save sends the key block; a new read of the keyboard brings the assignment back.
    Click("kb_key_butt_prosave");
    Settle(w);
    const auto memory = peripherals->keyboard.KeyMemory();
    EXPECT_EQ(memory[3 * static_cast<size_t>(key)], 0x14);
    EXPECT_EQ(memory[3 * static_cast<size_t>(key) + 1], 255);
    w.Hub().Keyboard().ReadAll();
    Settle(w);
    EXPECT_EQ(Keyboard().KeyAt(0, key), (KeyAssignment{0x14, 255, 7}));
    // Chosen again after another key, the panel shows the fire item (the keyboard's item order,
    // not the mouse's) with its numbers.
    const int f2 = ButtonOf(KeyTable()[*FindKeyByVirtualKey(0x71)].Code());
    ASSERT_GE(f2, 0);
    Click(QStringLiteral("kb_key_%1").arg(f2));
    EXPECT_EQ(Get<QComboBox>("kb_key_fct_combo")->currentIndex(), 0);
    Click(QStringLiteral("kb_key_%1").arg(f1));
    EXPECT_EQ(Get<QComboBox>("kb_key_fct_combo")->currentIndex(), 6);
    EXPECT_TRUE(Get<QWidget>("kb_tab_function_6")->isVisible());
    EXPECT_FALSE(Get<QWidget>("kb_tab_function_0")->isVisible());
    EXPECT_EQ(Get<QLineEdit>("kb_key_fct_edit_12")->text(), "7");

    // A captured key: keypad Enter by its extended flag.
    Select("kb_key_fct_combo", 1);
    EXPECT_TRUE(w.Pages()->keyboardKeys.Capturing());
    capture.Key(InputEventKind::KeyDown, 0x0D, 0, true);
    Settle(w);
    EXPECT_EQ(Keyboard().KeyAt(0, key), (KeyAssignment{0x20, 0, 0x58}));
    const QString keyText = Get<QLineEdit>("kb_key_fct_edit_21")->text();
    EXPECT_FALSE(keyText.isEmpty());
    // Shown again: the key item, its key, and the capture for another key.
    Click(QStringLiteral("kb_key_%1").arg(f2));
    EXPECT_FALSE(w.Pages()->keyboardKeys.Capturing());
    Click(QStringLiteral("kb_key_%1").arg(f1));
    EXPECT_EQ(Get<QComboBox>("kb_key_fct_combo")->currentIndex(), 1);
    EXPECT_EQ(Get<QLineEdit>("kb_key_fct_edit_21")->text(), keyText);
    EXPECT_TRUE(w.Pages()->keyboardKeys.Capturing());

    // Its own function again: the marker goes.
    Click("kb_key_butt_keydefalut");
    Settle(w);
    EXPECT_EQ(Keyboard().KeyAt(0, key), Keyboard().FactoryAt(key));
    EXPECT_TRUE(button->KeySetHidden());
    EXPECT_FALSE(w.Pages()->keyboardKeys.Capturing());
}

TEST_F(KeyboardPages, CustomLayoutPaintedKeptInTheLightProfileAndAllBrightFillsOnlyDarkKeys) {
    CMainWnd& w = Ready();
    Choose("kb_deng_Op_tab");
    Select("kb_deng_combo_modeSelect", 8);
    Settle(w);
    EXPECT_TRUE(Get<QWidget>("kb_deng_custom_tool_layout")->isVisible());
    EXPECT_FALSE(Get<QWidget>("kb_deng_fx_layout")->isVisible());
    Choose("kb_Deng_all_kill_check");
    // The colour fields change the painting colour, not the single colour.
    const Rgb single = Keyboard().Light().colour;
    Type("kb_Deng_edit_R", "10");
    Type("kb_Deng_edit_G", "20");
    Type("kb_Deng_edit_B", "300");
    EXPECT_EQ(Get<QLineEdit>("kb_Deng_edit_B")->text(), "255");
    Settle(w);
    EXPECT_EQ(Keyboard().CustomColour(), (Rgb{10, 20, 255}));
    EXPECT_EQ(Keyboard().Light().colour, single);
    Click("kb_key_0");  // Esc: LED 0
    // A gap has no LED: nothing is painted.
    Click("kb_key_16");
    Settle(w);
    CustomLayout layout = *Keyboard().Layout(Keyboard().CustomSlot());
    EXPECT_EQ(layout[0], 10);
    EXPECT_EQ(layout[2], 255);
    EXPECT_EQ(std::count(layout.begin(), layout.end(), 0), 378 - 3);

    // All bright with another colour leaves the painted key alone.
    Type("kb_Deng_edit_R", "1");
    Type("kb_Deng_edit_G", "1");
    Type("kb_Deng_edit_B", "1");
    Choose("kb_Deng_all_bright_check");
    Settle(w);
    layout = *Keyboard().Layout(Keyboard().CustomSlot());
    EXPECT_EQ(layout[0], 10);
    EXPECT_EQ(layout[3], 1);
    EXPECT_TRUE(Get("kb_Deng_all_bright_check")->isChecked());
    EXPECT_FALSE(Get("kb_Deng_all_kill_check")->isChecked());

    // The light profile holds it (1958 bytes) and gives it back when selected again.
    ProfileStore& store = w.Hub().Store();
    const int selected =
        OnDisk([&] { return store.StoredSelection(DeviceKind::Keyboard, ProfileFamily::Light); });
    ASSERT_GE(selected, 0);
    KeyboardModel copy;
    ASSERT_TRUE(OnDisk([&] {
                    return store.LoadProfile(DeviceKind::Keyboard, ProfileFamily::Light, selected,
                                             copy);
                }) == ProfileReadResult::Ok);
    EXPECT_EQ(copy.BuildLightPayload().size(), 1958u);
    EXPECT_EQ(*copy.Layout(Keyboard().CustomSlot()), layout);
    Choose("kb_Deng_all_kill_check");
    Settle(w);
    EXPECT_EQ(Keyboard().Layout(Keyboard().CustomSlot())->at(0), 0);
    // Every change is in the file at once: selecting the profile again shows the dark keys.
    w.Hub().Keyboard().SelectProfile(ProfileFamily::Light, selected);
    Settle(w);
    EXPECT_EQ(Keyboard().Layout(Keyboard().CustomSlot())->at(0), 0);
    EXPECT_EQ(Keyboard().Light().mode, 8);
}

TEST_F(KeyboardPages, FramesOnTheWireWhileAnEffectRunsAndNoneWithTheOutputOff) {
    CMainWnd& w = Ready();
    Choose("kb_deng_Op_tab");
    Select("kb_deng_combo_modeSelect", 1);  // colour cycle
    sim::SimKeyboard& keyboard = peripherals->keyboard;
    const uint64_t before = keyboard.LightFrameCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.LightFrameCount() > before + 5; }, kWaitMs));
    // The keys on the lighting page show the frames.
    auto* esc = Get<app::CDeviceKeyButtonUI>("kb_key_0");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return esc->LightShown() && esc->LightTintAlpha() > 0; }, kWaitMs));
    EXPECT_GT(w.Pages()->keyboardLight.Painter().Paints(), 0);

    // The system sleeps: nothing more is written, while the preview goes on.
    w.SetPowerFlag(0);
    QTest::qWait(50);
    const uint64_t stopped = keyboard.LightFrameCount();
    const int paints = w.Pages()->keyboardLight.Painter().Paints();
    QTest::qWait(200);
    EXPECT_EQ(keyboard.LightFrameCount(), stopped);
    EXPECT_GT(w.Pages()->keyboardLight.Painter().Paints(), paints);

    // The key page shows the keys unlit and publishes nothing, and the lights' tints are let go.
    EXPECT_GT(app::KeyTints::Held(), 0);
    Choose("kb_key_Op_tab");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !esc->LightShown(); }, kWaitMs));
    EXPECT_FALSE(w.Hub().Light().keyboardPreview.Visible());
    EXPECT_EQ(app::KeyTints::Held(), 0);
    w.SetPowerFlag(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.LightFrameCount() > stopped + 3; }, kWaitMs));
    // A hidden window paints nothing.
    Choose("kb_deng_Op_tab");
    w.hide();
    QTest::qWait(50);
    const int hiddenPaints = w.Pages()->keyboardLight.Painter().Paints();
    QTest::qWait(150);
    EXPECT_EQ(w.Pages()->keyboardLight.Painter().Paints(), hiddenPaints);
    EXPECT_FALSE(w.Hub().Light().keyboardPreview.Visible());
    // Shown again (also after a paint that waited for its turn when the page went): it paints.
    w.show();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.Pages()->keyboardLight.Painter().Paints() > hiddenPaints + 2; }, kWaitMs));
    for (int i = 0; i < 5; ++i) {
        Choose("kb_key_Op_tab");
        QTest::qWait(i * 7);
        Choose("kb_deng_Op_tab");
    }
    const int again = w.Pages()->keyboardLight.Painter().Paints();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.Pages()->keyboardLight.Painter().Paints() > again + 2; }, kWaitMs));
}

TEST_F(KeyboardPages, MouseEventFlashesTheMousepadAndTheResetReadsItBack) {
    CMainWnd& w = Ready();
    Choose("mp_tab");
    Select("mp_deng_combo_modeSelect", 8);
    Settle(w);
    EXPECT_EQ(w.Hub().Mousepad().Model().Light().mode, 8);
    sim::SimMousepad& pad = peripherals->mousepad;
    // Whether a frame that arrived after the first `after` frames lit any zone.
    auto litSince = [&](uint64_t after) {
        const auto frames = pad.LightFrames();
        const uint64_t first = pad.LightFrameCount() - frames.size();
        for (size_t i = 0; i < frames.size(); ++i)
            if (first + i >= after &&
                std::any_of(frames[i].begin(), frames[i].end(), [](uint8_t b) { return b != 0; }))
                return true;
        return false;
    };
    // The effect's dark frame reached the pad; no event, no light.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto frames = pad.LightFrames();
            return !frames.empty() && std::all_of(frames.back().begin(), frames.back().end(),
                                                  [](uint8_t b) { return b == 0; });
        },
        kWaitMs));
    const uint64_t dark = pad.LightFrameCount();
    QTest::qWait(200);
    EXPECT_FALSE(litSince(dark)) << "the flash effect lit the pad without an event";
    mouse->SendNotification(0x0403);
    EXPECT_TRUE(QTest::qWaitFor([&] { return litSince(dark); }, kWaitMs));

    // The factory reset: the reset command, then the read that shows the pad's record.
    const int resets = pad.FactoryResets();
    Click("mp_one_profile_default");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pad.FactoryResets() == resets + 1; }, kWaitMs));
    Settle(w);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(w);
            return w.Hub().Mousepad().Model().Light().mode == pad.CurrentRecord()[1];
        },
        kWaitMs));
    EXPECT_EQ(Get<QComboBox>("mp_deng_combo_modeSelect")->currentIndex(), pad.CurrentRecord()[1]);
}

TEST_F(KeyboardPages, SameModeFromTheKeyboardSyncsAllUntilThePadChoosesItsOwn) {
    CMainWnd& w = Ready();
    Choose("kb_deng_Op_tab");
    Select("kb_deng_combo_modeSelect", 1);
    Settle(w);
    EXPECT_TRUE(Get<QWidget>("kb_deng_same_mode")->isEnabled());
    Click("kb_deng_same_mode");
    Settle(w);
    app::DeviceHub& hub = w.Hub();
    EXPECT_TRUE(hub.Keyboard().Session().LightSync());
    EXPECT_TRUE(hub.Mouse().Session().LightSync());
    EXPECT_TRUE(hub.Mousepad().Session().LightSync());
    EXPECT_EQ(hub.Mouse().Model().Record().bytes[1], 1);
    EXPECT_EQ(hub.Mousepad().Model().Light().mode, 1);
    EXPECT_EQ(Get<QComboBox>("mp_deng_combo_modeSelect")->currentIndex(), 1);
    // The sync drives the pad and the keyboard with one colour.
    sim::SimMousepad& pad = peripherals->mousepad;
    const uint64_t padFrames = pad.LightFrameCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pad.LightFrameCount() > padFrames + 3; }, kWaitMs));

    Select("mp_deng_combo_modeSelect", 3);
    Settle(w);
    EXPECT_FALSE(hub.Mousepad().Session().LightSync());
    EXPECT_TRUE(hub.Keyboard().Session().LightSync());
    EXPECT_TRUE(hub.Mouse().Session().LightSync());
    // The mouse's LEDs on its lighting page show the sync's colour cycle.
    Choose("ms_tab");
    Choose("ms_deng_Op_tab");
    auto* led = Get<app::CLedPreviewUI>("ms_dkey_0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Pages()->mouseSync->Paints() > 2; }, kWaitMs));
    const light::LightCell shown = hub.Light().mouseSyncPreview.Picture()[0];
    EXPECT_TRUE(QTest::qWaitFor([&] { return led->Alpha() > 0; }, kWaitMs));
    EXPECT_EQ(shown.level, light::LevelOf(hub.SyncBlock().Settings().brightness));
    // All 20 LEDs of the sync's mouse frame are shown, the last (the logo) too: whatever it
    // showed before, it shows what the sync sends it.
    auto* logo = Get<app::CLedPreviewUI>("ms_dkey_19");
    logo->SetChangerAlpha(200);
    const int paints = w.Pages()->mouseSync->Paints();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w.Pages()->mouseSync->Paints() > paints + 1; }, kWaitMs));
    EXPECT_EQ(logo->Alpha(), hub.Light().mouseSyncPreview.Picture()[19].level);
    Choose("kb_tab");
    // The keyboard's own effect ends its part.
    Select("kb_deng_combo_modeSelect", 0);
    Settle(w);
    EXPECT_FALSE(hub.Keyboard().Session().LightSync());
    EXPECT_TRUE(hub.Mouse().Session().LightSync());

    // From the mouse's page: its lighting goes to the keyboard and the mousepad.
    Choose("ms_tab");
    Click("ms_deng_same_mode");
    Settle(w);
    const LightSettings mouseLight = LightSettings::From(hub.Mouse().Model().Record().bytes);
    EXPECT_EQ(hub.Keyboard().Model().Light(), mouseLight);
    EXPECT_EQ(hub.Mousepad().Model().Light(), mouseLight);
    EXPECT_EQ(hub.SyncBlock().Settings(), mouseLight);
    EXPECT_TRUE(hub.Keyboard().Session().LightSync());
    EXPECT_TRUE(hub.Mousepad().Session().LightSync());
}

}  // namespace
}  // namespace vq::test
