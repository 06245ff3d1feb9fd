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

namespace {

using R = CommandReport;

// Begin, End, ReadInfo and FactoryReset carry no address; every other command does (a code
// this program does not know is taken to carry one).
bool CarriesAddress(uint8_t command) {
    switch (static_cast<Command>(command)) {
        case Command::Begin:
        case Command::End:
        case Command::ReadInfo:
        case Command::FactoryReset:
            return false;
        default:
            return true;
    }
}

bool SameRequest(uint8_t command, uint8_t addressLow, uint8_t addressHigh, const uint8_t* other) {
    if (other[R::kCommand] != command) return false;
    return !CarriesAddress(command) ||
           (other[R::kAddressLow] == addressLow && other[R::kAddressHigh] == addressHigh);
}

// Whether `report` (`count` bytes) repeats the request's command and address.
bool RepeatsRequest(const uint8_t* request, std::span<const uint8_t> report, size_t count) {
    if (count <= R::kAddressHigh || report.size() <= R::kAddressHigh) return false;
    return SameRequest(request[R::kCommand], request[R::kAddressLow], request[R::kAddressHigh],
                       report.data());
}

uint16_t AddressOf(const uint8_t* frame) {
    return static_cast<uint16_t>(frame[R::kAddressLow] | (frame[R::kAddressHigh] << 8));
}

// The whole milliseconds left until `deadline`, rounded up; 0 when it has passed.
uint32_t MillisecondsLeft(std::chrono::steady_clock::time_point now,
                          std::chrono::steady_clock::time_point deadline) {
    if (now >= deadline) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<uint32_t>(std::min<int64_t>(left, 0xFFFFFFFE));
}

}  // namespace

void DeviceSession::SetConnected(bool connected) {
    if (!connected) {
        connected_ = false;
        return;
    }
    std::lock_guard lock(ioLock_);
    if (!connected_.exchange(true)) {
        // Another device, or the same one after a reset: nothing is known of its answers, and
        // nothing it was asked before can still be answered on the new handle.
        matching_ = AnswerMatching::Unknown;
        outstanding_.clear();
    }
}

void DeviceSession::NoteStranger(std::span<const uint8_t> report, size_t count) {
    if (count <= R::kAddressHigh || report.size() <= R::kAddressHigh) return;
    for (Outstanding& o : outstanding_)
        if (o.count > 0 && SameRequest(o.command, o.addressLow, o.addressHigh, report.data())) {
            --o.count;
            return;
        }
}

void DeviceSession::DiscardStaleInput() {
    // An answer that came after its attempt gave up would otherwise be read as the answer to
    // the next request. Bounded, in case a device floods the collection.
    uint8_t scratch[kReportSize];
    for (int i = 0; i < 16; ++i) {
        size_t got = 0;
        if (device_.ReadReport(sizeof scratch, &got, scratch, 0) == 0) return;
        NoteStranger(scratch, got);
        Logf(LogLevel::Debug, "discarded a late answer (command %02x, status %02x)", scratch[3],
             scratch[7]);
    }
}

void DeviceSession::WaitOutEarlierAnswers(const uint8_t* request, uint32_t readTimeoutMs) {
    auto mine = std::find_if(outstanding_.begin(), outstanding_.end(), [&](const Outstanding& o) {
        return o.count > 0 && SameRequest(o.command, o.addressLow, o.addressHigh, request);
    });
    if (mine == outstanding_.end()) return;
    // An answer to an earlier, identical request would pass for this one's: let those that may
    // still come arrive first. Timed-out attempts were sent a read limit apart at most, so their
    // answers come about that far apart too: two read limits without one and the rest are lost.
    const int expected = std::min(mine->count, 8);
    const auto deadline = device_.Now() + std::chrono::milliseconds(readTimeoutMs) * 2 * expected;
    uint8_t scratch[kReportSize];
    int seen = 0;
    while (mine->count > 0) {
        const uint32_t left =
            std::min(MillisecondsLeft(device_.Now(), deadline), 2 * readTimeoutMs);
        size_t got = 0;
        if (left == 0 || device_.ReadReport(sizeof scratch, &got, scratch, left) == 0) break;
        NoteStranger(scratch, got);
        ++seen;
    }
    Logf(LogLevel::Debug, "request %02x at %04x: waited out %d earlier report(s), %d never came",
         request[R::kCommand], AddressOf(request), seen, mine->count);
    mine->count = 0;  // the rest are taken as lost
}

void DeviceSession::NoteAnswered(const uint8_t* request, int attempt) {
    // The device answers in turn: whatever was sent before the answered attempt has been
    // answered or never will be. Only this request's later attempts may still get an answer.
    outstanding_.clear();
    if (attempt > 1)
        outstanding_.push_back(
            {request[R::kCommand], request[R::kAddressLow], request[R::kAddressHigh], attempt - 1});
}

void DeviceSession::NoteUnanswered(const uint8_t* request, int attempts) {
    for (Outstanding& o : outstanding_)
        if (SameRequest(o.command, o.addressLow, o.addressHigh, request)) {
            o.count += attempts;
            return;
        }
    if (outstanding_.size() >= 16) outstanding_.erase(outstanding_.begin());
    outstanding_.push_back(
        {request[R::kCommand], request[R::kAddressLow], request[R::kAddressHigh], attempts});
}

DeviceSession::Wait DeviceSession::AwaitAnswer(const uint8_t* request, std::span<uint8_t> answer,
                                               size_t* outCount, uint32_t timeoutMs,
                                               bool anyReport) {
    Wait wait;
    const auto deadline = device_.Now() + std::chrono::milliseconds(timeoutMs);
    uint32_t left = timeoutMs;
    for (;;) {
        size_t got = 0;
        if (device_.ReadReport(answer.size(), &got, answer.data(), left) == 0) break;
        if (outCount) *outCount = got;
        if (anyReport || RepeatsRequest(request, answer, got)) {
            wait.answered = true;
            return wait;
        }
        NoteStranger(answer, got);
        if (wait.strangers++ == 0) {
            wait.firstCommand = got > R::kCommand ? answer[R::kCommand] : 0;
            wait.firstAddress = got > R::kAddressHigh ? AddressOf(answer.data()) : 0;
        }
        wait.lastCount = got;
        left = MillisecondsLeft(device_.Now(), deadline);
        if (left == 0) break;
    }
    if (outCount) *outCount = 0;
    return wait;
}

int DeviceSession::TransactImpl(Transport transport, std::span<const uint8_t> request,
                                std::span<uint8_t> answer, size_t* outCount) {
    if (outCount) *outCount = 0;
    if (!RequestAllowed(request.data())) return kResultNoAnswer;
    if (!IsConnected()) return kResultNoAnswer;
    const TransportTiming timing = Timing();
    uint8_t send[kReportSize] = {};
    std::copy_n(request.begin(), std::min(request.size(), kReportSize), send);
    const uint8_t command = send[R::kCommand];
    const uint16_t address = AddressOf(send);
    const int attempts = std::max(1, timing.attempts);
    int attemptsWithStrangers = 0;
    int strangers = 0;
    uint8_t firstCommand = 0;
    uint16_t firstAddress = 0;
    const auto logStrangers = [&] {
        if (strangers > 0)
            Logf(LogLevel::Info,
                 "request %02x at %04x: dropped %d report(s) that were not its answer (the first "
                 "for %02x at %04x)",
                 command, address, strangers, firstCommand, firstAddress);
    };
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        std::lock_guard lock(ioLock_);
        const AnswerMatching matching = matching_.load();
        const bool statusOnly = matching == AnswerMatching::StatusOnly;
        if (attempt == 1 && !statusOnly) WaitOutEarlierAnswers(send, timing.readTimeoutMs);
        // Between attempts, a report that came after the last wait ended may be this request's
        // own answer: only a device whose answers cannot be told apart loses it.
        if (attempt == 1 || statusOnly) DiscardStaleInput();
        const int written = device_.WriteReport(kReportSize, nullptr, send, timing.writeTimeoutMs);
        if (written <= 0) {
            Logf(LogLevel::Warning, "request %02x at %04x not written: link lost", command,
                 address);
            logStrangers();
            if (transport == Transport::Normal) connected_ = false;
            return kResultLinkLost;
        }
        const Wait wait = AwaitAnswer(send, answer, outCount, timing.readTimeoutMs, statusOnly);
        if (wait.strangers > 0) {
            if (strangers == 0) {
                firstCommand = wait.firstCommand;
                firstAddress = wait.firstAddress;
            }
            strangers += wait.strangers;
            ++attemptsWithStrangers;
        }
        if (wait.answered) {
            if (!statusOnly) NoteAnswered(send, attempt);
            if (matching == AnswerMatching::Unknown &&
                command == static_cast<uint8_t>(Command::Begin))
                matching_ = AnswerMatching::Echo;
            logStrangers();
            return kResultSuccess;
        }
        Logf(LogLevel::Debug, "request %02x at %04x: no answer (attempt %d of %d)", command,
             address, attempt, attempts);
        // A device that answered every attempt of Begin, never repeating it, does not repeat
        // requests: from now on its answers are told by their status alone. The last report
        // it sent is Begin's answer.
        if (attempt == attempts && command == static_cast<uint8_t>(Command::Begin) &&
            matching == AnswerMatching::Unknown && attemptsWithStrangers == attempts &&
            wait.strangers > 0) {
            matching_ = AnswerMatching::StatusOnly;
            if (!statusOnlyLogged_) {
                statusOnlyLogged_ = true;
                Logf(LogLevel::Warning,
                     "the device does not repeat the request in its answers (Begin answered "
                     "%d times without it): its answers are told by their status byte alone "
                     "on this connection",
                     attempts);
            }
            outstanding_.clear();
            if (outCount) *outCount = wait.lastCount;
            return kResultSuccess;
        }
    }
    {
        std::lock_guard lock(ioLock_);
        if (matching_.load() != AnswerMatching::StatusOnly) NoteUnanswered(send, attempts);
    }
    logStrangers();
    // Nothing of a dropped report is handed out.
    if (strangers > 0) std::fill(answer.begin(), answer.end(), uint8_t{0});
    Logf(LogLevel::Warning, "request %02x at %04x: no answer after %d attempts", command, address,
         attempts);
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
                                std::span<const uint8_t> source, size_t total, uint16_t base,
                                const std::function<void()>& chunkSent) {
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
        if (chunkSent) chunkSent();
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

int DeviceSession::WriteIndexedBlock(std::span<const uint8_t> source, int index,
                                     const std::function<void()>& chunkSent) {
    if (index < 0 || index > kMaxBlockIndex) return kResultBadIndex;
    return WriteChunked(Command::WriteIndexedBlock, Transport::Normal, source, BlockLength(),
                        static_cast<uint16_t>(index * kIndexedBlockStride), chunkSent);
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

int DeviceSession::WriteMacroData(std::span<const uint8_t> source,
                                  const std::function<void()>& chunkSent) {
    return WriteChunked(Command::WriteMacroData, Transport::Normal, source, source.size(), 0,
                        chunkSent);
}

int DeviceSession::WriteScriptData(std::span<const uint8_t> source,
                                   const std::function<void()>& chunkSent) {
    return WriteChunked(Command::WriteScriptData, Transport::Normal, source, source.size(), 0,
                        chunkSent);
}

}  // namespace vq
