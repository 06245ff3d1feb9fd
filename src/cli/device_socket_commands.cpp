#include "cli/device_socket_commands.h"

#include <cstdlib>
#include <iostream>
#include <ostream>

#include "sim/sim_mouse.h"

#if !defined(_WIN32)
#include "platform/socket/socket_backend.h"
#include "platform/socket/socket_server.h"
#endif

namespace vq::cli {

#if defined(_WIN32)

int ServeSimCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "quilletctl: serving a device on a socket is not available on Windows\n";
    return 2;
}

std::unique_ptr<HidBackend> ConnectDeviceSocket(const std::string&, std::string* whyNot) {
    if (whyNot) *whyNot = "device sockets are not available on Windows";
    return nullptr;
}

#else

int ServeSimCommand(const std::vector<std::string>& operands, std::ostream& out,
                    std::ostream& err) {
    if (operands.size() != 1 || operands[0].empty()) {
        err << "quilletctl: serve-sim needs the socket path, and nothing else\n";
        return 2;
    }
    const std::string& path = operands[0];
    sim::VirtualHidBus bus;
    sim::SimMouse mouse(bus);
    mouse.Plug();
    const std::string cfg = mouse.ConfigPath(), evt = mouse.EventPath();
    platform::SocketDeviceServer server(&bus, [cfg, evt](const std::string& p) {
        return p == cfg ? std::string("mouse.cfg") : p == evt ? std::string("mouse.evt") : p;
    });
    // Before the server's threads start, so that they leave the signals to the serving loop.
    platform::BlockTerminationSignals();
    std::string whyNot;
    if (!server.Start(path, &whyNot)) {
        err << "quilletctl: " << whyNot << "\n";
        return 4;
    }
    out << "serving the simulated mouse at " << path << std::endl;
    return platform::ServeUntilQuit(
        server, std::cin, out, [&](const std::string& line, std::string& reply) {
            if (line == "unplug") {
                mouse.Unplug();
                server.Rescan();
                reply = "unplugged";
            } else if (line == "plug") {
                mouse.Plug();
                server.Rescan();
                reply = "plugged";
            } else if (line == "press") {
                mouse.PressDpiButton();
                reply = "pressed";
            } else if (line.rfind("notify ", 0) == 0) {
                char* end = nullptr;
                const unsigned long usage = std::strtoul(line.c_str() + 7, &end, 16);
                if (end == line.c_str() + 7 || *end != '\0' || usage > 0xFFFF) return false;
                mouse.SendNotification(static_cast<uint16_t>(usage));
                reply = "notified";
            } else {
                return false;
            }
            return true;
        });
}

std::unique_ptr<HidBackend> ConnectDeviceSocket(const std::string& path, std::string* whyNot) {
    return platform::SocketHidBackend::Connect(path, whyNot);
}

#endif

}  // namespace vq::cli
