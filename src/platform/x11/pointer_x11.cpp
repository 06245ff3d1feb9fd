#include "platform/x11/pointer_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "core/util/log.h"

namespace vq::platform {

double LibinputAccelFromSpeed(int speed) {
    const int s = std::clamp(speed, kMinPointerSpeed, kMaxPointerSpeed);
    return std::clamp((s - 10) / 10.0, -1.0, 1.0);
}

int SpeedFromLibinputAccel(double accel) {
    if (!std::isfinite(accel)) return 10;
    const long speed = std::lround(std::clamp(accel, -1.0, 1.0) * 10.0 + 10.0);
    return static_cast<int>(std::clamp<long>(speed, kMinPointerSpeed, kMaxPointerSpeed));
}

namespace {

constexpr const char* kAccelProperty = "libinput Accel Speed";

int QuietErrors(Display*, XErrorEvent*) {
    return 0;
}

class X11SystemPointer : public SystemPointer {
  public:
    // Takes the open display; Open() says whether any pointer has the property.
    explicit X11SystemPointer(Display* display) : display_(display) {}
    ~X11SystemPointer() override {
        std::lock_guard lock(mutex_);
        if (display_) XCloseDisplay(display_);
    }

    bool Open() {
        std::lock_guard lock(mutex_);
        int opcode = 0, event = 0, error = 0;
        if (!XQueryExtension(display_, "XInputExtension", &opcode, &event, &error)) return false;
        int major = 2, minor = 0;
        if (XIQueryVersion(display_, &major, &minor) != Success) return false;
        // Only a server that has a libinput device knows these atoms.
        accel_ = XInternAtom(display_, kAccelProperty, True);
        float_ = XInternAtom(display_, "FLOAT", True);
        if (accel_ == None || float_ == None) return false;
        return !PointersLocked().empty();
    }

    bool Available() const override { return true; }
    bool SpeedAvailable() const override { return true; }
    bool WheelLinesAvailable() const override { return false; }

    std::optional<int> Speed() override {
        std::lock_guard lock(mutex_);
        for (int device : PointersLocked())
            if (const std::optional<float> accel = ReadAccel(device))
                return SpeedFromLibinputAccel(*accel);
        return std::nullopt;
    }

    bool SetSpeed(int speed) override {
        if (speed < kMinPointerSpeed || speed > kMaxPointerSpeed) return false;
        std::lock_guard lock(mutex_);
        float value = static_cast<float>(LibinputAccelFromSpeed(speed));
        bool any = false;
        // Every pointer the driver runs now, also one plugged in since the last change.
        for (int device : PointersLocked()) {
            XIChangeProperty(display_, device, accel_, float_, 32, PropModeReplace,
                             reinterpret_cast<unsigned char*>(&value), 1);
            XSync(display_, False);
            // What the server holds now says whether it took the value.
            const std::optional<float> now = ReadAccel(device);
            if (now && std::fabs(*now - value) < 1e-4f)
                any = true;
            else
                Logf(LogLevel::Warning, "pointer %d did not take the acceleration %.2f", device,
                     static_cast<double>(value));
        }
        return any;
    }

    // X has no common setting for the lines per wheel notch: each program keeps its own.
    std::optional<unsigned> WheelLines() override { return std::nullopt; }
    bool SetWheelLines(unsigned lines) override {
        if (!saidWheel_.exchange(true)) {
            Logf(LogLevel::Info,
                 "this desktop has no common setting for the lines per wheel notch: %u is kept "
                 "in the profile but not applied",
                 lines);
        }
        return false;
    }

  private:
    // The pointers (not keyboards, not the server's own master pointer) that have the property.
    std::vector<int> PointersLocked() {
        std::vector<int> devices;
        int count = 0;
        XIDeviceInfo* info = XIQueryDevice(display_, XIAllDevices, &count);
        if (!info) return devices;
        for (int i = 0; i < count; ++i)
            if ((info[i].use == XISlavePointer || info[i].use == XIFloatingSlave) &&
                info[i].enabled && ReadAccel(info[i].deviceid))
                devices.push_back(info[i].deviceid);
        XIFreeDeviceInfo(info);
        return devices;
    }

    std::optional<float> ReadAccel(int device) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        std::optional<float> value;
        if (XIGetProperty(display_, device, accel_, 0, 1, False, AnyPropertyType, &type, &format,
                          &items, &after, &data) == Success &&
            type == float_ && format == 32 && items >= 1 && data) {
            float v = 0;
            std::copy_n(data, sizeof v, reinterpret_cast<unsigned char*>(&v));
            value = v;
        }
        if (data) XFree(data);
        return value;
    }

    std::mutex mutex_;
    Display* display_ = nullptr;
    Atom accel_ = None;
    Atom float_ = None;
    std::atomic<bool> saidWheel_{false};
};

}  // namespace

std::unique_ptr<SystemPointer> CreateX11SystemPointer() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    // A device that goes away between listing and change must not end the program.
    XSetErrorHandler(QuietErrors);
    auto pointer = std::make_unique<X11SystemPointer>(display);
    if (!pointer->Open()) return nullptr;
    return pointer;
}

}  // namespace vq::platform
