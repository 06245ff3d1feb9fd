#include "app/device_environment.h"

#include "platform/hid_system.h"

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

std::unique_ptr<DeviceEnvironment> DeviceEnvironment::Simulated(sim::WireTiming timing) {
    auto env = std::make_unique<DeviceEnvironment>();
    env->bus_ = std::make_unique<sim::VirtualHidBus>();
    env->bus_->SetTiming(timing);
    env->mouse_ = std::make_unique<sim::SimMouse>(*env->bus_);
    env->mouse_->Plug();
    env->backend_ = env->bus_.get();
    return env;
}

}  // namespace vq::app
