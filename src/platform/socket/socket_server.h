#pragma once
// The device side of the socket protocol: serves the interfaces of a HidBackend (the in-tree
// simulator's bus) to one program at a time over a Unix domain socket.

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/device/hid_backend.h"

namespace vq::platform {

class SocketDeviceServer {
  public:
    // `nameOf` gives the protocol name of an interface from its backend path (no spaces).
    explicit SocketDeviceServer(HidBackend* backend,
                                std::function<std::string(const std::string&)> nameOf = {});
    ~SocketDeviceServer();
    SocketDeviceServer(const SocketDeviceServer&) = delete;
    SocketDeviceServer& operator=(const SocketDeviceServer&) = delete;

    // Binds and listens at `path`, replacing a stale socket left by a server that is gone (but
    // never another kind of file, nor a socket that a live server answers on), and starts
    // accepting programs.
    bool Start(const std::string& path, std::string* whyNot);
    // Announces interfaces that appeared on the backend and unplugs those that went.
    void Rescan();
    // Closes the program's connection and the socket, and removes the socket file.
    void Stop();

    class Connection;

  private:
    void AcceptLoop();

    HidBackend* backend_;
    std::function<std::string(const std::string&)> nameOf_;
    std::string path_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::shared_ptr<Connection> connection_;  // the program being served, if any
};

// Blocks SIGINT and SIGTERM in the calling thread, and so in the threads it starts afterwards:
// call it before starting the server, so that those signals are left to ServeUntilQuit.
void BlockTerminationSignals();

// Serves until a "quit" command or SIGINT/SIGTERM, then stops the server. Commands come line by
// line from `commands`; each goes to `onCommand`, which answers with a line for `out` (or an
// empty string), or false for a command it does not know. At the end of the commands, serving
// goes on until a signal. `commands` and `out` must live until the process ends (the standard
// streams): the reader of the commands may still wait for input when this returns.
int ServeUntilQuit(SocketDeviceServer& server, std::istream& commands, std::ostream& out,
                   std::function<bool(const std::string&, std::string&)> onCommand);

}  // namespace vq::platform
