// The simulated mouse as a device: its collections, notifications, hot-plug, faults and memories.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "core/device/device_search.h"
#include "support/sim_fixture.h"

namespace vq::test {
namespace {

class SimMouseDevice : public SimMouseTest {};

TEST_F(SimMouseDevice, ShowsTwoInterfacesWithTheMouseIdentity) {
    HidDevice device(&bus);
    HidDeviceList& list = device.List();
    ASSERT_TRUE(list.Enumerate());
    ASSERT_EQ(list.Count(), 2u);
    std::vector<HidCaps> caps;
    while (auto path = list.NextPath()) {
        EXPECT_EQ(VendorIdFromPath(*path), 0x0C45);
        EXPECT_EQ(ProductIdFromPath(*path), 0x7643);
        ASSERT_TRUE(device.Open(*path, true, false, true, false));
        EXPECT_EQ(device.Attributes().vendorId, 0x0C45);
        caps.push_back(device.Caps());
    }
    EXPECT_EQ(caps[0].usagePage, 0xFF1C);
    EXPECT_EQ(caps[0].usage, 0x0092);
    EXPECT_EQ(caps[1].usagePage, 0x000C);
    EXPECT_EQ(caps[1].usage, 0x0001);
}

TEST_F(SimMouseDevice, SearchSkipsAnEventCollectionListedFirst) {
    mouse->Unplug();
    sim::SimMouseConfig config;
    config.eventCollectionFirst = true;
    sim::SimMouse other(bus, config);
    other.Plug();
    std::lock_guard lock(session->IoLock());
    ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
    EXPECT_EQ(session->Device().Path(), other.ConfigPath());
    EXPECT_EQ(bus.OpenHandleCount(), 1u);  // the event collection was closed again
}

TEST_F(SimMouseDevice, SearchFindsNothingWithoutTheMouseAndReportsAFailedListing) {
    mouse->Unplug();
    {
        std::lock_guard lock(session->IoLock());
        EXPECT_EQ(ConnectConfigCollection(*session), SearchResult::NotFound);
    }
    EXPECT_FALSE(session->IsConnected());
    bus.SetEnumerationFails(true);
    std::lock_guard lock(session->IoLock());
    EXPECT_EQ(ConnectConfigCollection(*session), SearchResult::EnumerationFailed);
}

TEST_F(SimMouseDevice, DpiButtonChangesTheStageAndNotifiesOnlyTheEventCollection) {
    Connect();
    HidDevice events(&bus);
    ASSERT_EQ(OpenEventCollection(events, 0x0C45, 0x7643), SearchResult::Connected);
    const uint8_t before = mouse->CurrentRecord()[23];
    mouse->PressDpiButton();
    EXPECT_EQ(mouse->CurrentRecord()[23], (before + 1) % 7);

    uint8_t report[8] = {};
    size_t got = 0;
    ASSERT_EQ(events.ReadReport(sizeof report, &got, report, 200), 1);
    EXPECT_EQ(events.FirstInputUsage({report, got}), 0x0401);
    // The configuration collection saw nothing.
    uint8_t answer[64];
    EXPECT_EQ(session->Device().ReadReport(64, nullptr, answer, 0), 0);

    std::array<uint8_t, 56> record{};
    ASSERT_EQ(session->ReadParams(record, 56, 0), kResultSuccess);
    EXPECT_EQ(record[23], (before + 1) % 7);
}

TEST_F(SimMouseDevice, UnplugWakesAnUntimedReadAndReplugAllowsAReopen) {
    Connect();
    HidDevice events(&bus);
    ASSERT_EQ(OpenEventCollection(events, 0x0C45, 0x7643), SearchResult::Connected);
    auto reader = std::async(std::launch::async, [&] {
        uint8_t report[8];
        return events.ReadReport(sizeof report, nullptr, report, kInfinite);
    });
    while (!events.Reading())
        std::this_thread::yield();
    mouse->Unplug();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(reader.get(), 0);
    EXPECT_FALSE(events.Probe());
    EXPECT_FALSE(session->Device().Probe());
    EXPECT_EQ(session->Begin(), kResultLinkLost);

    mouse->Plug();
    EXPECT_TRUE(session->Device().Probe());
    std::lock_guard lock(session->IoLock());
    ASSERT_EQ(ConnectConfigCollection(*session), SearchResult::Connected);
    EXPECT_EQ(session->Begin(), kResultSuccess);
}

TEST_F(SimMouseDevice, SlowAnswersMissAShortLimitAndArriveLater) {
    Connect();
    HidDevice& device = session->Device();
    mouse->SetAnswerDelayMs(40);
    CommandReport request = CommandReport::Make(Command::Begin, 0, 0);
    request.Seal();
    ASSERT_EQ(device.WriteReport(64, nullptr, request.bytes.data(), 100), 1);
    uint8_t answer[64];
    EXPECT_EQ(device.ReadReport(64, nullptr, answer, 5), 0);
    EXPECT_EQ(device.ReadReport(64, nullptr, answer, 1000), 1);
    EXPECT_EQ(answer[3], 0x01);
}

TEST_F(SimMouseDevice, RefusesBadChecksumsOversizedImagesAndUnknownCommands) {
    Connect();
    HidDevice& device = session->Device();
    uint8_t answer[64];
    CommandReport bad = CommandReport::Make(Command::Begin, 0, 0);
    bad.Seal();
    bad.bytes[1] ^= 0x01;
    ASSERT_EQ(device.WriteReport(64, nullptr, bad.bytes.data(), 100), 1);
    ASSERT_EQ(device.ReadReport(64, nullptr, answer, 100), 1);
    EXPECT_EQ(answer[7], 0xFF);
    EXPECT_EQ(mouse->ChecksumErrors(), 1);

    CommandReport unknown;
    unknown.bytes[0] = 0x04;
    unknown.bytes[3] = 0x7E;
    unknown.Seal();
    ASSERT_EQ(device.WriteReport(64, nullptr, unknown.bytes.data(), 100), 1);
    ASSERT_EQ(device.ReadReport(64, nullptr, answer, 100), 1);
    EXPECT_EQ(answer[7], 0xFF);

    // The macro memory holds info byte 6 × 128 bytes; more is refused where it no longer fits.
    std::vector<uint8_t> image(mouse->Info()[6] * 128 + 10, 0x11);
    EXPECT_EQ(session->WriteMacroData(image), kResultRefusedFE);
    image.resize(mouse->Info()[6] * 128);
    EXPECT_EQ(session->WriteMacroData(image), kResultSuccess);
    EXPECT_EQ(mouse->MacroMemory(), image);
}

TEST_F(SimMouseDevice, KeepsLightFramesScriptsAndResetsToTheFactoryState) {
    Connect();
    std::vector<uint8_t> frame(120);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(session->WriteLightFrame(frame), kResultSuccess);
    ASSERT_EQ(session->WriteLightFrame(frame), kResultSuccess);
    auto frames = mouse->LightFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], frame);

    std::vector<uint8_t> script(300, 0x33);
    ASSERT_EQ(session->WriteScriptData(script), kResultSuccess);
    EXPECT_TRUE(std::equal(script.begin(), script.end(), mouse->ScriptMemory().begin()));

    std::array<uint8_t, 512> layer{};
    layer.fill(0x99);
    ASSERT_EQ(session->WriteIndexedBlock(layer, 4), kResultSuccess);
    const uint8_t two = 2;
    ASSERT_EQ(session->WriteParams({&two, 1}, 0), kResultSuccess);
    ASSERT_EQ(session->FactoryReset(), kResultSuccess);
    EXPECT_EQ(mouse->CurrentSlot(), 0);
    EXPECT_TRUE(mouse->LightFrames().empty());
    const auto factory = mouse->FactoryBlock();
    const auto keys = mouse->KeyMemory();
    EXPECT_TRUE(std::equal(factory.begin(), factory.begin() + 126, keys.begin() + 4 * 126));
    EXPECT_TRUE(session->IsConnected());
}

TEST_F(SimMouseDevice, TranscriptHoldsBothDirectionsInOrder) {
    Connect();
    ASSERT_EQ(session->Begin(), kResultSuccess);
    mouse->SendNotification(0x0402);
    auto transcript = bus.Transcript();
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(transcript[0].direction, TraceDirection::ToDevice);
    EXPECT_EQ(transcript[1].direction, TraceDirection::FromDevice);
    EXPECT_EQ(transcript[1].usagePage, 0xFF1C);
    EXPECT_EQ(transcript[2].usagePage, 0x000C);
    EXPECT_EQ(transcript[2].bytes, (std::vector<uint8_t>{0x03, 0x02, 0x04}));
}

// A simulated device left running (light frames many times a second) must not fill the memory
// with its transcript: only the newest reports are kept, in order.
TEST_F(SimMouseDevice, TranscriptKeepsOnlyTheNewestReports) {
    EXPECT_EQ(bus.TranscriptLimit(), sim::VirtualHidBus::kDefaultTranscriptLimit);
    bus.SetTranscriptLimit(4);
    Connect();
    for (uint16_t n = 1; n <= 10; ++n)
        mouse->SendNotification(static_cast<uint16_t>(0x0400 + n));
    auto transcript = bus.Transcript();
    ASSERT_EQ(transcript.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(transcript[i].bytes,
                  (std::vector<uint8_t>{0x03, static_cast<uint8_t>(7 + i), 0x04}));
    EXPECT_EQ(bus.TranscriptDropped(), 6u);
    // Lowering the limit drops the oldest at once; 0 keeps nothing but counts.
    bus.SetTranscriptLimit(2);
    transcript = bus.Transcript();
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].bytes[1], 9);
    // Raised again, it grows from there in order, then wraps once more.
    bus.SetTranscriptLimit(3);
    for (uint16_t n = 11; n <= 14; ++n)
        mouse->SendNotification(static_cast<uint16_t>(0x0400 + n));
    transcript = bus.Transcript();
    ASSERT_EQ(transcript.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(transcript[i].bytes[1], 12 + i);
    EXPECT_EQ(bus.TranscriptDropped(), 11u);
    bus.SetTranscriptLimit(0);
    mouse->SendNotification(0x0402);
    EXPECT_TRUE(bus.Transcript().empty());
    EXPECT_EQ(bus.TranscriptDropped(), 15u);
    bus.ClearTranscript();
    EXPECT_EQ(bus.TranscriptDropped(), 0u);
}

}  // namespace
}  // namespace vq::test
