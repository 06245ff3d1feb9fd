#pragma once
// quilletctl's commands on a kind's macro library: `macro list|show|add|delete|rename|import|
// export`, the same operations as the macro editor's, with the same refusals.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/profile_commands.h"

namespace vq {
class HidBackend;
}

namespace vq::cli {

struct MacroOptions {
    std::string kind = "ms";  // --kind: ms or kb
    bool yes = false;         // --yes: delete a macro that buttons play
};

// Exit codes: 0 done, 2 usage, 5 refused (a bad or taken name, the macro limit, no such macro,
// not a macro file, an existing export target, a macro in use without --yes), 6 a file problem.
int MacroCommand(const FileOptions& files, const MacroOptions& options,
                 const std::vector<std::string>& operands, std::ostream& out, std::ostream& err);

// `script show N | import N FILE | export N FILE | reset N` on the mouse's cursor scripts (N 1-4),
// seeded from the program folder first as the program does at its start. Exit codes as above.
int ScriptCommand(const FileOptions& files, const std::vector<std::string>& operands,
                  std::ostream& out, std::ostream& err);

// `mouse save`: the key page's save on the mouse. Connects, reads the mouse as the program
// does when it arrives (its capacity and key layers), then sends the cursor scripts, the mouse's
// macro library and the key layer of its slot, and saves the selected device profile. Exit
// codes: 0 sent, 4 a device failure (the key layer is not sent after a failed macro or script
// write), 5 the library does not fit the mouse, 6 a file problem.
int MouseSaveCommand(HidBackend* backend, const FileOptions& files, std::ostream& out,
                     std::ostream& err);

}  // namespace vq::cli
