#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// And a log capture for tests that check what was logged.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq::test {

class TempDir {
  public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("vq-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Names are UTF-8 on every platform.
    std::filesystem::path operator/(const std::string& name) const {
        return path_ / PathFromUtf8(name);
    }

    // Names of the entries directly inside the folder (UTF-8), sorted.
    std::vector<std::string> Entries() const { return EntriesOf(path_); }
    static std::vector<std::string> EntriesOf(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec))
            names.push_back(Utf8FromPath(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

    // Whether the folder's file system tells "a" and "A" apart (Linux: yes; Windows: no).
    bool KeepsCaseApart() const {
        WriteProbe(path_ / "case-probe");
        std::error_code ec;
        const bool apart = !std::filesystem::exists(path_ / "CASE-PROBE", ec);
        std::filesystem::remove(path_ / "case-probe", ec);
        return apart;
    }

  private:
    static void WriteProbe(const std::filesystem::path& p) { std::ofstream(p) << "x"; }
    std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Collects log lines while it lives.
class LogCapture {
  public:
    LogCapture() {
        SetLogSink([this](LogLevel, std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~LogCapture() { SetLogSink(nullptr); }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool Contains(const std::string& part) const {
        for (const std::string& line : Lines())
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace vq::test
