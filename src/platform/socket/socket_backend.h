#pragma once
// HID access to a device emulator in another process, over a Unix domain socket that speaks the
// line protocol of device_protocol.h. The emulator's interfaces are listed, opened and used like
// the system's; an UNPLUG or a closed socket ends every pending request with failure. When the
// link is down, each listing tries to connect again, so an emulator may come and go.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq::platform {

struct SocketBackendOptions {
    uint32_t greetingTimeoutMs = 3000;  // for the interface list after connecting
    size_t queueLimit = 64;             // input reports kept per handle
};

class SocketHidBackend : public HidBackend {
  public:
    // Connects to the emulator and reads its interface list; null, with the reason, when there
    // is no emulator at `socketPath` or it does not speak the protocol.
    static std::unique_ptr<SocketHidBackend> Connect(const std::string& socketPath,
                                                     std::string* whyNot,
                                                     SocketBackendOptions options = {});
    ~SocketHidBackend() override;

    bool Enumerate(std::vector<std::optional<std::string>>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;

    bool LinkUp() const;

    class Link;

  private:
    SocketHidBackend(std::string socketPath, SocketBackendOptions options);
    bool Reconnect(std::string* whyNot);

    std::string socketPath_;
    SocketBackendOptions options_;
    mutable std::mutex mutex_;
    std::shared_ptr<Link> link_;
};

}  // namespace vq::platform
