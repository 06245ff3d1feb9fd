#include "core/device/command_report.h"

#include <algorithm>

namespace vq {

uint16_t ComputeChecksum(std::span<const uint8_t, kReportSize> frame) {
    unsigned sum = 0;
    for (size_t i = CommandReport::kCommand; i < kReportSize; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum);  // 61 bytes of at most 255 always fit 16 bits
}

CommandReport CommandReport::Make(Command command, uint8_t lengthOrParam, uint16_t address) {
    CommandReport r;
    r.bytes[kId] = kCommandReportId;
    r.bytes[kCommand] = static_cast<uint8_t>(command);
    r.SetHeader(lengthOrParam, address);
    r.bytes[kStatus] = 0;
    return r;
}

void CommandReport::SetHeader(uint8_t lengthOrParam, uint16_t address) {
    bytes[kLength] = lengthOrParam;
    bytes[kAddressLow] = static_cast<uint8_t>(address & 0xFF);
    bytes[kAddressHigh] = static_cast<uint8_t>(address >> 8);
}

void CommandReport::SetData(std::span<const uint8_t> data) {
    const size_t n = std::min(data.size(), kReportDataSize);
    std::copy_n(data.begin(), n, bytes.begin() + kData);
}

void CommandReport::Seal() {
    const uint16_t sum = ComputeChecksum(bytes);
    bytes[kChecksumLow] = static_cast<uint8_t>(sum & 0xFF);
    bytes[kChecksumHigh] = static_cast<uint8_t>(sum >> 8);
}

}  // namespace vq
