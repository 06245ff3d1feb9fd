#pragma once
// The container of every profile file and every shipped default:
//
//   offset  size  field
//   0       2     magic 0x55AA, little-endian (bytes AA 55)
//   2       2     reserved (written as zero, ignored on read)
//   4       2     kind code, little-endian: 1 keyboard, 2 mouse, 3 mousepad
//   6       10    reserved (written as zero, ignored on read)
//   16      n     payload (its size is fixed per kind and family)

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace vq {

inline constexpr uint16_t kProfileMagic = 0x55AA;
inline constexpr size_t kProfileHeaderSize = 16;

enum class ProfileReadResult : int { Ok = 0, Missing = 1, BadFormat = -1 };
const char* ProfileReadResultName(ProfileReadResult result);

// Header and payload as one file image.
std::vector<uint8_t> EncodeProfileFile(std::span<const uint8_t> payload, uint16_t kindCode);

// Copies the payload of a file image into `buffer`: up to buffer.size() bytes; a shorter
// payload leaves the rest of the buffer as the caller filled it. A wrong magic (or a file too
// short to hold one) is BadFormat and copies nothing. The kind code is not checked; it is
// returned through `kindCode` when that is given and the header holds it.
ProfileReadResult DecodeProfileFile(std::span<const uint8_t> file, std::span<uint8_t> buffer,
                                    uint16_t* kindCode = nullptr);

// Reads a profile file into a buffer the caller zero-filled, of the family's payload size.
// A missing or unreadable file is Missing.
ProfileReadResult ReadProfileFile(const std::filesystem::path& path, std::span<uint8_t> buffer,
                                  uint16_t* kindCode = nullptr);

// Writes header and payload through the atomic writer. On failure the previous file stays as it
// was, the failure is logged, and false is returned.
bool WriteProfileFile(const std::filesystem::path& path, std::span<const uint8_t> payload,
                      uint16_t kindCode);

}  // namespace vq
