#include "core/util/file_thread_guard.h"

#include <atomic>

#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq {

namespace {
std::atomic<uint64_t> g_forbidden{0};
}  // namespace

namespace file_guard_detail {

void NoteForbidden(const std::filesystem::path& file, const char* what) {
    if (g_forbidden.fetch_add(1) == 0)
        Logf(LogLevel::Error, "%s of %s on a thread that must not wait on the disk", what,
             Utf8FromPath(file).c_str());
}

}  // namespace file_guard_detail

bool ForbidFilesOnThisThread(bool forbid) {
    const bool previous = file_guard_detail::t_filesForbidden;
    file_guard_detail::t_filesForbidden = forbid;
    return previous;
}

bool FilesForbiddenOnThisThread() {
    return file_guard_detail::t_filesForbidden;
}

uint64_t ForbiddenFileAccesses() {
    return g_forbidden.load();
}

}  // namespace vq
