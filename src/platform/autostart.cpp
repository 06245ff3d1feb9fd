#include "platform/autostart.h"

#include "core/util/file_names.h"

namespace vq::platform {

namespace {

// An argument of an Exec line: quoted, with the characters that quoting reserves escaped, then
// with the backslashes of the string escape doubled, and '%' (a field code) doubled.
std::string QuotedExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";  // an escaping backslash, itself escaped for the string value
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace

std::optional<std::string> AutostartDesktopEntry(const std::filesystem::path& program) {
    const std::string path = Utf8FromPath(program);
    if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Varnhold Quillet\n"
           "Comment=Settings of the mouse, keyboard and mousepad\n"
           "Exec=" +
           QuotedExecArgument(path) +
           "\n"
           "Icon=varnhold-quillet\n"
           "Terminal=false\n"
           "Categories=Settings;HardwareSettings;\n";
}

}  // namespace vq::platform
