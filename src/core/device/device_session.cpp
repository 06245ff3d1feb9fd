#include "core/device/device_session.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/util/log.h"

namespace vq {

const char* DeviceKindPrefix(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return "kb";
        case DeviceKind::Mouse:
            return "ms";
        case DeviceKind::Mousepad:
            return "mp";
    }
    return "";
}

uint16_t ProductIdOf(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return kKeyboardProductId;
        case DeviceKind::Mouse:
            return kMouseProductId;
        case DeviceKind::Mousepad:
            return kMousepadProductId;
    }
    return 0;
}

DeviceSession::DeviceSession(HidBackend* backend, TransportTiming timing)
    : timing_(timing), device_(backend) {}

DeviceSession::~DeviceSession() {
    SetIdentity(0, 0, 0, 0);
    device_.Close();
}

void DeviceSession::SetIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage,
                                uint16_t usagePage) {
    vendorId_ = vendorId;
    productId_ = productId;
    usage_ = usage;
    usagePage_ = usagePage;
    connected_ = false;
}

void DeviceSession::SetIdentity(DeviceKind kind) {
    SetIdentity(kVendorId, ProductIdOf(kind), kConfigUsage, kConfigUsagePage);
}

bool DeviceSession::SetBlockLength(uint16_t n) {
    if (n > kMaxBlockLength) return false;
    blockLength_ = n;
    return true;
}

void DeviceSession::SetTiming(const TransportTiming& timing) {
    std::lock_guard lock(timingMutex_);
    timing_ = timing;
}

TransportTiming DeviceSession::Timing() const {
    std::lock_guard lock(timingMutex_);
    return timing_;
}

// ---- transport ----------------------------------------------------------------------------

void DeviceSession::DiscardStaleInput() {
    // An answer that came after its attempt gave up would otherwise be read as the answer to
    // the next request. Bounded, in case a device floods the collection.
    uint8_t scratch[kReportSize];
    for (int i = 0; i < 16; ++i) {
        size_t got = 0;
        if (device_.ReadReport(sizeof scratch, &got, scratch, 0) == 0) return;
        Logf(LogLevel::Debug, "discarded a late answer (command %02x, status %02x)", scratch[3],
             scratch[7]);
    }
}

int DeviceSession::TransactImpl(Transport transport, std::span<const uint8_t> request,
                                std::span<uint8_t> answer, size_t* outCount) {
    if (outCount) *outCount = 0;
    if (!RequestAllowed(request.data())) return kResultNoAnswer;
    if (!IsConnected()) return kResultNoAnswer;
    const TransportTiming timing = Timing();
    uint8_t send[kReportSize] = {};
    std::copy_n(request.begin(), std::min(request.size(), kReportSize), send);
    const int attempts = std::max(1, timing.attempts);
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        std::lock_guard lock(ioLock_);
        DiscardStaleInput();
        const int written = device_.WriteReport(kReportSize, nullptr, send, timing.writeTimeoutMs);
        if (written <= 0) {
            Logf(LogLevel::Warning, "request %02x at %02x%02x not written: link lost", send[3],
                 send[6], send[5]);
            if (transport == Transport::Normal) connected_ = false;
            return kResultLinkLost;
        }
        const int read =
            device_.ReadReport(answer.size(), outCount, answer.data(), timing.readTimeoutMs);
        if (read != 0) return kResultSuccess;
        Logf(LogLevel::Debug, "request %02x at %02x%02x: no answer (attempt %d of %d)", send[3],
             send[6], send[5], attempt, attempts);
    }
    Logf(LogLevel::Warning, "request %02x at %02x%02x: no answer after %d attempts", send[3],
         send[6], send[5], attempts);
    return kResultNoAnswer;
}

int DeviceSession::Transact(std::span<const uint8_t> request, std::span<uint8_t> answer,
                            size_t* outCount) {
    return TransactImpl(Transport::Normal, request, answer, outCount);
}

int DeviceSession::TransactStream(std::span<const uint8_t> request, std::span<uint8_t> answer,
                                  size_t* outCount) {
    return TransactImpl(Transport::Stream, request, answer, outCount);
}

bool DeviceSession::RequestAllowed(const uint8_t* request) {
    if (refusedThread_.load() != std::this_thread::get_id()) return true;
    refusedRequests_.fetch_add(1);
    Logf(LogLevel::Error,
         "request (command 0x%02x) refused: made on a thread that must not wait on "
         "the device",
         request ? request[CommandReport::kCommand] : 0);
    return false;
}

int DeviceSession::TransactOnce(std::span<uint8_t, kReportSize> request) {
    if (!RequestAllowed(request.data())) return kResultNoAnswer;
    if (!IsConnected()) return kResultNoAnswer;
    const TransportTiming timing = Timing();
    std::lock_guard lock(ioLock_);
    DiscardStaleInput();
    // The write's result is not looked at: a device that resets may drop the link mid-request.
    device_.WriteReport(kReportSize, nullptr, request.data(), timing.writeTimeoutMs);
    return device_.ReadReport(kReportSize, nullptr, request.data(), timing.readTimeoutMs);
}

int DeviceSession::Exchange(Transport transport, CommandReport& request, CommandReport& answer) {
    request.Seal();
    answer.bytes.fill(0);
    const int result = TransactImpl(transport, request.bytes, answer.bytes, nullptr);
    if (result != kResultSuccess) return result;
    if (answer.Status() == kStatusRefusedFF) return kResultRefusedFF;
    if (answer.Status() == kStatusRefusedFE) return kResultRefusedFE;
    return kResultSuccess;
}

// ---- commands -----------------------------------------------------------------------------

int DeviceSession::Begin() {
    CommandReport request = CommandReport::Make(Command::Begin, 0, 0), answer;
    return Exchange(Transport::Normal, request, answer);
}

int DeviceSession::End() {
    const uint32_t pause = Timing().endPauseMs;
    if (pause > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    CommandReport request = CommandReport::Make(Command::End, 0, 0), answer;
    return Exchange(Transport::Normal, request, answer);
}

int DeviceSession::ReadInfo(std::span<uint8_t, kInfoSize> destination) {
    CommandReport request =
        CommandReport::Make(Command::ReadInfo, static_cast<uint8_t>(kInfoSize), 0);
    CommandReport answer;
    const int result = Exchange(Transport::Normal, request, answer);
    if (result == kResultSuccess)
        std::copy_n(answer.bytes.begin() + CommandReport::kData, kInfoSize, destination.begin());
    return result;
}

int DeviceSession::ReadParams(std::span<uint8_t> destination, uint8_t n, uint16_t address) {
    if (n > kReportDataSize || n > destination.size()) {
        Logf(LogLevel::Error, "ReadParams of %u bytes refused (room for %zu, at most 56)", n,
             destination.size());
        return kResultNoAnswer;
    }
    CommandReport request = CommandReport::Make(Command::ReadParams, n, address), answer;
    const int result = Exchange(Transport::Normal, request, answer);
    if (result == kResultSuccess)
        std::copy_n(answer.bytes.begin() + CommandReport::kData, n, destination.begin());
    return result;
}

int DeviceSession::WriteParams(std::span<const uint8_t> source, uint16_t address) {
    if (source.size() > kReportDataSize) {
        Logf(LogLevel::Error, "WriteParams of %zu bytes refused (at most 56)", source.size());
        return kResultNoAnswer;
    }
    CommandReport request =
        CommandReport::Make(Command::WriteParams, static_cast<uint8_t>(source.size()), address);
    request.SetData(source);
    CommandReport answer;
    return Exchange(Transport::Normal, request, answer);
}

int DeviceSession::ReadChunked(Command command, std::span<uint8_t> destination, uint16_t total,
                               uint16_t base) {
    if (destination.size() < total) {
        Logf(LogLevel::Error, "block read of %u bytes into %zu refused", total, destination.size());
        return kResultNoAnswer;
    }
    CommandReport request = CommandReport::Make(command, 0, 0), answer;
    for (uint16_t position = 0; position < total; position += kReportDataSize) {
        const auto chunk =
            static_cast<uint8_t>(std::min<size_t>(kReportDataSize, total - position));
        request.SetHeader(chunk, static_cast<uint16_t>(base + position));
        const int result = Exchange(Transport::Normal, request, answer);
        if (result != kResultSuccess) return result;
        std::copy_n(answer.bytes.begin() + CommandReport::kData, chunk,
                    destination.begin() + position);
    }
    return kResultSuccess;
}

int DeviceSession::WriteChunked(Command command, Transport transport,
                                std::span<const uint8_t> source, size_t total, uint16_t base) {
    if (source.size() < total) {
        Logf(LogLevel::Error, "block write of %zu bytes from %zu refused", total, source.size());
        return kResultNoAnswer;
    }
    // Addresses are 16 bits; a longer image would wrap over data already sent.
    if (total > 0 && base + total - 1 > 0xFFFF) {
        Logf(LogLevel::Error, "write of %zu bytes at %u exceeds the device's address range", total,
             base);
        return kResultNoAnswer;
    }
    if (total == 0) return kResultSuccess;
    // The frame is zeroed once per command: a short last chunk is followed by what the chunk
    // before it left, and the checksum covers those bytes. The device expects exactly this.
    CommandReport request = CommandReport::Make(command, 0, 0), answer;
    for (size_t position = 0; position < total; position += kReportDataSize) {
        const auto chunk = static_cast<uint8_t>(std::min(kReportDataSize, total - position));
        request.SetHeader(chunk, static_cast<uint16_t>(base + position));
        request.SetData(source.subspan(position, chunk));
        const int result = Exchange(transport, request, answer);
        if (result != kResultSuccess) return result;
    }
    return kResultSuccess;
}

int DeviceSession::ReadBlock(std::span<uint8_t> destination) {
    return ReadChunked(Command::ReadBlock, destination, BlockLength(), 0);
}

int DeviceSession::ReadIndexedBlock(std::span<uint8_t> destination, int index) {
    if (index < 0 || index > kMaxBlockIndex) return kResultBadIndex;
    return ReadChunked(Command::ReadIndexedBlock, destination, BlockLength(),
                       static_cast<uint16_t>(index * kIndexedBlockStride));
}

int DeviceSession::WriteIndexedBlock(std::span<const uint8_t> source, int index) {
    if (index < 0 || index > kMaxBlockIndex) return kResultBadIndex;
    return WriteChunked(Command::WriteIndexedBlock, Transport::Normal, source, BlockLength(),
                        static_cast<uint16_t>(index * kIndexedBlockStride));
}

int DeviceSession::FactoryReset() {
    CommandReport request = CommandReport::Make(Command::FactoryReset, 0, 0);
    request.Seal();
    const int result = TransactOnce(request.bytes);
    return result != 0 ? kResultSuccess : kResultNoAnswer;
}

int DeviceSession::WriteLightFrame(std::span<const uint8_t> source) {
    return WriteChunked(Command::WriteLightFrame, Transport::Stream, source, source.size(), 0);
}

int DeviceSession::WriteMacroData(std::span<const uint8_t> source) {
    return WriteChunked(Command::WriteMacroData, Transport::Normal, source, source.size(), 0);
}

int DeviceSession::WriteScriptData(std::span<const uint8_t> source) {
    return WriteChunked(Command::WriteScriptData, Transport::Normal, source, source.size(), 0);
}

}  // namespace vq
