#include "app/app_settings.h"

#include "core/util/file_thread_guard.h"
#include "core/util/ini_file.h"

namespace vq::app {

namespace {
constexpr const char* kSection = "SKINIMAGE";
}  // namespace

int AppSettings::Flags() const {
    const FileAccessAllowed small;
    return ReadIniInt(file_, kSection, "FLAGS", 0);
}

std::string AppSettings::Image() const {
    const FileAccessAllowed small;
    return ReadIniString(file_, kSection, "IMAGE", "0");
}

int AppSettings::Language() const {
    const FileAccessAllowed small;
    return ReadIniInt(file_, kSection, "LANGUAGE", 0);
}

bool AppSettings::SetFlags(int value) {
    const FileAccessAllowed small;
    return WriteIniString(file_, kSection, "FLAGS", std::to_string(value));
}

bool AppSettings::SetImage(const std::string& image) {
    const FileAccessAllowed small;
    return WriteIniString(file_, kSection, "IMAGE", image);
}

bool AppSettings::SetLanguage(int value) {
    const FileAccessAllowed small;
    return WriteIniString(file_, kSection, "LANGUAGE", std::to_string(value));
}

}  // namespace vq::app
