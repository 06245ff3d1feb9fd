#pragma once
// quilletctl's commands on the keyboard (--kind kb) and the mousepad (--kind mp), through their
// controllers: `get` (the full read and the live record, printed), `key N FUNCTION` (the
// keyboard's key N given a function, then the key page's save: macros, then the key block) and
// `light MODE [--brightness N] [--speed N] [--colour RRGGBB]` (the live record changed and
// sent). With --data-dir the selected profiles are loaded first and saved as the program does.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/mouse_commands.h"

namespace vq {
class HidBackend;
}

namespace vq::cli {

inline bool IsPeripheralCommand(const std::string& command) {
    return command == "get" || command == "key" || command == "light";
}

// Checks the kind, the command and its operands before any device is opened: the exit code of
// a usage error (with its message written), or nothing when they are good.
std::optional<int> CheckPeripheralUsage(const std::string& kind, const std::string& command,
                                        const MouseOptions& options,
                                        const std::vector<std::string>& operands,
                                        std::ostream& err);

int PeripheralCommand(HidBackend* backend, const FileOptions& files, const std::string& kind,
                      const std::string& command, const MouseOptions& options,
                      const std::vector<std::string>& operands, std::ostream& out,
                      std::ostream& err);

}  // namespace vq::cli
