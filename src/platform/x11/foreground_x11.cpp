// The program in front on an X server: the root window's _NET_ACTIVE_WINDOW names the active
// window, its _NET_WM_PID the process, /proc/PID/exe the program file. Changes arrive as
// property-change events on the root window (and on the active window, whose process id may be
// set after it is activated); the thread sleeps in poll() between them.

#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <thread>

#include "core/util/log.h"
#include "platform/foreground_program.h"

namespace vq::platform {

namespace {

// Reads one 32-bit-format property item of a window; false when it is not there.
bool ReadCardinal(Display* display, Window window, Atom property, Atom type, unsigned long& value) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType,
                                          &actualFormat, &items, &after, &data);
    const bool ok = status == Success && actualType == type && actualFormat == 32 && items == 1 &&
                    data != nullptr;
    if (ok) value = *reinterpret_cast<unsigned long*>(data);  // Xlib hands format 32 as long
    if (data) XFree(data);
    return ok;
}

std::string ProgramOfProcess(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) return {};
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%lu/exe", pid);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) return {};  // gone, or another user's process
    return std::string(target, static_cast<size_t>(n));
}

// Ignores the errors of requests about windows that went away meanwhile.
int QuietErrors(Display*, XErrorEvent*) {
    return 0;
}

class X11ForegroundProgram : public ForegroundProgram {
  public:
    ~X11ForegroundProgram() override { Stop(); }

    bool Start(Changed changed, std::string* whyNot) override {
        Stop();
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            if (whyNot) *whyNot = "no X server could be reached (DISPLAY is not set or refused)";
            return false;
        }
        if (::pipe(wake_) != 0) {
            XCloseDisplay(display_);
            display_ = nullptr;
            if (whyNot) *whyNot = "no wake-up pipe";
            return false;
        }
        XSetErrorHandler(QuietErrors);
        root_ = DefaultRootWindow(display_);
        activeAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        pidAtom_ = XInternAtom(display_, "_NET_WM_PID", False);
        XSelectInput(display_, root_, PropertyChangeMask);
        XFlush(display_);
        changed_ = std::move(changed);
        thread_ = std::thread([this] { Run(); });
        return true;
    }

    void Stop() override {
        if (!thread_.joinable()) return;
        const char byte = 1;
        [[maybe_unused]] const ssize_t w = ::write(wake_[1], &byte, 1);
        thread_.join();
        ::close(wake_[0]);
        ::close(wake_[1]);
        XCloseDisplay(display_);
        display_ = nullptr;
        changed_ = nullptr;
    }

  private:
    void Run() {
        Report();
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != PropertyNotify) continue;
                const XPropertyEvent& p = event.xproperty;
                if ((p.window == root_ && p.atom == activeAtom_) ||
                    (p.window == active_ && p.atom == pidAtom_))
                    Report();
            }
            pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
            const int ready = ::poll(fds, 2, -1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0 || (fds[1].revents & POLLIN)) return;
            if (fds[0].revents & (POLLERR | POLLHUP)) {
                Log(LogLevel::Warning,
                    "the X server closed the connection; the program in "
                    "front is no longer followed");
                return;
            }
        }
    }

    // The program of the active window now, reported when it changed.
    void Report() {
        unsigned long window = 0;
        Window active = None;
        if (ReadCardinal(display_, root_, activeAtom_, XA_WINDOW, window))
            active = static_cast<Window>(window);
        if (active != active_) {
            if (active_ != None) XSelectInput(display_, active_, NoEventMask);
            if (active != None) XSelectInput(display_, active, PropertyChangeMask);
            active_ = active;
        }
        unsigned long pid = 0;
        std::string program;
        if (active != None && ReadCardinal(display_, active, pidAtom_, XA_CARDINAL, pid))
            program = ProgramOfProcess(pid);
        if (program == last_ && reported_) return;
        last_ = program;
        reported_ = true;
        if (changed_) changed_(program);
    }

    Display* display_ = nullptr;
    int wake_[2] = {-1, -1};
    Window root_ = None;
    Window active_ = None;
    Atom activeAtom_ = None;
    Atom pidAtom_ = None;
    Changed changed_;
    std::thread thread_;
    std::string last_;
    bool reported_ = false;
};

}  // namespace

std::unique_ptr<ForegroundProgram> CreateX11ForegroundProgram() {
    return std::make_unique<X11ForegroundProgram>();
}

}  // namespace vq::platform
