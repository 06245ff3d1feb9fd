// Measures the process's CPU while the mouse's lighting page shows its preview, and while it
// does not (another page of the mouse, the window hidden), with the simulated mouse. Each phase
// lets the window settle, then counts the process's CPU time over the phase's wall time.
//
//   vq_preview_cpu [SECONDS_PER_PHASE] [EFFECT] [SPEED]
//
// SECONDS_PER_PHASE defaults to 10; EFFECT (0-7, default 5: static, the fastest frames) and
// SPEED (0-4 as the page shows it, default 4: the fastest). Prints one line per phase with the
// CPU in percent of one core and the preview's frames per second.

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/device_environment.h"
#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/pages/device_pages.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int effect = argc > 2 ? std::atoi(argv[2]) : 5;
    const int speed = argc > 3 ? std::atoi(argv[3]) : 4;
    QApplication app(argc, argv);
    QTemporaryDir data;
    auto devices = vq::app::DeviceEnvironment::Simulated(vq::sim::WireTiming{});
    vq::app::CMainWnd::Options options;
    options.skinFolder = QCoreApplication::applicationDirPath() + "/skin";
    options.dataFolder = data.path().toStdString();
    options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    options.backend = devices->Backend();
    vq::app::CMainWnd window(options);
    if (!window.Build()) {
        std::fprintf(stderr, "vq_preview_cpu: the skin could not be loaded\n");
        return 1;
    }
    window.WindowInit();
    RunFor(3000);  // the arrival, the full read and the first paint
    window.show();
    auto& mouse = window.Hub().Mouse();
    mouse.SetLightMode(effect);
    mouse.SetLightSpeed(speed);
    mouse.SetLightColor({255, 64, 0});
    auto click = [&](const char* name) {
        if (auto* b = window.Control<QAbstractButton>(name)) b->click();
    };
    vq::app::MouseLightAnimator& animator = window.Pages()->light.Animator();

    auto phase = [&](const char* name) {
        RunFor(1000);
        const int frames = animator.Frames();
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        RunFor(seconds * 1000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-34s CPU %6.2f %% of a core   preview %6.1f frames/s\n", name,
                    100.0 * (CpuSeconds() - cpu) / wall, (animator.Frames() - frames) / wall);
    };
    click("ms_deng_Op_tab");
    phase("lighting page shown");
    click("ms_key_Op_tab");
    phase("another page of the mouse");
    click("ms_deng_Op_tab");
    window.hide();
    phase("window hidden");
    window.Shutdown();
    return 0;
}
