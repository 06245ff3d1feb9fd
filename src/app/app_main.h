#pragma once
// The program: options, single instance, the devices, the window and the message loop.

namespace vq::app {

// Runs quillet; returns the process exit code.
int RunQuillet(int argc, char** argv);

}  // namespace vq::app
