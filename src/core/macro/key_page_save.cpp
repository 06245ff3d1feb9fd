#include "core/macro/key_page_save.h"

#include <algorithm>
#include <functional>
#include <new>

#include "core/device/command_report.h"
#include "core/device/device_session.h"
#include "core/keyboard/keyboard_model.h"
#include "core/mouse/mouse_model.h"
#include "core/util/log.h"

namespace vq {

namespace {

std::vector<size_t> Counts(const std::vector<std::vector<MacroAction>>& macros) {
    std::vector<size_t> counts;
    for (const auto& m : macros)
        counts.push_back(m.size());
    return counts;
}

// Counts reports against the total the save will take, for the progress bar.
class Progress {
  public:
    Progress(const TransferProgress& callback, int total) : callback_(callback), total_(total) {
        Report();
    }
    void Add(int reports) {
        done_ = std::min(total_, done_ + reports);
        Report();
    }

  private:
    void Report() const {
        if (callback_) callback_(done_, total_);
    }
    const TransferProgress& callback_;
    int total_;
    int done_ = 0;
};

// Begin and End around the data.
int ExchangeReports(size_t bytes) {
    return 2 + ImageReports(bytes);
}

void Stop(KeyPageSaveResult& result, const TransferResult& why) {
    result.textId = why.textId;
    result.textArg = why.textArg;
    result.detail = why.detail + "; the key assignments were not sent";
    Logf(LogLevel::Error, "key page save: %s", result.detail.c_str());
}

}  // namespace

KeyPageSave MouseKeyPageSave(const MouseModel& model, const MacroLibrary& macros,
                             const CursorScripts* scripts) {
    KeyPageSave save;
    if (scripts) save.scripts = scripts->ReadAll();
    save.macros = ReadLibraryMacros(macros);
    save.macroCapacity = model.HasInfo() ? model.Info().MacroCapacity() : 0;
    save.layerIndex = model.ActiveLayer();
    if (const auto layer = model.KeyLayer(save.layerIndex)) save.keyLayer = *layer;
    return save;
}

KeyPageSave KeyboardKeyPageSave(const KeyboardModel& model, const MacroLibrary& macros) {
    KeyPageSave save;
    save.macros = ReadLibraryMacros(macros);
    save.macroCapacity =
        model.HasInfo() ? size_t{model.Info().MacroUnits()} * kMacroCapacityUnit : 0;
    save.layerIndex = model.ActiveLayer();
    if (const auto layer = model.KeyLayer(save.layerIndex)) {
        // Only the keyboard's own keys; the rest of the block goes as zeros.
        const size_t keyBytes = std::min(layer->size(), size_t{3} * model.KeyCount());
        std::copy_n(layer->begin(), keyBytes, save.keyLayer.begin());
    }
    return save;
}

KeyPageSaveResult SaveKeyPage(DeviceSession& session, const KeyPageSave& save,
                              const TransferProgress& progress) {
    KeyPageSaveResult result;

    // What will go on the wire, for the progress bar.
    std::optional<std::vector<uint8_t>> scriptImage;
    if (!save.scripts.empty()) scriptImage = BuildScriptImage(save.scripts);
    const size_t macroBytes = save.macros.empty() ? 0 : MacroImageSize(Counts(save.macros));
    const bool macrosFit = macroBytes <= save.macroCapacity;
    const int layerReports = ExchangeReports(session.BlockLength());
    int total = layerReports;
    if (scriptImage) total += ExchangeReports(scriptImage->size());
    if (macroBytes > 0 && macrosFit) total += ExchangeReports(macroBytes);
    Progress bar(progress, total);

    // Every report exchanged moves the bar.
    const std::function<void()> reportSent = [&bar] { bar.Add(1); };

    // 1. The cursor scripts.
    if (!save.scripts.empty()) {
        result.scripts = TransferCursorScripts(session, save.scripts, reportSent);
        if (result.scripts.status == TransferStatus::Failed) {
            Stop(result, result.scripts);
            return result;
        }
    } else {
        result.scripts.status = TransferStatus::NothingToSend;
    }

    // 2. The macro library as one image.
    if (save.macros.empty()) {
        result.macros.status = TransferStatus::NothingToSend;
        result.macros.detail = "the library is empty; the device keeps its macro memory";
    } else if (!macrosFit) {
        result.macros.status = TransferStatus::TooLarge;
        result.macros.bytes = macroBytes;
        result.macros.textId = "message_text_16";
        result.macros.textArg = ActionsToRemove(macroBytes, save.macroCapacity);
        result.macros.detail = "the macros take " + std::to_string(macroBytes) +
                               " bytes, the device holds " + std::to_string(save.macroCapacity) +
                               "; remove at least " + std::to_string(result.macros.textArg) +
                               " macro steps";
        result.saveProfiles = false;
        Stop(result, result.macros);
        return result;
    } else {
        std::optional<std::vector<uint8_t>> image;
        try {
            image = BuildMacroImage(save.macros);
        } catch (const std::bad_alloc&) {
            image.reset();
        }
        if (!image) {
            result.macros.status = TransferStatus::TooLarge;
            result.macros.textId = "message_text_7";
            result.macros.detail = "the macro image could not be prepared";
            result.saveProfiles = false;
            Stop(result, result.macros);
            return result;
        }
        result.macros = SendImage(session, ImageMemory::Macro, *image, reportSent);
        if (result.macros.status == TransferStatus::Failed) {
            Stop(result, result.macros);
            return result;
        }
    }

    // 3. The key layer of the current slot.
    if (!session.IsConnected()) return result;
    session.Begin();
    reportSent();
    result.keyLayer = session.WriteIndexedBlock(save.keyLayer, save.layerIndex, reportSent);
    session.End();
    reportSent();
    result.keyLayerSent = result.keyLayer == kResultSuccess;
    if (!result.keyLayerSent) {
        result.textId = result.keyLayer == kResultNoAnswer ? "message_text_19" : "message_text_10";
        result.detail =
            "the key assignments were not accepted (" + std::to_string(result.keyLayer) + ")";
        Logf(LogLevel::Error, "key page save: %s", result.detail.c_str());
        return result;
    }
    return result;
}

}  // namespace vq
