#pragma once
// quilletctl's commands on the profile store: `profiles` and `profile VERB KIND FAMILY ...`.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vq::cli {

struct FileOptions {
    std::optional<std::string> dataDir;     // --data-dir
    std::optional<std::string> programDir;  // --program-dir (the shipped defaults)
};

// Runs the start-up fill of every kind (keyboard, mouse, mousepad) and lists each family's
// profiles, the selected one marked with '*'.
int ProfilesCommand(const FileOptions& options, std::ostream& out, std::ostream& err);
// `profile list|add|delete|copy|rename|import|export|reset|select|link|unlink KIND FAMILY ...`.
int ProfileCommand(const FileOptions& options, const std::vector<std::string>& operands,
                   std::ostream& out, std::ostream& err);
// The usage lines of `profile`, for the program's help.
extern const char* const kProfileUsage;

}  // namespace vq::cli
