#pragma once
// Profiles that follow the program in front, wired to a device's controller: the watcher's
// decisions become the controller's followed applies (the stored selection never changes), and
// the controller's events tell the watcher of the user's selections and of edits of the family.
// The platform's ForegroundProgram feeds ForegroundChanged from its own thread.

#include <string_view>

#include "core/control/device_controller.h"
#include "core/profile/profile_watcher.h"

namespace vq {

class LinkedProfileFollower {
  public:
    LinkedProfileFollower(const ProfileStore& store, DeviceController& controller,
                          ProfileFamily family = ProfileFamily::Device);

    // The program in front changed (any thread).
    void ForegroundChanged(std::string_view programPath) {
        watcher_.ForegroundChanged(programPath);
    }
    // Every event of the controller, on its thread: a selection the user made ends a followed
    // profile; an edit of the family (a link, a profile added or deleted) is looked at again.
    void OnControllerEvent(const ControllerEvent& event);

    const ProfileWatcher& Watcher() const { return watcher_; }

  private:
    DeviceController& controller_;
    ProfileFamily family_;
    ProfileWatcher watcher_;
};

}  // namespace vq
