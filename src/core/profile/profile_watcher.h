#pragma once
// Profiles that follow the program in front: while a program that a profile of the watched
// family (the mouse's device profiles) is linked to has the foreground, that profile is in force;
// any other program brings back the profile the user selected. The stored selection ("select" in
// the index) is never written here, so it always stays the user's own choice.
//
// The watcher is fed: the platform's ForegroundProgram reports each change of the program in
// front, the window reports the user's selections and link edits. It spends nothing while the
// foreground does not change.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/profile/profile_store.h"

namespace vq {

class ProfileWatcher {
  public:
    // Loads and sends profile `index` of the watched family without recording it as selected
    // (the device controller's apply). Called one at a time, in the order decided, with the
    // watcher's lock held: it must not call back into the watcher, and should only queue work.
    using Apply = std::function<void(int index)>;

    ProfileWatcher(const ProfileStore& store, Apply apply, DeviceKind kind = DeviceKind::Mouse,
                   ProfileFamily family = ProfileFamily::Device);

    // The program in front is now `programPath` (its full path; "" when it is not known).
    void ForegroundChanged(std::string_view programPath);
    // The user selected profile `index`, and it has been applied: it is the one in force now,
    // unless a linked program is in front.
    void SelectionApplied(int index);
    // A link of the family was set or cleared, or profiles were added or deleted.
    void LinksChanged();

    // The profile last applied (or taken as in force), -1 before the first decision.
    int ActiveIndex() const;
    // The linked profile in force, -1 when the user's selection is.
    int LinkedIndex() const;
    std::string Program() const;

  private:
    void DecideLocked();

    const ProfileStore& store_;
    Apply apply_;
    DeviceKind kind_;
    ProfileFamily family_;
    mutable std::mutex mutex_;
    std::string program_;
    int active_ = -1;
    int linked_ = -1;
};

}  // namespace vq
