#pragma once
// The program in front on Windows: the foreground window's process and the full path of its
// program file, followed through the system's foreground-change events.

#if defined(_WIN32)

#include <memory>
#include <string>

#include "platform/foreground_program.h"

namespace vq::platform {

// The program file of a process: the first module of its module snapshot. "" when the snapshot
// cannot be taken (the process ended, or it runs with higher rights than ours).
std::string ProgramOfProcessId(unsigned long processId);

std::unique_ptr<ForegroundProgram> CreateWin32ForegroundProgram();

}  // namespace vq::platform

#endif
