#pragma once
// The program whose window is in front: its program file's full path, followed by the desktop's
// events where it has them (no polling).

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vq::platform {

class ForegroundProgram {
  public:
    // The full path of the program in front; "" when it is not known (a window without a
    // process, one whose process may not be inspected).
    using Changed = std::function<void(const std::string& programPath)>;

    virtual ~ForegroundProgram() = default;
    // Starts following: `changed` runs on the follower's own thread, once for the program in front
    // now and then at each change. False, with the reason in `whyNot`, when the desktop gives no
    // way to know the program in front; nothing runs then.
    virtual bool Start(Changed changed, std::string* whyNot) = 0;
    // Stops following; no call of `changed` runs after it returns.
    virtual void Stop() = 0;
};

// The system's: the foreground window on Windows, the active window of an X server on Linux.
// Logs once when there is none.
std::unique_ptr<ForegroundProgram> CreateSystemForegroundProgram();

// A foreground set by hand: for tests and for a desktop the program cannot watch.
class ManualForegroundProgram : public ForegroundProgram {
  public:
    bool Start(Changed changed, std::string*) override {
        std::lock_guard lock(mutex_);
        changed_ = std::move(changed);
        if (changed_) changed_(program_);
        return true;
    }
    void Stop() override {
        std::lock_guard lock(mutex_);
        changed_ = nullptr;
    }
    // Brings a program to the front (reported at once, on the caller's thread).
    void Bring(const std::string& programPath) {
        std::lock_guard lock(mutex_);
        program_ = programPath;
        if (changed_) changed_(program_);
    }

  private:
    std::mutex mutex_;
    Changed changed_;
    std::string program_;
};

}  // namespace vq::platform
