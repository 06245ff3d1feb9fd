#pragma once
// A scripted stand-in for the hidapi calls: hidraw nodes with their hidapi entries and report
// descriptors, per-open input queues as the kernel keeps them, unplug, refused permissions,
// wake-ups, a count of the reads made, and a check that no device is ever used by two threads at
// once or closed while in use.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/linux/raw_hid.h"

namespace vq::test {

using Bytes = std::vector<uint8_t>;

class FakeRawHid : public platform::RawHidApi, public std::enable_shared_from_this<FakeRawHid> {
  public:
    // Called for every report written to a node (outside the fake's lock); may send input.
    using Responder = std::function<void(const std::string& node, const Bytes& report)>;

    void AddNode(const std::string& node, std::vector<platform::RawInterfaceInfo> entries,
                 Bytes descriptor) {
        std::lock_guard lock(mutex_);
        for (auto& e : entries)
            e.node = node;
        NodeState& n = nodes_[node];
        n.entries = std::move(entries);
        n.descriptor = std::move(descriptor);
        n.present = true;
        if (std::find(order_.begin(), order_.end(), node) == order_.end()) order_.push_back(node);
    }

    // Every open device of the node gets its own copy, as every open hidraw file does.
    void SendInput(const std::string& node, const Bytes& report) {
        std::lock_guard lock(mutex_);
        for (OpenState* open : nodes_[node].opens)
            open->queue.push_back(report);
        cv_.notify_all();
    }

    void Unplug(const std::string& node) {
        std::lock_guard lock(mutex_);
        NodeState& n = nodes_[node];
        n.present = false;
        for (OpenState* open : n.opens)
            open->failed = true;
        cv_.notify_all();
    }

    void Deny(const std::string& node) {
        std::lock_guard lock(mutex_);
        nodes_[node].denied = true;
    }
    void SetResponder(Responder responder) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(responder);
    }
    // While held, writes block (as a kernel write to a stuck device does).
    void HoldWrites(bool hold) {
        std::lock_guard lock(mutex_);
        holdWrites_ = hold;
        cv_.notify_all();
    }

    Bytes Written(const std::string& node, size_t index) {
        std::lock_guard lock(mutex_);
        const auto& w = nodes_[node].written;
        return index < w.size() ? w[index] : Bytes{};
    }
    size_t WrittenCount(const std::string& node) {
        std::lock_guard lock(mutex_);
        return nodes_[node].written.size();
    }
    int OpenCount(const std::string& node) {  // devices open now
        std::lock_guard lock(mutex_);
        return static_cast<int>(nodes_[node].opens.size());
    }
    int TotalOpens(const std::string& node) {  // hid_open_path calls that succeeded
        std::lock_guard lock(mutex_);
        return nodes_[node].totalOpens;
    }
    int Violations() const { return violations_.load(); }
    // Reads made on the node's devices, and how many of them had a time limit.
    int ReadCalls(const std::string& node) {
        std::lock_guard lock(mutex_);
        return nodes_[node].reads;
    }
    int TimedReadCalls(const std::string& node) {
        std::lock_guard lock(mutex_);
        return nodes_[node].timedReads;
    }
    // Until every open of the node has taken its input and waits for more.
    bool WaitUntilDrained(const std::string& node) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] {
            for (const OpenState* open : nodes_[node].opens)
                if (!open->queue.empty() || !open->waiting) return false;
            return true;
        });
    }
    bool WaitForWriteStarted(int n) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return writesStarted_ >= n; });
    }

    // ---- RawHidApi
    bool Enumerate(std::vector<platform::RawInterfaceInfo>& out) override {
        std::lock_guard lock(mutex_);
        out.clear();
        for (const auto& name : order_) {
            const NodeState& n = nodes_[name];
            if (n.present) out.insert(out.end(), n.entries.begin(), n.entries.end());
        }
        return true;
    }

    std::unique_ptr<platform::RawHidDevice> Open(const std::string& node) override;

    bool Exists(const std::string& node) override {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(node);
        return it != nodes_.end() && it->second.present;
    }

    HidOpenFailure Diagnose(const std::string& node) override {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(node);
        if (it == nodes_.end() || !it->second.present) return HidOpenFailure::NotPresent;
        return it->second.denied ? HidOpenFailure::AccessDenied : HidOpenFailure::Unknown;
    }

    bool ReportDescriptor(const std::string& node, std::vector<uint8_t>& out) override {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(node);
        if (it == nodes_.end() || !it->second.present) return false;
        out = it->second.descriptor;
        return true;
    }

  private:
    struct OpenState {
        std::deque<Bytes> queue;
        bool failed = false;
        bool waiting = false;  // in a read, with nothing to take
        bool woken = false;    // a wake not yet taken by a read
    };
    struct NodeState {
        std::vector<platform::RawInterfaceInfo> entries;
        Bytes descriptor;
        bool present = false;
        bool denied = false;
        std::vector<OpenState*> opens;
        std::vector<Bytes> written;
        int totalOpens = 0;
        int reads = 0;
        int timedReads = 0;
    };
    class Device;
    friend class Device;

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> order_;
    std::map<std::string, NodeState> nodes_;
    Responder responder_;
    bool holdWrites_ = false;
    int writesStarted_ = 0;
    std::atomic<int> violations_{0};
};

class FakeRawHid::Device : public platform::RawHidDevice {
  public:
    Device(std::shared_ptr<FakeRawHid> fake, std::string node)
        : fake_(std::move(fake)), node_(std::move(node)) {}

    ~Device() override {
        if (inUse_.load() != 0) ++fake_->violations_;  // closed while a call was in flight
        std::lock_guard lock(fake_->mutex_);
        auto& opens = fake_->nodes_[node_].opens;
        opens.erase(std::remove(opens.begin(), opens.end(), &open_), opens.end());
    }

    int Write(std::span<const uint8_t> report) override {
        Enter();
        Responder responder;
        Bytes bytes(report.begin(), report.end());
        {
            std::unique_lock lock(fake_->mutex_);
            ++fake_->writesStarted_;
            fake_->cv_.notify_all();
            fake_->cv_.wait(lock, [&] { return !fake_->holdWrites_; });
            if (open_.failed) {
                Leave();
                return -1;
            }
            fake_->nodes_[node_].written.push_back(bytes);
            responder = fake_->responder_;
        }
        if (responder) responder(node_, bytes);
        Leave();
        return static_cast<int>(report.size());
    }

    int Read(std::span<uint8_t> buffer, int timeoutMs) override {
        Enter();
        std::unique_lock lock(fake_->mutex_);
        NodeState& node = fake_->nodes_[node_];
        ++node.reads;
        if (timeoutMs >= 0) ++node.timedReads;
        if (open_.queue.empty() && !open_.woken) {
            open_.waiting = true;
            fake_->cv_.notify_all();
        }
        auto ready = [&] { return open_.failed || open_.woken || !open_.queue.empty(); };
        if (timeoutMs < 0)
            fake_->cv_.wait(lock, ready);
        else
            fake_->cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        open_.waiting = false;
        int result = 0;
        if (open_.woken) {
            open_.woken = false;  // several wakes end one read
        } else if (!open_.queue.empty()) {
            const Bytes& r = open_.queue.front();
            const size_t n = std::min(r.size(), buffer.size());
            std::copy_n(r.begin(), n, buffer.begin());
            open_.queue.pop_front();
            result = static_cast<int>(n);
        } else if (open_.failed) {
            result = -1;
        }
        lock.unlock();
        Leave();
        return result;
    }

    // May come from any thread, also while another is in Read.
    void Wake() override {
        std::lock_guard lock(fake_->mutex_);
        open_.woken = true;
        fake_->cv_.notify_all();
    }

    OpenState open_;

  private:
    void Enter() {
        if (inUse_.fetch_add(1) != 0) ++fake_->violations_;  // two threads in one device
    }
    void Leave() { inUse_.fetch_sub(1); }

    std::shared_ptr<FakeRawHid> fake_;
    std::string node_;
    std::atomic<int> inUse_{0};
};

inline std::unique_ptr<platform::RawHidDevice> FakeRawHid::Open(const std::string& node) {
    auto device = std::make_unique<Device>(shared_from_this(), node);
    std::lock_guard lock(mutex_);
    auto it = nodes_.find(node);
    if (it == nodes_.end() || !it->second.present || it->second.denied) return nullptr;
    it->second.opens.push_back(&device->open_);
    ++it->second.totalOpens;
    return device;
}

}  // namespace vq::test
