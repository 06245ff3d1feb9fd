#pragma once
// The mouse's live parameter record: 54 bytes, little-endian, sent as 56 at address 0.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vq {

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class MouseRecord {
  public:
    static constexpr size_t kSize = 54;
    static constexpr size_t kWireSize = 56;
    static constexpr int kStages = 7;
    static constexpr int kDpiStep = 50;

    // Byte offsets.
    static constexpr size_t kSlot = 0, kLightMode = 1, kBrightness = 2, kLightSpeed = 3,
                            kLightDirection = 4, kSevenColor = 5, kLightRed = 6, kLightGreen = 7,
                            kLightBlue = 8, kReportRate = 14, kActiveStage = 23, kStageColor = 30,
                            kLiftHeight = 51, kLineAdjust = 52, kLastMode = 53;
    // Stage 4 and stage 5 are not adjacent: the active stage byte lies between them.
    static constexpr size_t StageOffset(int stage) {
        return stage < 4 ? 15 + 2 * static_cast<size_t>(stage)
                         : 24 + 2 * static_cast<size_t>(stage - 4);
    }

    std::array<uint8_t, kSize> bytes{};

    friend bool operator==(const MouseRecord&, const MouseRecord&) = default;

    uint8_t Byte(size_t offset) const { return bytes[offset]; }
    void SetByte(size_t offset, uint8_t v) { bytes[offset] = v; }

    uint8_t slot() const { return bytes[kSlot]; }
    uint8_t lightMode() const { return bytes[kLightMode]; }
    uint8_t brightness() const { return bytes[kBrightness]; }
    uint8_t lightSpeed() const { return bytes[kLightSpeed]; }
    uint8_t lightDirection() const { return bytes[kLightDirection]; }
    uint8_t sevenColor() const { return bytes[kSevenColor]; }
    Rgb lightColor() const { return {bytes[kLightRed], bytes[kLightGreen], bytes[kLightBlue]}; }
    uint8_t reportRate() const { return bytes[kReportRate]; }
    uint8_t activeStage() const { return bytes[kActiveStage]; }
    uint8_t liftHeight() const { return bytes[kLiftHeight]; }
    uint8_t lineAdjust() const { return bytes[kLineAdjust]; }
    uint8_t lastMode() const { return bytes[kLastMode]; }

    void SetSlot(uint8_t v) { bytes[kSlot] = v; }
    void SetLightMode(uint8_t v) { bytes[kLightMode] = v; }
    void SetBrightness(uint8_t v) { bytes[kBrightness] = v; }
    void SetLightSpeed(uint8_t v) { bytes[kLightSpeed] = v; }
    void SetLightDirection(uint8_t v) { bytes[kLightDirection] = v; }
    void SetSevenColor(uint8_t v) { bytes[kSevenColor] = v; }
    void SetLightColor(Rgb c) {
        bytes[kLightRed] = c.red;
        bytes[kLightGreen] = c.green;
        bytes[kLightBlue] = c.blue;
    }
    void SetReportRate(uint8_t v) { bytes[kReportRate] = v; }
    void SetActiveStage(uint8_t v) { bytes[kActiveStage] = v; }
    void SetLiftHeight(uint8_t v) { bytes[kLiftHeight] = v; }
    void SetLineAdjust(uint8_t v) { bytes[kLineAdjust] = v; }
    void SetLastMode(uint8_t v) { bytes[kLastMode] = v; }

    // The first 54 bytes of a longer image (a stored record, a read buffer); a shorter image
    // fills what it has and leaves the rest zero.
    static MouseRecord FromBytes(std::span<const uint8_t> image) {
        MouseRecord r;
        std::copy_n(image.begin(), std::min(image.size(), kSize), r.bytes.begin());
        return r;
    }
    // What the flush sends: the 54 bytes and two zeros.
    std::array<uint8_t, kWireSize> WireBytes() const {
        std::array<uint8_t, kWireSize> wire{};
        std::copy(bytes.begin(), bytes.end(), wire.begin());
        return wire;
    }

    // Stage sensitivity in 50-DPI steps, stage 0..6 (out-of-range stages read 0).
    uint16_t StageSteps(int stage) const {
        if (stage < 0 || stage >= kStages) return 0;
        const size_t at = StageOffset(stage);
        return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    }
    void SetStageSteps(int stage, uint16_t steps) {
        if (stage < 0 || stage >= kStages) return;
        const size_t at = StageOffset(stage);
        bytes[at] = static_cast<uint8_t>(steps & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>(steps >> 8);
    }
    int StageDpi(int stage) const { return StageSteps(stage) * kDpiStep; }
    Rgb StageColor(int stage) const {
        if (stage < 0 || stage >= kStages) return {};
        const size_t at = kStageColor + 3 * static_cast<size_t>(stage);
        return {bytes[at], bytes[at + 1], bytes[at + 2]};
    }
    void SetStageColor(int stage, Rgb c) {
        if (stage < 0 || stage >= kStages) return;
        const size_t at = kStageColor + 3 * static_cast<size_t>(stage);
        bytes[at] = c.red;
        bytes[at + 1] = c.green;
        bytes[at + 2] = c.blue;
    }
};

}  // namespace vq
