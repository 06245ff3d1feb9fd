#include "core/control/linked_profile_follower.h"

namespace vq {

LinkedProfileFollower::LinkedProfileFollower(const ProfileStore& store,
                                             DeviceController& controller, ProfileFamily family)
    : controller_(controller),
      family_(family),
      // The watcher decides under its lock; the controller only queues the apply.
      watcher_(
          store, [this](int index) { controller_.ApplyFollowedProfile(family_, index); },
          controller.Kind(), family) {}

void LinkedProfileFollower::OnControllerEvent(const ControllerEvent& event) {
    if (event.kind != controller_.Kind() || event.family != family_) return;
    switch (event.type) {
        case ControllerEventType::ProfileSelected:
            // The follower's own applies are not the user's choice.
            if (!event.followed) watcher_.SelectionApplied(event.index);
            return;
        case ControllerEventType::ProfileEdited:
            if (event.result == 1) watcher_.LinksChanged();
            return;
        default:
            return;
    }
}

}  // namespace vq
