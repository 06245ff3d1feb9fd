#include "sim/virtual_hid.h"

#include <algorithm>
#include <array>
#include <deque>

namespace vq::sim {

using Clock = std::chrono::steady_clock;

struct VirtualHidBus::Port {
    std::mutex mutex;
    std::condition_variable cv;
    // A queued report. Reports of the usual size are kept inline, so that a device answering
    // hundreds of requests a second (light frames) costs no allocation per report.
    struct Pending {
        static constexpr size_t kInline = 72;
        std::array<uint8_t, kInline> inlineBytes;
        std::vector<uint8_t> largeBytes;
        size_t size = 0;
        Clock::time_point readyAt;

        Pending(std::span<const uint8_t> report, Clock::time_point at)
            : size(report.size()), readyAt(at) {
            if (size <= kInline)
                std::copy(report.begin(), report.end(), inlineBytes.begin());
            else
                largeBytes.assign(report.begin(), report.end());
        }
        std::span<const uint8_t> Bytes() const {
            return size <= kInline ? std::span<const uint8_t>(inlineBytes.data(), size)
                                   : std::span<const uint8_t>(largeBytes);
        }
    };
    std::deque<Pending> queue;
    bool cancelled = false;  // Cancel was called on the handle
    bool gone = false;       // the interface was detached
    std::string path;
    VirtualInterfaceInfo info;
    VirtualEndpoint* endpoint = nullptr;

    bool Dead() const { return cancelled || gone; }
};

class VirtualHandle : public HidHandle {
  public:
    VirtualHandle(VirtualHidBus* bus, std::shared_ptr<VirtualHidBus::Port> port)
        : bus_(bus), port_(std::move(port)) {}

    HidAttributes Attributes() const override { return port_->info.attributes; }
    HidCaps Caps() const override { return port_->info.caps; }

    bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        transferred = 0;
        auto& p = *port_;
        std::unique_lock lock(p.mutex);
        const bool forever = timeoutMs == kInfinite;
        if (bus_->ManualClock()) return ReadOnManualClock(buffer, transferred, timeoutMs, lock);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (p.Dead()) return false;
            const Clock::time_point now = Clock::now();
            if (!p.queue.empty() && p.queue.front().readyAt <= now) {
                const std::span<const uint8_t> front = p.queue.front().Bytes();
                const size_t n = std::min(buffer.size(), front.size());
                std::copy_n(front.begin(), n, buffer.begin());
                transferred = n;
                p.queue.pop_front();
                return true;
            }
            if (!forever && now >= deadline) return false;
            Clock::time_point wakeAt = forever ? Clock::time_point::max() : deadline;
            if (!p.queue.empty()) wakeAt = std::min(wakeAt, p.queue.front().readyAt);
            if (wakeAt == Clock::time_point::max())
                p.cv.wait(lock);
            else
                p.cv.wait_until(lock, wakeAt);
        }
    }

    // The report at the head of the queue if it arrives within the limit (the clock jumps to
    // its arrival), else nothing (the clock jumps to the limit). Reports keep their order: one
    // that is due waits behind a later one ahead of it, as in a device that answers in turn.
    bool ReadOnManualClock(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs,
                           std::unique_lock<std::mutex>&) {
        auto& p = *port_;
        if (p.Dead()) return false;
        const Clock::time_point now = bus_->Now();
        const Clock::time_point deadline = timeoutMs == kInfinite
                                               ? Clock::time_point::max()
                                               : now + std::chrono::milliseconds(timeoutMs);
        if (!p.queue.empty() && p.queue.front().readyAt <= deadline) {
            bus_->AdvanceClockTo(p.queue.front().readyAt);
            const std::span<const uint8_t> front = p.queue.front().Bytes();
            const size_t n = std::min(buffer.size(), front.size());
            std::copy_n(front.begin(), n, buffer.begin());
            transferred = n;
            p.queue.pop_front();
            return true;
        }
        if (deadline != Clock::time_point::max()) bus_->AdvanceClockTo(deadline);
        return false;
    }

    bool Write(std::span<const uint8_t> report, size_t& transferred, uint32_t timeoutMs) override {
        transferred = 0;
        if (!bus_->DeliverOutput(port_, report, timeoutMs)) return false;
        transferred = report.size();
        return true;
    }

    void Cancel() override {
        {
            std::lock_guard lock(port_->mutex);
            port_->cancelled = true;
        }
        port_->cv.notify_all();
    }

    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) override {
        VirtualEndpoint* endpoint = nullptr;
        {
            std::lock_guard lock(port_->mutex);
            endpoint = port_->endpoint;
        }
        if (endpoint == nullptr) return std::nullopt;
        return endpoint->FirstInputUsage(report);
    }

    ~VirtualHandle() override { Cancel(); }

  private:
    VirtualHidBus* bus_;
    std::shared_ptr<VirtualHidBus::Port> port_;
};

VirtualHidBus::VirtualHidBus() = default;

VirtualHidBus::~VirtualHidBus() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(mutex_);
        paths = order_;
    }
    for (const auto& path : paths)
        Detach(path);
}

void VirtualHidBus::Attach(const VirtualInterfaceInfo& info, VirtualEndpoint* endpoint) {
    std::lock_guard lock(mutex_);
    auto [it, inserted] = interfaces_.try_emplace(info.path);
    if (inserted || std::find(order_.begin(), order_.end(), info.path) == order_.end())
        order_.push_back(info.path);
    it->second.info = info;
    it->second.endpoint = endpoint;
    it->second.attached = true;
}

void VirtualHidBus::Detach(const std::string& path) {
    std::vector<std::shared_ptr<Port>> ports;
    {
        std::lock_guard lock(mutex_);
        auto it = interfaces_.find(path);
        if (it == interfaces_.end()) return;
        it->second.attached = false;
        for (auto& weak : it->second.ports)
            if (auto port = weak.lock()) ports.push_back(std::move(port));
        it->second.ports.clear();
        order_.erase(std::remove(order_.begin(), order_.end(), path), order_.end());
    }
    for (auto& port : ports) {
        {
            std::lock_guard lock(port->mutex);
            port->gone = true;
            port->endpoint = nullptr;
        }
        port->cv.notify_all();
    }
}

bool VirtualHidBus::IsAttached(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = interfaces_.find(path);
    return it != interfaces_.end() && it->second.attached;
}

void VirtualHidBus::SendInput(const std::string& path, std::span<const uint8_t> report,
                              std::chrono::microseconds extraDelay) {
    // The ports are filled under the bus's lock (the bus's lock before a port's, as everywhere),
    // so that no list of them is copied for each report. The report enters the transcript before
    // anyone can read it, so that it never appears below a request sent after it was read.
    std::lock_guard lock(mutex_);
    auto it = interfaces_.find(path);
    if (it == interfaces_.end() || !it->second.attached) return;
    Record(TraceDirection::FromDevice, it->second.info.caps.usagePage, report);
    const Clock::time_point readyAt = Now() + timing_.perReportIn + extraDelay;
    auto& weaks = it->second.ports;
    weaks.erase(std::remove_if(weaks.begin(), weaks.end(),
                               [](const std::weak_ptr<Port>& w) { return w.expired(); }),
                weaks.end());
    for (auto& weak : weaks) {
        const std::shared_ptr<Port> port = weak.lock();
        if (!port) continue;
        {
            std::lock_guard portLock(port->mutex);
            if (port->Dead()) continue;
            port->queue.emplace_back(report, readyAt);
        }
        port->cv.notify_all();
    }
}

bool VirtualHidBus::DeliverOutput(const std::shared_ptr<Port>& port,
                                  std::span<const uint8_t> report, uint32_t timeoutMs) {
    WireTiming timing;
    bool stall = false;
    VirtualEndpoint* endpoint = nullptr;
    std::shared_ptr<WriteStalls> stalls;
    {
        std::lock_guard lock(mutex_);
        timing = timing_;
        stall = writesStall_;
        stalls = writeStalls_;
    }
    if (!stall && stalls && *stalls) stall = (*stalls)(report);
    if (ManualClock()) {
        {
            std::lock_guard lock(port->mutex);
            if (port->Dead()) return false;
            endpoint = port->endpoint;
        }
        if (stall) {
            if (timeoutMs != kInfinite) AdvanceClock(std::chrono::milliseconds(timeoutMs));
            return false;
        }
        AdvanceClock(timing.perReportOut);
        Record(TraceDirection::ToDevice, port->info.caps.usagePage, report);
        if (endpoint) endpoint->OnOutputReport(report);
        return true;
    }
    {
        // The report's time on the wire; a stalled write waits out its limit. Either wait ends
        // early when the handle is cancelled or the interface detached.
        std::unique_lock lock(port->mutex);
        if (port->Dead()) return false;
        const Clock::time_point start = Clock::now();
        const bool forever = timeoutMs == kInfinite;
        const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
        const Clock::time_point doneAt =
            stall ? Clock::time_point::max() : start + timing.perReportOut;
        if (!forever && doneAt > deadline) {
            port->cv.wait_until(lock, deadline, [&] { return port->Dead(); });
            return false;
        }
        if (doneAt == Clock::time_point::max())
            port->cv.wait(lock, [&] { return port->Dead(); });
        else
            // Checked before each wait: a wait whose end has passed still costs a sleep.
            while (!port->Dead() && Clock::now() < doneAt)
                port->cv.wait_until(lock, doneAt);
        if (port->Dead()) return false;
        endpoint = port->endpoint;
    }
    Record(TraceDirection::ToDevice, port->info.caps.usagePage, report);
    if (endpoint) endpoint->OnOutputReport(report);
    return true;
}

void VirtualHidBus::SetTiming(WireTiming timing) {
    std::lock_guard lock(mutex_);
    timing_ = timing;
}

WireTiming VirtualHidBus::Timing() const {
    std::lock_guard lock(mutex_);
    return timing_;
}

void VirtualHidBus::SetWritesStall(bool stall) {
    std::lock_guard lock(mutex_);
    writesStall_ = stall;
}

void VirtualHidBus::UseManualClock(bool on) {
    std::lock_guard lock(clockMutex_);
    if (on && !manualClock_) manualNow_ = Clock::now();
    manualClock_ = on;
}

void VirtualHidBus::AdvanceClock(std::chrono::microseconds by) {
    std::lock_guard lock(clockMutex_);
    manualNow_ += by;
}

void VirtualHidBus::AdvanceClockTo(Clock::time_point t) {
    std::lock_guard lock(clockMutex_);
    manualNow_ = std::max(manualNow_, t);
}

Clock::time_point VirtualHidBus::Now() const {
    if (!manualClock_) return Clock::now();
    std::lock_guard lock(clockMutex_);
    return manualNow_;
}

void VirtualHidBus::SetWriteStalls(WriteStalls stalls) {
    std::lock_guard lock(mutex_);
    writeStalls_ = stalls ? std::make_shared<WriteStalls>(std::move(stalls)) : nullptr;
}

void VirtualHidBus::SetEnumerationFails(bool fail) {
    std::lock_guard lock(mutex_);
    enumerationFails_ = fail;
}

void VirtualHidBus::Record(TraceDirection dir, uint16_t usagePage, std::span<const uint8_t> bytes) {
    std::lock_guard lock(transcriptMutex_);
    if (transcriptLimit_ == 0) {
        ++transcriptDropped_;
        return;
    }
    if (transcript_.size() < transcriptLimit_) {
        transcript_.push_back({dir, usagePage, {bytes.begin(), bytes.end()}});
        return;
    }
    TranscriptEntry& oldest = transcript_[transcriptStart_];
    transcriptStart_ = (transcriptStart_ + 1) % transcript_.size();
    ++transcriptDropped_;
    oldest.direction = dir;
    oldest.usagePage = usagePage;
    oldest.bytes.assign(bytes.begin(), bytes.end());
}

std::vector<TranscriptEntry> VirtualHidBus::Transcript() const {
    std::lock_guard lock(transcriptMutex_);
    std::vector<TranscriptEntry> out;
    out.reserve(transcript_.size());
    const auto start = transcript_.begin() + static_cast<std::ptrdiff_t>(transcriptStart_);
    out.insert(out.end(), start, transcript_.end());
    out.insert(out.end(), transcript_.begin(), start);
    return out;
}

void VirtualHidBus::ClearTranscript() {
    std::lock_guard lock(transcriptMutex_);
    transcript_.clear();
    transcriptStart_ = 0;
    transcriptDropped_ = 0;
}

void VirtualHidBus::SetTranscriptLimit(size_t limit) {
    std::lock_guard lock(transcriptMutex_);
    // In order, oldest first, then the oldest dropped down to the new limit.
    std::rotate(transcript_.begin(),
                transcript_.begin() + static_cast<std::ptrdiff_t>(transcriptStart_),
                transcript_.end());
    transcriptStart_ = 0;
    transcriptLimit_ = limit;
    if (transcript_.size() > limit) {
        const size_t excess = transcript_.size() - limit;
        transcript_.erase(transcript_.begin(),
                          transcript_.begin() + static_cast<std::ptrdiff_t>(excess));
        transcriptDropped_ += excess;
    }
}

size_t VirtualHidBus::TranscriptLimit() const {
    std::lock_guard lock(transcriptMutex_);
    return transcriptLimit_;
}

uint64_t VirtualHidBus::TranscriptDropped() const {
    std::lock_guard lock(transcriptMutex_);
    return transcriptDropped_;
}

size_t VirtualHidBus::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& [path, itf] : interfaces_)
        for (const auto& weak : itf.ports) {
            auto port = weak.lock();
            if (port) {
                std::lock_guard portLock(port->mutex);
                if (!port->Dead()) ++n;
            }
        }
    return n;
}

bool VirtualHidBus::Enumerate(std::vector<std::optional<std::string>>& paths) {
    std::lock_guard lock(mutex_);
    paths.clear();
    if (enumerationFails_) return false;
    for (const auto& path : order_)
        paths.emplace_back(path);
    return true;
}

std::unique_ptr<HidHandle> VirtualHidBus::Open(const std::string& path, const HidOpenFlags&) {
    std::lock_guard lock(mutex_);
    auto it = interfaces_.find(path);
    if (it == interfaces_.end() || !it->second.attached) return nullptr;
    auto port = std::make_shared<Port>();
    port->path = path;
    port->info = it->second.info;
    port->endpoint = it->second.endpoint;
    it->second.ports.push_back(port);
    return std::make_unique<VirtualHandle>(this, std::move(port));
}

bool VirtualHidBus::Probe(const std::string& path) {
    return IsAttached(path);
}

}  // namespace vq::sim
