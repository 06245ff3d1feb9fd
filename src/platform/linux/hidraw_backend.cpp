#include "platform/linux/hidraw_backend.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <thread>

#include "core/device/hid_device.h"
#include "core/device/report_descriptor.h"
#include "core/util/log.h"

namespace vq::platform {

// ---- paths --------------------------------------------------------------------------------

std::string ComposeHidrawPath(const HidrawPath& p) {
    if (!p.composed) return p.node;
    char text[96];
    std::string out = p.node;
    std::snprintf(text, sizeof text, "#vid_%04x&pid_%04x", p.vendorId, p.productId);
    out += text;
    if (p.interfaceNumber >= 0) {
        std::snprintf(text, sizeof text, "&mi_%02x", static_cast<unsigned>(p.interfaceNumber));
        out += text;
    }
    if (p.collection > 0) {
        std::snprintf(text, sizeof text, "&col%02x", p.collection);
        out += text;
    }
    std::snprintf(text, sizeof text, "&up_%04x&u_%04x", p.usagePage, p.usage);
    out += text;
    return out;
}

HidrawPath ParseHidrawPath(std::string_view path) {
    HidrawPath p;
    const size_t hash = path.find('#');
    p.node = std::string(path.substr(0, hash));
    if (hash == std::string_view::npos) return p;
    const std::string_view rest = path.substr(hash);
    p.vendorId = VendorIdFromPath(rest);
    p.productId = ProductIdFromPath(rest);
    std::string lower(rest);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    p.composed = lower.find("&up_") != std::string::npos;
    p.interfaceNumber = lower.find("&mi_") != std::string::npos
                            ? static_cast<int>(HexNumberAfter(rest, "&mi_"))
                            : -1;
    p.collection = HexNumberAfter(rest, "&col");
    p.usagePage = static_cast<uint16_t>(HexNumberAfter(rest, "&up_"));
    p.usage = static_cast<uint16_t>(HexNumberAfter(rest, "&u_"));
    return p;
}

bool IsSelectedCollection(uint16_t usagePage, uint16_t usage) {
    return (usagePage == 0xFF1C && usage == 0x0092) || (usagePage == 0x000C && usage == 0x0001);
}

std::vector<std::string> ListHidrawPaths(
    const std::vector<RawInterfaceInfo>& entries,
    const std::map<std::string, std::vector<uint8_t>>& descriptors) {
    // Group the entries by node, keeping the system's order of first appearance.
    std::vector<std::string> order;
    std::map<std::string, std::vector<const RawInterfaceInfo*>> byNode;
    for (const RawInterfaceInfo& e : entries) {
        if (e.node.empty()) continue;
        auto [it, inserted] = byNode.try_emplace(e.node);
        if (inserted) order.push_back(e.node);
        it->second.push_back(&e);
    }
    std::vector<std::string> out;
    for (const std::string& node : order) {
        const auto& list = byNode[node];
        std::optional<HidReportDescriptor> descriptor;
        if (auto d = descriptors.find(node); d != descriptors.end())
            descriptor = ParseReportDescriptor(d->second);
        std::vector<std::pair<uint16_t, uint16_t>> seen;
        bool anySelected = false;
        for (const RawInterfaceInfo* e : list) {
            if (!IsSelectedCollection(e->usagePage, e->usage)) continue;
            anySelected = true;
            const auto key = std::make_pair(e->usagePage, e->usage);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;  // duplicate
            seen.push_back(key);
            HidrawPath p;
            p.node = node;
            p.composed = true;
            p.vendorId = e->vendorId;
            p.productId = e->productId;
            p.interfaceNumber = e->interfaceNumber;
            p.usagePage = e->usagePage;
            p.usage = e->usage;
            if (descriptor) {
                const auto& cs = descriptor->collections;
                auto c = std::find_if(cs.begin(), cs.end(), [&](const HidTopCollection& t) {
                    return t.usagePage == e->usagePage && t.usage == e->usage;
                });
                if (c == cs.end()) continue;  // only nested: not an interface of its own
                p.collection = static_cast<uint32_t>(c - cs.begin()) + 1;
            }
            out.push_back(ComposeHidrawPath(p));
        }
        if (!anySelected) out.push_back(node);
    }
    return out;
}

// ---- nodes and handles --------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

// One open handle's share of the node: its collection and its queue of input reports.
struct Port {
    size_t collection = 0;
    HidOpenFlags flags;
    std::deque<std::vector<uint8_t>> queue;
    bool cancelled = false;
};

struct WriteJob {
    std::vector<uint8_t> bytes;
    bool started = false;
    bool abandoned = false;  // its writer stopped waiting before it started
    bool done = false;
    int result = -1;
};

}  // namespace

class HidrawBackend::Node {
  public:
    Node(std::shared_ptr<RawHidApi> api, std::string node, HidReportDescriptor descriptor,
         HidAttributes attributes, HidrawOptions options)
        : api_(std::move(api)),
          node_(std::move(node)),
          descriptor_(std::move(descriptor)),
          attributes_(attributes),
          options_(options) {}

    ~Node() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        // The reader waits on its device without a time limit: wake it; it sees the flag and
        // ends. Only then are the devices closed.
        {
            std::lock_guard lock(mutex_);
            if (reader_) reader_->Wake();
        }
        if (readerThread_.joinable()) readerThread_.join();
        if (writerThread_.joinable()) writerThread_.join();
        reader_.reset();
        writer_.reset();
    }

    const std::string& NodePath() const { return node_; }
    const HidReportDescriptor& Descriptor() const { return descriptor_; }
    HidAttributes Attributes() const { return attributes_; }

    bool Failed() const {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    // Opens what the flags need: a reader for any access (the node is opened for reading and
    // writing alike), and a writer as well for write access.
    bool Prepare(const HidOpenFlags& flags) {
        std::lock_guard lock(mutex_);
        if (failed_) return false;
        const bool needsDevice = flags.readAccess || flags.writeAccess;
        if (needsDevice && !reader_) {
            reader_ = api_->Open(node_);
            if (!reader_) return false;
            readerThread_ = std::thread([this] { ReaderLoop(); });
        }
        if (flags.writeAccess && !writer_) {
            writer_ = api_->Open(node_);
            if (!writer_) return false;
            writerThread_ = std::thread([this] { WriterLoop(); });
        }
        return true;
    }

    std::shared_ptr<Port> AddPort(size_t collection, const HidOpenFlags& flags) {
        auto port = std::make_shared<Port>();
        port->collection = collection;
        port->flags = flags;
        std::lock_guard lock(mutex_);
        ports_.push_back(port);
        return port;
    }

    void RemovePort(const std::shared_ptr<Port>& port) {
        {
            std::lock_guard lock(mutex_);
            port->cancelled = true;
            ports_.erase(std::remove(ports_.begin(), ports_.end(), port), ports_.end());
        }
        cv_.notify_all();
    }

    void Cancel(const std::shared_ptr<Port>& port) {
        {
            std::lock_guard lock(mutex_);
            port->cancelled = true;
        }
        cv_.notify_all();
    }

    bool Read(const std::shared_ptr<Port>& port, std::span<uint8_t> buffer, size_t& transferred,
              uint32_t timeoutMs) {
        transferred = 0;
        std::unique_lock lock(mutex_);
        if (!port->flags.readAccess) return false;
        auto ready = [&] { return port->cancelled || failed_ || !port->queue.empty(); };
        if (timeoutMs == kInfinite)
            cv_.wait(lock, ready);
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return false;
        if (port->cancelled || port->queue.empty()) return false;
        // Reports that arrived before a failure are still handed out.
        const std::vector<uint8_t>& report = port->queue.front();
        const size_t n = std::min(buffer.size(), report.size());
        std::copy_n(report.begin(), n, buffer.begin());
        transferred = n;
        port->queue.pop_front();
        return true;
    }

    bool Write(const std::shared_ptr<Port>& port, std::span<const uint8_t> report,
               size_t& transferred, uint32_t timeoutMs) {
        transferred = 0;
        auto job = std::make_shared<WriteJob>();
        job->bytes.assign(report.begin(), report.end());
        std::unique_lock lock(mutex_);
        if (!port->flags.writeAccess || port->cancelled || failed_ || !writer_) return false;
        jobs_.push_back(job);
        cv_.notify_all();
        auto finished = [&] { return job->done || port->cancelled || failed_; };
        if (timeoutMs == kInfinite)
            cv_.wait(lock, finished);
        else
            cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished);
        if (!job->done) {
            // The job owns its bytes: if the writer already took it, it completes on its own.
            job->abandoned = true;
            return false;
        }
        if (job->result <= 0) return false;
        transferred = static_cast<size_t>(job->result);
        return true;
    }

    std::optional<uint16_t> FirstInputUsage(const Port& port,
                                            std::span<const uint8_t> report) const {
        return descriptor_.FirstInputUsage(port.collection, report);
    }

  private:
    void ReaderLoop() {
        uint16_t longest = 64;
        for (size_t c = 0; c < descriptor_.collections.size(); ++c)
            longest = std::max(longest, descriptor_.CapsOf(c).inputReportByteLength);
        std::vector<uint8_t> buffer(static_cast<size_t>(longest) + 1);
        const bool ids = descriptor_.usesReportIds;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stop_) return;
            }
            // Without report IDs the device's reports are given an ID byte of 0, as Windows does.
            std::span<uint8_t> target =
                ids ? std::span<uint8_t>(buffer) : std::span<uint8_t>(buffer).subspan(1);
            const int n = reader_->Read(target, kRawWaitForever);
            if (n < 0) {
                Logf(LogLevel::Info, "hidraw: %s failed (unplugged?)", node_.c_str());
                {
                    std::lock_guard lock(mutex_);
                    failed_ = true;
                }
                cv_.notify_all();
                return;
            }
            if (n == 0) continue;  // woken: the loop looks at the stop flag
            if (!ids) buffer[0] = 0;
            Route(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n) + (ids ? 0 : 1)));
        }
    }

    void Route(std::span<const uint8_t> report) {
        const std::optional<size_t> collection = descriptor_.CollectionOfInputReport(report[0]);
        if (!collection) {
            Logf(LogLevel::Debug, "hidraw: %s: input report %u belongs to no collection",
                 node_.c_str(), report[0]);
            return;
        }
        bool delivered = false;
        {
            std::lock_guard lock(mutex_);
            for (const auto& port : ports_) {
                if (port->collection != *collection || port->cancelled || !port->flags.readAccess)
                    continue;
                if (port->queue.size() >= options_.queueLimit) port->queue.pop_front();
                port->queue.emplace_back(report.begin(), report.end());
                delivered = true;
            }
        }
        if (delivered) cv_.notify_all();
    }

    void WriterLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return stop_ || failed_ || !jobs_.empty(); });
            if (stop_ || failed_) {
                for (auto& job : jobs_)
                    job->done = true;  // result stays -1
                jobs_.clear();
                cv_.notify_all();
                if (stop_) return;
                cv_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
                continue;
            }
            std::shared_ptr<WriteJob> job = jobs_.front();
            jobs_.pop_front();
            if (job->abandoned) continue;
            job->started = true;
            lock.unlock();
            const int result = writer_->Write(job->bytes);
            lock.lock();
            job->result = result;
            job->done = true;
            cv_.notify_all();
        }
    }

    std::shared_ptr<RawHidApi> api_;
    const std::string node_;
    const HidReportDescriptor descriptor_;
    const HidAttributes attributes_;
    const HidrawOptions options_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;  // reports, finished writes, cancels, failure, stop
    std::vector<std::shared_ptr<Port>> ports_;
    std::deque<std::shared_ptr<WriteJob>> jobs_;
    bool stop_ = false;
    bool failed_ = false;
    std::unique_ptr<RawHidDevice> reader_;  // used by the reader thread only, once started
    std::unique_ptr<RawHidDevice> writer_;  // used by the writer thread only, once started
    std::thread readerThread_;
    std::thread writerThread_;
};

namespace {

class HidrawHandle : public HidHandle {
  public:
    HidrawHandle(std::shared_ptr<HidrawBackend::Node> node, std::shared_ptr<Port> port)
        : node_(std::move(node)), port_(std::move(port)) {}
    ~HidrawHandle() override { node_->RemovePort(port_); }

    HidAttributes Attributes() const override { return node_->Attributes(); }
    HidCaps Caps() const override { return node_->Descriptor().CapsOf(port_->collection); }

    bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        return node_->Read(port_, buffer, transferred, timeoutMs);
    }
    bool Write(std::span<const uint8_t> report, size_t& transferred, uint32_t timeoutMs) override {
        return node_->Write(port_, report, transferred, timeoutMs);
    }
    void Cancel() override { node_->Cancel(port_); }
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) override {
        return node_->FirstInputUsage(*port_, report);
    }

  private:
    std::shared_ptr<HidrawBackend::Node> node_;
    std::shared_ptr<Port> port_;
};

}  // namespace

// ---- the backend --------------------------------------------------------------------------

HidrawBackend::HidrawBackend(std::shared_ptr<RawHidApi> api, HidrawOptions options)
    : api_(std::move(api)), options_(options) {}

HidrawBackend::~HidrawBackend() = default;

bool HidrawBackend::Enumerate(std::vector<std::optional<std::string>>& paths) {
    paths.clear();
    std::vector<RawInterfaceInfo> entries;
    if (!api_->Enumerate(entries)) return false;
    std::map<std::string, std::vector<uint8_t>> descriptors;
    std::map<std::string, HidAttributes> attributes;
    for (const RawInterfaceInfo& e : entries) {
        attributes.try_emplace(e.node, HidAttributes{e.vendorId, e.productId, e.releaseNumber});
        if (IsSelectedCollection(e.usagePage, e.usage) && !descriptors.contains(e.node)) {
            std::vector<uint8_t> bytes;
            if (api_->ReportDescriptor(e.node, bytes))
                descriptors.emplace(e.node, std::move(bytes));
        }
    }
    {
        std::lock_guard lock(mutex_);
        attributes_ = std::move(attributes);
    }
    for (std::string& path : ListHidrawPaths(entries, descriptors))
        paths.emplace_back(std::move(path));
    return true;
}

std::optional<HidAttributes> HidrawBackend::AttributesOf(const std::string& node) {
    {
        std::lock_guard lock(mutex_);
        if (auto it = attributes_.find(node); it != attributes_.end()) return it->second;
    }
    // Opened by a stored path without a listing first: list to learn the IDs.
    std::vector<std::optional<std::string>> ignored;
    if (!Enumerate(ignored)) return std::nullopt;
    std::lock_guard lock(mutex_);
    if (auto it = attributes_.find(node); it != attributes_.end()) return it->second;
    return std::nullopt;
}

std::unique_ptr<HidHandle> HidrawBackend::Open(const std::string& path, const HidOpenFlags& flags) {
    const HidrawPath parsed = ParseHidrawPath(path);
    if (parsed.node.empty()) return nullptr;

    std::shared_ptr<Node> node;
    {
        std::lock_guard lock(mutex_);
        if (auto it = nodes_.find(parsed.node); it != nodes_.end()) {
            node = it->second.lock();
            if (node && node->Failed()) node.reset();  // a new device may sit on the node now
        }
    }
    if (!node) {
        if (!api_->Exists(parsed.node)) return nullptr;
        std::vector<uint8_t> bytes;
        if (!api_->ReportDescriptor(parsed.node, bytes)) {
            Logf(LogLevel::Debug, "hidraw: no report descriptor for %s", parsed.node.c_str());
            return nullptr;
        }
        std::string why;
        std::optional<HidReportDescriptor> descriptor = ParseReportDescriptor(bytes, &why);
        if (!descriptor || descriptor->collections.empty()) {
            Logf(LogLevel::Warning, "hidraw: %s has an unusable report descriptor (%s)",
                 parsed.node.c_str(), descriptor ? "no collections" : why.c_str());
            return nullptr;
        }
        const std::optional<HidAttributes> attributes = AttributesOf(parsed.node);
        if (!attributes) return nullptr;
        auto fresh = std::make_shared<Node>(api_, parsed.node, std::move(*descriptor), *attributes,
                                            options_);
        std::lock_guard lock(mutex_);
        // Another thread may have opened the node meanwhile: use its object.
        auto& slot = nodes_[parsed.node];
        std::shared_ptr<Node> other = slot.lock();
        if (other && !other->Failed()) {
            node = std::move(other);
        } else {
            slot = fresh;
            node = std::move(fresh);
        }
    }

    size_t collection = 0;
    if (parsed.composed) {
        const auto& cs = node->Descriptor().collections;
        auto c = std::find_if(cs.begin(), cs.end(), [&](const HidTopCollection& t) {
            return t.usagePage == parsed.usagePage && t.usage == parsed.usage;
        });
        if (c == cs.end()) return nullptr;
        collection = static_cast<size_t>(c - cs.begin());
    }
    if (!node->Prepare(flags)) return nullptr;
    return std::make_unique<HidrawHandle>(node, node->AddPort(collection, flags));
}

bool HidrawBackend::Probe(const std::string& path) {
    const HidrawPath parsed = ParseHidrawPath(path);
    if (parsed.node.empty()) return false;
    {
        // A node whose reader failed is gone for its handles, whatever sits at its path now.
        std::lock_guard lock(mutex_);
        if (auto it = nodes_.find(parsed.node); it != nodes_.end())
            if (auto node = it->second.lock(); node && node->Failed()) return false;
    }
    return api_->Exists(parsed.node);
}

HidOpenFailure HidrawBackend::DiagnoseOpenFailure(const std::string& path) {
    const HidrawPath parsed = ParseHidrawPath(path);
    if (parsed.node.empty()) return HidOpenFailure::NotPresent;
    return api_->Diagnose(parsed.node);
}

size_t HidrawBackend::OpenNodeCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(nodes_.begin(), nodes_.end(),
                                             [](const auto& kv) { return !kv.second.expired(); }));
}

}  // namespace vq::platform
