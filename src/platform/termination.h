#pragma once
// A request from the system to end the program (SIGTERM, SIGINT or SIGHUP on Linux: a session
// that ends, a service manager, Ctrl+C), turned into something an event loop can wait for.

namespace vq::platform {

// Installs the handlers (once) and returns a descriptor that becomes readable when a request
// arrived; -1 where requests do not arrive this way.
int TerminationRequestDescriptor();
// Reads the pending requests off the descriptor.
void ClearTerminationRequests();

}  // namespace vq::platform
