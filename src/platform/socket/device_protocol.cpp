#include "platform/socket/device_protocol.h"

#include <charconv>
#include <cstdio>

namespace vq::platform {

namespace {

constexpr size_t kMaxNameLength = 200;

std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t space = line.find(' ', pos);
        const size_t end = space == std::string_view::npos ? line.size() : space;
        if (end > pos) fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

bool ParseHex(std::string_view text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) return false;
    out = value;
    return true;
}

bool ParseDecimal(std::string_view text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 9) return false;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) return false;
    out = value;
    return true;
}

bool ParseBytes(std::string_view hex, std::vector<uint8_t>& out) {
    if (hex.empty() || hex.size() % 2 != 0) return false;
    out.clear();
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        uint32_t byte = 0;
        if (!ParseHex(hex.substr(i, 2), 0xFF, byte)) return false;
        out.push_back(static_cast<uint8_t>(byte));
    }
    return true;
}

bool ValidName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return false;
    return true;
}

std::nullopt_t Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

}  // namespace

std::optional<DeviceMessage> ParseDeviceLine(std::string_view line, std::string* error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> f = Split(line);
    if (f.empty()) return Fail(error, "empty line");
    DeviceMessage m;
    const std::string_view word = f[0];
    if (word == "VQHID") {
        uint32_t version = 0;
        if (f.size() != 2 || !ParseDecimal(f[1], 1000000, version))
            return Fail(error, "VQHID needs a version number");
        m.kind = DeviceMessageKind::Hello;
        m.version = static_cast<int>(version);
        return m;
    }
    if (word == "READY") {
        if (f.size() != 1) return Fail(error, "READY takes nothing");
        m.kind = DeviceMessageKind::Ready;
        return m;
    }
    if (word == "INTERFACE") {
        if (f.size() < 2 || !ValidName(f[1])) return Fail(error, "INTERFACE needs a name");
        m.kind = DeviceMessageKind::Interface;
        SocketInterface& itf = m.interface;
        itf.name = std::string(f[1]);
        bool haveVid = false, havePid = false, haveUp = false, haveU = false;
        for (size_t i = 2; i < f.size(); ++i) {
            const size_t eq = f[i].find('=');
            if (eq == std::string_view::npos) return Fail(error, "INTERFACE field without '='");
            const std::string_view key = f[i].substr(0, eq), value = f[i].substr(eq + 1);
            uint32_t v = 0;
            bool ok = false;
            if (key == "vid") {
                ok = haveVid = ParseHex(value, 0xFFFF, v);
                itf.attributes.vendorId = static_cast<uint16_t>(v);
            } else if (key == "pid") {
                ok = havePid = ParseHex(value, 0xFFFF, v);
                itf.attributes.productId = static_cast<uint16_t>(v);
            } else if (key == "ver") {
                ok = ParseHex(value, 0xFFFF, v);
                itf.attributes.versionNumber = static_cast<uint16_t>(v);
            } else if (key == "mi") {
                ok = ParseHex(value, 0xFF, v);
                itf.interfaceNumber = v;
            } else if (key == "col") {
                ok = ParseHex(value, 0xFF, v);
                itf.collectionNumber = v;
            } else if (key == "up") {
                ok = haveUp = ParseHex(value, 0xFFFF, v);
                itf.caps.usagePage = static_cast<uint16_t>(v);
            } else if (key == "u") {
                ok = haveU = ParseHex(value, 0xFFFF, v);
                itf.caps.usage = static_cast<uint16_t>(v);
            } else if (key == "in" || key == "out" || key == "feat") {
                ok = ParseDecimal(value, 4096, v);
                uint16_t& length = key == "in"    ? itf.caps.inputReportByteLength
                                   : key == "out" ? itf.caps.outputReportByteLength
                                                  : itf.caps.featureReportByteLength;
                length = static_cast<uint16_t>(v);
            } else {
                ok = true;  // fields of later versions are ignored
            }
            if (!ok) return Fail(error, "INTERFACE field " + std::string(f[i]) + " is malformed");
        }
        if (!haveVid || !havePid || !haveUp || !haveU)
            return Fail(error, "INTERFACE needs vid, pid, up and u");
        return m;
    }
    if (word == "INPUT" || word == "OUTPUT") {
        if (f.size() != 3 || !ValidName(f[1]))
            return Fail(error, std::string(word) + " needs a name and bytes");
        m.kind = word == "INPUT" ? DeviceMessageKind::Input : DeviceMessageKind::Output;
        m.name = std::string(f[1]);
        if (f[2].size() > 2 * 4096 || !ParseBytes(f[2], m.bytes))
            return Fail(error, std::string(word) + " bytes are not 1 to 4096 hex pairs");
        return m;
    }
    if (word == "UNPLUG") {
        if (f.size() != 2 || !ValidName(f[1])) return Fail(error, "UNPLUG needs a name");
        m.kind = DeviceMessageKind::Unplug;
        m.name = std::string(f[1]);
        return m;
    }
    return Fail(error, "unknown message " + std::string(word.substr(0, 32)));
}

std::string FormatDeviceLine(const DeviceMessage& m) {
    char text[160];
    std::string line;
    switch (m.kind) {
        case DeviceMessageKind::Hello:
            line = "VQHID " + std::to_string(m.version);
            break;
        case DeviceMessageKind::Ready:
            line = "READY";
            break;
        case DeviceMessageKind::Interface: {
            const SocketInterface& i = m.interface;
            std::snprintf(text, sizeof text,
                          " vid=%04x pid=%04x ver=%04x mi=%02x col=%02x up=%04x u=%04x in=%u "
                          "out=%u feat=%u",
                          i.attributes.vendorId, i.attributes.productId, i.attributes.versionNumber,
                          i.interfaceNumber, i.collectionNumber, i.caps.usagePage, i.caps.usage,
                          i.caps.inputReportByteLength, i.caps.outputReportByteLength,
                          i.caps.featureReportByteLength);
            line = "INTERFACE " + i.name + text;
            break;
        }
        case DeviceMessageKind::Unplug:
            line = "UNPLUG " + m.name;
            break;
        case DeviceMessageKind::Input:
        case DeviceMessageKind::Output: {
            line = (m.kind == DeviceMessageKind::Input ? "INPUT " : "OUTPUT ") + m.name + " ";
            static constexpr char kDigits[] = "0123456789abcdef";
            for (uint8_t b : m.bytes) {
                line += kDigits[b >> 4];
                line += kDigits[b & 15];
            }
            break;
        }
    }
    line += '\n';
    return line;
}

std::string SocketInterfacePath(const SocketInterface& i) {
    char text[64];
    std::snprintf(text, sizeof text, "#vid_%04x&pid_%04x&mi_%02x&col%02x", i.attributes.vendorId,
                  i.attributes.productId, i.interfaceNumber, i.collectionNumber);
    return i.name + text;
}

void LineSplitter::Feed(std::string_view data) {
    while (!data.empty()) {
        const size_t newline = data.find('\n');
        if (skipping_) {  // the rest of a line that was too long
            if (newline == std::string_view::npos) return;
            skipping_ = false;
            data.remove_prefix(newline + 1);
            continue;
        }
        if (newline == std::string_view::npos) {
            partial_.append(data);
            if (partial_.size() > kMaxDeviceLineLength) {
                partial_.clear();
                skipping_ = true;
                ++dropped_;
            }
            return;
        }
        partial_.append(data.substr(0, newline));
        if (partial_.size() > kMaxDeviceLineLength)
            ++dropped_;
        else
            lines_.push_back(std::move(partial_));
        partial_.clear();
        data.remove_prefix(newline + 1);
    }
}

std::optional<std::string> LineSplitter::Next() {
    if (lines_.empty()) return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

}  // namespace vq::platform
