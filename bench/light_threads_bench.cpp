// The process's CPU while the light threads run against the simulated keyboard, mouse and
// mousepad on a bus with the USB wire's timing: each device's own effect, the light sync, and
// still effects (which send once and then wait).

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <ctime>
#include <thread>

#include "core/device/device_search.h"
#include "core/keyboard/keyboard_defaults.h"
#include "core/light/light_loops.h"
#include "sim/sim_mouse.h"
#include "sim/sim_peripheral.h"

namespace {

using namespace vq;
using namespace vq::light;

void Connect(DeviceSession& session, DeviceKind kind) {
    session.SetIdentity(kind);
    std::lock_guard lock(session.IoLock());
    ConnectConfigCollection(session);
}

// Arg 0: the devices' own effects (keyboard column rainbow, mousepad zone wave); 1: the light
// sync's colour cycle over all three; 2: still effects on both.
void BM_LightThreadsCpu(benchmark::State& state) {
    const auto scenario = state.range(0);
    for (auto _ : state) {
        sim::VirtualHidBus bus;  // about 1 ms per report each way
        sim::SimKeyboard keyboardDevice(bus);
        sim::SimMouse mouseDevice(bus);
        sim::SimMousepad mousepadDevice(bus);
        keyboardDevice.Plug();
        mouseDevice.Plug();
        mousepadDevice.Plug();
        DeviceSession kbSession(&bus), msSession(&bus), mpSession(&bus);
        Connect(kbSession, DeviceKind::Keyboard);
        Connect(msSession, DeviceKind::Mouse);
        Connect(mpSession, DeviceKind::Mousepad);
        KeyboardModel keyboard;
        MouseModel mouse;
        MousepadModel mousepad;
        ApplyKeyboardDefaults(keyboard, KeyboardVariant::FullColour);
        ApplyMousepadDefaults(mousepad);
        keyboard.SetLight({0, 4, 0, 1, 1, {}});
        mousepad.SetLight({0, 4, 0, 1, 1, {}});
        SyncBlock block;
        if (scenario == 1) {
            keyboard.SetLight({1, 4, 0, 1, 1, {}});
            LightSyncDevices d{kbSession, msSession, mpSession, keyboard, mouse, mousepad};
            LightSyncObserver none;
            StartLightSync(1, d, block, none);
        } else if (scenario == 2) {
            keyboard.SetLight({3, 4, 0, 1, 0, {255, 0, 0}});
            mousepad.SetLight({3, 4, 0, 1, 0, {255, 0, 0}});
        }
        LightShared shared;
        SystemLightClock clock;
        KeyboardLightLoop keys(kbSession, keyboard, shared, clock);
        MousepadLightLoop pad(mpSession, mousepad, shared, clock);
        LightSyncLoop sync(kbSession, msSession, mpSession, block, shared, clock);
        std::jthread a([&](std::stop_token s) { keys.Run(s); });
        std::jthread b([&](std::stop_token s) { pad.Run(s); });
        std::jthread c([&](std::stop_token s) { sync.Run(s); });
        // Past the threads' start-up waits (1 s and 3 s), then a measured window.
        std::this_thread::sleep_for(std::chrono::milliseconds(3200));
        const std::clock_t cpu0 = std::clock();
        const uint64_t frames0 = keys.Stats().written + pad.Stats().written + sync.Stats().written;
        const auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(4));
        const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const uint64_t frames =
            keys.Stats().written + pad.Stats().written + sync.Stats().written - frames0;
        state.counters["cpu_%_of_a_core"] = 100.0 * cpu / wall;
        state.counters["frames/s"] = static_cast<double>(frames) / wall;
    }
}
BENCHMARK(BM_LightThreadsCpu)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// One keyboard light frame (seven request/answer exchanges) on the simulated keyboard, as the
// light threads send it: the CPU of one exchange, the simulated device included. Arg 1: the USB
// wire's timing (each report waits out its time on the wire: two sleeps per exchange); arg 0: no
// time on the wire (the work alone, with no sleep between).
void BM_LightFrameExchange(benchmark::State& state) {
    sim::VirtualHidBus bus;
    if (state.range(0) == 0)
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
    sim::SimKeyboard keyboardDevice(bus);
    keyboardDevice.Plug();
    DeviceSession session(&bus);
    Connect(session, DeviceKind::Keyboard);
    std::array<uint8_t, 378> frame{};
    uint8_t step = 0;
    double cpu = 0;
    int64_t exchanges = 0;
    for (auto _ : state) {
        frame.fill(step++);
        const double before = ThreadCpuSeconds();
        if (session.WriteLightFrame(frame) != kResultSuccess) state.SkipWithError("frame refused");
        cpu += ThreadCpuSeconds() - before;
        exchanges += 7;
    }
    state.counters["cpu_us_per_exchange"] = 1e6 * cpu / static_cast<double>(exchanges);
}
BENCHMARK(BM_LightFrameExchange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
