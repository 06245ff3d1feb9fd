// The small system services the program uses beside HID: starting at login, the folder of the
// shipped files, the demo's private temporary folder, the power messages and the system's
// pointer settings. On Windows these run against the real system calls (under Wine in CI).

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/power_events.h"
#include "platform/system_pointer.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vq::test {
namespace {

namespace fs = std::filesystem;

// ---- starting at login --------------------------------------------------------------------

TEST(DesktopEntry, ThePathIsQuotedSoThatSpacesAndSpecialCharactersSurvive) {
    const auto plain = platform::AutostartDesktopEntry("/usr/local/bin/quillet");
    ASSERT_TRUE(plain);
    EXPECT_NE(plain->find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(plain->find("\nExec=\"/usr/local/bin/quillet\"\n"), std::string::npos);
    EXPECT_NE(plain->find("\nType=Application\n"), std::string::npos);
    // A space stays inside the quotes; '"', '$' and '`' get an escaping backslash (doubled by the
    // string escape), a backslash four, and '%' (a field code otherwise) is doubled.
    const auto odd = platform::AutostartDesktopEntry("/opt/My Apps/q\"u$i`l\\l%et");
    ASSERT_TRUE(odd);
    EXPECT_NE(odd->find("\nExec=\"/opt/My Apps/q\\\\\"u\\\\$i\\\\`l\\\\\\\\l%%et\"\n"),
              std::string::npos)
        << *odd;
    // A line break cannot be written in an entry: refused, not a broken file.
    EXPECT_FALSE(platform::AutostartDesktopEntry("/tmp/a\nExec=evil"));
    EXPECT_FALSE(platform::AutostartDesktopEntry(""));
}

#if defined(_WIN32)
const std::string kTestPlace = "Software\\Varnhold Quillet Tests\\Run";
#endif

TEST(Autostart, OnWritesTheEntryOffRemovesItAndOffTwiceIsFine) {
#if defined(_WIN32)
    const std::string place = kTestPlace;
    const fs::path program = "C:\\Program Files\\Varnhold Quillet\\quillet.exe";
#else
    TempDir dir;
    const std::string place = Utf8FromPath(dir / "deep/autostart/varnhold-quillet.desktop");
    const fs::path program = "/usr/local/bin/quillet";
#endif
    auto autostart = platform::CreateAutostartAt(place);
    ASSERT_NE(autostart, nullptr);
    std::string error;
    ASSERT_TRUE(autostart->Disable(&error)) << error;
    EXPECT_FALSE(autostart->Enabled());
    ASSERT_TRUE(autostart->Enable(program, &error)) << error;
    EXPECT_TRUE(autostart->Enabled());
#if defined(_WIN32)
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Varnhold Quillet Tests\\Run",
                           L"Varnhold Quillet", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"" + program.wstring() + L"\"");
    EXPECT_NE(autostart->Where().find("HKEY_CURRENT_USER\\Software\\Varnhold Quillet Tests"),
              std::string::npos);
#else
    // The folders on the way are made; the file is the desktop entry for the program.
    EXPECT_EQ(ReadBytes(PathFromUtf8(place)), *platform::AutostartDesktopEntry(program));
    EXPECT_EQ(autostart->Where(), place);
#endif
    // On again replaces the entry (the program moved).
    ASSERT_TRUE(autostart->Enable(program.parent_path() / "quillet2", &error)) << error;
    EXPECT_TRUE(autostart->Enabled());
    ASSERT_TRUE(autostart->Disable(&error)) << error;
    EXPECT_FALSE(autostart->Enabled());
    EXPECT_TRUE(autostart->Disable(&error)) << error;
#if defined(_WIN32)
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Varnhold Quillet Tests");
#endif
}

#if !defined(_WIN32)
TEST(Autostart, TheUsersEntryFollowsXdgConfigHomeElseHome) {
    TempDir dir;
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string config = savedConfig ? savedConfig : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    std::string error;

    ::setenv("XDG_CONFIG_HOME", Utf8FromPath(dir / "cfg").c_str(), 1);
    auto autostart = platform::CreateUserAutostart(&error);
    ASSERT_NE(autostart, nullptr) << error;
    EXPECT_EQ(autostart->Where(), Utf8FromPath(dir / "cfg/autostart/varnhold-quillet.desktop"));

    // A relative value is not a place to write to: the home folder's .config is used.
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    ::setenv("HOME", Utf8FromPath(dir / "home").c_str(), 1);
    autostart = platform::CreateUserAutostart(&error);
    ASSERT_NE(autostart, nullptr) << error;
    EXPECT_EQ(autostart->Where(),
              Utf8FromPath(dir / "home/.config/autostart/varnhold-quillet.desktop"));

    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(platform::CreateUserAutostart(&error), nullptr);
    EXPECT_FALSE(error.empty());

    if (savedConfig) ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
}
#endif

// ---- the program's files ------------------------------------------------------------------

TEST(ShippedFiles, BesideTheProgramFirstThenTheInstallsShareFolder) {
    TempDir dir;
    const fs::path bin = dir / "prefix/bin";
    const fs::path share = dir / "prefix/share/varnhold-quillet";
    fs::create_directories(bin);
    // Nothing anywhere: the program's folder, where the missing skin will be reported.
    EXPECT_EQ(platform::ShippedFilesFolderFor(bin), bin);
    fs::create_directories(share / "skin");
    EXPECT_EQ(platform::ShippedFilesFolderFor(bin), share);
    // Files beside the program win (a build folder, a Windows install).
    WriteBytes(bin / "msdevicedefault.config", "x");
    EXPECT_EQ(platform::ShippedFilesFolderFor(bin), bin);
    fs::remove(bin / "msdevicedefault.config");
    fs::create_directories(bin / "skin");
    EXPECT_EQ(platform::ShippedFilesFolderFor(bin), bin);
    // The running test program's own folder resolves to something that exists.
    const auto own = platform::ShippedFilesFolder();
    ASSERT_TRUE(own);
    EXPECT_TRUE(fs::is_directory(*own));
}

#if !defined(_WIN32)
TEST(UserTemporaryFolder, IsTheUsersOwnAndNeverSomeoneElsesOrALink) {
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", Utf8FromPath(dir.path()).c_str(), 1);
    const fs::path expected = dir / ("demo-" + std::to_string(::getuid()));

    auto folder = platform::UserTemporaryFolder("demo");
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, expected);
    struct stat st {};
    ASSERT_EQ(::stat(folder->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);                         // for the user alone
    EXPECT_EQ(platform::UserTemporaryFolder("demo"), expected);  // the same one again

    // Someone put a link at the name: a fresh folder of a unique name is used instead.
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / ("trap-" + std::to_string(::getuid())));
    auto other = platform::UserTemporaryFolder("trap");
    ASSERT_TRUE(other);
    EXPECT_NE(*other, dir / ("trap-" + std::to_string(::getuid())));
    EXPECT_EQ(other->parent_path(), dir.path());
    EXPECT_TRUE(fs::is_directory(*other));
    EXPECT_FALSE(fs::is_symlink(*other));

    // Another user's folder at the name (only root can make one here).
    if (::geteuid() == 0) {
        const fs::path taken = dir / ("taken-" + std::to_string(::getuid()));
        fs::create_directory(taken);
        ASSERT_EQ(::chown(taken.c_str(), 12345, 12345), 0);
        auto fresh = platform::UserTemporaryFolder("taken");
        ASSERT_TRUE(fresh);
        EXPECT_NE(*fresh, taken);
    }
    if (saved)
        ::setenv("TMPDIR", savedValue.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}
#endif

// ---- power messages and the pointer -------------------------------------------------------

TEST(PowerMessages, SuspendAndResumeAreReadFromTheWindowLoopsMessages) {
    EXPECT_EQ(platform::PowerChangeOfMessage(nullptr), platform::PowerChange::None);
#if defined(_WIN32)
    MSG msg{};
    msg.message = WM_POWERBROADCAST;
    msg.wParam = PBT_APMSUSPEND;
    EXPECT_EQ(platform::PowerChangeOfMessage(&msg), platform::PowerChange::Suspending);
    msg.wParam = PBT_APMRESUMEAUTOMATIC;
    EXPECT_EQ(platform::PowerChangeOfMessage(&msg), platform::PowerChange::Resumed);
    msg.wParam = PBT_APMRESUMESUSPEND;  // the user's resume follows the automatic one: no second
    EXPECT_EQ(platform::PowerChangeOfMessage(&msg), platform::PowerChange::None);
    msg.message = WM_TIMER;
    msg.wParam = PBT_APMSUSPEND;
    EXPECT_EQ(platform::PowerChangeOfMessage(&msg), platform::PowerChange::None);
#else
    // Linux tells suspend and resume on the login manager's bus, never in a window message.
    const int anything[4] = {0x218, 4, 0, 0};
    EXPECT_EQ(platform::PowerChangeOfMessage(anything), platform::PowerChange::None);
#endif
}

TEST(SystemPointer, SpeedAndWheelLinesAreAppliedWhereTheSystemAllowsIt) {
    auto pointer = platform::CreateSystemPointer();
    ASSERT_NE(pointer, nullptr);
#if defined(_WIN32)
    ASSERT_TRUE(pointer->Available());
    const auto speed = pointer->Speed();
    const auto lines = pointer->WheelLines();
    ASSERT_TRUE(speed && lines);
    // Wine stores a new speed but reads 0 back afterwards; Windows reads back what was set.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    EXPECT_TRUE(pointer->SetSpeed(14));
    if (!wine) {
        EXPECT_EQ(pointer->Speed(), 14);
    }
    EXPECT_FALSE(pointer->SetSpeed(0));
    EXPECT_FALSE(pointer->SetSpeed(21));
    if (!wine) {
        EXPECT_EQ(pointer->Speed(), 14);  // a refused value changes nothing
    }
    EXPECT_TRUE(pointer->SetWheelLines(7));
    EXPECT_EQ(pointer->WheelLines(), 7u);
    pointer->SetSpeed(*speed);
    pointer->SetWheelLines(*lines);
#else
    // Nothing is pretended: no value is read, none applied, and the log says why (once).
    LogCapture log;
    EXPECT_FALSE(pointer->Available());
    EXPECT_FALSE(pointer->Speed());
    EXPECT_FALSE(pointer->SetSpeed(10));
    EXPECT_FALSE(pointer->SetWheelLines(3));
    EXPECT_FALSE(pointer->WheelLines());
    EXPECT_TRUE(log.Contains("cannot be set by a program"));
#endif
}

}  // namespace
}  // namespace vq::test
