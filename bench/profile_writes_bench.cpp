// What one edit costs through the mouse's controller, with the program's own timers: the profile
// files written and the requests sent. DpiButtonPress: the mouse's DPI button (the mouse changes
// its active stage and reports it; the controller reads the record and sends it back).
// StageDpiEdit: one DPI value chosen on the page. StageDrag20: a stage-slider drag of 20 values,
// one every 16 ms (a slider followed at 60 frames a second); StageBurst20: the same at once.
// Reported per edit (per press, per drag): device_writes, light_writes, requests, record_sends.

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "core/control/mouse_controller.h"
#include "core/device/command_report.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"
#include "core/util/atomic_file.h"
#include "sim/sim_mouse.h"

namespace {

namespace fs = std::filesystem;

// A data folder and a program folder with the mouse's defaults, removed at the end.
class Folders {
  public:
    Folders() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("vq-bench-" + std::to_string(random()));
        fs::create_directories(program());
        vq::MouseModel defaults;
        for (vq::ProfileFamily family : vq::FamiliesOf(vq::DeviceKind::Mouse))
            vq::WriteProfileFile(program() / vq::DefaultFileName(vq::DeviceKind::Mouse, family, 0),
                                 defaults.BuildPayload(family),
                                 vq::KindCode(vq::DeviceKind::Mouse));
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path data() const { return root_ / "data"; }
    fs::path program() const { return root_ / "program"; }

  private:
    fs::path root_;
};

// Counts the files the atomic writer puts in place, by extension.
class WriteCounter {
  public:
    WriteCounter() {
        vq::SetAtomicWriteFaultHook([this](vq::AtomicWriteStep step, const fs::path& target) {
            if (step == vq::AtomicWriteStep::Rename) {
                std::lock_guard lock(mutex_);
                ++counts_[target.extension().string()];
            }
            return true;
        });
    }
    ~WriteCounter() { vq::SetAtomicWriteFaultHook({}); }
    int Of(const std::string& extension) {
        std::lock_guard lock(mutex_);
        return counts_[extension];
    }

  private:
    std::mutex mutex_;
    std::map<std::string, int> counts_;
};

// Requests to the configuration collection: all of them, or those of one command.
size_t Requests(const vq::sim::VirtualHidBus& bus, int command = -1) {
    size_t count = 0;
    for (const auto& e : bus.Transcript())
        if (e.direction == vq::TraceDirection::ToDevice && e.usagePage == vq::kConfigUsagePage &&
            e.bytes.size() > 3 && (command < 0 || e.bytes[3] == command))
            ++count;
    return count;
}

// One iteration: `values` stage-1 DPI values, one every `spacing` (none: a press of the mouse's
// DPI button), then until the writes are done.
void Edits(benchmark::State& state, int values, std::chrono::milliseconds spacing) {
    Folders folders;
    vq::ProfileStore store(folders.data(), folders.program());
    store.InitProfileKind(vq::DeviceKind::Mouse);
    vq::sim::VirtualHidBus bus;
    bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
    vq::sim::SimMouse mouse(bus);
    mouse.Plug();
    vq::MouseController controller(&bus, vq::TransportTiming{}, &store);  // the program's timers
    if (controller.ConnectNow() != vq::SearchResult::Connected ||
        controller.ReadAllNow() != vq::kResultSuccess) {
        state.SkipWithError("no simulated mouse");
        return;
    }
    controller.WaitIdle();
    WriteCounter writes;
    bus.ClearTranscript();
    int dpi = 400;
    for (auto _ : state) {
        if (values == 0) {
            // What the listener does with the mouse's notification.
            mouse.PressDpiButton();
            controller.OnDeviceEvent(vq::DeviceEvent::MouseLiveRead);
        }
        for (int i = 0; i < values; ++i) {
            dpi = dpi >= 16000 ? 400 : dpi + 50;
            controller.SetStageDpi(1, dpi);
            if (i + 1 < values) std::this_thread::sleep_for(spacing);
        }
        controller.WaitIdle();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["device_writes"] = writes.Of(".config") / n;
    state.counters["light_writes"] = writes.Of(".led") / n;
    state.counters["requests"] = static_cast<double>(Requests(bus)) / n;
    state.counters["record_sends"] =
        static_cast<double>(Requests(bus, static_cast<int>(vq::Command::WriteParams))) / n;
}

void DpiButtonPress(benchmark::State& state) {
    Edits(state, 0, std::chrono::milliseconds(0));
}
void StageDpiEdit(benchmark::State& state) {
    Edits(state, 1, std::chrono::milliseconds(0));
}
void StageDrag20(benchmark::State& state) {
    Edits(state, 20, std::chrono::milliseconds(16));
}
void StageBurst20(benchmark::State& state) {
    Edits(state, 20, std::chrono::milliseconds(0));
}
BENCHMARK(DpiButtonPress)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StageDpiEdit)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StageDrag20)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(StageBurst20)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
