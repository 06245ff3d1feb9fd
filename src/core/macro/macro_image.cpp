#include "core/macro/macro_image.h"

#include "core/device/command_report.h"
#include "core/device/device_session.h"
#include "core/util/log.h"

namespace vq {

namespace {

void PutU16(std::vector<uint8_t>& image, size_t at, size_t value) {
    image[at] = static_cast<uint8_t>(value & 0xFF);
    image[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

const char* MemoryName(ImageMemory memory) {
    return memory == ImageMemory::Macro ? "macro" : "script";
}

std::string DescribeFailure(int result) {
    switch (result) {
        case kResultNoAnswer:
            return "the device did not answer";
        case kResultLinkLost:
            return "the link to the device was lost";
        case kResultRefusedFF:
            return "the device refused the data (status 0xFF)";
        case kResultRefusedFE:
            return "the device refused the data (status 0xFE)";
        default:
            return "the transfer failed (" + std::to_string(result) + ")";
    }
}

}  // namespace

size_t MacroImageSize(std::span<const size_t> actionCounts) {
    size_t total = kMacroImageHeaderSize;
    for (size_t a : actionCounts)
        total += 6 + 4 * a;
    return total;
}

std::optional<std::vector<uint8_t>> BuildMacroImage(
    std::span<const std::vector<MacroAction>> macros) {
    std::vector<size_t> counts;
    for (const auto& m : macros)
        counts.push_back(m.size());
    const size_t total = MacroImageSize(counts);
    if (total > 0xFFFF) return std::nullopt;
    std::vector<uint8_t> image(total, 0);
    PutU16(image, 0, kMacroImageMagic);
    PutU16(image, 2, total);
    PutU16(image, 4, macros.size());
    size_t position = kMacroImageHeaderSize + 2 * macros.size();
    for (size_t i = 0; i < macros.size(); ++i) {
        PutU16(image, kMacroImageHeaderSize + 2 * i, position);
        PutU16(image, position, macros[i].size());
        size_t at = position + 4;
        for (const MacroAction& a : macros[i]) {
            image[at++] = a.delayLow;
            image[at++] = a.delayHigh;
            image[at++] = a.type;
            image[at++] = a.code;
        }
        position = at;
    }
    return image;
}

std::vector<std::vector<MacroAction>> ReadLibraryMacros(const MacroLibrary& library) {
    std::vector<std::vector<MacroAction>> macros;
    for (const std::string& name : library.ReadNames())
        macros.push_back(library.ReadMacro(name));
    return macros;
}

int ActionsToRemove(size_t total, size_t capacity) {
    if (total <= capacity) return 0;
    return static_cast<int>((total - capacity) / 4 + 1);
}

const char* TransferStatusName(TransferStatus status) {
    switch (status) {
        case TransferStatus::Sent:
            return "sent";
        case TransferStatus::NothingToSend:
            return "nothing to send";
        case TransferStatus::NotConnected:
            return "not connected";
        case TransferStatus::TooLarge:
            return "too large";
        case TransferStatus::Failed:
            return "failed";
    }
    return "?";
}

int ImageReports(size_t bytes) {
    return static_cast<int>((bytes + kReportDataSize - 1) / kReportDataSize);
}

TransferResult SendImage(DeviceSession& session, ImageMemory memory, std::span<const uint8_t> image,
                         const std::function<void()>& reportSent) {
    TransferResult result;
    result.bytes = image.size();
    if (!session.IsConnected()) {
        result.status = TransferStatus::NotConnected;
        result.command = kResultNoAnswer;
        result.detail = std::string("the device is not connected; the ") + MemoryName(memory) +
                        " data was not sent";
        return result;
    }
    session.Begin();  // an exchange goes on after a failed Begin; the write decides
    if (reportSent) reportSent();
    const int written = memory == ImageMemory::Macro ? session.WriteMacroData(image, reportSent)
                                                     : session.WriteScriptData(image, reportSent);
    session.End();
    if (reportSent) reportSent();
    if (written == kResultSuccess) {
        result.detail = std::string("sent ") + std::to_string(image.size()) + " bytes of " +
                        MemoryName(memory) + " data";
        return result;
    }
    result.status = TransferStatus::Failed;
    result.command = written;
    result.textId = written == kResultNoAnswer ? "message_text_19" : "message_text_10";
    result.detail = std::string("the ") + MemoryName(memory) +
                    " data was not accepted: " + DescribeFailure(written);
    Logf(LogLevel::Error, "%s", result.detail.c_str());
    return result;
}

}  // namespace vq
