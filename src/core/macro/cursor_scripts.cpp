#include "core/macro/cursor_scripts.h"

#include <system_error>

#include "core/macro/macro_edit.h"
#include "core/util/atomic_file.h"
#include "core/util/log.h"

namespace vq {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxScriptFileBytes = 1u << 20;

ScriptOutcome Refused(MacroResult result, std::string detail, std::string textId = {}) {
    Logf(LogLevel::Warning, "cursor script: %s", detail.c_str());
    return {result, std::move(textId), std::move(detail)};
}

ScriptOutcome Done(std::string detail) {
    return {MacroResult::Ok, {}, std::move(detail)};
}

std::string SlotName(int slot) {
    return "script " + std::to_string(slot + 1);
}

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kCursorSlots;
}

bool ValidBullet(int bullet) {
    return bullet >= 0 && bullet < kBulletsPerScript;
}

bool IsMove(const MacroAction& a, uint8_t eventType) {
    return a.EventType() == eventType;
}

Bullet BulletOf(const std::vector<std::optional<MacroAction>>& records, int bullet) {
    Bullet b;
    const auto at = [&](int i) -> const std::optional<MacroAction>* {
        const size_t index = static_cast<size_t>(kActionsPerBullet * bullet + i);
        return index < records.size() && records[index] ? &records[index] : nullptr;
    };
    if (const auto* delay = at(3)) b.delayMs = (*delay)->DelayMs();
    if (const auto* h = at(4); h && IsMove(**h, kMacroMoveHorizontal)) {
        b.dx = (*h)->code;
        b.left = (*h)->Pressed();
    }
    if (const auto* v = at(5); v && IsMove(**v, kMacroMoveVertical)) {
        b.dy = (*v)->code;
        b.up = (*v)->Pressed();
    }
    return b;
}

MacroAction Move(uint8_t type, uint8_t distance, const char* label) {
    MacroAction a;
    a.type = type;
    a.code = distance;
    a.down = (type & 0x80) ? 1 : 0;
    a.label = label;
    return a;
}

}  // namespace

bool BulletCursor::SelectSlot(int n) {
    if (!ValidSlot(n)) return false;
    slot = n;
    bullet = 0;
    return true;
}

bool BulletCursor::SelectBullet(int n) {
    if (!ValidBullet(n)) return false;
    bullet = n;
    return true;
}

CursorScripts::CursorScripts(fs::path kindFolder, fs::path programFolder)
    : folder_(std::move(kindFolder)), program_(std::move(programFolder)) {}

std::optional<fs::path> CursorScripts::ScriptPath(int slot) const {
    if (!ValidSlot(slot)) return std::nullopt;
    const std::vector<std::string> names = MacroLibrary(DeviceKind::Mouse, folder_).CursorNames();
    if (static_cast<size_t>(slot) >= names.size()) return std::nullopt;
    const std::string& name = names[static_cast<size_t>(slot)];
    if (CheckFileStem(name, kCursorExtension) != NameCheck::Ok) {
        Logf(LogLevel::Warning, "cursor script %d has an unusable name", slot + 1);
        return std::nullopt;
    }
    return FindFileNoCase(folder_, name + std::string(kCursorExtension));
}

std::vector<MacroAction> CursorScripts::ReadScript(int slot) const {
    const std::optional<fs::path> path = ScriptPath(slot);
    return path ? ReadActionFile(*path) : std::vector<MacroAction>{};
}

Bullet CursorScripts::LoadBullet(int slot, int bullet) const {
    const std::optional<fs::path> path = ScriptPath(slot);
    if (!path || !ValidBullet(bullet)) return {};
    return BulletOf(ReadActionRecords(*path), bullet);
}

std::vector<Bullet> CursorScripts::LoadBullets(int slot) const {
    std::vector<Bullet> bullets(kBulletsPerScript);
    const std::optional<fs::path> path = ScriptPath(slot);
    if (!path) return bullets;
    const std::vector<std::optional<MacroAction>> records = ReadActionRecords(*path);
    for (int b = 0; b < kBulletsPerScript; ++b)
        bullets[static_cast<size_t>(b)] = BulletOf(records, b);
    return bullets;
}

ScriptOutcome CursorScripts::SaveBullet(int slot, int bullet, const BulletEdit& edit) {
    const std::optional<fs::path> path = ScriptPath(slot);
    if (!path || !ValidBullet(bullet))
        return Refused(MacroResult::Missing, "there is no bullet " + std::to_string(bullet + 1) +
                                                 " in " + SlotName(slot));
    const std::vector<std::optional<MacroAction>> records = ReadActionRecords(*path);
    const size_t first = static_cast<size_t>(kActionsPerBullet * bullet + 3);
    // Edits past the script's end would land past its count and be lost.
    if (records.size() < first + 3 || !records[first])
        return Refused(MacroResult::Missing, SlotName(slot) + " has no bullet " +
                                                 std::to_string(bullet + 1) + " to edit");
    MacroAction delay = *records[first];
    delay.SetDelayMs(LimitDelay(edit.delayMs));
    const MacroAction horizontal =
        edit.left ? Move(0x84, LimitDistance(edit.dx), "mouse_move_to_left_text")
                  : Move(0x04, LimitDistance(edit.dx), "mouse_move_to_right_text");
    const MacroAction vertical =
        edit.up ? Move(0x85, LimitDistance(edit.dy), "mouse_move_to_up_text")
                : Move(0x05, LimitDistance(edit.dy), "mouse_move_to_down_text");
    const std::pair<int, MacroAction> writes[] = {{static_cast<int>(first), delay},
                                                  {static_cast<int>(first + 1), horizontal},
                                                  {static_cast<int>(first + 2), vertical}};
    if (!WriteActionRecords(*path, writes))
        return Refused(MacroResult::WriteFailed, Utf8FromPath(*path) + " could not be written");
    return Done("saved bullet " + std::to_string(bullet + 1) + " of " + SlotName(slot));
}

ScriptOutcome CursorScripts::Import(int slot, const fs::path& source) {
    const std::optional<fs::path> target = ScriptPath(slot);
    if (!target) return Refused(MacroResult::Missing, "the index lists no " + SlotName(slot));
    const FileBytes file = ReadWholeFile(source, kMaxScriptFileBytes);
    if (file.status == FileReadStatus::TooLarge)
        return Refused(MacroResult::NotMacroFile,
                       Utf8FromPath(source) + " is too large for a script file");
    if (file.status != FileReadStatus::Ok)
        return Refused(MacroResult::ReadFailed, Utf8FromPath(source) + " could not be read");
    int count = 0;
    const ActionFileCheck check = CheckActionFile(file.bytes, kMaxScriptActions, &count);
    if (check == ActionFileCheck::TooManyActions)
        return Refused(MacroResult::TooMany,
                       Utf8FromPath(source) + " has " + std::to_string(count) +
                           " actions; a script has at most " + std::to_string(kMaxScriptActions),
                       "message_text_18");
    if (check != ActionFileCheck::Ok)
        return Refused(MacroResult::NotMacroFile, Utf8FromPath(source) + " was not imported: " +
                                                      DescribeActionFileCheck(check));
    if (!WriteFileAtomic(*target, file.bytes))
        return Refused(MacroResult::WriteFailed, Utf8FromPath(*target) + " could not be written");
    return Done("imported " + Utf8FromPath(source) + " as " + SlotName(slot));
}

ScriptOutcome CursorScripts::Export(int slot, const fs::path& target) const {
    const std::optional<fs::path> source = ScriptPath(slot);
    if (!source) return Refused(MacroResult::Missing, "the index lists no " + SlotName(slot));
    std::error_code ec;
    if (fs::exists(target, ec))
        return Refused(MacroResult::Exists, Utf8FromPath(target) + " exists and was left as it is");
    const FileBytes file = ReadWholeFile(*source, kMaxScriptFileBytes);
    if (file.status != FileReadStatus::Ok)
        return Refused(
            file.status == FileReadStatus::Missing ? MacroResult::Missing : MacroResult::ReadFailed,
            Utf8FromPath(*source) + " could not be read");
    if (!WriteFileAtomic(target, file.bytes))
        return Refused(MacroResult::WriteFailed, Utf8FromPath(target) + " could not be written");
    return Done("exported " + SlotName(slot) + " to " + Utf8FromPath(target));
}

ScriptOutcome CursorScripts::Reset(int slot) {
    const std::optional<fs::path> target = ScriptPath(slot);
    if (!target) return Refused(MacroResult::Missing, "the index lists no " + SlotName(slot));
    const fs::path shipped = FindFileNoCase(
        program_, "name_" + std::to_string(slot + 1) + std::string(kCursorExtension));
    const FileBytes file = ReadWholeFile(shipped, kMaxScriptFileBytes);
    if (file.status != FileReadStatus::Ok)
        return Refused(MacroResult::Missing,
                       "the shipped script " + Utf8FromPath(shipped) + " could not be read");
    if (!WriteFileAtomic(*target, file.bytes))
        return Refused(MacroResult::WriteFailed, Utf8FromPath(*target) + " could not be written");
    return Done("reset " + SlotName(slot) + " to the shipped script");
}

std::vector<std::vector<MacroAction>> CursorScripts::ReadAll() const {
    std::vector<std::vector<MacroAction>> scripts;
    // Every script the index lists, each in its place; one without a usable file is empty.
    for (const std::string& name : MacroLibrary(DeviceKind::Mouse, folder_).CursorNames()) {
        if (CheckFileStem(name, kCursorExtension) != NameCheck::Ok) {
            scripts.emplace_back();
            continue;
        }
        scripts.push_back(
            ReadActionFile(FindFileNoCase(folder_, name + std::string(kCursorExtension))));
    }
    return scripts;
}

std::vector<ScriptPoint> CursorScripts::Path(int slot) const {
    std::vector<ScriptPoint> points;
    const std::optional<fs::path> path = ScriptPath(slot);
    if (!path) return points;
    const std::vector<std::optional<MacroAction>> records = ReadActionRecords(*path);
    ScriptPoint at;
    for (int b = 0; b < kBulletsPerScript; ++b) {
        if (records.size() < static_cast<size_t>(kActionsPerBullet * (b + 1))) break;
        const Bullet bullet = BulletOf(records, b);
        at.x += bullet.left ? -bullet.dx.value_or(0) : bullet.dx.value_or(0);
        at.y += bullet.up ? -bullet.dy.value_or(0) : bullet.dy.value_or(0);
        points.push_back(at);
    }
    return points;
}

std::optional<std::vector<uint8_t>> BuildScriptImage(
    std::span<const std::vector<MacroAction>> scripts) {
    std::vector<size_t> counts;
    for (const auto& s : scripts)
        counts.push_back(s.size());
    if (MacroImageSize(counts) > kMaxScriptImageSize) return std::nullopt;
    return BuildMacroImage(scripts);
}

TransferResult TransferCursorScripts(DeviceSession& session,
                                     std::span<const std::vector<MacroAction>> scripts,
                                     const std::function<void()>& reportSent) {
    TransferResult result;
    if (scripts.empty()) {
        result.status = TransferStatus::NothingToSend;
        result.detail = "there are no cursor scripts to send";
        return result;
    }
    const std::optional<std::vector<uint8_t>> image = BuildScriptImage(scripts);
    if (!image) {
        std::vector<size_t> counts;
        for (const auto& s : scripts)
            counts.push_back(s.size());
        result.status = TransferStatus::TooLarge;
        result.bytes = MacroImageSize(counts);
        result.detail = "the cursor scripts take " + std::to_string(result.bytes) +
                        " bytes, more than the mouse's 3072; they were not sent";
        Logf(LogLevel::Error, "%s", result.detail.c_str());
        return result;
    }
    return SendImage(session, ImageMemory::Script, *image, reportSent);
}

}  // namespace vq
