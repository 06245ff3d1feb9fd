// Writes the default files that ship beside the program: the device, light and key profiles of
// every device kind, and the mouse's four cursor scripts.
//
//   vq_gen_defaults OUTPUT_FOLDER

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/profile/profile_file.h"
#include "core/profile/shipped_defaults.h"
#include "core/util/ini_file.h"
#include "defaults/recoil_patterns.h"

namespace {

using vq::tools::RecoilPattern;

// One macro-file action record: delay low, delay high, type, code, down flag, label.
std::string ActionRecord(int delay, int type, int code, const char* label) {
    char text[96];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%s", delay & 0xFF, (delay >> 8) & 0xFF, type,
                  code, (type & 0x80) ? 1 : 0, label);
    return text;
}

constexpr int kActionsPerBullet = 6;

// Each bullet is six actions; the editor changes only the last three (the delay and the two
// corrections) and keeps the first three as they are here.
std::string BulletAction(const RecoilPattern& pattern, int bullet, int slot) {
    const auto& step = pattern.steps[static_cast<size_t>(bullet)];
    switch (slot) {
        case 0:
            return ActionRecord(pattern.triggerMs, 0x81, 1, "mouse_key_left");  // fire
        case 1:
            return ActionRecord(0, 0x01, 1, "mouse_key_left");
        // A move of nothing: keeps the group six actions long.
        case 2:
            return ActionRecord(0, 0x04, 0, "mouse_move_to_right_text");
        // The bullet's delay: the wait for the next shot.
        case 3:
            return ActionRecord(pattern.intervalMs, 0x05, 0, "mouse_move_to_down_text");
        case 4:
            return step.dx < 0 ? ActionRecord(0, 0x84, -step.dx, "mouse_move_to_left_text")
                               : ActionRecord(0, 0x04, step.dx, "mouse_move_to_right_text");
        default:
            return step.dy < 0 ? ActionRecord(0, 0x85, -step.dy, "mouse_move_to_up_text")
                               : ActionRecord(0, 0x05, step.dy, "mouse_move_to_down_text");
    }
}

bool WriteScript(const std::filesystem::path& folder, const RecoilPattern& pattern) {
    vq::IniDocument script;
    const int bullets = static_cast<int>(pattern.steps.size());
    bool ok =
        script.Write("MACROACTIONCOUNT", "count", std::to_string(bullets * kActionsPerBullet));
    for (int b = 0; b < bullets; ++b)
        for (int slot = 0; slot < kActionsPerBullet; ++slot)
            ok = ok && script.Write("MACROACTION", std::to_string(b * kActionsPerBullet + slot),
                                    BulletAction(pattern, b, slot));
    return ok && vq::SaveIniFile(folder / (std::string(pattern.name) + ".cur"), script);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vq_gen_defaults OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int failures = 0;
    for (const vq::ShippedDefault& entry : vq::ShippedDefaults()) {
        const auto payload = vq::ShippedDefaultPayload(entry);
        if (payload.size() != vq::PayloadSize(entry.kind, entry.family) ||
            !vq::WriteProfileFile(folder / entry.fileName, payload, vq::KindCode(entry.kind))) {
            std::fprintf(stderr, "vq_gen_defaults: %s could not be written\n",
                         std::string(entry.fileName).c_str());
            ++failures;
        }
    }
    for (const RecoilPattern& pattern : vq::tools::RecoilPatterns()) {
        if (!WriteScript(folder, pattern)) {
            std::fprintf(stderr, "vq_gen_defaults: %s.cur could not be written\n",
                         std::string(pattern.name).c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
