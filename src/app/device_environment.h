#pragma once
// The devices the program talks to: the system's HID interfaces, or a simulated mouse on an
// in-process bus (demo mode and tests).

#include <memory>
#include <string>

#include "core/device/hid_backend.h"
#include "sim/sim_mouse.h"
#include "sim/sim_peripheral.h"
#include "sim/virtual_hid.h"

namespace vq::app {

class DeviceEnvironment {
  public:
    // The system's HID access; when this build or system has none, an empty bus (no device ever
    // appears) and the reason in `note`.
    static std::unique_ptr<DeviceEnvironment> System(std::string* note);
    // The devices an emulator serves on a local socket; nothing (and the reason in `note`) when
    // it cannot be reached.
    static std::unique_ptr<DeviceEnvironment> Socket(const std::string& path, std::string* note);
    // A simulated mouse, plugged in, with the USB wire timing of a real one; `all`: a simulated
    // keyboard and mousepad as well.
    static std::unique_ptr<DeviceEnvironment> Simulated(sim::WireTiming timing = {},
                                                        bool all = false);

    HidBackend* Backend() const { return backend_; }
    sim::VirtualHidBus* Bus() const { return bus_.get(); }
    sim::SimMouse* Mouse() const { return mouse_.get(); }
    sim::SimKeyboardAndMousepad* Peripherals() const { return peripherals_.get(); }

  private:
    std::unique_ptr<HidBackend> system_;
    std::unique_ptr<sim::VirtualHidBus> bus_;
    std::unique_ptr<sim::SimMouse> mouse_;
    std::unique_ptr<sim::SimKeyboardAndMousepad> peripherals_;
    HidBackend* backend_ = nullptr;
};

}  // namespace vq::app
