#include "app/app_settings.h"

#include "core/util/ini_file.h"

namespace vq::app {

namespace {
constexpr const char* kSection = "SKINIMAGE";
}  // namespace

int AppSettings::Flags() const {
    return ReadIniInt(file_, kSection, "FLAGS", 0);
}

std::string AppSettings::Image() const {
    return ReadIniString(file_, kSection, "IMAGE", "0");
}

int AppSettings::Language() const {
    return ReadIniInt(file_, kSection, "LANGUAGE", 0);
}

bool AppSettings::SetFlags(int value) {
    return WriteIniString(file_, kSection, "FLAGS", std::to_string(value));
}

bool AppSettings::SetImage(const std::string& image) {
    return WriteIniString(file_, kSection, "IMAGE", image);
}

bool AppSettings::SetLanguage(int value) {
    return WriteIniString(file_, kSection, "LANGUAGE", std::to_string(value));
}

}  // namespace vq::app
