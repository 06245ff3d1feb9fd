#pragma once
// A tiny process-wide log. Lines go to the installed sink; with none installed they are dropped.

#include <functional>
#include <string>
#include <string_view>

namespace vq {

enum class LogLevel { Debug, Info, Warning, Error };

using LogSink = std::function<void(LogLevel, std::string_view)>;

void SetLogSink(LogSink sink);
void Log(LogLevel level, std::string_view line);
// printf-style convenience; lines longer than 1 KiB are cut.
// MinGW's plain "printf" checks against the old system runtime, which lacks %zu; its C++
// runtime formats the standard way (gnu_printf), and so does Logf there.
#if defined(__MINGW32__)
#define VQ_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define VQ_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#endif
void Logf(LogLevel level, const char* format, ...) VQ_PRINTF_LIKE(2, 3);

const char* LogLevelName(LogLevel level);

}  // namespace vq
