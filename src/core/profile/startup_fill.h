#pragma once
// The start-up fill of the profile store, one routine for the program and quilletctl: per kind
// an interrupted edit finished and stale temporary files removed, for the mouse the cursor
// scripts seeded and the macro list read, then the kind's profile families.

#include <string>
#include <vector>

#include "core/profile/profile_store.h"

namespace vq {

struct KindFill {
    DeviceKind kind;
    // What the recovery of an interrupted edit found wrong (ok() when nothing).
    ProfileResult recovery;
    // The mouse's cursor scripts: false when a shipped script could not be copied.
    bool cursorScriptsSeeded = true;
    // The mouse's macro list, in index order.
    std::vector<std::string> macroNames;
    // The families in order; stops after one whose default failed or whose index is unreadable,
    // and is empty when another program held the edit lock too long (recovery says Busy).
    std::vector<FamilyFill> families;
};

// One kind's fill.
KindFill FillKindAtStart(ProfileStore& store, DeviceKind kind);
// Every kind's, in the program's order: keyboard, mouse, mousepad.
std::vector<KindFill> FillAllAtStart(ProfileStore& store);

// The kinds in the order they are filled at start.
inline constexpr DeviceKind kFillOrder[] = {DeviceKind::Keyboard, DeviceKind::Mouse,
                                            DeviceKind::Mousepad};

}  // namespace vq
