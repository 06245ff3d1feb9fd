#pragma once
// A data folder and a program folder of shipped defaults for the profile store's tests, with
// recognisable payloads per kind, family and variant, and a look at what the folders hold.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/profile/profile_store.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {

inline std::vector<uint8_t> ProfilePattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

inline constexpr DeviceKind kEveryKind[] = {DeviceKind::Keyboard, DeviceKind::Mouse,
                                            DeviceKind::Mousepad};

class ProfileFolders : public ::testing::Test {
  protected:
    ProfileFolders() : store(data.path(), program.path()) {
        for (DeviceKind kind : kEveryKind)
            for (ProfileFamily family : FamiliesOf(kind))
                for (int variant = 0; variant <= (kind == DeviceKind::Keyboard ? 1 : 0); ++variant)
                    EXPECT_TRUE(WriteProfileFile(program / DefaultFileName(kind, family, variant),
                                                 DefaultPayload(kind, family, variant),
                                                 KindCode(kind)));
    }
    static std::vector<uint8_t> DefaultPayload(DeviceKind kind, ProfileFamily family,
                                               int variant = 0) {
        return ProfilePattern(PayloadSize(kind, family),
                              static_cast<uint8_t>(16 * static_cast<int>(kind) +
                                                   4 * static_cast<int>(family) + variant + 1));
    }
    std::filesystem::path KindDir(DeviceKind kind) const {
        return data.path() / DeviceKindPrefix(kind);
    }
    static std::string Ext(DeviceKind kind, ProfileFamily family) {
        return std::string(FamilySchema(kind, family).extension);
    }
    // The payload of a profile file in the kind folder (empty when it does not read).
    std::vector<uint8_t> Payload(DeviceKind kind, ProfileFamily family, const std::string& name,
                                 uint16_t* code = nullptr) const {
        std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
        if (ReadProfileFile(KindDir(kind) / PathFromUtf8(name + Ext(kind, family)), payload,
                            code) != ProfileReadResult::Ok)
            return {};
        return payload;
    }
    std::vector<std::string> Names(DeviceKind kind, ProfileFamily family) const {
        return store.ReadIndex(kind, family).names;
    }
    std::string IndexValue(DeviceKind kind, std::string_view section, std::string_view key) const {
        const IniLoad load = LoadIniFile(store.IndexPath(kind));
        return load.document.Find(section, key).value_or("(missing)");
    }
    // Every file under the data folder with its content.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(data.path()))
            files[std::filesystem::relative(e.path(), data.path()).generic_string()] =
                e.is_regular_file() ? ReadBytes(e.path()) : "(folder)";
        return files;
    }

    TempDir data, program;
    ProfileStore store;
};

}  // namespace vq::test
