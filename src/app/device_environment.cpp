#include "app/device_environment.h"

#include "platform/hid_system.h"
#if !defined(_WIN32)
#include "platform/socket/socket_backend.h"
#endif

namespace vq::app {

std::unique_ptr<DeviceEnvironment> DeviceEnvironment::System(std::string* note) {
    auto env = std::make_unique<DeviceEnvironment>();
    std::string whyNot;
    env->system_ = platform::CreateSystemHidBackend(&whyNot);
    if (env->system_) {
        env->backend_ = env->system_.get();
    } else {
        env->bus_ = std::make_unique<sim::VirtualHidBus>();
        env->backend_ = env->bus_.get();
        if (note) *note = whyNot;
    }
    return env;
}

std::unique_ptr<DeviceEnvironment> DeviceEnvironment::Socket(const std::string& path,
                                                             std::string* note) {
#if defined(_WIN32)
    (void)path;
    if (note) *note = "devices on a local socket are not supported on Windows";
    return nullptr;
#else
    auto env = std::make_unique<DeviceEnvironment>();
    env->system_ = platform::SocketHidBackend::Connect(path, note);
    if (!env->system_) return nullptr;
    env->backend_ = env->system_.get();
    return env;
#endif
}

std::unique_ptr<DeviceEnvironment> DeviceEnvironment::Simulated(sim::WireTiming timing, bool all) {
    auto env = std::make_unique<DeviceEnvironment>();
    env->bus_ = std::make_unique<sim::VirtualHidBus>();
    env->bus_->SetTiming(timing);
    env->mouse_ = std::make_unique<sim::SimMouse>(*env->bus_);
    env->mouse_->Plug();
    if (all) env->peripherals_ = std::make_unique<sim::SimKeyboardAndMousepad>(*env->bus_);
    env->backend_ = env->bus_.get();
    return env;
}

}  // namespace vq::app
