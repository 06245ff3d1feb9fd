#include "core/util/log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

namespace vq {

namespace {
std::mutex g_logMutex;
std::shared_ptr<LogSink> g_logSink;
}  // namespace

void SetLogSink(LogSink sink) {
    std::lock_guard lock(g_logMutex);
    g_logSink = sink ? std::make_shared<LogSink>(std::move(sink)) : nullptr;
}

void Log(LogLevel level, std::string_view line) {
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard lock(g_logMutex);
        sink = g_logSink;
    }
    if (sink) (*sink)(level, line);
}

void Logf(LogLevel level, const char* format, ...) {
    {
        std::lock_guard lock(g_logMutex);
        if (!g_logSink) return;
    }
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Log(level, buffer);
}

const char* LogLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Debug:
            return "debug";
        case LogLevel::Info:
            return "info";
        case LogLevel::Warning:
            return "warning";
        case LogLevel::Error:
            return "error";
    }
    return "?";
}

}  // namespace vq
