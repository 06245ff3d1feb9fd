#pragma once
// HID access on Linux: hidapi's listing of the hidraw nodes, report I/O on the nodes themselves.
//
// A hidraw node is one USB interface, and hidapi lists an entry for each of its collections. The
// program's configuration collection (0xFF1C/0x0092) and event collection (0x000C/0x0001) are
// each listed under a path of their own that names the node, the IDs and the collection:
//
//     /dev/hidraw3#vid_0c45&pid_7643&mi_01&col02&up_ff1c&u_0092
//
// so that the vendor/product and "&mi_"/"&col" parsing works as it does on Windows and the two
// collections of one node are distinct interfaces. Every other node is listed once under its
// plain path and opens as its first top-level collection.
//
// All handles opened on one node share one reader: a thread that owns the node's read device,
// waits on it without a time limit (closing wakes it) and routes each input report
// by its report ID to the handles of the collection that declares it. A command answer never
// reaches the listener and a notification never answers a command. Writes go through a second
// device of the node, owned by a writer thread, so that a write is never held up by a pending
// read and its time limit holds even when the kernel's write does not return.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/hid_backend.h"
#include "platform/linux/raw_hid.h"

namespace vq::platform {

struct HidrawOptions {
    size_t queueLimit = 64;  // input reports kept per handle; the oldest go first
};

// The parts of a listed path.
struct HidrawPath {
    std::string node;
    bool composed = false;  // names one collection
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int interfaceNumber = -1;
    uint32_t collection = 0;  // 1-based top-level collection, 0 when unknown
    uint16_t usagePage = 0;
    uint16_t usage = 0;
};

std::string ComposeHidrawPath(const HidrawPath& path);
HidrawPath ParseHidrawPath(std::string_view path);

// Whether a collection is one the program opens by its own path.
bool IsSelectedCollection(uint16_t usagePage, uint16_t usage);

// hidapi's entries turned into the program's list: each selected collection once under its
// composed path (numbered by its place among the node's top-level collections, when
// `descriptors` has the node's descriptor), every other node once under its plain path. A
// selected usage that the descriptor shows is not a top-level collection is left out.
std::vector<std::string> ListHidrawPaths(
    const std::vector<RawInterfaceInfo>& entries,
    const std::map<std::string, std::vector<uint8_t>>& descriptors);

class HidrawBackend : public HidBackend {
  public:
    explicit HidrawBackend(std::shared_ptr<RawHidApi> api, HidrawOptions options = {});
    ~HidrawBackend() override;

    bool Enumerate(std::vector<std::optional<std::string>>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;
    HidOpenFailure DiagnoseOpenFailure(const std::string& path) override;

    // Nodes with an open handle (for tests).
    size_t OpenNodeCount() const;

    class Node;

  private:
    std::optional<HidAttributes> AttributesOf(const std::string& node);

    std::shared_ptr<RawHidApi> api_;
    HidrawOptions options_;
    mutable std::mutex mutex_;  // guards the two maps
    std::map<std::string, std::weak_ptr<Node>> nodes_;
    std::map<std::string, HidAttributes> attributes_;  // by node, from the last enumeration
};

}  // namespace vq::platform
