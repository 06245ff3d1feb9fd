// The system's own HID backend on whatever machine runs the tests (usually none of our devices):
// listing, opening and probing every interface there is must work or fail cleanly.

#include <gtest/gtest.h>

#include "core/device/device_search.h"
#include "core/device/device_session.h"
#include "platform/hid_system.h"

namespace vq::test {
namespace {

TEST(SystemHid, ListsOpensAndProbesWhateverIsPresent) {
    std::string whyNot;
    std::unique_ptr<HidBackend> backend = platform::CreateSystemHidBackend(&whyNot);
    ASSERT_NE(backend, nullptr) << whyNot;

    HidDevice device(backend.get());
    HidDeviceList& list = device.List();
    ASSERT_TRUE(list.Enumerate());
    uint32_t walked = 0;
    while (auto path = list.NextPath()) {
        ++walked;
        EXPECT_FALSE(path->empty());
        // Without access rights (what the listing does), then with the presence logic's flags.
        if (device.Open(*path, false, false, true, false)) {
            EXPECT_TRUE(device.IsOpen());
            EXPECT_EQ(device.Path(), *path);
            device.Close();
        }
        if (device.Open(*path, true, true, true, false)) {
            uint8_t report[64] = {};
            // No report is expected from a device nobody touches; the read must simply end.
            device.ReadReport(sizeof report, nullptr, report, 0);
            device.Close();
        } else {
            (void)backend->DiagnoseOpenFailure(*path);
        }
        EXPECT_FALSE(device.IsOpen());
    }
    EXPECT_LE(walked, list.Count());
    list.ClearPaths();
    EXPECT_FALSE(list.NextPath().has_value());

    // A path that names nothing is neither present nor openable.
    const std::string bogus = "no-such-hid-interface#vid_0c45&pid_7643";
    EXPECT_FALSE(backend->Probe(bogus));
    EXPECT_FALSE(device.Open(bogus, true, true, true, false));
    EXPECT_FALSE(device.IsOpen());
}

TEST(SystemHid, TheSearchForTheMouseEndsOnAMachineWithout) {
    std::unique_ptr<HidBackend> backend = platform::CreateSystemHidBackend(nullptr);
    ASSERT_NE(backend, nullptr);
    DeviceSession session(backend.get());
    session.SetIdentity(DeviceKind::Mouse);
    std::lock_guard lock(session.IoLock());
    const SearchResult result = ConnectConfigCollection(session);
    // A machine with the mouse plugged in connects; any other finds nothing. Either way the
    // walk ends and the session's state matches its answer.
    EXPECT_NE(result, SearchResult::EnumerationFailed);
    EXPECT_EQ(session.IsConnected(), result == SearchResult::Connected);
}

}  // namespace
}  // namespace vq::test
