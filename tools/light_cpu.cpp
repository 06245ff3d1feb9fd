// Measures the process's CPU with the simulated keyboard, mouse and mousepad (as quillet
// --simulate all runs), on the USB wire's timing: the devices' own effects, the light sync and
// still effects on the keyboard and mousepad (the mouse left in the sync), each with the window
// hidden and with a lighting page shown (the keyboard's; for the sync also the mouse's and the
// mousepad's). Each phase lets the program settle, then counts
// the process's CPU time and the window thread's over the phase's wall time, how often a thread
// of the process went to sleep and woke, the light frames that reached the devices, the keyboard
// preview's paints and the key tints it made. It first measures what one 1 ms sleep costs on
// this machine: most of what a light frame costs the host is sleeping on the wire, once for each
// report and once for its answer, and that cost is the machine's (a virtual machine's timer
// wake-ups cost several times those of real hardware).
//
//   vq_light_cpu [SECONDS_PER_PHASE [PHASE_TEXT]]
//
// With PHASE_TEXT, only the phases whose names contain it are measured; the others only settle
// (for profiling one phase with perf).
// Run it under a display (xvfb-run -a vq_light_cpu) so that the shown phases paint.

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include <sys/resource.h>

#include "app/controls/key_surface.h"
#include "app/controls/key_tints.h"
#include "app/controls/led_preview.h"
#include "app/device_environment.h"
#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/pages/device_pages.h"

namespace {

double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Times the process's threads went to sleep (or waited) so far.
long SleepsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// CPU time of one 1 ms sleep on this machine, in microseconds.
double SleepCostMicroseconds() {
    constexpr int kSleeps = 300;
    const double before = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < kSleeps; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1e6 * (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) / kSleeps;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string only = argc > 2 ? argv[2] : "";
    QApplication app(argc, argv);
    std::printf("one 1 ms sleep costs %.1f us of CPU on this machine\n", SleepCostMicroseconds());
    QTemporaryDir data;
    auto devices = vq::app::DeviceEnvironment::Simulated(vq::sim::WireTiming{}, true);
    vq::app::CMainWnd::Options options;
    options.skinFolder = QCoreApplication::applicationDirPath() + "/skin";
    options.dataFolder = data.path().toStdString();
    options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    options.backend = devices->Backend();
    options.connectKeyboardAndMousepad = true;
    vq::app::CMainWnd window(options);
    if (!window.Build()) {
        std::fprintf(stderr, "vq_light_cpu: the skin could not be loaded\n");
        return 1;
    }
    window.WindowInit();
    RunFor(4000);  // the arrivals, the reads and the light threads' start
    auto click = [&](const char* name) {
        if (auto* b = window.Control<QAbstractButton>(name)) b->click();
    };
    vq::app::DeviceHub& hub = window.Hub();
    vq::sim::SimKeyboardAndMousepad& sims = *devices->Peripherals();
    vq::app::LightPreviewPainter& painter = window.Pages()->keyboardLight.Painter();

    auto phase = [&](const char* name) {
        RunFor(1000);
        if (!only.empty() && std::string(name).find(only) == std::string::npos) return;
        const uint64_t kb = sims.keyboard.LightFrameCount();
        const uint64_t mp = sims.mousepad.LightFrameCount();
        const uint64_t sync = hub.LightSyncLoop().Stats().written.load();
        const int paints = painter.Paints();
        const long long tints = vq::app::KeyTints::Made();
        const long long looks = vq::app::CLedPreviewUI::LooksMade();
        auto* surface = window.Pages()->keyboardLight.KeySurface();
        const int surfacePaints = surface ? surface->PaintCount() : 0;
        const long sleeps = SleepsSoFar();
        const double cpu = CpuSeconds();
        const double windowCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto start = std::chrono::steady_clock::now();
        RunFor(seconds * 1000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "%-44s CPU %5.2f %% (window's thread %5.2f %%)   sleeps/s %4.0f   frames/s: keyboard "
            "%5.1f mousepad "
            "%5.1f (sync %5.1f)   paints/s %5.1f (keys drawn %5.1f/s, tints made %6.1f/s, held %d "
            "in %.1f MB; LED looks made %5.1f/s, held %d in %.1f MB)\n",
            name, 100.0 * (CpuSeconds() - cpu) / wall,
            100.0 * (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - windowCpu) / wall,
            static_cast<double>(SleepsSoFar() - sleeps) / wall,
            static_cast<double>(sims.keyboard.LightFrameCount() - kb) / wall,
            static_cast<double>(sims.mousepad.LightFrameCount() - mp) / wall,
            static_cast<double>(hub.LightSyncLoop().Stats().written.load() - sync) / wall,
            (painter.Paints() - paints) / wall,
            (surface ? surface->PaintCount() - surfacePaints : 0) / wall,
            static_cast<double>(vq::app::KeyTints::Made() - tints) / wall,
            vq::app::KeyTints::Held(),
            static_cast<double>(vq::app::KeyTints::HeldBytes()) / (1024.0 * 1024.0),
            static_cast<double>(vq::app::CLedPreviewUI::LooksMade() - looks) / wall,
            vq::app::CLedPreviewUI::LooksHeld(),
            static_cast<double>(vq::app::CLedPreviewUI::LooksHeldBytes()) / (1024.0 * 1024.0));
        std::fflush(stdout);
    };

    // The shipped defaults: the keyboard's column rainbow and the mousepad's zone wave.
    window.hide();
    phase("own effects, window hidden");
    window.show();
    click("kb_tab");
    click("kb_deng_Op_tab");
    phase("own effects, keyboard lighting page shown");
    click("kb_key_Op_tab");
    phase("own effects, keyboard key page shown");

    // The sync's colour cycle from the keyboard.
    hub.Keyboard().SetLightMode(1);
    hub.Keyboard().WaitIdle();
    click("kb_deng_Op_tab");
    hub.StartLightSync(1);
    phase("light sync, keyboard lighting page shown");
    click("ms_tab");
    click("ms_deng_Op_tab");
    phase("light sync, mouse lighting page shown");
    click("mp_tab");
    phase("light sync, mousepad page shown");
    window.hide();
    phase("light sync, window hidden");
    window.show();
    click("kb_tab");
    click("kb_deng_Op_tab");
    window.hide();

    // Still effects on the keyboard and the mousepad (sent once, then nothing); choosing them
    // takes those two out of the sync, while the mouse stays in it.
    hub.Keyboard().SetLightMode(3);
    hub.Mousepad().SetLightMode(3);
    hub.Keyboard().WaitIdle();
    hub.Mousepad().WaitIdle();
    phase("kb+pad still, mouse synced, window hidden");
    window.show();
    phase("kb+pad still, mouse synced, kb page shown");
    window.Shutdown();
    return 0;
}
