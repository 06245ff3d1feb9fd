#include "core/profile/startup_fill.h"

#include "core/macro/macro_file.h"
#include "core/util/log.h"

namespace vq {

KindFill FillKindAtStart(ProfileStore& store, DeviceKind kind) {
    KindFill fill{kind, {}, true, {}, {}};
    fill.recovery = store.Recover(kind);
    if (!fill.recovery.ok())
        Logf(LogLevel::Error, "%s profiles: %s", DeviceKindPrefix(kind),
             DescribeProfileResult(fill.recovery).c_str());
    // Another program kept the edit lock for the whole wait: every later step would wait again.
    if (fill.recovery.error == ProfileError::Busy) return fill;
    if (kind == DeviceKind::Mouse) {
        if (const std::optional<std::filesystem::path> folder = store.KindFolder(kind)) {
            MacroLibrary macros(kind, *folder);
            fill.cursorScriptsSeeded = macros.SeedCursorScripts(store.ProgramFolder());
            fill.macroNames = macros.ReadNames();
        } else {
            fill.cursorScriptsSeeded = false;
        }
    }
    fill.families = store.InitProfileKind(kind);
    return fill;
}

std::vector<KindFill> FillAllAtStart(ProfileStore& store) {
    std::vector<KindFill> fills;
    for (DeviceKind kind : kFillOrder)
        fills.push_back(FillKindAtStart(store, kind));
    return fills;
}

}  // namespace vq
