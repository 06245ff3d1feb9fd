#pragma once
// The light settings block that every device record carries at bytes 1-8, and the 21-byte live
// record of the keyboard and of the mousepad built around it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/mouse/mouse_record.h"  // Rgb

namespace vq {

// Bytes 1-8 of a device record: what the light sync copies between devices.
struct LightSettings {
    static constexpr size_t kOffset = 1, kSize = 8;
    uint8_t mode = 0;
    uint8_t brightness = 0;  // 0-4
    uint8_t speed = 0;       // 0-4, 0 fastest
    uint8_t direction = 0;   // 1 first direction, 0 second
    uint8_t colourful = 0;   // nonzero: the effect's own colours instead of `colour`
    Rgb colour;

    // From bytes 1-8 of a record image (at least 9 bytes).
    static LightSettings From(std::span<const uint8_t> record) {
        LightSettings s;
        if (record.size() < kOffset + kSize) return s;
        s.mode = record[1];
        s.brightness = record[2];
        s.speed = record[3];
        s.direction = record[4];
        s.colourful = record[5];
        s.colour = {record[6], record[7], record[8]};
        return s;
    }
    void StoreInto(std::span<uint8_t> record) const {
        if (record.size() < kOffset + kSize) return;
        record[1] = mode;
        record[2] = brightness;
        record[3] = speed;
        record[4] = direction;
        record[5] = colourful;
        record[6] = colour.red;
        record[7] = colour.green;
        record[8] = colour.blue;
    }
    friend bool operator==(const LightSettings&, const LightSettings&) = default;
};

// The live part of a keyboard or mousepad record: index, light settings, then bytes the program
// carries without reading them (the mousepad's byte 9 is its breathing colour counter).
struct LightRecord {
    static constexpr size_t kSize = 21;
    static constexpr size_t kStoredSize = 64;
    static constexpr size_t kWireSize = 56;
    static constexpr size_t kIndex = 0;
    std::array<uint8_t, kSize> bytes{};

    uint8_t index() const { return bytes[kIndex]; }
    void SetIndex(uint8_t v) { bytes[kIndex] = v; }
    LightSettings Light() const { return LightSettings::From(bytes); }
    void SetLight(const LightSettings& s) { s.StoreInto(bytes); }

    static LightRecord FromBytes(std::span<const uint8_t> image) {
        LightRecord r;
        std::copy_n(image.begin(), std::min(image.size(), kSize), r.bytes.begin());
        return r;
    }
    // What the flush sends: the 21 bytes, zero-padded to 56.
    std::array<uint8_t, kWireSize> WireBytes() const {
        std::array<uint8_t, kWireSize> wire{};
        std::copy(bytes.begin(), bytes.end(), wire.begin());
        return wire;
    }
    friend bool operator==(const LightRecord&, const LightRecord&) = default;
};

using StoredLightRecord = std::array<uint8_t, LightRecord::kStoredSize>;

}  // namespace vq
