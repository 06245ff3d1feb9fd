// Measures how long the window's thread goes without running its event loop while the simulated
// mouse connects and is read, slot-switched and given a profile: a 1 ms timer on the window's
// thread records the longest gap between its ticks.
//
//   vq_ui_stall [ANSWER_DELAY_MS]
//   vq_ui_stall --device-socket PATH [ANSWER_DELAY_MS]
//
// ANSWER_DELAY_MS (default 0: the USB timing of a real mouse) makes every answer of the mouse
// arrive that much later. With --device-socket the mouse is the one `quilletctl serve-sim PATH`
// serves in another process (give it the same delay with its "delay MS" line; the number here
// only sizes the measuring time). Prints the worst gap before and after the window was first
// painted.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/device_environment.h"
#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/notify_router.h"

int main(int argc, char** argv) {
    std::string socketPath;
    int delayArg = 1;
    if (argc > 2 && std::string(argv[1]) == "--device-socket") {
        socketPath = argv[2];
        delayArg = 3;
    }
    const int delayMs = argc > delayArg ? std::atoi(argv[delayArg]) : 0;
    QApplication app(argc, argv);
    QTemporaryDir data;
    std::unique_ptr<vq::app::DeviceEnvironment> devices;
    if (!socketPath.empty()) {
        std::string note;
        devices = vq::app::DeviceEnvironment::Socket(socketPath, &note);
        if (!devices) {
            std::fprintf(stderr, "vq_ui_stall: %s\n", note.c_str());
            return 1;
        }
    } else {
        vq::sim::WireTiming timing;
        if (delayMs > 0) timing.perReportIn = std::chrono::milliseconds(delayMs);
        devices = vq::app::DeviceEnvironment::Simulated(timing);
    }

    vq::app::CMainWnd::Options options;
    options.skinFolder = QCoreApplication::applicationDirPath() + "/skin";
    options.dataFolder = data.path().toStdString();
    options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    options.backend = devices->Backend();
    vq::app::CMainWnd window(options);
    if (!window.Build()) {
        std::fprintf(stderr, "vq_ui_stall: the skin could not be loaded\n");
        return 1;
    }
    // Every request on the window's thread is refused and counted: there must be none.
    window.Hub().RefuseRequestsFrom(std::this_thread::get_id());

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worstBefore = 0, worstAfter = 0;
    bool shown = false;
    bool firstTickAfterShown = false;
    QObject::connect(&window, &vq::app::CMainWnd::FirstShown, [&] { firstTickAfterShown = true; });
    std::vector<std::pair<qint64, qint64>> longGaps;  // (when, how long)
    QObject::connect(&window.Hub(), &vq::app::DeviceHub::Event, [&](const vq::ControllerEvent& e) {
        if (std::getenv("VQ_STALL_VERBOSE"))
            std::printf("%6lld ms  event %d\n", static_cast<long long>(clock.elapsed()),
                        static_cast<int>(e.type));
    });
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (firstTickAfterShown) {
            // The gap that ends here holds the first paint itself: it belongs to the start.
            worstBefore = std::max(worstBefore, now - last);
            firstTickAfterShown = false;
            shown = true;
            last = now;
            return;
        }
        (shown ? worstAfter : worstBefore) = std::max(shown ? worstAfter : worstBefore, now - last);
        if (now - last > 30) longGaps.emplace_back(now, now - last);
        last = now;
    });
    tick.start(1);
    window.WindowInit();

    auto runFor = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    // Arrival, the stored profile, the full read; then a slot switch and a profile selection.
    const int readMs = 1500 + 80 * std::max(delayMs, 1) * 2;
    runFor(readMs);
    if (auto* slot = window.Control<QAbstractButton>("ms_profile_1"))
        window.Router().Fire("click", slot);
    if (auto* list = window.Control<QComboBox>("ms_device_profile_combo"))
        window.Router().Fire("itemselect", list, 0);
    runFor(readMs);
    tick.stop();
    window.Hub().Mouse().WaitIdle();

    if (std::getenv("VQ_STALL_VERBOSE"))
        for (const auto& [when, gap] : longGaps)
            std::printf("%6lld ms  gap of %lld ms\n", static_cast<long long>(when),
                        static_cast<long long>(gap));
    const int refused = window.Hub().Mouse().Session().RefusedRequests();
    std::printf(
        "answer delay %d ms: worst stall of the window's thread %lld ms before the first "
        "paint, %lld ms after it; requests on the window's thread: %d\n",
        delayMs, static_cast<long long>(worstBefore), static_cast<long long>(worstAfter), refused);
    window.Shutdown();
    return refused == 0 ? 0 : 1;
}
