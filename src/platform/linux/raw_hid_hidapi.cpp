// The real RawHidApi: hidapi's hidraw backend for enumeration, the node's own file for report
// I/O (so that a read can wait without a time limit and still be woken), sysfs for the report
// descriptor, stat/access for presence and permissions.

#include <hidapi/hidapi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "core/util/log.h"
#include "platform/linux/hidraw_device.h"
#include "platform/linux/raw_hid.h"

namespace vq::platform {

namespace {

// hidapi keeps its last global error in shared state that hid_init and hid_enumerate both
// write: those calls are made one at a time, process-wide.
std::mutex& GlobalCallMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    for (; *text; ++text)
        out += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    return out;
}

class HidapiRawApi : public RawHidApi {
  public:
    HidapiRawApi() {
        std::lock_guard lock(GlobalCallMutex());
        initialised_ = hid_init() == 0;
        if (!initialised_) Logf(LogLevel::Error, "hidapi: hid_init failed: %s", Error().c_str());
    }

    bool Enumerate(std::vector<RawInterfaceInfo>& out) override {
        out.clear();
        if (!initialised_) return false;
        std::lock_guard lock(GlobalCallMutex());
        hid_device_info* list = hid_enumerate(0, 0);
        // hidapi gives no list both when there is nothing and when it failed; its error text
        // goes to the log so that a failure is not lost, and the result is an empty list.
        if (list == nullptr) {
            Logf(LogLevel::Debug, "hidapi: no HID interfaces (%s)", Error().c_str());
            return true;
        }
        for (hid_device_info* d = list; d != nullptr; d = d->next) {
            if (d->path == nullptr) continue;
            RawInterfaceInfo info;
            info.node = d->path;
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            info.releaseNumber = d->release_number;
            info.usagePage = d->usage_page;
            info.usage = d->usage;
            info.interfaceNumber = d->interface_number;
            out.push_back(std::move(info));
        }
        hid_free_enumeration(list);
        return true;
    }

    std::unique_ptr<RawHidDevice> Open(const std::string& node) override {
        std::string why;
        std::unique_ptr<RawHidDevice> device = OpenHidrawNode(node, &why);
        if (!device) Logf(LogLevel::Debug, "hidraw: cannot open %s: %s", node.c_str(), why.c_str());
        return device;
    }

    bool Exists(const std::string& node) override {
        struct stat st {};
        return ::stat(node.c_str(), &st) == 0;
    }

    HidOpenFailure Diagnose(const std::string& node) override {
        struct stat st {};
        if (::stat(node.c_str(), &st) != 0) return HidOpenFailure::NotPresent;
        if (::access(node.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
            return HidOpenFailure::AccessDenied;
        return HidOpenFailure::Unknown;
    }

    bool ReportDescriptor(const std::string& node, std::vector<uint8_t>& out) override {
        out.clear();
        const size_t slash = node.find_last_of('/');
        const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") return false;
        std::ifstream file("/sys/class/hidraw/" + name + "/device/report_descriptor",
                           std::ios::binary);
        if (!file) return false;
        out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return !out.empty();
    }

  private:
    // Called with the global call lock held.
    static std::string Error() { return Narrow(hid_error(nullptr)); }

    bool initialised_ = false;
};

}  // namespace

std::shared_ptr<RawHidApi> CreateHidapiRawApi() {
    return std::make_shared<HidapiRawApi>();
}

}  // namespace vq::platform
