// The file work the window hands to a controller: done on the controller's thread in the order it
// was handed over, answered on the window's thread, and dropped when the page that asked is gone.

#include <QObject>
#include <atomic>
#include <thread>

#include "app/device_hub.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

TEST_F(WindowTest, FileWorkRunsOnTheControllerInOrderAndAnswersOnlyAPageThatStillExists) {
    app::CMainWnd& w = StartWindow(false);
    const std::thread::id windowThread = std::this_thread::get_id();
    auto kept = std::make_unique<QObject>();
    auto gone = std::make_unique<QObject>();
    std::vector<int> answered;
    std::vector<int> ranOn;  // the order the work ran in
    std::atomic<int> onWindowThread{0};
    for (int n = 0; n < 5; ++n) {
        QObject* receiver = n == 2 ? gone.get() : kept.get();
        w.Hub().RunFileWork(
            DeviceKind::Mouse, receiver,
            [&, n] {
                if (std::this_thread::get_id() == windowThread) ++onWindowThread;
                ranOn.push_back(n);  // one thread: the controller's
                return n * 10;
            },
            [&](int value) {
                EXPECT_EQ(std::this_thread::get_id(), windowThread);
                answered.push_back(value);
            });
    }
    // The page that asked for the third goes before its answer arrives.
    gone.reset();
    EXPECT_GT(w.Hub().FileWorkWaiting(), 0);
    Settle(w);
    EXPECT_EQ(onWindowThread.load(), 0);
    EXPECT_EQ(ranOn, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(answered, (std::vector<int>{0, 10, 30, 40}));
    EXPECT_EQ(w.Hub().FileWorkWaiting(), 0);

    // After the shutdown nothing more runs or answers.
    w.Shutdown();
    bool ran = false;
    w.Hub().RunFileWork(
        DeviceKind::Keyboard, kept.get(), [&] { return ran = true; }, [&](bool) { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace vq::test
