#include "platform/termination.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#endif

namespace vq::platform {

#ifndef _WIN32

namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already says enough.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

int TerminationRequestDescriptor() {
    if (g_pipe[0] >= 0) return g_pipe[0];
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return g_pipe[0];
}

void ClearTerminationRequests() {
    char buffer[64];
    while (g_pipe[0] >= 0 && ::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

#else

int TerminationRequestDescriptor() {
    return -1;
}
void ClearTerminationRequests() {}

#endif

}  // namespace vq::platform
