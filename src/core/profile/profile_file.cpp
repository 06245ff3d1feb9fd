#include "core/profile/profile_file.h"

#include <algorithm>

#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq {

const char* ProfileReadResultName(ProfileReadResult result) {
    switch (result) {
        case ProfileReadResult::Ok:
            return "ok";
        case ProfileReadResult::Missing:
            return "missing";
        case ProfileReadResult::BadFormat:
            return "bad format";
    }
    return "?";
}

std::vector<uint8_t> EncodeProfileFile(std::span<const uint8_t> payload, uint16_t kindCode) {
    std::vector<uint8_t> file(kProfileHeaderSize + payload.size(), 0);
    file[0] = static_cast<uint8_t>(kProfileMagic & 0xFF);
    file[1] = static_cast<uint8_t>(kProfileMagic >> 8);
    file[4] = static_cast<uint8_t>(kindCode & 0xFF);
    file[5] = static_cast<uint8_t>(kindCode >> 8);
    std::copy(payload.begin(), payload.end(), file.begin() + kProfileHeaderSize);
    return file;
}

ProfileReadResult DecodeProfileFile(std::span<const uint8_t> file, std::span<uint8_t> buffer,
                                    uint16_t* kindCode) {
    if (file.size() < 2 || (file[0] | (file[1] << 8)) != kProfileMagic)
        return ProfileReadResult::BadFormat;
    if (kindCode && file.size() >= 6) *kindCode = static_cast<uint16_t>(file[4] | (file[5] << 8));
    if (file.size() > kProfileHeaderSize) {
        const std::span<const uint8_t> payload = file.subspan(kProfileHeaderSize);
        std::copy_n(payload.begin(), std::min(payload.size(), buffer.size()), buffer.begin());
    }
    return ProfileReadResult::Ok;
}

ProfileReadResult ReadProfileFile(const std::filesystem::path& path, std::span<uint8_t> buffer,
                                  uint16_t* kindCode) {
    const FileBytes file = ReadFilePrefix(path, kProfileHeaderSize + buffer.size());
    if (file.status != FileReadStatus::Ok) return ProfileReadResult::Missing;
    return DecodeProfileFile(file.bytes, buffer, kindCode);
}

bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> payload,
                      uint16_t kindCode) {
    if (WriteFileAtomic(path, EncodeProfileFile(payload, kindCode))) return true;
    Logf(LogLevel::Debug, "文件打开失败 %s", Utf8FromPath(path).c_str());
    return false;
}

}  // namespace vq
