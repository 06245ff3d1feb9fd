// Which report is a request's answer: late answers to earlier attempts, reports nobody asked
// for, a device that does not repeat the request, on the bus's manual clock (exact timing).

#include <gtest/gtest.h>

#include "core/device/command_report.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

using Matching = DeviceSession::AnswerMatching;

std::vector<uint8_t> Flood(uint8_t fill) {
    return std::vector<uint8_t>(kReportSize, fill);
}

class AnswerMatching : public SimMouseTest {
  protected:
    void SetUp() override {
        UseDeviceTimingOnManualClock();
        Connect();
    }
    void SendStranger(uint8_t fill, std::chrono::milliseconds after = {}) {
        bus.SendInput(mouse->ConfigPath(), Flood(fill), after);
    }
    std::array<uint8_t, kInfoSize> ReadInfoOrFail(int expected = kResultSuccess) {
        std::array<uint8_t, kInfoSize> info{};
        EXPECT_EQ(session->ReadInfo(info), expected);
        return info;
    }
};

TEST_F(AnswerMatching, AMouseAnswering350MsLateGetsEachRequestItsOwnAnswer) {
    // Every answer comes 50 ms after the read limit: each first attempt times out, its answer
    // arrives during the retry, and the retry's own answer arrives during the next request.
    mouse->SetAnswerDelayMs(350);
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());
    std::array<uint8_t, 512> block{};
    ASSERT_EQ(session->ReadBlock(block), kResultSuccess);
    EXPECT_EQ(block, mouse->FactoryBlock());
    // The same command at the same address twice: the slot byte, then the whole record.
    std::array<uint8_t, 1> slot{};
    ASSERT_EQ(session->ReadParams(slot, 1, 0), kResultSuccess);
    std::array<uint8_t, 54> record{};
    ASSERT_EQ(session->ReadParams(record, 54, 0), kResultSuccess);
    const auto expected = mouse->ParamBytes(0, 54);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), expected.begin()));
    EXPECT_EQ(session->End(), kResultSuccess);
    EXPECT_EQ(session->Matching(), Matching::Echo);
}

TEST_F(AnswerMatching, TheRetrysLateAnswerIsNotTakenByTheNextRequest) {
    // Two late answers: the first attempt's is taken by the retry; the retry's comes exactly
    // at the end of the next request's wait.
    mouse->DelayNextAnswers(2, 350);
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());

    mouse->DelayNextAnswers(2, 350);
    std::array<uint8_t, 1> slot{};
    ASSERT_EQ(session->ReadParams(slot, 1, 0), kResultSuccess);
    std::array<uint8_t, 54> record{};
    ASSERT_EQ(session->ReadParams(record, 54, 0), kResultSuccess);
    const auto expected = mouse->ParamBytes(0, 54);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), expected.begin()));
}

TEST_F(AnswerMatching, AStrangerIsDroppedAndTheWaitKeepsItsLimit) {
    LogCapture log;
    // A report nobody asked for 100 ms into the wait, the answer 350 ms after the request: the
    // wait still ends 300 ms after the request, and the retry gets the late answer.
    SendStranger(0xEE, std::chrono::milliseconds(100));
    mouse->DelayNextAnswers(1, 350);
    const auto start = bus.Now();
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());
    EXPECT_EQ(Requests().size(), 2u);
    EXPECT_DOUBLE_EQ(MsSince(start), 350.0);
    EXPECT_TRUE(log.Contains("request 03 at 0000: dropped 1 report(s) that were not its answer"));
}

TEST_F(AnswerMatching, AFloodOfReportsNobodyAskedForChangesNoResult) {
    // Before the request and between every request and its answer.
    for (int i = 0; i < 100; ++i)
        SendStranger(0xEE);
    mouse->SetRequestFaults([this](std::span<const uint8_t>) {
        for (int i = 0; i < 40; ++i)
            SendStranger(static_cast<uint8_t>(0xE0 + i % 16));
        return sim::RequestFault{};
    });
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());
    std::array<uint8_t, 512> layer{};
    ASSERT_EQ(session->ReadIndexedBlock(layer, 1), kResultSuccess);
    const auto keys = mouse->KeyMemory();
    EXPECT_TRUE(std::equal(layer.begin(), layer.end(), keys.begin() + 126));
    std::array<uint8_t, 54> record{};
    ASSERT_EQ(session->ReadParams(record, 54, 0), kResultSuccess);
    const auto expected = mouse->ParamBytes(0, 54);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), expected.begin()));
    EXPECT_EQ(session->End(), kResultSuccess);
}

TEST_F(AnswerMatching, AnAnswerForAnotherAddressIsNotTaken) {
    // A late answer of the first chunk must not pass for the second chunk's: the address tells.
    mouse->DelayNextAnswers(2, 350);
    std::array<uint8_t, 512> block{};
    ASSERT_EQ(session->ReadBlock(block), kResultSuccess);
    EXPECT_EQ(block, mouse->FactoryBlock());
    // Written data goes where it was meant to, and the result is the write's own.
    std::vector<uint8_t> macro(300);
    for (size_t i = 0; i < macro.size(); ++i)
        macro[i] = static_cast<uint8_t>(i * 3 + 1);
    mouse->DelayNextAnswers(3, 350);
    ASSERT_EQ(session->WriteMacroData(macro), kResultSuccess);
    const auto memory = mouse->MacroMemory();
    EXPECT_TRUE(std::equal(macro.begin(), macro.end(), memory.begin()));
}

TEST_F(AnswerMatching, AnAnswerThatNeverComesInTimeFailsWithoutTouchingTheNextRequest) {
    // Far too late: four attempts without an answer; their answers then arrive during the next
    // request, which still gets its own.
    mouse->DelayNextAnswers(4, 1500);
    std::array<uint8_t, 1> slot{};
    EXPECT_EQ(session->ReadParams(slot, 1, 0), kResultNoAnswer);
    std::array<uint8_t, 54> record{};
    ASSERT_EQ(session->ReadParams(record, 54, 0), kResultSuccess);
    const auto expected = mouse->ParamBytes(0, 54);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), expected.begin()));
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());
}

TEST_F(AnswerMatching, ASilentDeviceCostsARepeatedRequestTwoReadLimitsMoreAtMost) {
    // Nothing ever comes: the repeat waits for the first attempt's late answers for two read
    // limits, then takes them as lost, instead of waiting for each of the four.
    mouse->DropNextRequests(8);
    std::array<uint8_t, 1> slot{};
    auto start = bus.Now();
    EXPECT_EQ(session->ReadParams(slot, 1, 0), kResultNoAnswer);
    EXPECT_DOUBLE_EQ(MsSince(start), 4 * 300.0);
    start = bus.Now();
    EXPECT_EQ(session->ReadParams(slot, 1, 0), kResultNoAnswer);
    EXPECT_DOUBLE_EQ(MsSince(start), 2 * 300.0 + 4 * 300.0);
    // Another request does not wait at all.
    mouse->DropNextRequests(0);
    start = bus.Now();
    EXPECT_EQ(ReadInfoOrFail(), mouse->Info());
    EXPECT_DOUBLE_EQ(MsSince(start), 0.0);
}

TEST_F(AnswerMatching, AFailedRequestHandsOutNothingOfAStranger) {
    mouse->DropNextRequests(4);
    SendStranger(0xEE, std::chrono::milliseconds(10));
    std::array<uint8_t, kReportSize> answer{};
    const CommandReport request = [] {
        CommandReport r = CommandReport::Make(Command::ReadInfo, kInfoSize, 0);
        r.Seal();
        return r;
    }();
    size_t count = 99;
    EXPECT_EQ(session->Transact(request.bytes, answer, &count), kResultNoAnswer);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(std::all_of(answer.begin(), answer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(AnswerMatching, ADeviceThatDoesNotRepeatRequestsIsAnsweredByStatusAlone) {
    mouse->Unplug();
    session->SetConnected(false);
    sim::SimMouseConfig config;
    config.echoesRequests = false;
    sim::SimMouse plain(bus, config);
    plain.Plug();
    {
        std::lock_guard lock(session->IoLock());
        ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
    }
    EXPECT_EQ(session->Matching(), Matching::Unknown);
    LogCapture log;
    bus.ClearTranscript();
    // Every attempt of Begin is answered, never with its command: learnt after the fourth.
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(Requests().size(), 4u);
    EXPECT_EQ(session->Matching(), Matching::StatusOnly);
    std::array<uint8_t, kInfoSize> info{};
    ASSERT_EQ(session->ReadInfo(info), kResultSuccess);
    EXPECT_EQ(info, plain.Info());
    plain.FailRequest(1, 0xFE);
    EXPECT_EQ(session->End(), kResultRefusedFE);
    EXPECT_EQ(session->Begin(), kResultSuccess);
    int said = 0;
    for (const std::string& line : log.Lines())
        said += line.find("does not repeat the request") != std::string::npos;
    EXPECT_EQ(said, 1);

    // A new connection learns again: the echoing mouse is matched strictly.
    plain.Unplug();
    session->SetConnected(false);
    mouse->Plug();
    {
        std::lock_guard lock(session->IoLock());
        ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
    }
    EXPECT_EQ(session->Matching(), Matching::Unknown);
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(session->Matching(), Matching::Echo);
}

TEST_F(AnswerMatching, BeginThatIsNeverAnsweredDoesNotMakeTheDeviceStatusOnly) {
    mouse->DropNextRequests(4);
    EXPECT_EQ(session->Begin(), kResultNoAnswer);
    EXPECT_EQ(session->Matching(), Matching::Unknown);
    // Nor does a stranger during one attempt only.
    mouse->DropNextRequests(3);
    SendStranger(0xEE, std::chrono::milliseconds(10));
    EXPECT_EQ(session->Begin(), kResultSuccess);
    EXPECT_EQ(session->Matching(), Matching::Echo);
}

}  // namespace
}  // namespace vq::test
