// HidDeviceList and HidDevice over a scripted backend: enumeration, path parsing, open/close,
// wake-ups of pending I/O from another thread, tracing.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <thread>

#include "core/device/hid_device.h"
#include "sim/sim_mouse.h"

namespace vq::test {
namespace {

class ListBackend : public HidBackend {
  public:
    std::vector<std::optional<std::string>> paths;
    bool fail = false;
    bool Enumerate(std::vector<std::optional<std::string>>& out) override {
        if (fail) return false;
        out = paths;
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenFlags&) override {
        return nullptr;
    }
    bool Probe(const std::string&) override { return false; }
};

TEST(HidDeviceList, HandsOutEveryPathInOrderThenNothing) {
    ListBackend backend;
    for (int i = 0; i < 20; ++i)
        backend.paths.emplace_back("p" + std::to_string(i));
    HidDeviceList list(&backend);
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(list.Count(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(list.NextPath(), "p" + std::to_string(i));
    EXPECT_FALSE(list.NextPath());
    // A new enumeration starts over.
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(list.NextPath(), "p0");
}

TEST(HidDeviceList, EmptyFailedAndClearedLists) {
    ListBackend backend;
    HidDeviceList list(&backend);
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.NextPath());

    backend.paths = {std::string("a"), std::nullopt, std::string("c")};
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(list.NextPath(), "a");
    // An entry that could not be read ends a caller's walk.
    EXPECT_FALSE(list.NextPath());

    ASSERT_TRUE(list.Enumerate());
    list.ClearPaths();
    EXPECT_EQ(list.Count(), 3u);  // the count of the last enumeration stays
    EXPECT_FALSE(list.NextPath());

    backend.fail = true;
    EXPECT_FALSE(list.Enumerate());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.NextPath());
}

TEST(HidPaths, IdsAndNumbersFromThePath) {
    const std::string path =
        R"(\\?\hid#vid_0c45&pid_7643&mi_01&col02#7&2b7f2d1c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    EXPECT_EQ(VendorIdFromPath(path), 0x0C45);
    EXPECT_EQ(ProductIdFromPath(path), 0x7643);
    EXPECT_EQ(HexNumberAfter(path, "&mi_"), 1u);
    EXPECT_EQ(HexNumberAfter(path, "&col"), 2u);
    EXPECT_EQ(VendorIdFromPath(R"(\\?\HID#VID_0C45&PID_5004#x)"), 0x0C45);
    EXPECT_EQ(ProductIdFromPath(R"(\\?\HID#VID_0C45&PID_5004#x)"), 0x5004);
    EXPECT_EQ(VendorIdFromPath("/dev/hidraw0"), 0);
    EXPECT_EQ(VendorIdFromPath("vid_"), 0);
    EXPECT_EQ(VendorIdFromPath("vid_zz"), 0);
    // An over-long digit run is cut, not overflowed into nonsense.
    EXPECT_EQ(HexNumberAfter("&col123456789abc", "&col"), 0x12345678u);
}

// A handle whose reads block until a report is pushed or the handle is cancelled.
class BlockingHandle : public HidHandle {
  public:
    std::mutex m;
    std::condition_variable cv;
    bool cancelled = false;
    std::vector<std::vector<uint8_t>> queue;
    std::atomic<int> readsInFlight{0};

    HidAttributes Attributes() const override { return {0x0C45, 0x7643, 1}; }
    HidCaps Caps() const override { return {0x0092, 0xFF1C, 64, 64, 0}; }
    bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        std::unique_lock lock(m);
        ++readsInFlight;
        cv.notify_all();
        auto ready = [&] { return cancelled || !queue.empty(); };
        bool ok = timeoutMs == kInfinite
                      ? (cv.wait(lock, ready), true)
                      : cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        --readsInFlight;
        if (!ok || cancelled) return false;
        auto r = queue.front();
        queue.erase(queue.begin());
        transferred = std::min(buffer.size(), r.size());
        std::copy_n(r.begin(), transferred, buffer.begin());
        return true;
    }
    bool Write(std::span<const uint8_t> report, size_t& transferred, uint32_t) override {
        std::lock_guard lock(m);
        if (cancelled) return false;
        transferred = report.size();
        return true;
    }
    void Cancel() override {
        std::lock_guard lock(m);
        cancelled = true;
        cv.notify_all();
    }
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t>) override { return 7; }
};

class OneDeviceBackend : public HidBackend {
  public:
    std::weak_ptr<BlockingHandle> last;
    int opens = 0;
    bool Enumerate(std::vector<std::optional<std::string>>& out) override {
        out = {std::string("x#vid_0c45&pid_7643&mi_01&col02")};
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags&) override {
        if (path.find("missing") != std::string::npos) return nullptr;
        ++opens;
        // Keep a weak view to check lifetime; the device owns the handle.
        struct Owned : BlockingHandle {};
        auto handle = std::make_unique<Owned>();
        return handle;
    }
    bool Probe(const std::string&) override { return true; }
};

TEST(HidDevice, OpenReadsIdentityAndNumbersAndAFailedOpenLeavesItClosed) {
    OneDeviceBackend backend;
    HidDevice device(&backend);
    ASSERT_TRUE(device.Open("x#vid_0c45&pid_7643&mi_01&col02", true, true, true, true));
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Attributes().productId, 0x7643);
    EXPECT_EQ(device.Caps().usagePage, 0xFF1C);
    EXPECT_EQ(device.InterfaceNumber(), 1u);
    EXPECT_EQ(device.CollectionNumber(), 2u);
    EXPECT_TRUE(device.Flags().exclusive);

    EXPECT_FALSE(device.Open("missing#vid_0c45", true, false, true, false));
    EXPECT_FALSE(device.IsOpen());
    // The path and flags of the failed attempt stay.
    EXPECT_EQ(device.Path(), "missing#vid_0c45");
    EXPECT_FALSE(device.Flags().writeAccess);
    EXPECT_EQ(device.Attributes().vendorId, 0);
    uint8_t buffer[64];
    EXPECT_EQ(device.ReadReport(64, nullptr, buffer, 0), 0);
    EXPECT_EQ(device.WriteReport(64, nullptr, buffer, 0), 0);
}

TEST(HidDevice, CloseOrReopenFromAnotherThreadWakesAnUntimedRead) {
    OneDeviceBackend backend;
    for (bool reopen : {false, true}) {
        HidDevice device(&backend);
        ASSERT_TRUE(device.Open("x#vid_0c45&pid_7643", true, false, true, false));
        std::atomic<bool> started{false};
        auto reader = std::async(std::launch::async, [&] {
            uint8_t buffer[64];
            size_t got = 99;
            started = true;
            const int r = device.ReadReport(sizeof buffer, &got, buffer, kInfinite);
            return std::make_pair(r, got);
        });
        while (!started || !device.Reading())
            std::this_thread::yield();
        if (reopen)
            ASSERT_TRUE(device.Open("x#vid_0c45&pid_7643", true, false, true, false));
        else
            device.Close();
        ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        auto [result, got] = reader.get();
        EXPECT_EQ(result, 0);
        EXPECT_EQ(got, 0u);
        EXPECT_FALSE(device.Reading());
        EXPECT_EQ(device.IsOpen(), reopen);
    }
}

TEST(HidDevice, DestroyingTheOwnerWhileNoIoIsPendingIsClean) {
    sim::VirtualHidBus bus;
    sim::SimMouse mouse(bus);
    mouse.Plug();
    {
        HidDevice device(&bus);
        ASSERT_TRUE(device.Open(mouse.ConfigPath(), true, true, true, false));
        EXPECT_EQ(bus.OpenHandleCount(), 1u);
    }
    EXPECT_EQ(bus.OpenHandleCount(), 0u);
}

TEST(HidTrace, LinesCarryDirectionCollectionAndBytes) {
    const uint8_t bytes[] = {0x04, 0x01, 0x00, 0xff};
    EXPECT_EQ(FormatTraceLine(TraceDirection::ToDevice, 0xFF1C, bytes), "> cfg 04 01 00 ff");
    EXPECT_EQ(FormatTraceLine(TraceDirection::FromDevice, 0x000C, bytes), "< evt 04 01 00 ff");

    sim::VirtualHidBus bus;
    bus.SetTiming({});
    sim::SimMouse mouse(bus);
    mouse.Plug();
    std::vector<std::string> lines;
    SetHidTraceSink([&](TraceDirection d, uint16_t page, std::span<const uint8_t> r) {
        lines.push_back(FormatTraceLine(d, page, r));
    });
    HidDevice device(&bus);
    ASSERT_TRUE(device.Open(mouse.ConfigPath(), true, true, true, false));
    uint8_t request[64] = {0x04, 0x01, 0x00, 0x01};
    ASSERT_EQ(device.WriteReport(64, nullptr, request, 100), 1);
    uint8_t answer[64];
    ASSERT_EQ(device.ReadReport(64, nullptr, answer, 100), 1);
    SetHidTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 17), "> cfg 04 01 00 01");
    EXPECT_EQ(lines[0].size(), 5 + 64 * 3);
    EXPECT_EQ(lines[1].substr(0, 6), "< cfg ");
}

}  // namespace
}  // namespace vq::test
