#include "core/device/hid_device.h"

#include <cctype>
#include <cstdio>

namespace vq {

// ---- HidDeviceList ------------------------------------------------------------------------

bool HidDeviceList::Enumerate() {
    cursor_ = 0;
    paths_.clear();
    hasPaths_ = false;
    count_ = 0;
    std::vector<std::optional<std::string>> found;
    if (backend_ == nullptr || !backend_->Enumerate(found)) return false;
    paths_ = std::move(found);
    hasPaths_ = true;
    count_ = static_cast<uint32_t>(paths_.size());
    return true;
}

std::optional<std::string> HidDeviceList::NextPath() {
    if (!hasPaths_ || cursor_ >= count_ || cursor_ >= paths_.size()) return std::nullopt;
    return paths_[cursor_++];
}

void HidDeviceList::ClearPaths() {
    paths_.clear();
    paths_.shrink_to_fit();
    hasPaths_ = false;
}

// ---- path helpers -------------------------------------------------------------------------

namespace {

size_t FindCaseInsensitive(std::string_view text, std::string_view marker) {
    if (marker.empty() || text.size() < marker.size()) return std::string_view::npos;
    for (size_t i = 0; i + marker.size() <= text.size(); ++i) {
        bool same = true;
        for (size_t j = 0; j < marker.size(); ++j) {
            if (std::tolower(static_cast<unsigned char>(text[i + j])) !=
                std::tolower(static_cast<unsigned char>(marker[j]))) {
                same = false;
                break;
            }
        }
        if (same) return i;
    }
    return std::string_view::npos;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

uint32_t HexNumberAfter(std::string_view path, std::string_view marker) {
    const size_t at = FindCaseInsensitive(path, marker);
    if (at == std::string_view::npos) return 0;
    uint32_t value = 0;
    // At most eight digits: a longer run would overflow and is not a number a path carries.
    for (size_t i = at + marker.size(), n = 0; i < path.size() && n < 8; ++i, ++n) {
        const int d = HexDigit(path[i]);
        if (d < 0) break;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return value;
}

uint16_t VendorIdFromPath(std::string_view path) {
    return static_cast<uint16_t>(HexNumberAfter(path, "vid_"));
}

uint16_t ProductIdFromPath(std::string_view path) {
    return static_cast<uint16_t>(HexNumberAfter(path, "pid_"));
}

// ---- tracing ------------------------------------------------------------------------------

namespace {
std::mutex g_traceMutex;
std::shared_ptr<HidTraceSink> g_traceSink;
std::atomic<bool> g_traceOn{false};

void Trace(TraceDirection dir, uint16_t usagePage, std::span<const uint8_t> report) {
    if (!g_traceOn.load(std::memory_order_relaxed)) return;
    std::shared_ptr<HidTraceSink> sink;
    {
        std::lock_guard lock(g_traceMutex);
        sink = g_traceSink;
    }
    if (sink && *sink) (*sink)(dir, usagePage, report);
}
}  // namespace

void SetHidTraceSink(HidTraceSink sink) {
    std::lock_guard lock(g_traceMutex);
    if (sink) {
        g_traceSink = std::make_shared<HidTraceSink>(std::move(sink));
        g_traceOn = true;
    } else {
        g_traceSink.reset();
        g_traceOn = false;
    }
}

std::string FormatTraceLine(TraceDirection dir, uint16_t usagePage,
                            std::span<const uint8_t> report) {
    std::string line;
    line.reserve(8 + report.size() * 3);
    line += dir == TraceDirection::ToDevice ? '>' : '<';
    line += usagePage >= 0xFF00 ? " cfg" : " evt";
    char hex[4];
    for (uint8_t b : report) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        line += hex;
    }
    return line;
}

// ---- HidDevice ----------------------------------------------------------------------------

HidDevice::HidDevice(HidBackend* backend) : backend_(backend), list_(backend) {}

HidDevice::~HidDevice() {
    Close();
}

std::shared_ptr<HidHandle> HidDevice::CurrentHandle() const {
    std::lock_guard lock(stateMutex_);
    return handle_;
}

void HidDevice::CloseLocked(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<HidHandle> old = std::move(handle_);
    handle_.reset();
    attributes_ = {};
    caps_ = {};
    if (!old) return;
    // Wake a pending read or write outside the state lock. The waiting thread holds its own
    // reference, so the handle (and whatever the request uses) lives until that call returns.
    lock.unlock();
    old->Cancel();
    old.reset();
    lock.lock();
}

bool HidDevice::Open(std::string_view path, bool readAccess, bool writeAccess, bool overlapped,
                     bool exclusive) {
    std::unique_lock lock(stateMutex_);
    flags_ = {readAccess, writeAccess, overlapped, exclusive};
    path_.assign(path);
    CloseLocked(lock);
    interfaceNumber_ = HexNumberAfter(path_, "&mi_");
    collectionNumber_ = HexNumberAfter(path_, "&col");
    if (backend_ == nullptr) return false;
    const std::string target = path_;
    const HidOpenFlags flags = flags_;
    lock.unlock();
    std::unique_ptr<HidHandle> opened = backend_->Open(target, flags);
    lock.lock();
    if (!opened) return false;
    // Another Open or Close may have run meanwhile; the newest call wins.
    if (path_ != target || handle_) return false;
    attributes_ = opened->Attributes();
    caps_ = opened->Caps();
    handle_ = std::move(opened);
    return true;
}

void HidDevice::Close() {
    std::unique_lock lock(stateMutex_);
    CloseLocked(lock);
}

bool HidDevice::IsOpen() const {
    std::lock_guard lock(stateMutex_);
    return handle_ != nullptr;
}

bool HidDevice::Probe() const {
    const std::string path = Path();
    return backend_ != nullptr && !path.empty() && backend_->Probe(path);
}

int HidDevice::ReadReport(size_t length, size_t* outCount, uint8_t* buffer, uint32_t timeoutMs) {
    if (outCount) *outCount = 0;
    std::shared_ptr<HidHandle> handle = CurrentHandle();
    if (!handle || buffer == nullptr) return 0;
    reading_ = true;
    size_t transferred = 0;
    const bool ok = handle->Read(std::span<uint8_t>(buffer, length), transferred, timeoutMs);
    reading_ = false;
    if (outCount) *outCount = transferred;
    if (ok) Trace(TraceDirection::FromDevice, handle->Caps().usagePage, {buffer, transferred});
    return ok ? 1 : 0;
}

int HidDevice::WriteReport(size_t length, size_t* outCount, const uint8_t* buffer,
                           uint32_t timeoutMs) {
    if (outCount) *outCount = 0;
    std::shared_ptr<HidHandle> handle = CurrentHandle();
    if (!handle || buffer == nullptr) return 0;
    writing_ = true;
    size_t transferred = 0;
    const std::span<const uint8_t> report(buffer, length);
    // Traced before the write so that the device's answer never appears above its request.
    Trace(TraceDirection::ToDevice, handle->Caps().usagePage, report);
    const bool ok = handle->Write(report, transferred, timeoutMs);
    writing_ = false;
    if (outCount) *outCount = transferred;
    return ok ? 1 : 0;
}

std::chrono::steady_clock::time_point HidDevice::Now() const {
    return backend_ != nullptr ? backend_->Now() : std::chrono::steady_clock::now();
}

std::optional<uint16_t> HidDevice::FirstInputUsage(std::span<const uint8_t> report) const {
    std::shared_ptr<HidHandle> handle = CurrentHandle();
    if (!handle) return std::nullopt;
    return handle->FirstInputUsage(report);
}

std::string HidDevice::Path() const {
    std::lock_guard lock(stateMutex_);
    return path_;
}
HidOpenFlags HidDevice::Flags() const {
    std::lock_guard lock(stateMutex_);
    return flags_;
}
HidAttributes HidDevice::Attributes() const {
    std::lock_guard lock(stateMutex_);
    return attributes_;
}
HidCaps HidDevice::Caps() const {
    std::lock_guard lock(stateMutex_);
    return caps_;
}
uint32_t HidDevice::InterfaceNumber() const {
    std::lock_guard lock(stateMutex_);
    return interfaceNumber_;
}
uint32_t HidDevice::CollectionNumber() const {
    std::lock_guard lock(stateMutex_);
    return collectionNumber_;
}

}  // namespace vq
