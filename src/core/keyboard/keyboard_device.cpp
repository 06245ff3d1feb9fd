#include "core/keyboard/keyboard_device.h"

#include <thread>

#include "core/device/command_report.h"
#include "core/device/device_session.h"
#include "core/util/log.h"

namespace vq {

namespace {

// Keeps whether every step of a sequence was answered.
struct Steps {
    const char* device;
    bool allAnswered = true;
    bool Ok(int result, const char* step) {
        if (result == kResultSuccess) return true;
        Logf(LogLevel::Warning, "%s read: %s returned %d; its part of the model is kept", device,
             step, result);
        allAnswered = false;
        return false;
    }
    ReadBackResult Result() const {
        return allAnswered ? ReadBackResult::Done : ReadBackResult::Partial;
    }
};

}  // namespace

ReadBackResult ReadKeyboard(DeviceSession& session, KeyboardModel& model,
                            ReadBackObserver& observer) {
    Steps steps{"keyboard"};
    steps.Ok(session.Begin(), "Begin");
    KeyboardInfo info;
    if (steps.Ok(session.ReadInfo(info.bytes), "ReadInfo")) model.SetInfo(info);
    // The block carries three bytes per key of the keyboard.
    const unsigned keyBytes = static_cast<unsigned>(model.Info().KeyCount()) * 3u;
    if (!session.SetBlockLength(static_cast<uint16_t>(keyBytes))) {
        Logf(LogLevel::Error, "keyboard key table of %u bytes does not fit a block", keyBytes);
        observer.KeyTableTooLarge();
        return ReadBackResult::BlockRefused;
    }
    // Without a key count (no information record yet, or a keyboard reporting none) a block
    // read would move nothing and "succeed": the blocks are kept rather than zeroed.
    bool layerRead = false;
    if (keyBytes == 0) {
        steps.Ok(kResultNoAnswer, "key count");
    } else {
        KeyboardKeyLayer buffer{};
        if (steps.Ok(session.ReadBlock(buffer), "ReadBlock")) model.SetFactoryBlock(buffer);
        buffer.fill(0);
        layerRead = steps.Ok(session.ReadIndexedBlock(buffer, 0), "ReadIndexedBlock");
        if (layerRead) model.SetKeyLayer(0, buffer);
    }
    model.TakeStoredRecordZero();
    steps.Ok(session.End(), "End");
    // Profiles follow the keyboard only with what it actually sent.
    if (layerRead) {
        observer.SaveSelectedKeyProfile();
        observer.SaveSelectedDeviceProfile();
    }
    return steps.Result();
}

ReadBackResult ReloadKeyboardRecord(DeviceSession& session, KeyboardModel& model,
                                    ReadBackObserver& observer) {
    Steps steps{"keyboard"};
    const LightRecord live = model.Record();
    const int current = live.index() < kKeyboardRecords ? live.index() : 0;
    // Keep the live bytes in the stored record they belong to.
    StoredLightRecord stored = model.StoredRecord(current).value_or(StoredLightRecord{});
    std::copy(live.bytes.begin(), live.bytes.end(), stored.begin());
    model.SetStoredRecord(current, stored);

    std::array<uint8_t, 1> slot{};
    if (!steps.Ok(session.ReadParams(slot, 1, 0), "ReadParams slot")) return steps.Result();
    std::array<uint8_t, kReportDataSize> buffer{};
    if (!steps.Ok(session.ReadParams(buffer, kReportDataSize, 0), "ReadParams record"))
        return steps.Result();
    buffer[0] = 0;
    StoredLightRecord record{};
    std::copy(buffer.begin(), buffer.end(), record.begin());
    model.SetStoredRecord(0, record);
    model.TakeStoredRecordZero();
    observer.SaveSelectedDeviceProfile();
    return steps.Result();
}

ReadBackResult ReadMousepad(DeviceSession& session, MousepadModel& model,
                            ReadBackObserver& observer) {
    Steps steps{"mousepad"};
    steps.Ok(session.Begin(), "Begin");
    std::array<uint8_t, kInfoSize> info{};
    steps.Ok(session.ReadInfo(info), "ReadInfo");  // read as the mousepad expects; not kept
    for (int i = 0; i < kMousepadRecords; ++i) {
        std::array<uint8_t, kReportDataSize> buffer{};
        if (steps.Ok(session.ReadParams(buffer, kReportDataSize,
                                        static_cast<uint16_t>(i * LightRecord::kStoredSize)),
                     "ReadParams record"))
            model.SetStoredRecord(i, buffer);
    }
    std::array<uint8_t, 1> index{};
    const bool indexRead = steps.Ok(session.ReadParams(index, 1, 0), "ReadParams index");
    // An index outside 0-4 names no record: the live record stays.
    if (indexRead && !model.TakeStoredRecord(index[0]))
        Logf(LogLevel::Warning, "mousepad reported record index %u; live record kept", index[0]);
    steps.Ok(session.End(), "End");
    if (steps.allAnswered) observer.SaveSelectedLightProfile();
    return steps.Result();
}

ReadBackResult ResetMousepad(DeviceSession& session, MousepadModel& model,
                             ReadBackObserver& observer, std::chrono::milliseconds settle) {
    if (session.FactoryReset() != kResultSuccess) {
        Log(LogLevel::Warning, "mousepad factory reset not answered; its settings are kept");
        return ReadBackResult::Partial;
    }
    std::this_thread::sleep_for(settle);
    return ReadMousepad(session, model, observer);
}

}  // namespace vq
