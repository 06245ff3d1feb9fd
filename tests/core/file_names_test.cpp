// User-chosen names that become file names, and lookups that ignore case.

#include <gtest/gtest.h>

#include "core/util/file_names.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

TEST(NameCheck, RefusesNamesThatLeaveTheFolderOrCannotBeFileNames) {
    const std::vector<std::pair<std::string, NameCheck>> refused = {
        {"", NameCheck::Empty},
        {"../x", NameCheck::Separator},
        {"a/b", NameCheck::Separator},
        {"a\\b", NameCheck::Separator},
        {"..", NameCheck::DotName},
        {".", NameCheck::DotName},
        {"...", NameCheck::DotName},
        {"CON", NameCheck::ReservedDevice},
        {"con.txt", NameCheck::ReservedDevice},
        {"Nul .x", NameCheck::ReservedDevice},
        {"lpt9", NameCheck::ReservedDevice},
        {"COM\xC2\xB9", NameCheck::ReservedDevice},
        {"conin$", NameCheck::ReservedDevice},
        {"line\nbreak", NameCheck::ControlCharacter},
        {std::string("nul\0byte", 8), NameCheck::ControlCharacter},
        {"del\x7F", NameCheck::ControlCharacter},
        {"a:b", NameCheck::InvalidCharacter},
        {"what?", NameCheck::InvalidCharacter},
        {"star*", NameCheck::InvalidCharacter},
        {"<x>", NameCheck::InvalidCharacter},
        {"pipe|", NameCheck::InvalidCharacter},
        {"\"q\"", NameCheck::InvalidCharacter},
        {" lead", NameCheck::BadEdge},
        {"trail ", NameCheck::BadEdge},
        {"dot.", NameCheck::BadEdge},
        {"'quoted'", NameCheck::BadEdge},
        {"bad\xC3(utf8", NameCheck::InvalidText},
        {"\xED\xA0\x80", NameCheck::InvalidText},  // an encoded surrogate
        {std::string(300, 'n'), NameCheck::TooLong},
        {std::string(249, 'n'), NameCheck::TooLong},  // 249 + ".config" > 255 bytes
    };
    for (const auto& [name, expected] : refused) {
        EXPECT_EQ(CheckFileStem(name, ".config"), expected) << name;
        EXPECT_STRNE(DescribeNameCheck(expected), "");
    }
    for (const std::string name :
         {"profile1", "game copy", "CONSOLE", "com10", "lpt", "a.b", ".hidden", "it's", "日本語",
          "Späť", "con-game", "x'", "[A]=b;c"}) {
        EXPECT_EQ(CheckFileStem(name, ".config"), NameCheck::Ok) << name;
    }
    EXPECT_EQ(CheckFileStem(std::string(248, 'n'), ".config"), NameCheck::Ok);
    // 130 characters outside the basic plane take 260 UTF-16 units: one too many.
    std::string emoji;
    for (int i = 0; i < 130; ++i)
        emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16Length(emoji), 260u);
    EXPECT_EQ(CheckFileStem(emoji, ""), NameCheck::TooLong);
}

TEST(FileLookup, FindsTheExistingSpellingAndPrefersAnExactMatch) {
    TempDir dir;
    WriteBytes(dir / "Game.PRO", "upper");
    // Found under any spelling, as the spelling it has on the disk.
    EXPECT_EQ(FindFileNoCase(dir.path(), "game.pro"), dir / "Game.PRO");
    EXPECT_EQ(FindFileNoCase(dir.path(), "GAME.pro"), dir / "Game.PRO");
    EXPECT_EQ(ReadBytes(FindFileNoCase(dir.path(), "gAmE.pRo")), "upper");
    // Nothing found: the name as asked for.
    EXPECT_EQ(FindFileNoCase(dir.path(), "other.pro"), dir / "other.pro");
    // Non-ASCII letters are compared exactly.
    WriteBytes(dir / "\xC3\x89t\xC3\xA9.led", "e");
    EXPECT_EQ(FindFileNoCase(dir.path(), "\xC3\x89T\xC3\xA9.LED"), dir / "\xC3\x89t\xC3\xA9.led");
    if (dir.KeepsCaseApart()) {
        EXPECT_EQ(FindFileNoCase(dir.path(), "\xC3\xA9t\xC3\xA9.led"),
                  dir / "\xC3\xA9t\xC3\xA9.led");
        // Several spellings: an exact one wins, otherwise always the same one.
        WriteBytes(dir / "game.pro", "lower");
        EXPECT_EQ(FindFileNoCase(dir.path(), "game.pro"), dir / "game.pro");
        EXPECT_EQ(FindFileNoCase(dir.path(), "GAME.PRO"), dir / "Game.PRO");
        EXPECT_EQ(FindFileNoCase(dir.path(), "gAmE.pRo"), dir / "Game.PRO");
    }
    // A folder that does not exist gives the plain path.
    EXPECT_EQ(FindFileNoCase(dir / "none", "x"), dir / "none" / "x");
}

TEST(FileLookup, PathsCarryUtf8BothWays) {
    const std::string name = "Varnhold Quillet/\xE6\x97\xA5\xE6\x9C\xAC.config";
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
    EXPECT_TRUE(EqualsNoCase("PROFILEDENGNAME", "ProfileDengName"));
    EXPECT_FALSE(EqualsNoCase("PROFILE", "PROFILES"));
    EXPECT_FALSE(EqualsNoCase("\xC3\x89", "\xC3\xA9"));
}

}  // namespace
}  // namespace vq::test
