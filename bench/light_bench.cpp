// One light frame of every effect: the time to compute it and build the bytes for the wire, and
// the heap allocations per frame (counted by this program's own operator new).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/keyboard/keyboard_defaults.h"
#include "core/light/keyboard_effects.h"
#include "core/light/light_sync.h"
#include "core/light/mousepad_effects.h"
#include "core/mouse/mouse_defaults.h"
#include "core/mouse/mouse_light_preview.h"

#if defined(__GNUC__) && !defined(__clang__)
// The replacement operators pair malloc with free; inlined into callers GCC cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

std::atomic<uint64_t> gAllocations{0};

}  // namespace

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace vq;
using namespace vq::light;

// Runs `frame` per iteration and reports allocations per frame.
template <typename Frame>
void Measure(benchmark::State& state, Frame&& frame) {
    for (int i = 0; i < 64; ++i)
        frame();  // past the first steps of every effect
    const uint64_t before = gAllocations.load();
    for (auto _ : state)
        frame();
    const uint64_t allocations = gAllocations.load() - before;
    state.counters["allocs/frame"] = benchmark::Counter(static_cast<double>(allocations) /
                                                        static_cast<double>(state.iterations()));
}

void KeyboardFrame(benchmark::State& state, KeyboardVariant variant) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    KeyboardModel model;
    ApplyKeyboardDefaults(model, variant);
    model.SetLight({mode, 4, 0, 1, 1, {255, 128, 0}});
    KeyboardLightSnapshot snapshot = model.LightSnapshot();
    KeyboardEffects effects;
    effects.SelectMode(variant, mode);
    std::array<uint8_t, kKeyboardFrameSize> frame{};
    Measure(state, [&] {
        effects.Render(snapshot);
        if (variant == KeyboardVariant::FullColour)
            BuildKeyboardFrame(effects.Output(), frame);
        else
            BuildLevelFrame(effects.Output(),
                            std::span<uint8_t, kLevelFrameSize>(frame.data(), kLevelFrameSize));
        effects.EndPass();
        benchmark::DoNotOptimize(frame.data());
    });
}

void BM_KeyboardFullColour(benchmark::State& state) {
    KeyboardFrame(state, KeyboardVariant::FullColour);
}
BENCHMARK(BM_KeyboardFullColour)->DenseRange(0, 16)->ArgName("mode");

void BM_KeyboardSingleColour(benchmark::State& state) {
    KeyboardFrame(state, KeyboardVariant::SingleColour);
}
BENCHMARK(BM_KeyboardSingleColour)->DenseRange(0, 10)->ArgName("mode");

// The snapshot that the keyboard thread takes of its model before each frame.
void BM_KeyboardSnapshot(benchmark::State& state) {
    KeyboardModel model;
    ApplyKeyboardDefaults(model, KeyboardVariant::FullColour);
    Measure(state, [&] { benchmark::DoNotOptimize(model.LightSnapshot()); });
}
BENCHMARK(BM_KeyboardSnapshot);

void BM_Mousepad(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    MousepadEffects effects;
    effects.SelectMode(mode);
    const LightSettings light{mode, 4, 0, 1, 1, {255, 128, 0}};
    uint64_t now = 0;
    Measure(state, [&] {
        now += 9;
        const ZoneRender r = effects.Render(light, now % 900 == 0, now);
        benchmark::DoNotOptimize(effects.Frame(r.frameLength).data());
    });
}
BENCHMARK(BM_Mousepad)->DenseRange(0, 9)->ArgName("mode");

void BM_Sync(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    SyncEffects effects;
    SyncFrames frames;
    const LightSettings light{mode, 4, 0, 1, 1, {255, 128, 0}};
    Measure(state, [&] {
        effects.Render(light, frames);
        benchmark::DoNotOptimize(frames.keyboard.data());
    });
}
BENCHMARK(BM_Sync)->DenseRange(0, 3)->ArgName("mode");

// One frame of the mouse page's preview: the snapshot of the lighting fields, the frame, for
// every effect with and without the seven colours.
void BM_MousePreview(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    MouseModel model;
    ApplyMouseDefaults(model);
    model.EditRecord([&](MouseRecord& r) {
        r.SetLightMode(mode);
        r.SetSevenColor(static_cast<uint8_t>(state.range(1)));
        r.SetBrightness(3);
    });
    MouseLightPreview preview;
    PreviewFrame frame{};
    Measure(state, [&] {
        const MouseLightSnapshot lighting = model.LightSnapshot();
        preview.Step(lighting, frame);
        benchmark::DoNotOptimize(frame.data());
    });
}
BENCHMARK(BM_MousePreview)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"mode", "seven"});

}  // namespace
