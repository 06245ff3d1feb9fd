// The Linux backend against a fake of its hidapi calls: how hidapi's entries become the
// program's interface list, how one node's input reports reach the right collection, and what
// closing, unplugging and stuck writes do to pending requests.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "fake_raw_hid.h"
#include "platform/linux/hidraw_backend.h"
#include "support/hid_descriptors.h"

namespace vq::test {
namespace {

using platform::HidrawBackend;
using platform::RawInterfaceInfo;

constexpr uint32_t kLongWaitMs = 5000;  // a generous limit: only reached when something is wrong

RawInterfaceInfo Entry(uint16_t vendor, uint16_t product, uint16_t page, uint16_t usage,
                       int interfaceNumber) {
    RawInterfaceInfo e;
    e.vendorId = vendor;
    e.productId = product;
    e.usagePage = page;
    e.usage = usage;
    e.interfaceNumber = interfaceNumber;
    return e;
}

// The mouse's hidraw node as hidapi 0.13 lists it: the configuration collection twice (once
// for a nested collection of the same usage), the consumer collection once.
std::vector<RawInterfaceInfo> MouseNodeEntries() {
    return {Entry(0x0C45, 0x7643, 0xFF1C, 0x0092, 1), Entry(0x0C45, 0x7643, 0xFF1C, 0x0092, 1),
            Entry(0x0C45, 0x7643, 0x000C, 0x0001, 1)};
}

const std::string kCfgPath = "/dev/hidraw3#vid_0c45&pid_7643&mi_01&col01&up_ff1c&u_0092";
const std::string kEvtPath = "/dev/hidraw3#vid_0c45&pid_7643&mi_01&col02&up_000c&u_0001";

Bytes Notification(uint16_t usage) {
    return {0x03, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)};
}

Bytes Answer(uint8_t command, uint8_t fill) {
    Bytes a(64, fill);
    a[0] = 0x04;
    a[3] = command;
    a[7] = 0x00;
    return a;
}

class HidrawTest : public ::testing::Test {
  protected:
    HidrawTest() {
        fake->AddNode(
            "/dev/hidraw0",
            {Entry(0x046D, 0xC077, 0x0001, 0x0002, 0), Entry(0x046D, 0xC077, 0x0001, 0x0001, 0)},
            BootMouseDescriptor());
        fake->AddNode("/dev/hidraw3", MouseNodeEntries(), MouseNodeDescriptor());
        backend = std::make_unique<HidrawBackend>(fake, platform::HidrawOptions{4});
    }
    ~HidrawTest() override {
        backend.reset();
        EXPECT_EQ(fake->Violations(), 0) << "a hidapi device was used by two threads at once "
                                            "or closed during a call";
    }

    std::unique_ptr<HidHandle> OpenCfg() { return backend->Open(kCfgPath, {true, true, true}); }
    std::unique_ptr<HidHandle> OpenEvt() { return backend->Open(kEvtPath, {true, false, true}); }

    static Bytes ReadOne(HidHandle& h, uint32_t timeoutMs = kLongWaitMs) {
        Bytes buffer(64);
        size_t n = 0;
        if (!h.Read(buffer, n, timeoutMs)) return {};
        buffer.resize(n);
        return buffer;
    }

    std::shared_ptr<FakeRawHid> fake = std::make_shared<FakeRawHid>();
    std::unique_ptr<HidrawBackend> backend;
};

// ---- listing ------------------------------------------------------------------------------

TEST_F(HidrawTest, ListsEachSelectedCollectionOnceUnderItsOwnPathAndOtherNodesPlainly) {
    std::vector<std::optional<std::string>> paths;
    ASSERT_TRUE(backend->Enumerate(paths));
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], "/dev/hidraw0");  // its nested pointer collection adds no entry
    EXPECT_EQ(paths[1], kCfgPath);
    EXPECT_EQ(paths[2], kEvtPath);
    // The composed paths read like the system's own to the rest of the program.
    EXPECT_EQ(VendorIdFromPath(*paths[1]), 0x0C45);
    EXPECT_EQ(ProductIdFromPath(*paths[1]), 0x7643);
    EXPECT_EQ(HexNumberAfter(*paths[2], "&mi_"), 1u);
    EXPECT_EQ(HexNumberAfter(*paths[2], "&col"), 2u);
}

TEST(HidrawPaths, NumbersCollectionsByTheDescriptorAndDropsNestedOnes) {
    // hidapi lists the consumer usage, but in this descriptor it only occurs nested inside the
    // vendor collection: it is no interface of its own and must not be offered.
    const Bytes nested = {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01,  // vendor collection
                          0x05, 0x0C, 0x09, 0x01, 0xA1, 0x02,        //   consumer, nested
                          0x85, 0x04, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0xC0, 0xC0};
    std::vector<RawInterfaceInfo> entries = {Entry(0x0C45, 0x7643, 0xFF1C, 0x0092, 0),
                                             Entry(0x0C45, 0x7643, 0x000C, 0x0001, 0)};
    for (auto& e : entries)
        e.node = "/dev/hidraw7";
    auto paths = platform::ListHidrawPaths(entries, {{"/dev/hidraw7", nested}});
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], "/dev/hidraw7#vid_0c45&pid_7643&mi_00&col01&up_ff1c&u_0092");
    // Without a descriptor every distinct selected usage is offered, without a number.
    paths = platform::ListHidrawPaths(entries, {});
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(platform::ParseHidrawPath(paths[1]).collection, 0u);
}

TEST(HidrawPaths, ParsesWhatItComposes) {
    platform::HidrawPath p;
    p.node = "/dev/hidraw12";
    p.composed = true;
    p.vendorId = 0x0C45;
    p.productId = 0x5004;
    p.interfaceNumber = -1;  // a bus without interface numbers
    p.collection = 3;
    p.usagePage = 0xFF1C;
    p.usage = 0x0092;
    const std::string text = platform::ComposeHidrawPath(p);
    EXPECT_EQ(text.find("&mi_"), std::string::npos);
    const platform::HidrawPath back = platform::ParseHidrawPath(text);
    EXPECT_EQ(back.node, p.node);
    EXPECT_TRUE(back.composed);
    EXPECT_EQ(back.productId, 0x5004);
    EXPECT_EQ(back.interfaceNumber, -1);
    EXPECT_EQ(back.collection, 3u);
    EXPECT_EQ(back.usagePage, 0xFF1C);
    EXPECT_EQ(back.usage, 0x0092);
    // Upper case, as a user may type it.
    EXPECT_TRUE(
        platform::ParseHidrawPath("/dev/hidraw1#VID_0C45&PID_7643&UP_000C&U_0001").composed);
    EXPECT_FALSE(platform::ParseHidrawPath("/dev/hidraw1").composed);
}

// ---- capabilities -------------------------------------------------------------------------

TEST_F(HidrawTest, EachCollectionOfANodeOpensWithItsOwnUsageAndLengths) {
    auto cfg = OpenCfg();
    auto evt = OpenEvt();
    auto plain = backend->Open("/dev/hidraw0", {true, false, true});
    ASSERT_TRUE(cfg && evt && plain);
    EXPECT_EQ(cfg->Caps().usagePage, 0xFF1C);
    EXPECT_EQ(cfg->Caps().usage, 0x0092);
    EXPECT_EQ(cfg->Caps().inputReportByteLength, 64);
    EXPECT_EQ(cfg->Caps().outputReportByteLength, 64);
    EXPECT_EQ(evt->Caps().usagePage, 0x000C);
    EXPECT_EQ(evt->Caps().inputReportByteLength, 3);
    EXPECT_EQ(evt->Caps().outputReportByteLength, 0);
    EXPECT_EQ(evt->Attributes().vendorId, 0x0C45);
    EXPECT_EQ(evt->Attributes().productId, 0x7643);
    EXPECT_EQ(plain->Caps().usage, 0x0002);
    EXPECT_EQ(plain->Attributes().vendorId, 0x046D);
    // A collection the node does not have cannot be opened.
    EXPECT_EQ(backend->Open("/dev/hidraw3#vid_0c45&pid_7643&up_0001&u_0006", {true}), nullptr);
}

TEST_F(HidrawTest, OpenWithoutAccessRightsNeedsNoDevice) {
    fake->Deny("/dev/hidraw3");
    auto h = backend->Open(kCfgPath, {false, false, true});
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Caps().usage, 0x0092);
    EXPECT_EQ(fake->TotalOpens("/dev/hidraw3"), 0);
    size_t n = 0;
    Bytes buffer(64);
    EXPECT_FALSE(h->Read(buffer, n, 0));
    EXPECT_FALSE(h->Write(Answer(1, 0), n, 0));
    // With rights it fails, and says why.
    EXPECT_EQ(backend->Open(kCfgPath, {true, true, true}), nullptr);
    EXPECT_EQ(backend->DiagnoseOpenFailure(kCfgPath), HidOpenFailure::AccessDenied);
    EXPECT_EQ(backend->DiagnoseOpenFailure("/dev/hidraw9"), HidOpenFailure::NotPresent);
}

// ---- routing ------------------------------------------------------------------------------

TEST_F(HidrawTest, InputReportsGoToTheCollectionThatDeclaresTheirId) {
    auto cfg = OpenCfg();
    auto evt = OpenEvt();
    ASSERT_TRUE(cfg && evt);
    fake->SendInput("/dev/hidraw3", Notification(0x0401));
    fake->SendInput("/dev/hidraw3", {0x07, 1, 2, 3});  // declared by no collection
    fake->SendInput("/dev/hidraw3", Answer(0x03, 0xAB));
    fake->SendInput("/dev/hidraw3", Notification(0x0402));

    const Bytes answer = ReadOne(*cfg);
    ASSERT_EQ(answer.size(), 64u);
    EXPECT_EQ(answer[0], 0x04);
    EXPECT_EQ(answer[8], 0xAB);
    EXPECT_EQ(ReadOne(*evt), Notification(0x0401));
    EXPECT_EQ(ReadOne(*evt), Notification(0x0402));
    EXPECT_EQ(evt->FirstInputUsage(Notification(0x0402)), 0x0402);
    // Nothing else is left for either: the stray report and the other side's reports are gone.
    EXPECT_TRUE(ReadOne(*cfg, 30).empty());
    EXPECT_TRUE(ReadOne(*evt, 0).empty());
}

TEST_F(HidrawTest, OneNodeIsOpenedOnceForReadingHoweverManyHandles) {
    auto cfg = OpenCfg();
    auto evt = OpenEvt();
    auto evt2 = OpenEvt();
    ASSERT_TRUE(cfg && evt && evt2);
    // One reader for the node, one writer for the handle that writes: never a reader each.
    EXPECT_EQ(fake->TotalOpens("/dev/hidraw3"), 2);
    EXPECT_EQ(backend->OpenNodeCount(), 1u);
    // Both event handles see a notification, as two opens of one collection do on Windows.
    fake->SendInput("/dev/hidraw3", Notification(0x0403));
    EXPECT_EQ(ReadOne(*evt), Notification(0x0403));
    EXPECT_EQ(ReadOne(*evt2), Notification(0x0403));
    cfg.reset();
    evt.reset();
    evt2.reset();
    EXPECT_EQ(fake->OpenCount("/dev/hidraw3"), 0);
    EXPECT_EQ(backend->OpenNodeCount(), 0u);
}

TEST_F(HidrawTest, ReportsWithoutIdsAreGivenIdZero) {
    auto h = backend->Open("/dev/hidraw0", {true, false, true});
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Caps().inputReportByteLength, 4);  // ID byte, buttons, X, Y
    fake->SendInput("/dev/hidraw0", {0x05, 0x10, 0xF0});
    EXPECT_EQ(ReadOne(*h), (Bytes{0x00, 0x05, 0x10, 0xF0}));
}

TEST_F(HidrawTest, AHandleKeepsOnlyItsNewestReportsWhenNobodyReads) {
    auto evt = OpenEvt();
    ASSERT_NE(evt, nullptr);
    for (uint16_t u = 1; u <= 6; ++u)
        fake->SendInput("/dev/hidraw3", Notification(u));
    // Once the reader waits on an empty device again, all six have been routed.
    ASSERT_TRUE(fake->WaitUntilDrained("/dev/hidraw3"));
    std::vector<Bytes> got;
    while (true) {
        Bytes r = ReadOne(*evt, 50);
        if (r.empty()) break;
        got.push_back(r);
    }
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got.front(), Notification(3));
    EXPECT_EQ(got.back(), Notification(6));
}

// The command transport over one node that carries both collections, with the device
// interleaving notifications with its answers.
TEST_F(HidrawTest, CommandsAndNotificationsShareANodeWithoutMixingUp) {
    fake->SetResponder([this](const std::string& node, const Bytes& request) {
        if (request.empty() || request[0] != 0x04) return;
        fake->SendInput(node, Notification(0x0402));  // the button changed a setting meanwhile
        fake->SendInput(node, Answer(request[3], 0x5A));
    });
    DeviceSession session(backend.get(), {1000, 1000, 1, 0});
    session.SetIdentity(DeviceKind::Mouse);
    {
        std::lock_guard lock(session.IoLock());
        ASSERT_EQ(ConnectConfigCollection(session), SearchResult::Connected);
    }
    HidDevice listener(backend.get());
    ASSERT_EQ(OpenEventCollection(listener, 0x0C45, 0x7643), SearchResult::Connected);

    std::array<uint8_t, kInfoSize> info{};
    ASSERT_EQ(session.Begin(), kResultSuccess);
    ASSERT_EQ(session.ReadInfo(info), kResultSuccess);
    EXPECT_EQ(info[0], 0x5A);
    ASSERT_EQ(session.End(), kResultSuccess);
    EXPECT_EQ(fake->WrittenCount("/dev/hidraw3"), 3u);
    EXPECT_EQ(fake->Written("/dev/hidraw3", 1)[3], 0x03);  // ReadInfo went out second

    // The listener got every notification and no answer.
    for (int i = 0; i < 3; ++i) {
        uint8_t report[64] = {};
        size_t n = 0;
        ASSERT_EQ(listener.ReadReport(3, &n, report, kLongWaitMs), 1);
        ASSERT_EQ(n, 3u);
        EXPECT_EQ(listener.FirstInputUsage({report, n}), 0x0402);
    }
    uint8_t report[64] = {};
    EXPECT_EQ(listener.ReadReport(3, nullptr, report, 20), 0);
}

// ---- waking, unplugging, stuck writes -----------------------------------------------------

TEST_F(HidrawTest, ClosingWakesAnUntimedRead) {
    HidDevice listener(backend.get());
    ASSERT_TRUE(listener.Open(kEvtPath, true, false, true, false));
    auto pending = std::async(std::launch::async, [&] {
        uint8_t report[64];
        return listener.ReadReport(3, nullptr, report, kInfinite);
    });
    while (!listener.Reading())
        std::this_thread::yield();
    listener.Close();
    EXPECT_EQ(pending.get(), 0);
    EXPECT_EQ(fake->OpenCount("/dev/hidraw3"), 0);
}

// The node's reader waits for reports without a time limit: while nothing arrives it makes no
// read at all, and closing the last handle wakes it at once.
TEST_F(HidrawTest, TheReaderReadsOnlyForReportsAndClosingWakesIt) {
    auto evt = OpenEvt();
    ASSERT_NE(evt, nullptr);
    for (uint16_t u = 1; u <= 3; ++u)
        fake->SendInput("/dev/hidraw3", Notification(u));
    ASSERT_TRUE(fake->WaitUntilDrained("/dev/hidraw3"));
    for (uint16_t u = 1; u <= 3; ++u)
        EXPECT_EQ(ReadOne(*evt), Notification(u));
    // One read per report and the one that waits now; none of them with a time limit.
    EXPECT_EQ(fake->ReadCalls("/dev/hidraw3"), 4);
    EXPECT_EQ(fake->TimedReadCalls("/dev/hidraw3"), 0);

    // The reader is blocked in its untimed read: closing must not wait for a report.
    auto closed = std::async(std::launch::async, [&] { evt.reset(); });
    ASSERT_EQ(closed.wait_for(std::chrono::milliseconds(kLongWaitMs)), std::future_status::ready)
        << "closing the last handle left the reader blocked";
    closed.get();
    EXPECT_EQ(fake->OpenCount("/dev/hidraw3"), 0);
    EXPECT_EQ(backend->OpenNodeCount(), 0u);
    EXPECT_EQ(fake->ReadCalls("/dev/hidraw3"), 4);
}

TEST_F(HidrawTest, DestroyingTheBackendWithOpenHandlesStillEndsTheReaders) {
    auto cfg = OpenCfg();
    auto plain = backend->Open("/dev/hidraw0", {true, false, true});
    ASSERT_TRUE(cfg && plain);
    ASSERT_TRUE(fake->WaitUntilDrained("/dev/hidraw0"));
    // Each handle keeps its node alive; dropping them (in any order) ends both readers.
    auto closed = std::async(std::launch::async, [&] {
        plain.reset();
        backend.reset();
        cfg.reset();
    });
    ASSERT_EQ(closed.wait_for(std::chrono::milliseconds(kLongWaitMs)), std::future_status::ready);
    closed.get();
    EXPECT_EQ(fake->OpenCount("/dev/hidraw0"), 0);
    EXPECT_EQ(fake->OpenCount("/dev/hidraw3"), 0);
}

TEST_F(HidrawTest, UnplugFailsPendingAndLaterRequestsAndAReplugOpensAFreshNode) {
    auto cfg = OpenCfg();
    auto evt = OpenEvt();
    ASSERT_TRUE(cfg && evt);
    auto pending = std::async(std::launch::async, [&] {
        Bytes buffer(64);
        size_t n = 0;
        return evt->Read(buffer, n, kInfinite);
    });
    fake->Unplug("/dev/hidraw3");
    EXPECT_FALSE(pending.get());
    EXPECT_FALSE(backend->Probe(kCfgPath));
    Bytes buffer(64);
    size_t n = 0;
    EXPECT_FALSE(cfg->Read(buffer, n, kInfinite));  // fails at once, never hangs
    EXPECT_FALSE(cfg->Write(Answer(1, 0), n, kInfinite));

    // Replugged at the same node while the old handles still exist: the old handles stay dead,
    // the node reports absent to them until a fresh open.
    fake->AddNode("/dev/hidraw3", MouseNodeEntries(), MouseNodeDescriptor());
    EXPECT_FALSE(backend->Probe(kCfgPath));
    auto fresh = OpenEvt();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(backend->Probe(kCfgPath));
    fake->SendInput("/dev/hidraw3", Notification(0x0401));
    EXPECT_EQ(ReadOne(*fresh), Notification(0x0401));
    EXPECT_FALSE(evt->Read(buffer, n, 0));
}

TEST_F(HidrawTest, AStuckWriteEndsAtItsTimeLimitAndByCancel) {
    auto cfg = OpenCfg();
    ASSERT_NE(cfg, nullptr);
    fake->HoldWrites(true);
    size_t n = 0;
    EXPECT_FALSE(cfg->Write(Answer(1, 0), n, 20));
    EXPECT_EQ(n, 0u);
    ASSERT_TRUE(fake->WaitForWriteStarted(1));
    // A second write queues behind the stuck one; Cancel from another thread ends its wait.
    auto pending = std::async(std::launch::async, [&] {
        size_t m = 0;
        return cfg->Write(Answer(2, 0), m, kInfinite);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    cfg->Cancel();
    EXPECT_FALSE(pending.get());
    // The device is released; the first write completes, the abandoned second is never sent.
    fake->HoldWrites(false);
    cfg.reset();
    EXPECT_EQ(fake->WrittenCount("/dev/hidraw3"), 1u);
    EXPECT_EQ(fake->Written("/dev/hidraw3", 0)[3], 1);
}

TEST_F(HidrawTest, ReadOnlyHandlesCannotWrite) {
    auto evt = OpenEvt();
    ASSERT_NE(evt, nullptr);
    size_t n = 0;
    EXPECT_FALSE(evt->Write(Notification(1), n, 100));
    EXPECT_EQ(fake->WrittenCount("/dev/hidraw3"), 0u);
}

}  // namespace
}  // namespace vq::test
