#pragma once
// quilletctl: the command-line tool on the core.

#include <iosfwd>
#include <string>
#include <vector>

namespace vq::cli {

// Runs one quilletctl invocation. Returns the process exit code.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vq::cli
