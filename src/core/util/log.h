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
void Logf(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

const char* LogLevelName(LogLevel level);

}  // namespace vq
