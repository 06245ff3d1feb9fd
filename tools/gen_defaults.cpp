// Writes the default files that ship beside the program: the device, light and key profiles of
// every device kind, and the mouse's four cursor scripts.
//
//   vq_gen_defaults OUTPUT_FOLDER [EXPECTED_FILE...]
//
// With the expected names (the build's install list) it fails when the two lists differ.

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/macro/macro_file.h"
#include "core/profile/profile_file.h"
#include "core/defaults/shipped_defaults.h"
#include "defaults/recoil_patterns.h"

namespace {

using vq::tools::RecoilPattern;

vq::MacroAction Action(uint16_t delayMs, uint8_t type, int code, const char* label) {
    vq::MacroAction a;
    a.SetDelayMs(delayMs);
    a.type = type;
    a.code = static_cast<uint8_t>(code);
    a.down = (type & 0x80) ? 1 : 0;
    a.label = label;
    return a;
}

constexpr size_t kActionsPerBullet = 6;

// Each bullet is six actions; the bullet editor changes only the last three (the delay and the
// two corrections) and keeps the first three as they are here.
void AppendBullet(const RecoilPattern& pattern, size_t bullet, std::vector<vq::MacroAction>& out) {
    const auto& step = pattern.steps[bullet];
    out.push_back(Action(pattern.triggerMs, 0x81, 1, "mouse_key_left"));  // fire
    out.push_back(Action(0, 0x01, 1, "mouse_key_left"));
    // A move of nothing: keeps the group six actions long.
    out.push_back(Action(0, 0x04, 0, "mouse_move_to_right_text"));
    // The bullet's delay: the wait for the next shot.
    out.push_back(Action(pattern.intervalMs, 0x05, 0, "mouse_move_to_down_text"));
    out.push_back(step.dx < 0 ? Action(0, 0x84, -step.dx, "mouse_move_to_left_text")
                              : Action(0, 0x04, step.dx, "mouse_move_to_right_text"));
    out.push_back(step.dy < 0 ? Action(0, 0x85, -step.dy, "mouse_move_to_up_text")
                              : Action(0, 0x05, step.dy, "mouse_move_to_down_text"));
}

bool WriteScript(const std::filesystem::path& path, const RecoilPattern& pattern) {
    std::vector<vq::MacroAction> actions;
    for (size_t b = 0; b < pattern.steps.size(); ++b)
        AppendBullet(pattern, b, actions);
    // A fresh file: a previous build's records past the count must not linger.
    std::error_code error;
    std::filesystem::remove(path, error);
    return vq::WriteActionFile(path, actions);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vq_gen_defaults OUTPUT_FOLDER [EXPECTED_FILE...]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int failures = 0;
    std::set<std::string> written;
    for (const vq::ShippedDefault& entry : vq::ShippedDefaults()) {
        const std::string name = entry.FileName();
        const auto payload = vq::ShippedDefaultPayload(entry);
        if (payload.size() != vq::PayloadSize(entry.kind, entry.family) ||
            !vq::WriteProfileFile(folder / name, payload, vq::KindCode(entry.kind))) {
            std::fprintf(stderr, "vq_gen_defaults: %s could not be written\n", name.c_str());
            ++failures;
        }
        written.insert(name);
    }
    for (const RecoilPattern& pattern : vq::tools::RecoilPatterns()) {
        const std::string name = std::string(pattern.name) + std::string(vq::kCursorExtension);
        if (!WriteScript(folder / name, pattern)) {
            std::fprintf(stderr, "vq_gen_defaults: %s could not be written\n", name.c_str());
            ++failures;
        }
        written.insert(name);
    }
    // The build lists the files it installs; the two lists must agree.
    if (argc > 2) {
        const std::set<std::string> expected(argv + 2, argv + argc);
        for (const std::string& name : written) {
            if (expected.contains(name)) continue;
            std::fprintf(stderr, "vq_gen_defaults: %s is written but not listed\n", name.c_str());
            ++failures;
        }
        for (const std::string& name : expected) {
            if (written.contains(name)) continue;
            std::fprintf(stderr, "vq_gen_defaults: %s is listed but not written\n", name.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
