// The main window: start-up, show requests, the tray, the caption buttons, the flush and the
// shutdown, on the real skin with the simulated mouse.

#include <QMenu>
#include <QSystemTrayIcon>
#include <thread>

#include "app_fixture.h"
#include "core/util/atomic_file.h"

namespace vq::test {
namespace {

using app::CMainWnd;
using app::WindowTimer;

std::vector<std::vector<uint8_t>> ConfigRequests(const sim::VirtualHidBus& bus) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& e : bus.Transcript())
        if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage)
            out.push_back(e.bytes);
    return out;
}

// Waits until the traffic that follows the mouse's arrival is over: the profile selection, the
// full read 500 ms later and the write-back of the record it marks changed.
void SettleAfterArrival(CMainWnd& w, const sim::VirtualHidBus& bus) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return CountCommand(bus, 0x02) > 0; }, kWaitMs));
    Settle(w);
}

// The presence and the listeners keep watching; the threads with nothing to watch have ended.
void ExpectWatching(CMainWnd& w) {
    EXPECT_TRUE(w.Workers().IsRunning(app::kMousePresence));
    EXPECT_TRUE(w.Workers().IsRunning(app::kMouseListener));
    EXPECT_TRUE(w.Workers().IsRunning(app::kKeyboardListener));
    for (int slot : {app::kKeyboardPresence, app::kMousepadPresence, app::kKeyboardLightWatcher,
                     app::kKeyboardKeyWatcher})
        EXPECT_FALSE(w.Workers().IsRunning(slot)) << slot;
}

TEST_F(WindowTest, StartsHiddenAndTheMouseOnTheFirstPassShowsItWithItsTab) {
    CMainWnd& w = MakeWindow();
    EXPECT_EQ(w.size(), QSize(800, 572));
    EXPECT_EQ(w.windowTitle(), "Varnhold Quillet");
    w.WindowInit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, kWaitMs));
    EXPECT_TRUE(w.Hub().Controller(DeviceKind::Mouse).Session().IsConnected());
    EXPECT_FALSE(w.Hub().Controller(DeviceKind::Keyboard).Session().IsConnected());
    EXPECT_FALSE(w.Hub().Controller(DeviceKind::Mousepad).Session().IsConnected());
    auto* tab = w.Control<QAbstractButton>("ms_tab");
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(tab->isVisible());
    EXPECT_TRUE(tab->isChecked());
    // Half a second after the arrival the full read runs, once.
    SettleAfterArrival(w, bus);
    QTest::qWait(50);
    EXPECT_EQ(CountCommand(bus, 0x01), 1u);
    // The keyboard and mousepad never appear on their own.
    EXPECT_FALSE(w.Control("kb_tab")->isVisible());
    EXPECT_FALSE(w.Control("mp_tab")->isVisible());
}

TEST_F(WindowTest, WithoutADeviceTheWindowStaysHidden) {
    CMainWnd& w = StartWindow(/*plugged=*/false);
    QTest::qWait(100);  // several presence passes
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.AnyConnected());
}

TEST_F(WindowTest, CloseButtonMinimisesAndTheProgramStaysInTheTray) {
    CMainWnd& w = StartWindow();
    auto* close = w.Control<QAbstractButton>("closebtn");
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isMinimized(); }, kWaitMs));
    ASSERT_NE(w.Tray(), nullptr);
    EXPECT_TRUE(w.Tray()->isVisible());
    ExpectWatching(w);
    // The tray brings it back.
    w.OnTrayLeftClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isVisible() && !w.isMinimized(); }, kWaitMs));
    // Closing the window another way only hides it.
    w.close();
    EXPECT_FALSE(w.isVisible());
    ExpectWatching(w);
}

TEST_F(WindowTest, TrayClickTogglesTheWindowWhileAMouseIsConnected) {
    CMainWnd& w = StartWindow();
    w.OnTrayLeftClick();
    EXPECT_FALSE(w.isVisible());
    w.OnTrayLeftClick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.IsTimerActive(WindowTimer::Repaint));
}

TEST_F(WindowTest, ShowRequestsWithoutADeviceOpenOneWarningHoweverManyArrive) {
    CMainWnd& w = StartWindow(/*plugged=*/false);
    w.show();
    // Everything below happens while the warning's modal loop runs: a polling timer plays the
    // user. Once the warning is open, two more requests arrive; some ticks later the boxes are
    // counted and the user answers.
    int step = 0, ticksAfterRequests = 0, boxesSeen = 0;
    bool textRight = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const auto boxes = OpenBoxes();
        if (step == 0 && !boxes.empty()) {
            w.PostShowRequest();
            w.PostShowRequest();
            step = 1;
        } else if (step == 1 && ++ticksAfterRequests > 10) {
            boxesSeen = static_cast<int>(boxes.size());
            if (!boxes.empty()) {
                auto* text = boxes.front()->findChild<QLabel*>("MessageText");
                textRight = text && text->property("textId").toString() == "message_text_1" &&
                            !text->text().isEmpty() && text->text() != "message_text_1";
                boxes.front()->findChild<QAbstractButton*>("confirm_btn")->click();
            }
            step = 2;
        }
    });
    poll.start(5);
    w.PostShowRequest();
    ASSERT_TRUE(QTest::qWaitFor([&] { return step == 2; }, kWaitMs));
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_TRUE(textRight);
    // The window was hidden by the requests, and no box is left.
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([] { return app::OpenMessageBoxes() == 0; }, kWaitMs));
    // The guard is released: a later request warns again.
    auto answered = AnswerNextBox("cancel_btn");
    w.PostShowRequest();
    EXPECT_TRUE(QTest::qWaitFor([&] { return *answered; }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([] { return app::OpenMessageBoxes() == 0; }, kWaitMs));
}

TEST_F(WindowTest, EditsInOneFlushPeriodSendTheWholeRecordOnceAndNothingWhenClean) {
    CMainWnd& w = StartWindow();
    ASSERT_TRUE(w.Hub().Controller(DeviceKind::Mouse).Session().IsConnected());
    // Let the reads that follow the arrival pass, then watch the wire.
    SettleAfterArrival(w, bus);
    bus.ClearTranscript();
    w.Hub().Mouse().Flush();
    Settle(w);
    EXPECT_TRUE(ConfigRequests(bus).empty());

    w.Hub().Mouse().SetStageDpi(3, 3200);
    w.Hub().Mouse().SetStageDpi(3, 3260);  // within the period: still one write, 3250 DPI
    Settle(w);
    const auto requests = ConfigRequests(bus);
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r[3], 0x06);  // WriteParams
    EXPECT_EQ(r[4], 56);
    EXPECT_EQ(r[5], 0);
    EXPECT_EQ(r[6], 0);
    const MouseRecord live = w.Hub().Mouse().Model().Record();
    for (size_t i = 0; i < MouseRecord::kSize; ++i)
        EXPECT_EQ(r[8 + i], live.bytes[i]) << i;
    EXPECT_EQ(r[8 + 19], 65);  // stage 3: 65 steps of 50 DPI
    EXPECT_EQ(r[8 + 20], 0);
    EXPECT_EQ(r[8 + 54], 0);
    EXPECT_EQ(r[8 + 55], 0);
    EXPECT_EQ(mouse->CurrentRecord()[19], 65);
}

TEST_F(WindowTest, FlushOfADisconnectedDeviceSendsNothing) {
    CMainWnd& w = StartWindow();
    SettleAfterArrival(w, bus);
    bus.ClearTranscript();
    w.Hub().Keyboard().MarkRecordChanged(kSaveNone);  // never connected in this system
    Settle(w);
    EXPECT_TRUE(ConfigRequests(bus).empty());
}

TEST_F(WindowTest, ShutdownWithTheMousePluggedInEndsEveryThread) {
    CMainWnd& w = StartWindow();
    ASSERT_GT(w.Workers().StartedCount(), 0);
    bool quit = false;
    QObject::connect(&w, &CMainWnd::QuitRequested, [&] { quit = true; });
    w.Exit();
    EXPECT_EQ(w.Workers().RunningCount(), 0);
    EXPECT_TRUE(w.Workers().StillRunning().empty());
    EXPECT_TRUE(quit);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Tray()->isVisible());
    // A second shutdown (the window's destruction) is harmless.
    EXPECT_EQ(w.Shutdown(), WorkerSet::StopOutcome::AllEnded);
}

TEST_F(WindowTest, AWorkerBlockedOnAStopCallbackIsWokenByTheShutdown) {
    CMainWnd& w = MakeWindow();
    // A listener-like thread blocked in an untimed wait that only its stop callback ends.
    std::atomic<bool> woken{false};
    w.SetWorker(app::kMouseListener, "mouse listener", [&](WorkerSet::Context& context) {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait(lock, context.token, [] { return false; });
        woken = true;
    });
    w.WindowInit();
    QTest::qWait(20);
    EXPECT_EQ(w.Shutdown(), WorkerSet::StopOutcome::AllEnded);
    EXPECT_TRUE(woken);
    EXPECT_EQ(w.Workers().RunningCount(), 0);
}

TEST_F(WindowTest, TheMouseLeavingHidesTheWindowAfterATimedNotice) {
    CMainWnd& w = StartWindow();
    bool noticeSeen = false;
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes())
            if (auto* t = box->findChild<QLabel*>("MessageText");
                t && t->property("textId").toString() == "message_text_20")
                noticeSeen = true;
    });
    poll->start(5);
    mouse->Unplug();
    // The notice closes itself; nobody answers it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return noticeSeen && !w.isVisible() && OpenBoxes().empty(); },
                                kWaitMs));
    EXPECT_FALSE(w.Hub().Controller(DeviceKind::Mouse).Session().IsConnected());
    EXPECT_FALSE(w.Control("ms_tab")->isVisible());
    // Plugged in again, it is connected on a later pass (no show request: not the first pass).
    mouse->Plug();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.Hub().Controller(DeviceKind::Mouse).Session().IsConnected(); }, kWaitMs));
}

TEST_F(WindowTest, TheProgressShowsForADownloadAndHidesOneSecondAfterIt) {
    CMainWnd& w = StartWindow();
    QWidget* progress = w.Control("setting_progress");
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    // From a worker thread, as the download operations post them.
    std::thread worker([&] { w.Post(app::WindowMessage::ProgressShow); });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress->isVisible(); }, kWaitMs));
    w.Post(app::WindowMessage::ProgressDone);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w.IsTimerActive(WindowTimer::ProgressHide); }, kWaitMs));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !progress->isVisible(); }, kWaitMs));
}

}  // namespace
}  // namespace vq::test
