// The profile file container: header layout, the read results and short or foreign files.

#include <gtest/gtest.h>

#include <numeric>

#include "core/profile/profile_file.h"
#include "core/profile/profile_payload.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Ramp(size_t n, uint8_t start = 1) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), start);
    return v;
}

TEST(ProfileFileFormat, HeaderIsMagicKindCodeAndZeroedReservedBytes) {
    const std::vector<uint8_t> payload = Ramp(64);
    const std::vector<uint8_t> file = EncodeProfileFile(payload, KindCode(DeviceKind::Mousepad));
    ASSERT_EQ(file.size(), 80u);
    const std::vector<uint8_t> header(file.begin(), file.begin() + 16);
    EXPECT_EQ(header, (std::vector<uint8_t>{0xAA, 0x55, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 16));
    EXPECT_EQ(KindCode(DeviceKind::Keyboard), 1);
    EXPECT_EQ(KindCode(DeviceKind::Mouse), 2);
}

TEST(ProfileFileFormat, DecodeAcceptsAnyReservedBytesAndKindButNotAWrongMagic) {
    std::vector<uint8_t> file = EncodeProfileFile(Ramp(8), 7);
    std::fill(file.begin() + 6, file.begin() + 16, 0xEE);
    file[2] = file[3] = 0x99;
    std::vector<uint8_t> buffer(8, 0);
    uint16_t kind = 0;
    EXPECT_EQ(DecodeProfileFile(file, buffer, &kind), ProfileReadResult::Ok);
    EXPECT_EQ(buffer, Ramp(8));
    EXPECT_EQ(kind, 7);

    std::vector<uint8_t> untouched(8, 0x5A);
    file[0] = 0x55;  // bytes 55 55: the value 0x5555
    EXPECT_EQ(DecodeProfileFile(file, untouched), ProfileReadResult::BadFormat);
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0x5A));
    std::swap(file[0], file[1]);
    file[0] = 0x55;
    file[1] = 0xAA;  // the magic big-endian is wrong too
    EXPECT_EQ(DecodeProfileFile(file, untouched), ProfileReadResult::BadFormat);
    EXPECT_EQ(DecodeProfileFile({}, untouched), ProfileReadResult::BadFormat);
    const std::vector<uint8_t> oneByte = {0xAA};
    EXPECT_EQ(DecodeProfileFile(oneByte, untouched), ProfileReadResult::BadFormat);
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0x5A));
}

class ProfileFiles : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(ProfileFiles, WriteThenReadGivesThePayloadBack) {
    const std::vector<uint8_t> payload = Ramp(576);
    const fs::path path = dir / "profile1.config";
    ASSERT_TRUE(WriteProfileFile(path, payload, KindCode(DeviceKind::Mouse)));
    EXPECT_EQ(fs::file_size(path), 592u);
    std::vector<uint8_t> buffer(576, 0);
    uint16_t kind = 0;
    EXPECT_EQ(ReadProfileFile(path, buffer, &kind), ProfileReadResult::Ok);
    EXPECT_EQ(buffer, payload);
    EXPECT_EQ(kind, 2);
}

TEST_F(ProfileFiles, ShortLongAndForeignFilesLoadAsFarAsTheyGo) {
    // Short: the tail stays as the caller zeroed it.
    std::vector<uint8_t> file = EncodeProfileFile(Ramp(10), 2);
    WriteBytes(dir / "short.led", std::string(file.begin(), file.end()));
    std::vector<uint8_t> buffer(64, 0);
    EXPECT_EQ(ReadProfileFile(dir / "short.led", buffer), ProfileReadResult::Ok);
    std::vector<uint8_t> expected = Ramp(10);
    expected.resize(64, 0);
    EXPECT_EQ(buffer, expected);

    // A header only, or even half a header, with the right magic: all zeros.
    WriteBytes(dir / "header.led", std::string("\xAA\x55\0\0\x02", 5));
    std::vector<uint8_t> zeros(64, 0);
    EXPECT_EQ(ReadProfileFile(dir / "header.led", zeros), ProfileReadResult::Ok);
    EXPECT_EQ(zeros, std::vector<uint8_t>(64, 0));

    // Longer than the family's payload (a keyboard file read as a mouse light profile): the
    // first bytes are taken.
    file = EncodeProfileFile(Ramp(1958), KindCode(DeviceKind::Keyboard));
    WriteBytes(dir / "keyboard.led", std::string(file.begin(), file.end()));
    std::vector<uint8_t> mouseLight(64, 0);
    EXPECT_EQ(ReadProfileFile(dir / "keyboard.led", mouseLight), ProfileReadResult::Ok);
    EXPECT_EQ(mouseLight, Ramp(64));
}

TEST_F(ProfileFiles, MissingFoldersAndBadMagicAreReportedAndLeaveTheBufferAlone) {
    std::vector<uint8_t> buffer(64, 0x11);
    EXPECT_EQ(ReadProfileFile(dir / "absent.led", buffer), ProfileReadResult::Missing);
    fs::create_directory(dir / "folder.led");
    EXPECT_EQ(ReadProfileFile(dir / "folder.led", buffer), ProfileReadResult::Missing);
    WriteBytes(dir / "empty.led", "");
    EXPECT_EQ(ReadProfileFile(dir / "empty.led", buffer), ProfileReadResult::BadFormat);
    WriteBytes(dir / "text.led", "[PROFILECOUNT]\r\ncount=1\r\n");
    EXPECT_EQ(ReadProfileFile(dir / "text.led", buffer), ProfileReadResult::BadFormat);
    EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0x11));
}

TEST_F(ProfileFiles, AFailedWriteKeepsTheOldProfileAndSaysSo) {
    const fs::path path = dir / "profile1.pro";
    ASSERT_TRUE(WriteProfileFile(path, Ramp(512), 2));
    LogCapture log;
    EXPECT_FALSE(WriteProfileFile(dir / "no-folder" / "x.pro", Ramp(512), 2));
    EXPECT_TRUE(log.Contains("文件打开失败"));
    fs::create_directory(dir / "in-the-way.pro");
    EXPECT_FALSE(WriteProfileFile(dir / "in-the-way.pro", Ramp(512), 2));
    std::vector<uint8_t> buffer(512, 0);
    EXPECT_EQ(ReadProfileFile(path, buffer), ProfileReadResult::Ok);
    EXPECT_EQ(buffer, Ramp(512));
}

}  // namespace
}  // namespace vq::test
