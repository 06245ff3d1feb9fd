#pragma once
// The mouse's four cursor (recoil) scripts: one per gun slot, each a macro-format file
// (name + ".cur", the names listed under "CURSORNAME" of the mouse's macro index) of 30 bullets
// of six actions. The bullet editor changes three actions of a bullet: its delay (action 6b + 3)
// and its horizontal and vertical corrections (6b + 4, 6b + 5); the other three come from the
// shipped script and are kept as they are. Every edit is written at once; the mouse gets the
// scripts with the script page's send and with the key page's save.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/macro/macro_file.h"
#include "core/macro/macro_image.h"

namespace vq {

inline constexpr int kCursorSlots = 4;
inline constexpr int kBulletsPerScript = 30;
inline constexpr int kActionsPerBullet = 6;
inline constexpr int kMaxScriptActions = 180;
inline constexpr size_t kMaxScriptImageSize = 3072;

// The editable part of one bullet. A field is empty when the script has no such action there
// (a script shorter than the bullet, or an action of another kind).
struct Bullet {
    std::optional<uint16_t> delayMs;
    std::optional<uint8_t> dx;  // horizontal correction
    bool left = false;
    std::optional<uint8_t> dy;  // vertical correction
    bool up = false;
};

// What the editor's fields hold when a bullet is saved; typed numbers are limited on the way
// (a delay to 65535, a distance to 255).
struct BulletEdit {
    long long delayMs = 0;
    long long dx = 0;
    bool left = false;
    long long dy = 0;
    bool up = false;
};

// The page's choice of slot and bullet. Choosing a slot shows bullet 0; next and previous stop
// at the ends.
struct BulletCursor {
    int slot = 0;
    int bullet = 0;
    bool SelectSlot(int n);
    bool SelectBullet(int n);
    bool Next() { return SelectBullet(bullet + 1); }
    bool Previous() { return SelectBullet(bullet - 1); }
};

// What a script operation did and what the user is told.
struct ScriptOutcome {
    MacroResult result = MacroResult::Ok;
    std::string textId;  // "message_text_18" for a script that is too long; empty: none
    std::string detail;
    bool Ok() const { return result == MacroResult::Ok; }
};

// A point of the path a script moves the pointer along (right and down positive).
struct ScriptPoint {
    int x = 0, y = 0;
    bool operator==(const ScriptPoint&) const = default;
};

class CursorScripts {
  public:
    // `kindFolder`: the mouse's folder; `programFolder`: where the shipped scripts are.
    CursorScripts(std::filesystem::path kindFolder, std::filesystem::path programFolder);

    // The slot's file (the name under "CURSORNAME" key slot, plus ".cur"), or nothing for a slot
    // outside 0-3, a slot the index does not list or a name that is no file name.
    std::optional<std::filesystem::path> ScriptPath(int slot) const;
    std::vector<MacroAction> ReadScript(int slot) const;

    Bullet LoadBullet(int slot, int bullet) const;
    // Every bullet of the slot (kBulletsPerScript of them), from one read of its file.
    std::vector<Bullet> LoadBullets(int slot) const;
    // Writes the three records of the bullet and nothing else. Refused (nothing written) for a
    // bullet the script does not reach, or for a slot or bullet out of range.
    ScriptOutcome SaveBullet(int slot, int bullet, const BulletEdit& edit);

    // Replaces the slot's file with a script file of at most 180 actions ("message_text_18"
    // for a longer one); anything that is not a script file is refused. Nothing is written
    // when refused.
    ScriptOutcome Import(int slot, const std::filesystem::path& source);
    // Copies the slot's file to `target`; an existing target is never replaced.
    ScriptOutcome Export(int slot, const std::filesystem::path& target) const;
    // Puts the shipped script of the slot ("name_1.cur" for slot 0 ...) in place of its file.
    ScriptOutcome Reset(int slot);

    // The scripts in index order, for the image.
    std::vector<std::vector<MacroAction>> ReadAll() const;
    // The positions after each bullet, from (0, 0): the drawing of the script's path.
    std::vector<ScriptPoint> Path(int slot) const;

  private:
    std::filesystem::path folder_;
    std::filesystem::path program_;
};

// The image of the scripts; nothing when it would exceed 3072 bytes.
std::optional<std::vector<uint8_t>> BuildScriptImage(
    std::span<const std::vector<MacroAction>> scripts);

// The script page's send: Begin, WriteScriptData with the image, End. No scripts: nothing sent.
// An image over 3072 bytes is not sent (TooLarge, said in `detail`).
// `reportSent` as SendImage's.
TransferResult TransferCursorScripts(DeviceSession& session,
                                     std::span<const std::vector<MacroAction>> scripts,
                                     const std::function<void()>& reportSent = {});

}  // namespace vq
