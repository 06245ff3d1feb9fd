#pragma once
// The 64-byte request/answer frame of the configuration collection.

#include <array>
#include <cstdint>
#include <span>

namespace vq {

inline constexpr size_t kReportSize = 64;
inline constexpr size_t kReportDataSize = 56;
inline constexpr uint8_t kCommandReportId = 0x04;

enum class Command : uint8_t {
    Begin = 0x01,
    End = 0x02,
    ReadInfo = 0x03,
    ReadParams = 0x05,
    WriteParams = 0x06,
    ReadBlock = 0x07,
    ReadIndexedBlock = 0x08,
    WriteIndexedBlock = 0x09,
    FactoryReset = 0x0D,
    WriteLightFrame = 0x12,
    WriteMacroData = 0x15,
    WriteScriptData = 0x17,
};

// Answer status byte values that mean the device refused the request.
inline constexpr uint8_t kStatusRefusedFF = 0xFF;
inline constexpr uint8_t kStatusRefusedFE = 0xFE;

// Results of every command operation.
enum CommandResult : int {
    kResultSuccess = 1,
    kResultNoAnswer = 0,  // not connected (nothing sent) or no answer after every attempt
    kResultLinkLost = -1,
    kResultRefusedFF = -102,
    kResultRefusedFE = -103,
    kResultBadIndex = -201,
};

struct CommandReport {
    std::array<uint8_t, kReportSize> bytes{};

    // Byte offsets.
    static constexpr size_t kId = 0, kChecksumLow = 1, kChecksumHigh = 2, kCommand = 3, kLength = 4,
                            kAddressLow = 5, kAddressHigh = 6, kStatus = 7, kData = 8;

    // A zeroed frame with the report ID, command code, byte 4 and address set.
    static CommandReport Make(Command command, uint8_t lengthOrParam, uint16_t address);

    void SetHeader(uint8_t lengthOrParam, uint16_t address);
    // Copies at most 56 bytes to the data area; the rest of the frame is left as it is.
    void SetData(std::span<const uint8_t> data);
    // Sum of bytes 3..63, stored little-endian in bytes 1..2. Call last, over the frame as sent.
    void Seal();

    uint16_t Checksum() const {
        return static_cast<uint16_t>(bytes[kChecksumLow] | (bytes[kChecksumHigh] << 8));
    }
    uint8_t Status() const { return bytes[kStatus]; }
    std::span<const uint8_t, kReportDataSize> Data() const {
        return std::span<const uint8_t, kReportDataSize>(bytes.data() + kData, kReportDataSize);
    }
};

uint16_t ComputeChecksum(std::span<const uint8_t, kReportSize> frame);

}  // namespace vq
