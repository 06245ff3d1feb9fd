#pragma once
// A system pointer whose values the test reads: every apply is recorded in order.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/mouse/pointer_settings.h"

namespace vq::test {

class FakeSystemPointer : public SystemPointerTarget {
  public:
    bool CanSetSpeed() const override { return canSpeed; }
    bool CanSetWheelLines() const override { return canWheel; }
    std::string Limitation() const override { return limitation; }
    std::optional<int> Speed() override {
        std::lock_guard lock(mutex_);
        return readable ? std::optional<int>(speed) : std::nullopt;
    }
    bool SetSpeed(int s) override {
        std::lock_guard lock(mutex_);
        speed = s;
        speeds.push_back(s);
        return true;
    }
    bool SetWheelLines(int l) override {
        std::lock_guard lock(mutex_);
        lines = l;
        wheel.push_back(l);
        return true;
    }
    std::vector<int> Speeds() const {
        std::lock_guard lock(mutex_);
        return speeds;
    }
    std::vector<int> Wheel() const {
        std::lock_guard lock(mutex_);
        return wheel;
    }
    int CurrentSpeed() const {
        std::lock_guard lock(mutex_);
        return speed;
    }
    int CurrentLines() const {
        std::lock_guard lock(mutex_);
        return lines;
    }

    bool canSpeed = true;
    bool canWheel = true;
    bool readable = true;
    std::string limitation;

  private:
    mutable std::mutex mutex_;
    int speed = 10;
    int lines = 3;
    std::vector<int> speeds;
    std::vector<int> wheel;
};

}  // namespace vq::test
