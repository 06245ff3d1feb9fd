#pragma once
// Text crosses the program's interfaces as UTF-8; the system wants UTF-16.

#if defined(_WIN32)

#include <string>
#include <string_view>

namespace vq::platform {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace vq::platform

#endif
