#pragma once
// The built quilletctl as a process: one run of it with its output and exit code, and a
// `quilletctl serve-sim` process serving the simulated mouse on a socket of its own folder.

#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/socket/socket_backend.h"

namespace vq::test {

struct CtlRun {
    int code = -1;
    std::string output;  // standard output and standard error
};

inline CtlRun RunCtl(const std::string& arguments) {
    CtlRun r;
    std::FILE* pipe =
        ::popen((std::string(VQ_QUILLETCTL) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        r.output += buffer;
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class ServedSimMouse : public ::testing::Test {
  protected:
    ServedSimMouse() {
        char folder[] = "/tmp/vq-socket-XXXXXX";
        if (::mkdtemp(folder) != nullptr) dir = folder;
        path = dir + "/mouse.sock";
    }
    ~ServedSimMouse() override {
        if (server) Quit();
        ::unlink(path.c_str());
        ::unlink((dir + "/replies").c_str());
        ::rmdir(dir.c_str());
    }

    // Starts the server and waits until it serves (a program connects and reads its list). Its
    // replies to commands go to the file "replies" in the folder.
    void Serve() {
        server = ::popen(
            (std::string(VQ_QUILLETCTL) + " serve-sim " + path + " >" + dir + "/replies").c_str(),
            "w");
        ASSERT_NE(server, nullptr);
        for (int i = 0; i < 1000; ++i) {
            if (platform::SocketHidBackend::Connect(path, nullptr)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        FAIL() << "serve-sim did not start serving at " << path;
    }
    void Command(const char* line) {
        ASSERT_NE(server, nullptr);
        std::fputs(line, server);
        std::fputc('\n', server);
        std::fflush(server);
    }
    // Sends a command and waits until the server has carried it out and said `reply`.
    void CommandDone(const char* line, const std::string& reply) {
        Command(line);
        for (int i = 0; i < 1000; ++i) {
            std::ifstream replies(dir + "/replies");
            const std::string said((std::istreambuf_iterator<char>(replies)),
                                   std::istreambuf_iterator<char>());
            if (said.find(reply + "\n", replied) != std::string::npos) {
                replied = said.size();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        FAIL() << "serve-sim did not carry out " << line;
    }
    int Quit() {
        Command("quit");
        const int status = ::pclose(server);
        server = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool SocketFileExists() const {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    std::string dir, path;
    std::FILE* server = nullptr;
    size_t replied = 0;  // of the server's replies, those already waited for
};

}  // namespace vq::test

#endif
