#pragma once
// A private Xvfb for the tests that need a real X server (Linux with Xvfb installed only).

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

namespace vq::test {

// An Xvfb of our own on a display it chose; DISPLAY points at it while it lives.
class PrivateXServer {
  public:
    PrivateXServer() {
        const char* const candidates[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"};
        const char* binary = nullptr;
        for (const char* c : candidates)
            if (::access(c, X_OK) == 0) binary = c;
        if (!binary) return;
        // The server picks a free display itself and writes its number once it accepts clients:
        // a number chosen here could be taken by another server starting at the same moment
        // (an xvfb-run elsewhere on the machine), and a client would then reach that one.
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execl(binary, binary, "-displayfd", fd.c_str(), "-screen", "0", "320x240x24",
                    "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        if (pid_ > 0) {
            pollfd p{fds[0], POLLIN, 0};
            char c = 0;
            while (::poll(&p, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n')
                number += c;
        }
        ::close(fds[0]);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return;
        display_ = ":" + number;
        ::setenv("DISPLAY", display_.c_str(), 1);
        ready_ = true;
    }
    ~PrivateXServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Ready() const { return ready_; }
    const std::string& Name() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
    bool ready_ = false;
};

}  // namespace vq::test
