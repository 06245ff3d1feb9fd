#pragma once
// One device's command transport: identity, flags, block length, the I/O lock and the twelve
// configuration commands over 64-byte CommandReports.
//
// Locking: the I/O lock is held around one whole request/answer pair (one attempt), and queued
// input left over from an earlier timed-out attempt is discarded before each request is written.
// So a report sent by another thread (a light frame, a presence probe) can never fall between a
// request and its answer and be taken for it. Multi-report commands are not locked as a whole:
// another thread's request may run between two chunks, never inside a pair.
//
// Answers: the mouse repeats a request's command code and address in its answer. A report whose
// command (and, for the commands that carry one, address) differs from the request's is not its
// answer, however it came (a late answer to an earlier attempt, a report nobody asked for): it is
// dropped and the wait goes on within the same time limit. Whether the device repeats them is
// learnt from its answer to Begin on each connection; a device that does not is answered by its
// status byte alone, as before. The device answers in turn, so once a request is answered, no
// answer to an earlier one can follow; until then, answers that timed-out attempts may still
// get are counted, and a request identical to one of them first waits those out.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "core/device/command_report.h"
#include "core/device/device_kind.h"
#include "core/device/hid_device.h"

namespace vq {

inline constexpr uint16_t kVendorId = 0x0C45;
inline constexpr uint16_t kMouseProductId = 0x7643;
inline constexpr uint16_t kKeyboardProductId = 0x6556;
inline constexpr uint16_t kMousepadProductId = 0x5004;
inline constexpr uint16_t kConfigUsagePage = 0xFF1C;
inline constexpr uint16_t kConfigUsage = 0x0092;
inline constexpr uint16_t kEventUsagePage = 0x000C;
inline constexpr uint16_t kEventUsage = 0x0001;
inline constexpr size_t kInfoSize = 33;
inline constexpr uint16_t kMaxBlockLength = 512;
inline constexpr int kMaxBlockIndex = 4;
inline constexpr uint16_t kIndexedBlockStride = 126;

uint16_t ProductIdOf(DeviceKind kind);

// Time limits of the transport. The defaults are the device's; tests shorten them.
struct TransportTiming {
    uint32_t writeTimeoutMs = 1000;
    uint32_t readTimeoutMs = 300;
    int attempts = 4;
    uint32_t endPauseMs = 10;
};

class DeviceSession {
  public:
    explicit DeviceSession(HidBackend* backend, TransportTiming timing = {});
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // ---- session management
    void SetIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage, uint16_t usagePage);
    // The standard identity of a device kind's configuration collection.
    void SetIdentity(DeviceKind kind);
    bool SetBlockLength(uint16_t n);
    uint16_t BlockLength() const { return blockLength_.load(); }
    bool IsConnected() const { return connected_.load(); }
    // A new connection learns again how the device answers.
    void SetConnected(bool connected);
    bool LightSync() const { return lightSync_.load(); }
    void SetLightSync(bool on) { lightSync_.store(on); }
    uint16_t VendorId() const { return vendorId_.load(); }
    uint16_t ProductId() const { return productId_.load(); }
    uint16_t Usage() const { return usage_.load(); }
    uint16_t UsagePage() const { return usagePage_.load(); }
    void SetTiming(const TransportTiming& timing);
    TransportTiming Timing() const;

    // Refuses every request made on `thread` (result 0, logged and counted): a window's thread
    // must never wait on the device. By default no thread is refused.
    void RefuseRequestsFrom(std::thread::id thread) { refusedThread_.store(thread); }
    int RefusedRequests() const { return refusedRequests_.load(); }
    // How answers are told from other reports on this connection.
    enum class AnswerMatching {
        Unknown,     // not yet learnt: answers must repeat the request
        Echo,        // the device repeats command and address: answers must match them
        StatusOnly,  // the device does not repeat them: any report is the answer
    };
    AnswerMatching Matching() const { return matching_.load(); }

    HidDevice& Device() { return device_; }
    // Serialises report I/O and presence passes on this device. Recursive, so that a presence
    // pass that holds it may issue commands.
    std::recursive_mutex& IoLock() { return ioLock_; }

    // ---- commands (results: CommandResult). `chunkSent`, where given, runs after each 56-byte
    // chunk the device took (for progress).
    int Begin();
    int End();
    int ReadInfo(std::span<uint8_t, kInfoSize> destination);
    // n ≤ 56 bytes from `address` into destination[0..n).
    int ReadParams(std::span<uint8_t> destination, uint8_t n, uint16_t address);
    // source.size() ≤ 56 bytes at `address`.
    int WriteParams(std::span<const uint8_t> source, uint16_t address);
    // BlockLength() bytes into destination.
    int ReadBlock(std::span<uint8_t> destination);
    int ReadIndexedBlock(std::span<uint8_t> destination, int index);
    int WriteIndexedBlock(std::span<const uint8_t> source, int index,
                          const std::function<void()>& chunkSent = {});
    int FactoryReset();
    int WriteLightFrame(std::span<const uint8_t> source);
    int WriteMacroData(std::span<const uint8_t> source,
                       const std::function<void()>& chunkSent = {});
    int WriteScriptData(std::span<const uint8_t> source,
                        const std::function<void()>& chunkSent = {});

    // ---- transport (public for tests and tools; commands use them)
    int Transact(std::span<const uint8_t> request, std::span<uint8_t> answer, size_t* outCount);
    int TransactStream(std::span<const uint8_t> request, std::span<uint8_t> answer,
                       size_t* outCount);
    int TransactOnce(std::span<uint8_t, kReportSize> request);

  private:
    enum class Transport { Normal, Stream };
    // Answers that attempts which timed out may still get, per request (command and address).
    struct Outstanding {
        uint8_t command = 0;
        uint8_t addressLow = 0, addressHigh = 0;
        int count = 0;
    };
    // What one attempt's wait for its answer saw.
    struct Wait {
        bool answered = false;
        int strangers = 0;         // reports dropped as not this request's answer
        size_t lastCount = 0;      // byte count of the last of them (left in the answer buffer)
        uint8_t firstCommand = 0;  // the first of them, for the log
        uint16_t firstAddress = 0;
    };
    int TransactImpl(Transport transport, std::span<const uint8_t> request,
                     std::span<uint8_t> answer, size_t* outCount);
    void DiscardStaleInput();
    // false (and logged) for a request on the refused thread.
    bool RequestAllowed(const uint8_t* request);
    // The following run with the I/O lock held.
    Wait AwaitAnswer(const uint8_t* request, std::span<uint8_t> answer, size_t* outCount,
                     uint32_t timeoutMs, bool anyReport);
    void NoteStranger(std::span<const uint8_t> report, size_t count);
    void WaitOutEarlierAnswers(const uint8_t* request, uint32_t readTimeoutMs);
    void NoteAnswered(const uint8_t* request, int attempt);
    void NoteUnanswered(const uint8_t* request, int attempts);
    // Sends one sealed request and checks the answer's status; copies the answer out.
    int Exchange(Transport transport, CommandReport& request, CommandReport& answer);
    int ReadChunked(Command command, std::span<uint8_t> destination, uint16_t total, uint16_t base);
    int WriteChunked(Command command, Transport transport, std::span<const uint8_t> source,
                     size_t total, uint16_t base, const std::function<void()>& chunkSent = {});

    std::atomic<uint16_t> blockLength_{kMaxBlockLength};
    std::atomic<uint16_t> vendorId_{0}, productId_{0}, usage_{0}, usagePage_{0};
    std::atomic<bool> connected_{false};
    std::atomic<bool> lightSync_{false};
    std::atomic<std::thread::id> refusedThread_{};
    std::atomic<int> refusedRequests_{0};
    mutable std::mutex timingMutex_;
    TransportTiming timing_;
    std::recursive_mutex ioLock_;
    std::atomic<AnswerMatching> matching_{AnswerMatching::Unknown};
    std::vector<Outstanding> outstanding_;  // guarded by the I/O lock
    bool statusOnlyLogged_ = false;         // guarded by the I/O lock
    HidDevice device_;
};

}  // namespace vq
