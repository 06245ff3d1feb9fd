#include "core/keyboard/keyboard_defaults.h"

#include "core/keyboard/keyboard_layout.h"

namespace vq {

namespace {

// A fully saturated colour at hue step h of n around the wheel.
Rgb Hue(int h, int n) {
    const int pos = (h % n) * 6 * 255 / n;  // 0 .. 6 * 255
    const int sextant = pos / 255, f = pos % 255;
    const auto up = static_cast<uint8_t>(f), down = static_cast<uint8_t>(255 - f);
    switch (sextant) {
        case 0:
            return {255, up, 0};
        case 1:
            return {down, 255, 0};
        case 2:
            return {0, 255, up};
        case 3:
            return {0, down, 255};
        case 4:
            return {up, 0, 255};
        default:
            return {255, 0, down};
    }
}

// The movement keys a game uses: W, A, S, D and the four arrows (button numbers).
constexpr int kGameButtons[] = {44, 64, 65, 66, 96, 113, 114, 115};

void SetLed(CustomLayout& layout, uint8_t led, Rgb c) {
    if (led >= kKeyboardLeds) return;
    layout[3u * led] = c.red;
    layout[3u * led + 1] = c.green;
    layout[3u * led + 2] = c.blue;
}

}  // namespace

int DefaultKeyboardKeyCount() {
    int keys = 0;
    for (int b = 0; b < kKeyboardButtons; ++b)
        if (!IsButtonGap(b)) ++keys;
    return keys;
}

KeyboardKeyLayer DefaultKeyboardKeyLayer() {
    KeyboardKeyLayer layer{};
    size_t key = 0;
    for (int b = 0; b < kKeyboardButtons; ++b)
        if (!IsButtonGap(b)) ButtonMatch(b).StoreAt(layer, key++);
    return layer;
}

void ApplyKeyboardDefaults(KeyboardModel& model, KeyboardVariant variant) {
    model.SetVariant(variant);
    model.SetKeyLayer(0, DefaultKeyboardKeyLayer());
    const bool fullColour = variant == KeyboardVariant::FullColour;

    LightRecord record;
    // Wave in the effect's own colours; the single-colour keyboard has no colours to choose.
    record.SetLight({0, 4, 2, 1, static_cast<uint8_t>(fullColour ? 1 : 0),
                     fullColour ? Rgb{0x00, 0xF6, 0xFF} : Rgb{}});
    model.SetRecord(record);
    StoredLightRecord stored{};
    std::copy(record.bytes.begin(), record.bytes.end(), stored.begin());
    model.SetStoredRecord(0, stored);

    // Custom layouts: 0 everything lit (a rainbow across the columns on the full-colour
    // keyboard), 1 the movement keys in red, 2-4 empty for the user.
    CustomLayout all{}, game{};
    for (int b = 0; b < kKeyboardButtons; ++b) {
        if (fullColour)
            SetLed(all, ButtonLed(b), Hue(b % kKeyboardButtonColumns, kKeyboardButtonColumns));
        else if (ButtonLevel(b) != kNoKey)
            all[ButtonLevel(b)] = 255;
    }
    for (int b : kGameButtons) {
        if (fullColour)
            SetLed(game, ButtonLed(b), {255, 0, 0});
        else if (ButtonLevel(b) != kNoKey)
            game[ButtonLevel(b)] = 255;
    }
    model.SetLayout(0, all);
    model.SetLayout(1, game);
    for (int slot = 2; slot < kCustomLayouts; ++slot)
        model.SetLayout(slot, CustomLayout{});
    model.SetCustomSlot(0);
    model.SetCustomColour({255, 0, 0});
}

void ApplyMousepadDefaults(MousepadModel& model) {
    LightRecord record;
    record.SetLight({0, 4, 2, 1, 1, {0x00, 0xF6, 0xFF}});
    model.SetRecord(record);
    StoredLightRecord stored{};
    std::copy(record.bytes.begin(), record.bytes.end(), stored.begin());
    model.SetStoredRecord(0, stored);
}

}  // namespace vq
