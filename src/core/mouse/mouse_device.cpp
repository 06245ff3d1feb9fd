#include "core/mouse/mouse_device.h"

#include "core/device/command_report.h"
#include "core/device/device_session.h"
#include "core/util/log.h"

namespace vq {

namespace {

// Keeps the first failure of a sequence whose steps all run.
void Note(int& first, int result, const std::string& step, MouseReadReport* report) {
    if (result == kResultSuccess) return;
    Logf(LogLevel::Warning, "mouse read: %s returned %d; its part of the model is kept",
         step.c_str(), result);
    if (first != kResultSuccess) return;
    first = result;
    if (report) report->failedStep = step;
}

void Notify(const MouseModel& model, MouseUpdate what) {
    if (MouseModelObserver* observer = model.Observer()) observer->MouseSettingsReplaced(what);
}

}  // namespace

int ReadMouse(DeviceSession& session, MouseModel& model, MouseReadReport* report) {
    int first = kResultSuccess;
    Note(first, session.Begin(), "Begin", report);

    MouseInfo info;
    const int infoResult = session.ReadInfo(info.bytes);
    Note(first, infoResult, "ReadInfo", report);
    if (infoResult == kResultSuccess) model.SetInfo(info);

    MouseKeyLayer buffer{};
    const int factoryResult = session.ReadBlock(buffer);
    Note(first, factoryResult, "ReadBlock", report);
    if (factoryResult == kResultSuccess) model.SetFactoryBlock(buffer);

    bool layerZeroRead = false;
    for (int n = 0; n < kMouseSlots; ++n) {
        buffer.fill(0);
        const int result = session.ReadIndexedBlock(buffer, n);
        Note(first, result, "ReadIndexedBlock " + std::to_string(n), report);
        if (result != kResultSuccess) continue;
        model.SetKeyLayer(n, buffer);
        if (n == 0) layerZeroRead = true;
    }

    // The stored record is the one the device-profile selection has just loaded.
    model.TakeStoredRecordZero();
    Note(first, session.End(), "End", report);

    // The device profile holds key layer 0: keep it in step with the mouse, but never write a
    // layer that was not read over the one the profile has.
    if (layerZeroRead)
        if (MouseModelObserver* observer = model.Observer()) observer->SaveSelectedDeviceProfile();
    model.RequestFullRefresh();
    Notify(model, MouseUpdate::Read);
    return first;
}

int ReloadMouseRecord(DeviceSession& session, MouseModel& model, MouseReadReport* report) {
    model.StoreLiveRecord();
    uint8_t current = 0;
    int result = session.ReadParams(std::span<uint8_t>(&current, 1), 1, 0);
    if (result != kResultSuccess) {
        Logf(LogLevel::Warning, "mouse record reload: slot read returned %d", result);
        if (report) report->failedStep = "ReadParams";
        return result;
    }
    if (report) report->mouseSlot = current;
    std::array<uint8_t, MouseRecord::kWireSize> wire{};
    result = session.ReadParams(wire, MouseRecord::kWireSize, 0);
    if (result != kResultSuccess) {
        Logf(LogLevel::Warning, "mouse record reload: record read returned %d", result);
        if (report) report->failedStep = "ReadParams";
        return result;
    }
    // The record read at address 0 becomes stored record 0 and the live record, slot 0.
    model.TakeReadRecord(0, wire);
    if (MouseModelObserver* observer = model.Observer()) {
        observer->SaveSelectedLightProfile();
        observer->SaveSelectedDeviceProfile();
    }
    model.RequestFullRefresh();
    Notify(model, MouseUpdate::Reloaded);
    return kResultSuccess;
}

int SelectMouseSlot(DeviceSession& session, MouseModel& model, int n) {
    if (!IsMouseSlot(n)) {
        Logf(LogLevel::Warning, "mouse slot %d does not exist; nothing switched", n);
        return kResultNoAnswer;
    }
    uint8_t current = 0;
    int result = session.ReadParams(std::span<uint8_t>(&current, 1), 1, 0);
    if (result != kResultSuccess) {
        // Without the mouse's slot there is no telling which stored record the live one is.
        Logf(LogLevel::Warning, "mouse slot switch to %d: slot read returned %d", n, result);
        return result;
    }
    if (current == n) return kResultSuccess;
    // Keep the edits of the slot being left under the slot the mouse says it is on.
    if (IsMouseSlot(current))
        model.StoreLiveRecordAt(current);
    else
        Logf(LogLevel::Warning, "mouse reports slot %u; the live record is not kept", current);

    const uint8_t target = static_cast<uint8_t>(n);
    result = session.WriteParams(std::span<const uint8_t>(&target, 1), 0);
    if (result != kResultSuccess) {
        // The mouse stayed where it was: the live record still belongs there.
        Logf(LogLevel::Warning, "mouse slot switch to %d refused or unanswered (%d)", n, result);
        return result;
    }
    std::array<uint8_t, MouseRecord::kWireSize> wire{};
    result = session.ReadParams(wire, MouseRecord::kWireSize,
                                static_cast<uint16_t>(n * kMouseStoredRecordSize));
    if (result != kResultSuccess) {
        // The mouse is on slot n but its record is unknown; the next flush would write the
        // previous slot's settings into it. Put the mouse back where the live record belongs.
        Logf(LogLevel::Warning, "mouse slot %d: record read returned %d; switching back", n,
             result);
        if (IsMouseSlot(current)) session.WriteParams(std::span<const uint8_t>(&current, 1), 0);
        return result;
    }
    model.TakeReadRecord(n, wire);
    Notify(model, MouseUpdate::SlotSelected);
    return kResultSuccess;
}

std::optional<int> FlushMouseRecord(DeviceSession& session, MouseModel& model) {
    // Clear the mark before taking the record: an edit made while this runs marks it again.
    if (!model.TakeDirty()) return std::nullopt;
    const auto wire = model.Record().WireBytes();
    const int result = session.WriteParams(wire, 0);
    if (result != kResultSuccess && session.IsConnected())
        Logf(LogLevel::Warning, "mouse record flush returned %d", result);
    return result;
}

int WriteMouseRecord(DeviceSession& session, MouseModel& model) {
    const MouseRecord record = model.Record();
    return session.WriteParams(record.bytes, 0);
}

int WriteMouseKeyLayer(DeviceSession& session, const MouseModel& model, int layer) {
    const auto image = model.KeyLayer(layer);
    if (!image) {
        Logf(LogLevel::Error, "mouse key layer %d does not exist; nothing sent", layer);
        return kResultBadIndex;
    }
    return session.WriteIndexedBlock(*image, layer);
}

}  // namespace vq
