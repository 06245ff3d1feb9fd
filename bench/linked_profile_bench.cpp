// Profiles that follow the program in front, through the mouse's controller on the simulated
// mouse with its USB timing and the program's own timers. ForegroundToWire: the time from a
// change of the program in front (a game with a linked device profile, then another program) to
// the profile's record on the mouse; reported per change. FollowerIdle: the process's CPU time
// while the program in front does not change (cpu_ms per second of wall time).

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <random>
#include <thread>

#include "core/control/linked_profile_follower.h"
#include "core/control/mouse_controller.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"
#include "platform/foreground_program.h"
#include "sim/sim_mouse.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kGame = "C:\\Games\\Raid\\Raid.exe";
constexpr const char* kOther = "C:\\Windows\\explorer.exe";
constexpr uint16_t kGameSteps = 77;

// A data folder with two device profiles, "profile1" (selected) and "game" (linked to kGame).
class Folders {
  public:
    Folders() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("vq-bench-" + std::to_string(random()));
        fs::create_directories(root_ / "program");
        vq::MouseModel defaults;
        for (vq::ProfileFamily family : vq::FamiliesOf(vq::DeviceKind::Mouse))
            vq::WriteProfileFile(
                root_ / "program" / vq::DefaultFileName(vq::DeviceKind::Mouse, family, 0),
                defaults.BuildPayload(family), vq::KindCode(vq::DeviceKind::Mouse));
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

// Everything the program has running for the follower, with the mouse connected.
struct Rig {
    Rig() : store(folders.data(), folders.program()), mouse(bus) {
        store.InitProfileKind(vq::DeviceKind::Mouse);
        store.AddProfile(vq::DeviceKind::Mouse, vq::ProfileFamily::Device, "game");
        vq::MouseModel model;
        store.LoadProfile(vq::DeviceKind::Mouse, vq::ProfileFamily::Device, 1, model);
        model.EditRecord([](vq::MouseRecord& r) { r.SetStageSteps(0, kGameSteps); });
        store.SaveProfile(vq::DeviceKind::Mouse, vq::ProfileFamily::Device,
                          vq::ProfileTarget::Named("game"), model);
        store.SetSelection(vq::DeviceKind::Mouse, vq::ProfileFamily::Device, 0);
        store.LinkProfile(vq::DeviceKind::Mouse, vq::ProfileFamily::Device,
                          vq::ProfileTarget::Named("game"), kGame);
        mouse.Plug();
        controller = std::make_unique<vq::MouseController>(&bus, vq::TransportTiming{}, &store);
        follower = std::make_unique<vq::LinkedProfileFollower>(store, *controller);
        observer.follower = follower.get();
        controller->SetObserver(&observer);
        ok = controller->ConnectNow() == vq::SearchResult::Connected &&
             controller->ReadAllNow() == vq::kResultSuccess;
        controller->WaitIdle();
        ownSteps = vq::MouseRecord::FromBytes(mouse.CurrentRecord()).StageSteps(0);
        foreground.Start([this](const std::string& p) { follower->ForegroundChanged(p); }, nullptr);
    }
    ~Rig() {
        foreground.Stop();
        controller->Shutdown();
    }
    uint16_t SentSteps() { return vq::MouseRecord::FromBytes(mouse.CurrentRecord()).StageSteps(0); }

    struct Observer : vq::ControllerObserver {
        void OnControllerEvent(const vq::ControllerEvent& event) override {
            follower->OnControllerEvent(event);
        }
        vq::LinkedProfileFollower* follower = nullptr;
    };

    Folders folders;
    vq::ProfileStore store;
    vq::sim::VirtualHidBus bus;  // the USB timing model
    vq::sim::SimMouse mouse;
    std::unique_ptr<vq::MouseController> controller;
    std::unique_ptr<vq::LinkedProfileFollower> follower;
    Observer observer;
    vq::platform::ManualForegroundProgram foreground;
    uint16_t ownSteps = 0;
    bool ok = false;
};

void ForegroundToWire(benchmark::State& state) {
    Rig rig;
    if (!rig.ok || rig.ownSteps == kGameSteps) {
        state.SkipWithError("no simulated mouse");
        return;
    }
    bool toGame = true;
    double worst = 0;
    for (auto _ : state) {
        const uint16_t expected = toGame ? kGameSteps : rig.ownSteps;
        const auto start = Clock::now();
        rig.foreground.Bring(toGame ? kGame : kOther);
        // The mouse holds the record once its write was answered.
        while (rig.SentSteps() != expected)
            std::this_thread::yield();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        worst = std::max(worst, seconds * 1000);
        state.SetIterationTime(seconds);
        // What the apply sends after the record (key layer 0) is not part of the figure.
        rig.controller->WaitIdle();
        toGame = !toGame;
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(ForegroundToWire)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void FollowerIdle(benchmark::State& state) {
    Rig rig;
    rig.foreground.Bring(kGame);
    rig.controller->WaitIdle();
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const std::clock_t cpuStart = std::clock();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["cpu_ms_per_s"] = wall > 0 ? cpu * 1000 / wall : 0;
}
BENCHMARK(FollowerIdle)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
