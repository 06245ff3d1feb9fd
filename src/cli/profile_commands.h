#pragma once
// quilletctl's commands on the profile store: `profiles` and `profile add`.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vq::cli {

struct FileOptions {
    std::optional<std::string> dataDir;     // --data-dir
    std::optional<std::string> programDir;  // --program-dir (the shipped defaults)
};

// Runs the first-run fill of every family (keyboard, mouse, mousepad) and lists each family's
// profiles, the selected one marked with '*'.
int ProfilesCommand(const FileOptions& options, std::ostream& out, std::ostream& err);
// `profile add KIND FAMILY NAME`: adds a profile from the shipped default.
int ProfileCommand(const FileOptions& options, const std::vector<std::string>& operands,
                   std::ostream& out, std::ostream& err);

}  // namespace vq::cli
