#include "core/profile/profile_watcher.h"

#include "core/util/log.h"

namespace vq {

ProfileWatcher::ProfileWatcher(const ProfileStore& store, Apply apply, DeviceKind kind,
                               ProfileFamily family)
    : store_(store), apply_(std::move(apply)), kind_(kind), family_(family) {}

void ProfileWatcher::ForegroundChanged(std::string_view programPath) {
    std::lock_guard lock(mutex_);
    if (programPath == program_ && active_ >= 0) return;
    program_ = std::string(programPath);
    DecideLocked();
}

void ProfileWatcher::SelectionApplied(int index) {
    std::lock_guard lock(mutex_);
    active_ = index;
    linked_ = -1;
    DecideLocked();
}

void ProfileWatcher::LinksChanged() {
    std::lock_guard lock(mutex_);
    DecideLocked();
}

int ProfileWatcher::ActiveIndex() const {
    std::lock_guard lock(mutex_);
    return active_;
}

int ProfileWatcher::LinkedIndex() const {
    std::lock_guard lock(mutex_);
    return linked_;
}

std::string ProfileWatcher::Program() const {
    std::lock_guard lock(mutex_);
    return program_;
}

void ProfileWatcher::DecideLocked() {
    const int linked = store_.LinkedProfile(kind_, family_, program_);
    const int selected = store_.ReadIndex(kind_, family_).selected;
    // Before the first decision the user's selection is in force (the arrival applied it).
    if (active_ < 0) active_ = selected;
    const int target = linked >= 0 ? linked : selected;
    linked_ = linked;
    if (target < 0 || target == active_) return;
    Logf(LogLevel::Info, "%s %s profile %d in force (%s)", DeviceKindPrefix(kind_),
         FamilyName(family_), target,
         linked >= 0 ? "linked to the program in front" : "the selected one");
    active_ = target;
    apply_(target);
}

}  // namespace vq
