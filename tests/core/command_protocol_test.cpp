// The command protocol on the wire, through the simulated mouse.

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "core/device/command_report.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

using Bytes = std::vector<uint8_t>;

uint16_t Address(const Bytes& r) {
    return static_cast<uint16_t>(r[5] | (r[6] << 8));
}

class CommandProtocol : public SimMouseTest {
  protected:
    void SetUp() override { Connect(); }
};

TEST(CommandReportFrame, ChecksumCoversBytesThreeToSixtyThreeAndIsSealedLast) {
    CommandReport r = CommandReport::Make(Command::WriteParams, 56, 0x1234);
    std::vector<uint8_t> data(56);
    std::iota(data.begin(), data.end(), uint8_t{200});  // wraps: large sums
    r.SetData(data);
    r.Seal();
    unsigned sum = 0;
    for (size_t i = 3; i < 64; ++i)
        sum += r.bytes[i];
    EXPECT_EQ(r.Checksum(), sum & 0xFFFF);
    EXPECT_EQ(r.bytes[0], 0x04);
    EXPECT_EQ(r.bytes[5], 0x34);
    EXPECT_EQ(r.bytes[6], 0x12);
    EXPECT_EQ(r.bytes[7], 0x00);
    // The largest possible sum still fits: 61 bytes of 0xFF.
    CommandReport full;
    full.bytes.fill(0xFF);
    full.Seal();
    EXPECT_EQ(full.Checksum(), 61 * 255);
}

TEST_F(CommandProtocol, BeginSendsExactBytes) {
    EXPECT_EQ(session->Begin(), kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    Bytes expected(64, 0);
    expected[0] = 0x04;
    expected[1] = 0x01;
    expected[3] = 0x01;
    EXPECT_EQ(requests[0], expected);
}

TEST_F(CommandProtocol, ReadInfoCopiesExactlyThirtyThreeBytes) {
    std::array<uint8_t, 40> info;
    info.fill(0xEE);
    ASSERT_EQ(session->ReadInfo(std::span<uint8_t, kInfoSize>(info.data(), kInfoSize)),
              kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0][3], 0x03);
    EXPECT_EQ(requests[0][4], 0x21);
    EXPECT_EQ(requests[0][1], 0x24);
    EXPECT_EQ(requests[0][2], 0x00);
    const auto expected = mouse->Info();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), info.begin()));
    for (size_t i = kInfoSize; i < info.size(); ++i)
        EXPECT_EQ(info[i], 0xEE) << i;
    EXPECT_EQ(info[6], 32);
    EXPECT_EQ(info[9] | (info[10] << 8), 0x3389);
}

TEST_F(CommandProtocol, ReadBlockSendsTenReportsAndAssemblesTheBlock) {
    std::array<uint8_t, 512> block{};
    ASSERT_EQ(session->ReadBlock(block), kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 10u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(requests[i][3], 0x07);
        EXPECT_EQ(requests[i][4], 56);
        EXPECT_EQ(Address(requests[i]), i * 56);
    }
    EXPECT_EQ(requests[9][4], 8);
    EXPECT_EQ(Address(requests[9]), 504);
    EXPECT_EQ(block, mouse->FactoryBlock());
}

TEST_F(CommandProtocol, IndexedBlocksAreAddressedAtIndexTimes126) {
    std::array<uint8_t, 512> layer{};
    for (size_t i = 0; i < layer.size(); ++i)
        layer[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(session->WriteIndexedBlock(layer, 2), kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 10u);
    EXPECT_EQ(requests[0][3], 0x09);
    EXPECT_EQ(Address(requests[0]), 252);
    EXPECT_EQ(Address(requests[1]), 308);
    EXPECT_EQ(Address(requests[9]), 252 + 504);
    auto keys = mouse->KeyMemory();
    EXPECT_TRUE(std::equal(layer.begin(), layer.end(), keys.begin() + 252));

    std::array<uint8_t, 512> back{};
    ASSERT_EQ(session->ReadIndexedBlock(back, 2), kResultSuccess);
    EXPECT_EQ(back, layer);
}

TEST_F(CommandProtocol, BlockIndexOutOfRangeSendsNothing) {
    std::array<uint8_t, 512> layer{};
    EXPECT_EQ(session->WriteIndexedBlock(layer, 5), kResultBadIndex);
    EXPECT_EQ(session->ReadIndexedBlock(layer, 5), kResultBadIndex);
    EXPECT_EQ(session->ReadIndexedBlock(layer, -1), kResultBadIndex);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandProtocol, ShortLastChunkKeepsThePreviousChunksBytesUnderTheChecksum) {
    Bytes data(57);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(0x80 + i);
    ASSERT_EQ(session->WriteMacroData(data), kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][4], 56);
    EXPECT_EQ(Address(requests[0]), 0);
    EXPECT_EQ(requests[1][4], 1);
    EXPECT_EQ(Address(requests[1]), 56);
    EXPECT_EQ(requests[1][8], data[56]);
    // Bytes after the one-byte chunk are those the first chunk left in the frame.
    for (size_t i = 9; i < 64; ++i)
        EXPECT_EQ(requests[1][i], data[i - 8]) << i;
    CommandReport second;
    std::copy(requests[1].begin(), requests[1].end(), second.bytes.begin());
    EXPECT_EQ(second.Checksum(), ComputeChecksum(second.bytes));
    EXPECT_EQ(mouse->ChecksumErrors(), 0);
    auto memory = mouse->MacroMemory();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.begin()));
}

TEST_F(CommandProtocol, EmptyImageSendsNothingAndSucceeds) {
    EXPECT_EQ(session->WriteMacroData({}), kResultSuccess);
    EXPECT_EQ(session->WriteScriptData({}), kResultSuccess);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandProtocol, RefusalInThirdChunkStopsAfterTwoAcceptedChunks) {
    std::array<uint8_t, 512> layer{};
    layer.fill(0x5A);
    mouse->FailRequest(3, 0xFE);
    EXPECT_EQ(session->WriteIndexedBlock(layer, 0), kResultRefusedFE);
    EXPECT_EQ(Requests().size(), 3u);
    auto keys = mouse->KeyMemory();
    // The first two chunks stay written.
    EXPECT_TRUE(std::all_of(keys.begin(), keys.begin() + 112, [](uint8_t b) { return b == 0x5A; }));
    EXPECT_TRUE(session->IsConnected());

    mouse->FailRequest(1, 0xFF);
    EXPECT_EQ(session->Begin(), kResultRefusedFF);
}

TEST_F(CommandProtocol, BlockLengthAbove512IsRefused) {
    EXPECT_FALSE(session->SetBlockLength(513));
    EXPECT_EQ(session->BlockLength(), 512);
    EXPECT_TRUE(session->SetBlockLength(120));
    std::array<uint8_t, 512> block{};
    ASSERT_EQ(session->ReadBlock(block), kResultSuccess);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2][4], 8);
    EXPECT_TRUE(session->SetBlockLength(0));
    EXPECT_EQ(session->ReadBlock(block), kResultSuccess);
    EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(CommandProtocol, SilentDeviceGetsFourAttemptsThenNoAnswer) {
    mouse->DropNextRequests(4);
    EXPECT_EQ(session->Begin(), kResultNoAnswer);
    EXPECT_EQ(Requests().size(), 4u);
    EXPECT_TRUE(session->IsConnected());
    // Three silent attempts, then an answer: success on the fourth.
    bus.ClearTranscript();
    mouse->DropNextRequests(3);
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(Requests().size(), 4u);
}

TEST_F(CommandProtocol, FailedWriteLosesTheLinkExceptForLightFrames) {
    bus.SetWritesStall(true);
    EXPECT_EQ(session->WriteLightFrame(Bytes(10, 1)), kResultLinkLost);
    EXPECT_TRUE(session->IsConnected());
    EXPECT_EQ(session->Begin(), kResultLinkLost);
    EXPECT_FALSE(session->IsConnected());
    bus.SetWritesStall(false);
    EXPECT_EQ(session->Begin(), kResultNoAnswer);  // not connected: nothing sent
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandProtocol, UnpluggedDeviceLosesTheLink) {
    mouse->Unplug();
    EXPECT_EQ(session->Begin(), kResultLinkLost);
    EXPECT_FALSE(session->IsConnected());
}

TEST_F(CommandProtocol, NotConnectedSendsNothing) {
    session->SetConnected(false);
    std::array<uint8_t, 512> block{};
    std::array<uint8_t, kInfoSize> info{};
    EXPECT_EQ(session->Begin(), kResultNoAnswer);
    EXPECT_EQ(session->ReadInfo(info), kResultNoAnswer);
    EXPECT_EQ(session->ReadBlock(block), kResultNoAnswer);
    EXPECT_EQ(session->WriteMacroData(Bytes(3)), kResultNoAnswer);
    EXPECT_EQ(session->FactoryReset(), kResultNoAnswer);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandProtocol, FactoryResetNeverClearsConnected) {
    mouse->SetParamByte(2, 0x77);
    EXPECT_EQ(session->FactoryReset(), kResultSuccess);
    EXPECT_TRUE(session->IsConnected());
    EXPECT_EQ(mouse->CurrentRecord()[2], sim::DefaultMouseRecord(0)[2]);
    // A reset the device never answers, or whose write fails, still leaves the flag alone.
    mouse->DropNextRequests(1);
    EXPECT_EQ(session->FactoryReset(), kResultNoAnswer);
    EXPECT_TRUE(session->IsConnected());
    bus.SetWritesStall(true);
    session->FactoryReset();
    EXPECT_TRUE(session->IsConnected());
    EXPECT_EQ(Requests().size(), 2u);  // one request per call, no retry
}

TEST_F(CommandProtocol, ParamsRoundTripAndRefuseOversizedLengths) {
    Bytes record(56);
    for (size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<uint8_t>(i + 1);
    ASSERT_EQ(session->WriteParams(record, 64), kResultSuccess);
    std::array<uint8_t, 56> back{};
    ASSERT_EQ(session->ReadParams(back, 56, 64), kResultSuccess);
    EXPECT_EQ(back[0], 1);  // a stored record's slot byte is its own
    EXPECT_TRUE(std::equal(record.begin() + 1, record.end(), back.begin() + 1));

    std::array<uint8_t, 64> big{};
    EXPECT_EQ(session->ReadParams(big, 57, 0), kResultNoAnswer);
    EXPECT_EQ(session->WriteParams(Bytes(57), 0), kResultNoAnswer);
    std::array<uint8_t, 4> small{};
    EXPECT_EQ(session->ReadParams(small, 5, 0), kResultNoAnswer);
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(CommandProtocol, OneByteWriteAtZeroSwitchesTheSlot) {
    const uint8_t three = 3;
    ASSERT_EQ(session->WriteParams({&three, 1}, 0), kResultSuccess);
    std::array<uint8_t, 1> slot{};
    ASSERT_EQ(session->ReadParams(slot, 1, 0), kResultSuccess);
    EXPECT_EQ(slot[0], 3);
    EXPECT_EQ(mouse->CurrentSlot(), 3);
}

TEST_F(CommandProtocol, LateAnswerIsNeverTakenForTheNextRequest) {
    // The first answer comes after the read limit; the retry's answer must be its own.
    mouse->SetAnswerDelayMs(45);
    std::array<uint8_t, 1> slot{};
    EXPECT_EQ(session->ReadParams(slot, 1, 0), kResultSuccess);
    mouse->SetAnswerDelayMs(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    std::array<uint8_t, kInfoSize> info{};
    ASSERT_EQ(session->ReadInfo(info), kResultSuccess);
    EXPECT_EQ(info, mouse->Info());
}

TEST_F(CommandProtocol, ConcurrentCommandsNeverSwapAnswers) {
    // One thread reads the information record while another streams light frames; every
    // information read must get the information answer.
    std::atomic<bool> stop{false};
    std::thread light([&] {
        Bytes frame(100, 0x42);
        while (!stop)
            session->WriteLightFrame(frame);
    });
    for (int i = 0; i < 200; ++i) {
        std::array<uint8_t, kInfoSize> info{};
        ASSERT_EQ(session->ReadInfo(info), kResultSuccess);
        ASSERT_EQ(info, mouse->Info()) << "iteration " << i;
    }
    stop = true;
    light.join();
}

}  // namespace
}  // namespace vq::test
