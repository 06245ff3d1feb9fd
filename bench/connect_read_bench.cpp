// The mouse's connect read against the simulator's wire timing (1 ms per report each way).
// Reported: the measured time over the sum of the report times on the wire, and the End pause.

#include <benchmark/benchmark.h>

#include <chrono>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "sim/sim_mouse.h"

namespace {

void ConnectRead(benchmark::State& state) {
    vq::sim::VirtualHidBus bus;
    vq::sim::SimMouse mouse(bus);
    mouse.Plug();
    vq::DeviceSession session(&bus);
    session.SetIdentity(vq::DeviceKind::Mouse);
    {
        std::lock_guard lock(session.IoLock());
        if (vq::ConnectConfigCollection(session) != vq::SearchResult::Connected) {
            state.SkipWithError("no simulated mouse");
            return;
        }
    }
    const auto timing = bus.Timing();
    std::array<uint8_t, vq::kInfoSize> info{};
    std::array<uint8_t, 512> block{};
    size_t reports = 0;
    double elapsedMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bus.ClearTranscript();
        session.Begin();
        session.ReadInfo(info);
        session.ReadBlock(block);
        for (int n = 0; n < 5; ++n)
            session.ReadIndexedBlock(block, n);
        session.End();
        elapsedMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        reports = bus.Transcript().size();
    }
    // Each request and each answer costs its wire time; End waits 10 ms before it is sent.
    const double wireMs =
        static_cast<double>(reports) / 2 *
            static_cast<double>((timing.perReportOut + timing.perReportIn).count()) / 1000.0 +
        session.Timing().endPauseMs;
    state.counters["reports"] = static_cast<double>(reports);
    state.counters["wire_ms"] = wireMs;
    state.counters["ratio"] = elapsedMs / static_cast<double>(state.iterations()) / wireMs;
}
BENCHMARK(ConnectRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
