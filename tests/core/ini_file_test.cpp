// INI files: lookups, integer and length rules, preserving writes, encodings, file handling.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(IniLookup, NamesIgnoreCaseAndTheFirstOfDuplicatesWins) {
    const IniDocument doc = IniDocument::Parse(
        std::string_view("[ProfileDeviceName]\r\n0=first\r\n0=second\r\nNAME=x\r\n"
                         "[profiledevicename]\r\n1=from the duplicate section\r\n"
                         "[Other]\r\n0=other\r\n"));
    EXPECT_EQ(doc.ReadString("PROFILEDEVICENAME", "0", "0"), "first");
    EXPECT_EQ(doc.ReadString("profileDEVICEname", "name", "0"), "x");
    // The duplicate section is never looked at.
    EXPECT_EQ(doc.ReadString("PROFILEDEVICENAME", "1", "0"), "0");
    EXPECT_EQ(doc.ReadString("other", "0", "0"), "other");
    EXPECT_EQ(doc.ReadString("MISSING", "0", "fallback"), "fallback");
    EXPECT_FALSE(doc.Find("other", "1").has_value());
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"ProfileDeviceName", "Other"}));
    EXPECT_EQ(doc.KeyNames("PROFILEDEVICENAME"), (std::vector<std::string>{"0", "NAME"}));
}

TEST(IniLookup, MalformedLinesCommentsBlanksAndQuotesAreHandledLikeThePlatform) {
    const IniDocument doc =
        IniDocument::Parse(std::string_view("orphan=before any section\n"
                                            "[A]\n"
                                            "; count=99\n"
                                            "no equals sign here\n"
                                            "[broken header\n"
                                            "  count  =   3   \n"
                                            "quoted=\"  spaced  \"\n"
                                            "single='x'\n"
                                            "half=\"x\n"
                                            "empty=\n"
                                            "  [ B ]  \n"
                                            "k=v=w\n"));
    EXPECT_EQ(doc.ReadString("A", "count", "0"), "3");
    EXPECT_EQ(doc.ReadString("A", "quoted", "0"), "  spaced  ");
    EXPECT_EQ(doc.ReadString("A", "single", "0"), "x");
    EXPECT_EQ(doc.ReadString("A", "half", "0"), "\"x");
    EXPECT_EQ(doc.ReadString("A", "empty", "0"), "");
    EXPECT_EQ(doc.ReadString("A", "orphan", "0"), "0");
    EXPECT_EQ(doc.ReadString("B", "k", "0"), "v=w");
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"A", "B"}));
}

TEST(IniValues, IntegersReadTheLeadingDigitsWithASign) {
    const IniDocument doc = IniDocument::Parse(
        std::string_view("[N]\nplain=42\nneg=-7\npos=+5\ntrail=12abc\nword=abc\nspace= 9\nempty=\n"
                         "big=4294967297\nminus=-\n"));
    EXPECT_EQ(doc.ReadInt("N", "plain", -1), 42);
    EXPECT_EQ(doc.ReadInt("N", "neg", -1), -7);
    EXPECT_EQ(doc.ReadInt("N", "pos", -1), 5);
    EXPECT_EQ(doc.ReadInt("N", "trail", -1), 12);
    EXPECT_EQ(doc.ReadInt("N", "word", -1), 0);
    EXPECT_EQ(doc.ReadInt("N", "space", -1), 9);
    EXPECT_EQ(doc.ReadInt("N", "empty", -1), -1);
    EXPECT_EQ(doc.ReadInt("N", "missing", -1), -1);
    EXPECT_EQ(doc.ReadInt("N", "big", -1), 1);  // wraps like a 32-bit value
    EXPECT_EQ(doc.ReadInt("N", "minus", -1), 0);
    EXPECT_EQ(LeadingInt("  -0012x"), -12);
}

TEST(IniValues, ReadsAreCutTo259CharactersWithoutSplittingOne) {
    const std::string ascii(300, 'n');
    const std::string accented = std::string(258, 'e') + "\xC3\xA9\xC3\xA9";  // é counts one
    const std::string wide = std::string(258, 'w') + "\xF0\x9F\x98\x80";      // counts two
    IniDocument doc;
    ASSERT_TRUE(doc.Write("S", "ascii", ascii));
    ASSERT_TRUE(doc.Write("S", "accented", accented));
    ASSERT_TRUE(doc.Write("S", "wide", wide));
    EXPECT_EQ(doc.ReadString("S", "ascii", "0"), std::string(259, 'n'));
    EXPECT_EQ(doc.ReadString("S", "accented", "0"), std::string(258, 'e') + "\xC3\xA9");
    EXPECT_EQ(doc.ReadString("S", "wide", "0"), std::string(258, 'w'));
    EXPECT_EQ(doc.Find("S", "ascii"), ascii);  // the file keeps all of it
    EXPECT_EQ(doc.ReadString("S", "missing", ascii), std::string(259, 'n'));
}

TEST(IniWrite, ChangesOnlyTheLineConcernedAndKeepsEverythingElse) {
    const std::string original =
        "; settings of the mouse\r\n"
        "[PROFILECOUNT]\r\n"
        "Count=1\r\n"
        "\r\n"
        "[PROFILENAME]\r\n"
        "0=profile1   ; not a comment: part of the value\r\n"
        "junk line\r\n"
        "\r\n"
        "[LAST]\r\n"
        "x=1";  // no line end
    IniDocument doc = IniDocument::Parse(original);
    EXPECT_EQ(Text(doc.Serialize()), original);  // an unchanged document writes back unchanged

    ASSERT_TRUE(doc.Write("profilecount", "COUNT", "2"));
    ASSERT_TRUE(doc.Write("PROFILENAME", "1", "profile2"));
    ASSERT_TRUE(doc.Write("LAST", "y", "2"));
    ASSERT_TRUE(doc.Write("NEW", "select", "1"));
    EXPECT_EQ(Text(doc.Serialize()),
              "; settings of the mouse\r\n"
              "[PROFILECOUNT]\r\n"
              "Count=2\r\n"
              "\r\n"
              "[PROFILENAME]\r\n"
              "0=profile1   ; not a comment: part of the value\r\n"
              "junk line\r\n"
              "1=profile2\r\n"
              "\r\n"
              "[LAST]\r\n"
              "x=1\r\n"
              "y=2\r\n"
              "[NEW]\r\n"
              "select=1\r\n");
    EXPECT_EQ(doc.ReadString("PROFILENAME", "0", ""),
              "profile1   ; not a comment: part of the value");
}

TEST(IniWrite, KeepsLfFilesLfAndNewFilesUseCrlfWithoutAMark) {
    IniDocument lf = IniDocument::Parse(std::string_view("[A]\nk=1\n"));
    ASSERT_TRUE(lf.Write("A", "j", "2"));
    ASSERT_TRUE(lf.Write("B", "k", "3"));
    EXPECT_EQ(Text(lf.Serialize()), "[A]\nk=1\nj=2\n[B]\nk=3\n");

    IniDocument fresh;
    ASSERT_TRUE(fresh.Write("MACROCOUNT", "count", "0"));
    EXPECT_EQ(Text(fresh.Serialize()), "[MACROCOUNT]\r\ncount=0\r\n");

    IniDocument empty = IniDocument::Parse(std::string_view(""));
    EXPECT_EQ(empty.ReadString("A", "k", "0"), "0");
    EXPECT_TRUE(empty.SectionNames().empty());
}

TEST(IniWrite, RefusesWhatTheFileCouldNotHoldAndChangesNothing) {
    const std::string original = "[A]\r\nk=1\r\n";
    IniDocument doc = IniDocument::Parse(original);
    LogCapture log;
    EXPECT_FALSE(doc.Write("A", "k", "two\r\nlines"));
    EXPECT_FALSE(doc.Write("A", "k=j", "1"));
    EXPECT_FALSE(doc.Write("A", "[k", "1"));
    EXPECT_FALSE(doc.Write("A", ";k", "1"));
    EXPECT_FALSE(doc.Write("A", " k", "1"));
    EXPECT_FALSE(doc.Write("A", "", "1"));
    EXPECT_FALSE(doc.Write("A]", "k", "1"));
    EXPECT_FALSE(doc.Write("A\n[B", "k", "1"));
    EXPECT_EQ(Text(doc.Serialize()), original);
    EXPECT_FALSE(log.Lines().empty());
}

TEST(IniWrite, DeletesKeysAndSections) {
    IniDocument doc =
        IniDocument::Parse(std::string_view("[A]\nk=1\nK=2\nj=3\n[B]\nx=1\n[a]\nk=4\n"));
    EXPECT_TRUE(doc.DeleteKey("a", "K"));  // the first k of the first A
    EXPECT_EQ(doc.ReadString("A", "k", "0"), "2");
    EXPECT_FALSE(doc.DeleteKey("A", "missing"));
    EXPECT_FALSE(doc.DeleteKey("missing", "k"));
    EXPECT_TRUE(doc.DeleteSection("b"));
    EXPECT_FALSE(doc.HasSection("B"));
    EXPECT_EQ(Text(doc.Serialize()), "[A]\nK=2\nj=3\n[a]\nk=4\n");
}

TEST(IniEncoding, Utf16AndUtf8FilesAreWrittenBackInTheirEncoding) {
    // UTF-16LE with a mark, one non-ASCII name.
    std::string utf16 = Utf16Le("[PROFILENAME]\r\n0=");
    utf16 += std::string("\xE9\x00", 2);  // é
    utf16 += Utf16Le("\r\n").substr(2);
    IniDocument doc = IniDocument::Parse(utf16);
    EXPECT_EQ(doc.Encoding(), TextEncoding::Utf16LeBom);
    EXPECT_EQ(doc.ReadString("profilename", "0", ""), "\xC3\xA9");
    EXPECT_EQ(Text(doc.Serialize()), utf16);
    ASSERT_TRUE(doc.Write("PROFILENAME", "1", "\xF0\x9F\x98\x80"));  // needs a surrogate pair
    std::string expected = utf16 + Utf16Le("1=").substr(2) + std::string("\x3D\xD8\x00\xDE", 4) +
                           Utf16Le("\r\n").substr(2);
    EXPECT_EQ(Text(doc.Serialize()), expected);

    // A lone surrogate and an odd trailing byte survive a rewrite.
    const std::string odd = Utf16Le("[A]\r\nk=") + std::string("\x00\xD8", 2) + "\x41";
    IniDocument oddDoc = IniDocument::Parse(odd);
    EXPECT_EQ(Text(oddDoc.Serialize()), odd);

    // UTF-8 with a mark keeps it; invalid UTF-8 bytes are kept as they are.
    const std::string utf8 = "\xEF\xBB\xBF[A]\r\nk=\xFF\xFE\r\n";
    IniDocument utf8Doc = IniDocument::Parse(utf8);
    EXPECT_EQ(utf8Doc.Encoding(), TextEncoding::Utf8Bom);
    EXPECT_EQ(utf8Doc.ReadString("A", "k", ""), "\xFF\xFE");
    ASSERT_TRUE(utf8Doc.Write("A", "j", "1"));
    EXPECT_EQ(Text(utf8Doc.Serialize()), utf8 + "j=1\r\n");
}

TEST(IniLineEnds, ACrCutFromItsLfEndsTheLineAndStaysOutOfTheValue) {
    // The last line unended but for a CR: an index cut between CR and LF.
    const std::string cut = "[PROFILEDEVICENAME]\r\n0=profile1\r";
    IniDocument doc = IniDocument::Parse(cut);
    EXPECT_EQ(doc.ReadString("PROFILEDEVICENAME", "0", ""), "profile1");
    EXPECT_EQ(Text(doc.Serialize()), cut);
    // An unrelated write completes the line end; the value is the same before and after.
    ASSERT_TRUE(doc.Write("PROFILEDEVICECOUNT", "count", "1"));
    EXPECT_EQ(Text(doc.Serialize()),
              "[PROFILEDEVICENAME]\r\n0=profile1\r\n[PROFILEDEVICECOUNT]\r\ncount=1\r\n");
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).ReadString("PROFILEDEVICENAME", "0", ""),
              "profile1");

    IniDocument lf = IniDocument::Parse(std::string_view("[S]\nk=v\r"));
    EXPECT_EQ(lf.ReadString("S", "k", ""), "v");
    ASSERT_TRUE(lf.Write("S", "j", "w"));
    EXPECT_EQ(Text(lf.Serialize()), "[S]\nk=v\r\nj=w\n");
    EXPECT_EQ(IniDocument::Parse(lf.Serialize()).ReadString("S", "k", ""), "v");

    IniDocument wide = IniDocument::Parse(Utf16Le("[S]\r\nk=v\r"));
    EXPECT_EQ(wide.ReadString("S", "k", ""), "v");
    EXPECT_EQ(Text(wide.Serialize()), Utf16Le("[S]\r\nk=v\r"));
}

TEST(IniIndex, LookupsAfterManyChangesMatchTheFileWrittenFromThem) {
    // Whatever was changed, looking a key up in the document must give what the same lookup
    // gives in the file the document writes.
    std::mt19937 rng(7);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const std::vector<std::string> sections = {"A", "a", "B", "PROFILENAME", "profileName"};
    const std::vector<std::string> keys = {"0", "1", "k", "K", "count", "x y"};
    IniDocument doc = IniDocument::Parse(
        std::string_view("; head\r\norphan=1\r\n[A]\r\nk=1\r\n\r\n[B]\r\n;c\r\nK=2\r\n\r\n"
                         "[a]\r\nk=3\r\n"));
    for (int step = 0; step < 3000; ++step) {
        const std::string& section = sections[static_cast<size_t>(pick(5))];
        const std::string& key = keys[static_cast<size_t>(pick(6))];
        switch (pick(10)) {
            case 0:
                doc.DeleteSection(section);
                break;
            case 1:
            case 2:
                doc.DeleteKey(section, key);
                break;
            default:
                ASSERT_TRUE(doc.Write(section, key, std::to_string(step)));
        }
        if (step % 50 != 0) continue;
        const IniDocument written = IniDocument::Parse(doc.Serialize());
        ASSERT_EQ(doc.SectionNames(), written.SectionNames()) << step;
        for (const std::string& s : sections) {
            ASSERT_EQ(doc.KeyNames(s), written.KeyNames(s)) << step << " " << s;
            for (const std::string& k : keys)
                ASSERT_EQ(doc.Find(s, k), written.Find(s, k)) << step << " " << s << " " << k;
        }
    }
}

class IniFiles : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(IniFiles, MissingFilesReadDefaultsAndAreCreatedOnTheFirstWrite) {
    const fs::path path = dir / "msProfile.ini";
    EXPECT_EQ(ReadIniString(path, "PROFILECOUNT", "count", "0"), "0");
    EXPECT_EQ(ReadIniInt(path, "PROFILECOUNT", "count", 0), 0);
    EXPECT_TRUE(ReadIniSectionNames(path).empty());
    EXPECT_FALSE(DeleteIniKey(path, "PROFILECOUNT", "count"));
    EXPECT_FALSE(fs::exists(path));  // reads and a delete of nothing create no file

    ASSERT_TRUE(WriteIniString(path, "PROFILECOUNT", "count", "1"));
    ASSERT_TRUE(WriteIniString(path, "profilecount", "COUNT", "2"));
    EXPECT_EQ(ReadBytes(path), "[PROFILECOUNT]\r\ncount=2\r\n");
    EXPECT_TRUE(DeleteIniKey(path, "PROFILECOUNT", "count"));
    EXPECT_EQ(ReadBytes(path), "[PROFILECOUNT]\r\n");
}

TEST_F(IniFiles, UpdatesKeepTheFilesEncodingAndAnUnreadableFileIsLeftAlone) {
    const fs::path path = dir / "kbProfile.ini";
    WriteBytes(path, Utf16Le("[PROFILECOUNT]\r\ncount=1\r\n"));
    ASSERT_TRUE(WriteIniString(path, "PROFILECOUNT", "count", "2"));
    EXPECT_EQ(ReadBytes(path), Utf16Le("[PROFILECOUNT]\r\ncount=2\r\n"));

    // A file too large to be an index is not replaced by a new small one.
    const fs::path huge = dir / "huge.ini";
    const std::string content = "[A]\r\n" + std::string(kDefaultReadLimit, ';');
    WriteBytes(huge, content);
    LogCapture log;
    EXPECT_FALSE(WriteIniString(huge, "A", "k", "1"));
    EXPECT_EQ(fs::file_size(huge), content.size());
    EXPECT_TRUE(log.Contains("huge.ini"));
}

TEST_F(IniFiles, UpdatesFromSeveralThreadsLoseNothing) {
    const fs::path path = dir / "mpProfile.ini";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i)
                EXPECT_TRUE(WriteIniString(path, "T" + std::to_string(t), std::to_string(i), "v"));
        });
    for (auto& t : threads)
        t.join();
    const IniLoad load = LoadIniFile(path);
    ASSERT_EQ(load.status, IniLoadStatus::Ok);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(load.document.KeyNames("T" + std::to_string(t)).size(), 15u) << t;
}

}  // namespace
}  // namespace vq::test
