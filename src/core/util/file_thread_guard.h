#pragma once
// A thread that must never wait on the disk (the window's) marks itself; the file helpers (the
// atomic writer, the whole-file reads, the INI loads and the case-blind name lookup) note every
// call made on a marked thread. The call still goes ahead (refusing it would lose the user's
// data); it is counted, and the first one is logged with the file it touched. The check costs a
// thread-local flag on every other thread.

#include <cstdint>
#include <filesystem>

namespace vq {

namespace file_guard_detail {
inline thread_local bool t_filesForbidden = false;
void NoteForbidden(const std::filesystem::path& file, const char* what);
}  // namespace file_guard_detail

// Marks (or clears the mark of) the calling thread. Returns the mark it had.
bool ForbidFilesOnThisThread(bool forbid = true);
bool FilesForbiddenOnThisThread();

// Called by the file helpers before they touch `file`: counted on a marked thread.
inline void NoteFileAccess(const std::filesystem::path& file, const char* what) {
    if (file_guard_detail::t_filesForbidden) file_guard_detail::NoteForbidden(file, what);
}

// File calls made on marked threads since the process started.
uint64_t ForbiddenFileAccesses();

// A scope in which the calling thread may touch files although it is marked (code that checks
// what another thread wrote). The mark comes back at its end.
class FileAccessAllowed {
  public:
    FileAccessAllowed() : previous_(ForbidFilesOnThisThread(false)) {}
    ~FileAccessAllowed() { ForbidFilesOnThisThread(previous_); }
    FileAccessAllowed(const FileAccessAllowed&) = delete;
    FileAccessAllowed& operator=(const FileAccessAllowed&) = delete;

  private:
    bool previous_;
};

}  // namespace vq
