// The road of a connection on the real skin with the simulated mouse: arrival, the stored profile
// sent, the full read, notifications, removal, the mouse page and its slot buttons.

#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include "app/pages/device_pages.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

using app::CMainWnd;

struct Request {
    uint8_t command, length;
    uint16_t address;
};

std::vector<Request> Requests(const sim::VirtualHidBus& bus) {
    std::vector<Request> out;
    for (const auto& e : bus.Transcript())
        if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage)
            out.push_back(
                {e.bytes[3], e.bytes[4], static_cast<uint16_t>(e.bytes[5] | (e.bytes[6] << 8))});
    return out;
}

// Index of the first request at or after `from` with this command (and length, when given).
size_t Find(const std::vector<Request>& r, size_t from, uint8_t command, int length = -1) {
    for (size_t i = from; i < r.size(); ++i)
        if (r[i].command == command && (length < 0 || r[i].length == length)) return i;
    return r.size();
}

bool IsRed(QWidget* label) {
    return label && label->styleSheet().contains("ff0000", Qt::CaseInsensitive);
}

class Connection : public WindowTest {
  protected:
    // Waits until the bus carries at least n requests with this command.
    bool WaitForCommand(uint8_t command, size_t n, int length = -1) {
        return QTest::qWaitFor(
            [&] {
                size_t count = 0;
                for (const Request& r : Requests(bus))
                    if (r.command == command && (length < 0 || r.length == length)) ++count;
                return count >= n;
            },
            kWaitMs);
    }
    bool WaitForListener() {
        return QTest::qWaitFor([&] { return bus.OpenHandleCount() >= 2; }, kWaitMs);
    }
};

TEST_F(Connection, ArrivalSendsTheStoredProfileThenReadsTheWholeMouse) {
    CMainWnd& w = StartWindow();
    // The stored device profile, then the full read: Begin, ReadInfo, the factory block, the
    // five key layers, End.
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    const auto r = Requests(bus);
    const size_t record = Find(r, 0, 0x06, MouseRecord::kSize);
    ASSERT_LT(record, r.size()) << "the profile's record was not sent";
    const size_t layer = Find(r, record, 0x09);
    ASSERT_LT(layer, r.size());
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(r[layer + i].command, 0x09);
        EXPECT_EQ(r[layer + i].address, i * 56);
    }
    const size_t begin = Find(r, layer, 0x01);
    ASSERT_LT(begin, r.size());
    EXPECT_EQ(r[begin + 1].command, 0x03);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(r[begin + 2 + i].command, 0x07);
    for (size_t n = 0; n < 5; ++n)
        for (size_t i = 0; i < 10; ++i) {
            const Request& q = r[begin + 12 + n * 10 + i];
            EXPECT_EQ(q.command, 0x08);
            EXPECT_EQ(q.address, n * 126 + i * 56);
        }
    EXPECT_EQ(r[begin + 62].command, 0x02);

    EXPECT_TRUE(w.Control("ms_tab")->isVisible());
    EXPECT_TRUE(w.Control("ms_tab_panel")->isVisible());
    auto* list = w.Control<QComboBox>("ms_device_profile_combo");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(list->currentText(), "profile1");
    // The page shows what the mouse holds: its sensor's ranges and the stored stages.
    EXPECT_EQ(w.Control<QLabel>("ms_DPI7_max")->text(), "16000");
    const MouseRecord live = w.Hub().Mouse().Model().Record();
    EXPECT_EQ(w.Control<QSlider>("ms_DPI3_slider")->value(), live.StageSteps(2));
    EXPECT_EQ(w.Control<QLabel>("ms_DPI3_label_value")->text(), QString::number(live.StageDpi(2)));
    // The full refresh stores the lift-off height again: the record goes back to the mouse.
    EXPECT_TRUE(WaitForCommand(0x06, 1, 56));
}

TEST_F(Connection, AMousePluggedInLaterConnectsWithoutShowingTheWindow) {
    CMainWnd& w = StartWindow(/*plugged=*/false);
    QTest::qWait(60);
    mouse->Plug();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.Hub().Controller(DeviceKind::Mouse).Session().IsConnected(); }, kWaitMs));
    ASSERT_TRUE(WaitForCommand(0x02, 1));  // the full read still runs
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Connection, AChangeNotificationRereadsTheRecordAndWritesItBack) {
    CMainWnd& w = StartWindow();
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    ASSERT_TRUE(WaitForListener());
    QTest::qWait(150);  // the full read's write-back has gone out
    bus.ClearTranscript();
    const uint8_t before = w.Hub().Mouse().Model().Record().activeStage();
    mouse->PressDpiButton();
    ASSERT_TRUE(WaitForCommand(0x06, 1, 56));
    const auto r = Requests(bus);
    const size_t slot = Find(r, 0, 0x05, 1);
    const size_t record = Find(r, slot, 0x05, 56);
    EXPECT_LT(record, Find(r, 0, 0x06, 56));
    const uint8_t after = w.Hub().Mouse().Model().Record().activeStage();
    EXPECT_EQ(after, (before + 1) % 7);
    // The page marks the new stage.
    EXPECT_TRUE(IsRed(w.Control(QStringLiteral("ms_DPI%1_label_rank").arg(after + 1))));
    EXPECT_FALSE(IsRed(w.Control(QStringLiteral("ms_DPI%1_label_rank").arg(before + 1))));
}

TEST_F(Connection, ANotificationWhileNotConnectedDoesNothing) {
    CMainWnd& w = StartWindow();
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    ASSERT_TRUE(WaitForListener());
    QTest::qWait(150);
    DeviceSession& session = w.Hub().Controller(DeviceKind::Mouse).Session();
    {
        // Hold the presence off while the session counts as disconnected.
        std::lock_guard lock(session.IoLock());
        session.SetConnected(false);
        bus.ClearTranscript();
        mouse->SendNotification(0x0401);
        QTest::qWait(100);
        session.SetConnected(true);
    }
    EXPECT_TRUE(Requests(bus).empty());
}

TEST_F(Connection, AFullReadNotificationReadsEverythingAgain) {
    StartWindow();
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    ASSERT_TRUE(WaitForListener());
    bus.ClearTranscript();
    mouse->SendNotification(0x0402);
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    const auto r = Requests(bus);
    EXPECT_EQ(std::count_if(r.begin(), r.end(), [](const Request& q) { return q.command == 0x08; }),
              50);
}

TEST_F(Connection, TheConfigurationCollectionIsFoundWhenTheEventCollectionComesFirst) {
    mouse.reset();
    sim::SimMouseConfig config;
    config.eventCollectionFirst = true;
    mouse = std::make_unique<sim::SimMouse>(bus, config);
    CMainWnd& w = StartWindow();
    EXPECT_EQ(w.Hub().Controller(DeviceKind::Mouse).Session().Device().Path(), mouse->ConfigPath());
    EXPECT_TRUE(WaitForCommand(0x02, 1));
}

TEST_F(Connection, TheSlotButtonsSwitchTheMouseAndShowTheSlot) {
    CMainWnd& w = StartWindow();
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    QTest::qWait(150);
    QWidget* button = w.Control("ms_profile_2");
    ASSERT_NE(button, nullptr);
    w.Router().Fire("click", button);
    Settle(w);
    EXPECT_EQ(mouse->CurrentSlot(), 2);
    EXPECT_EQ(w.Hub().Mouse().Model().Record().slot(), 2);
    const auto stored = mouse->ParamMemory();
    const MouseRecord live = w.Hub().Mouse().Model().Record();
    EXPECT_TRUE(std::equal(live.bytes.begin() + 1, live.bytes.end(), stored.begin() + 2 * 64 + 1));
    // The same slot again reads the mouse's slot and sends nothing else.
    bus.ClearTranscript();
    w.Router().Fire("click", button);
    Settle(w);
    const auto r = Requests(bus);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].command, 0x05);
}

TEST_F(Connection, SelectingALightProfileLoadsItAndMarksTheRecord) {
    CMainWnd& w = StartWindow();
    ASSERT_TRUE(WaitForCommand(0x02, 1));
    auto* list = w.Control<QComboBox>("ms_deng_profile_combo");
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->count(), 1);
    // The stored light profile holds brightness 2 while the mouse's record holds 0; selecting the
    // profile brings the file's lighting back.
    Settle(w);
    w.Hub().Mouse().SetBrightness(0);
    Settle(w);
    ASSERT_EQ(w.Hub().Mouse().Model().Record().brightness(), 0);
    {
        const FileAccessAllowed test;
        MouseModel file;
        ASSERT_EQ(w.Hub().Store().LoadProfile(DeviceKind::Mouse, ProfileFamily::Light, 0, file),
                  ProfileReadResult::Ok);
        file.EditRecord([](MouseRecord& r) { r.SetBrightness(2); });
        ASSERT_EQ(
            w.Hub().Store().SaveSelectedProfile(DeviceKind::Mouse, ProfileFamily::Light, file),
            SaveResult::Saved);
    }
    bus.ClearTranscript();
    list->setCurrentIndex(0);
    w.Router().Fire("itemselect", list, 0);
    Settle(w);
    EXPECT_EQ(w.Hub().Mouse().Model().Record().brightness(), 2);
    EXPECT_EQ(w.Control<QSlider>("ms_deng_light_slider")->value(), 2);
    EXPECT_TRUE(WaitForCommand(0x06, 1, 56));
    EXPECT_EQ(OnDisk([&] {
                  return w.Hub().Store().StoredSelection(DeviceKind::Mouse, ProfileFamily::Light);
              }),
              0);
}

}  // namespace
}  // namespace vq::test
