#pragma once
// The program's own settings: "main.ini" in the data folder, section [SKINIMAGE]:
//   FLAGS     1: the saved background picture is used at start; 0: the skin's own (default 0)
//   IMAGE     the background picture, a path or a skin-relative name (default "0")
//   LANGUAGE  0 English, 1 simplified Chinese, any other value traditional Chinese (default 0)
// Read at the moment they are needed and written at once; nothing is cached (the tray menu shows
// the language the file holds when it opens). This one small file is the window's thread's own:
// its reads and writes are not counted against that thread.

#include <filesystem>
#include <string>

namespace vq::app {

class AppSettings {
  public:
    explicit AppSettings(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& File() const { return file_; }

    int Flags() const;
    std::string Image() const;
    int Language() const;

    bool SetFlags(int value);
    bool SetImage(const std::string& image);
    bool SetLanguage(int value);

  private:
    std::filesystem::path file_;
};

}  // namespace vq::app
