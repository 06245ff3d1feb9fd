// Runs a program and measures it from outside, for tools/bench.sh (Linux):
//
//   vq_run_measure start -- PROGRAM ARGS...
//       the time from just before the program is started to its "monotonic N ns" line (the
//       moment quillet --exit-when-shown saw its window painted), and its peak resident memory
//       once it ended: "start_ms=... peak_kb=...".
//   vq_run_measure idle SETTLE_S SPAN_S -- PROGRAM ARGS...
//       the program's CPU use over SPAN_S seconds after SETTLE_S seconds of settling, as a share
//       of one core, then ends it with SIGTERM: "cpu_percent=... peak_kb=...".

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
    std::fprintf(stderr,
                 "usage: vq_run_measure start -- PROGRAM ARGS...\n"
                 "       vq_run_measure idle SETTLE_S SPAN_S -- PROGRAM ARGS...\n");
    return 2;
}

// Starts the program with its standard output on a pipe; the child's id, or -1.
pid_t Spawn(char** argv, int* out) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execvp(argv[0], argv);
        std::perror("vq_run_measure: exec");
        ::_exit(127);
    }
    ::close(fds[1]);
    *out = fds[0];
    return pid;
}

// CPU time the process's threads used so far, in seconds, to the nanosecond where the kernel
// keeps scheduler statistics (a thread that ended is no longer counted there), else in clock
// ticks from the process's own line.
double CpuSeconds(pid_t pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    double total = 0;
    bool any = false;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream in(task.path() / "schedstat");
        unsigned long long ns = 0;
        if (!(in >> ns)) {
            any = false;
            break;
        }
        total += static_cast<double>(ns) / 1e9;
        any = true;
    }
    if (any) return total;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces: fields are counted after its closing parenthesis.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::strtod(field.c_str(), nullptr);
        if (i == 15) {
            stime = std::strtod(field.c_str(), nullptr);
            break;
        }
    }
    return (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long WaitPeakKb(pid_t pid, int* status) {
    struct rusage usage {};
    if (::wait4(pid, status, 0, &usage) < 0) return -1;
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string mode = argv[1];
    int dash = 2;
    while (dash < argc && std::strcmp(argv[dash], "--") != 0)
        ++dash;
    if (dash + 1 >= argc) return Usage();
    char** program = argv + dash + 1;

    if (mode == "start" && dash == 2) {
        int out = -1;
        const Clock::time_point before = Clock::now();
        const pid_t pid = Spawn(program, &out);
        if (pid < 0) return 1;
        std::string text;
        char buffer[512];
        for (ssize_t n; (n = ::read(out, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        int status = 0;
        const long peak = WaitPeakKb(pid, &status);
        const size_t at = text.find("monotonic ");
        if (at == std::string::npos || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr,
                         "vq_run_measure: the program did not report its window (exit status "
                         "%d)\n%s",
                         WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.c_str());
            return 1;
        }
        const long long shownNs = std::strtoll(text.c_str() + at + 10, nullptr, 10);
        const double ms =
            static_cast<double>(shownNs - std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              before.time_since_epoch())
                                              .count()) /
            1e6;
        // The program's own figure counts from its main(); this one from before the process.
        const size_t own = text.find("window shown after ");
        const double ownMs =
            own == std::string::npos ? -1 : std::strtod(text.c_str() + own + 19, nullptr);
        std::printf("start_ms=%.1f peak_kb=%ld main_ms=%.1f\n", ms, peak, ownMs);
        return 0;
    }
    if (mode == "idle" && dash == 4) {
        const double settle = std::strtod(argv[2], nullptr);
        const double span = std::strtod(argv[3], nullptr);
        int out = -1;
        const pid_t pid = Spawn(program, &out);
        if (pid < 0) return 1;
        std::this_thread::sleep_for(std::chrono::duration<double>(settle));
        const double cpu0 = CpuSeconds(pid);
        const Clock::time_point t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(span));
        const double cpu1 = CpuSeconds(pid);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        ::kill(pid, SIGTERM);
        int status = 0;
        const long peak = WaitPeakKb(pid, &status);
        ::close(out);
        if (cpu0 < 0 || cpu1 < 0) {
            std::fprintf(stderr, "vq_run_measure: the program ended early\n");
            return 1;
        }
        std::printf("cpu_percent=%.3f peak_kb=%ld\n", (cpu1 - cpu0) / wall * 100.0, peak);
        return 0;
    }
    return Usage();
}
