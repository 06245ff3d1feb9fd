#include "cli/device_socket_commands.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <ostream>
#include <stop_token>
#include <thread>

#include "core/device/command_report.h"
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

namespace {

// A decimal or hexadecimal number of at most 0xFFFFFF and nothing else.
std::optional<int> Number(const std::string& text, int base) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, base);
    if (*end != '\0' || value > 0xFFFFFF || text[0] == '-' || text[0] == '+') return std::nullopt;
    return static_cast<int>(value);
}

// Reports nobody asked for on the configuration collection, one a millisecond while on.
class Flood {
  public:
    Flood(sim::VirtualHidBus& bus, std::string path) : bus_(bus), path_(std::move(path)) {}
    ~Flood() { Set(false); }
    void Set(bool on) {
        if (on == thread_.joinable()) return;
        if (!on) {
            thread_.request_stop();
            thread_.join();
            thread_ = {};
            return;
        }
        thread_ = std::jthread([this](std::stop_token stop) {
            const std::vector<uint8_t> report(kReportSize, 0xEE);
            while (!stop.stop_requested()) {
                bus_.SendInput(path_, report);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }

  private:
    sim::VirtualHidBus& bus_;
    std::string path_;
    std::jthread thread_;
};

}  // namespace

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
    Flood flood(bus, cfg);
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
            } else if (line.rfind("delay ", 0) == 0) {
                const std::optional<int> ms = Number(line.substr(6), 10);
                if (!ms) return false;
                mouse.SetAnswerDelayMs(*ms);
                reply = "delayed";
            } else if (line.rfind("late ", 0) == 0) {
                const size_t space = line.find(' ', 5);
                const std::optional<int> n = space == std::string::npos
                                                 ? std::nullopt
                                                 : Number(line.substr(5, space - 5), 10);
                const std::optional<int> ms =
                    space == std::string::npos ? std::nullopt : Number(line.substr(space + 1), 10);
                if (!n || !ms) return false;
                mouse.DelayNextAnswers(*n, *ms);
                reply = "late";
            } else if (line == "flood on" || line == "flood off") {
                flood.Set(line == "flood on");
                reply = line == "flood on" ? "flooding" : "not flooding";
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
