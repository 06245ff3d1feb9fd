#pragma once
// The installer's language hint: the value "LANGUAGE" under HKEY_LOCAL_MACHINE\SOFTWARE\Brevik
// TARN QX714 on Windows ("2020" Chinese, "1010" English). Other systems have no such place: the
// read fails and the write does nothing.

#include <optional>
#include <string>

namespace vq::platform {

inline constexpr const char* kLanguageHintKey = "Brevik TARN QX714";

// The hint's text, or nothing when it cannot be read.
std::optional<std::string> ReadLanguageHint();
// true when the value was written.
bool WriteLanguageHint(const std::string& value);

}  // namespace vq::platform
