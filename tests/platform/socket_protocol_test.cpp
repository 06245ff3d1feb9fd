// The device socket's line protocol: what each side writes, what is refused, and how a byte
// stream is cut into lines.

#include <gtest/gtest.h>

#include "platform/socket/device_protocol.h"

namespace vq::test {
namespace {

using platform::DeviceMessage;
using platform::DeviceMessageKind;
using platform::FormatDeviceLine;
using platform::ParseDeviceLine;

TEST(DeviceProtocol, InterfaceLinesRoundTripAndNameTheProgramsPath) {
    DeviceMessage m;
    m.kind = DeviceMessageKind::Interface;
    m.interface.name = "mouse.cfg";
    m.interface.attributes = {0x0C45, 0x7643, 0x0102};
    m.interface.caps = {0x0092, 0xFF1C, 64, 64, 0};
    m.interface.interfaceNumber = 1;
    m.interface.collectionNumber = 2;
    const std::string line = FormatDeviceLine(m);
    EXPECT_EQ(line,
              "INTERFACE mouse.cfg vid=0c45 pid=7643 ver=0102 mi=01 col=02 up=ff1c u=0092 in=64 "
              "out=64 feat=0\n");
    auto back = ParseDeviceLine(line.substr(0, line.size() - 1));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->interface.name, "mouse.cfg");
    EXPECT_EQ(back->interface.attributes.versionNumber, 0x0102);
    EXPECT_EQ(back->interface.caps.usagePage, 0xFF1C);
    EXPECT_EQ(back->interface.caps.inputReportByteLength, 64);
    EXPECT_EQ(back->interface.collectionNumber, 2u);
    EXPECT_EQ(platform::SocketInterfacePath(back->interface),
              "mouse.cfg#vid_0c45&pid_7643&mi_01&col02");
    // Only the IDs and usages are needed; unknown keys of later versions are skipped; a
    // carriage return before the newline is tolerated.
    auto minimal = ParseDeviceLine("INTERFACE x vid=1 pid=2 up=C u=1 colour=blue\r");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->interface.attributes.productId, 2);
    EXPECT_EQ(minimal->interface.caps.inputReportByteLength, 0);
}

TEST(DeviceProtocol, ReportsCarryTheirBytesBothWays) {
    DeviceMessage out;
    out.kind = DeviceMessageKind::Output;
    out.name = "mouse.cfg";
    out.bytes = {0x04, 0x01, 0x00, 0xFF};
    EXPECT_EQ(FormatDeviceLine(out), "OUTPUT mouse.cfg 040100ff\n");
    auto in = ParseDeviceLine("INPUT mouse.evt 0301Ab");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->kind, DeviceMessageKind::Input);
    EXPECT_EQ(in->bytes, (std::vector<uint8_t>{0x03, 0x01, 0xAB}));
    auto unplug = ParseDeviceLine("UNPLUG mouse.evt");
    ASSERT_TRUE(unplug);
    EXPECT_EQ(unplug->name, "mouse.evt");
    auto hello = ParseDeviceLine("VQHID 1");
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->version, 1);
}

TEST(DeviceProtocol, MalformedLinesAreRefusedWithAReason) {
    const char* bad[] = {
        "",
        "HELLO",
        "VQHID",
        "VQHID one",
        "READY now",
        "INPUT mouse.evt",
        "INPUT mouse.evt 030",    // odd number of digits
        "INPUT mouse.evt 03zz",   // not hexadecimal
        "INPUT mouse.evt 03 01",  // bytes must be one field
        "INPUT  03",              // no name
        "UNPLUG",
        "INTERFACE x vid=0c45 pid=7643 up=ff1c",        // no usage
        "INTERFACE x vid=10000 pid=7643 up=ff1c u=92",  // vendor ID beyond 16 bits
        "INTERFACE x vid=0c45 pid=7643 up=ff1c u=92 in=-1",
        "INTERFACE x vid=0c45 pid=7643 up=ff1c u=92 in=99999",
        "INTERFACE x vid=0c45 pid=7643 up=ff1c u=92 mi",  // a field without '='
    };
    for (const char* line : bad) {
        std::string error;
        EXPECT_FALSE(ParseDeviceLine(line, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    // Names are printable ASCII without spaces, and short.
    EXPECT_FALSE(ParseDeviceLine("UNPLUG " + std::string(201, 'n')));
    EXPECT_FALSE(ParseDeviceLine("UNPLUG caf\xc3\xa9"));
    // A report is at most 4096 bytes.
    EXPECT_TRUE(ParseDeviceLine("INPUT a " + std::string(8192, '0')));
    EXPECT_FALSE(ParseDeviceLine("INPUT a " + std::string(8194, '0')));
}

TEST(LineSplitter, CutsAStreamIntoLinesWhereverTheChunksEnd) {
    platform::LineSplitter s;
    s.Feed("VQHID 1\nINTER");
    EXPECT_EQ(s.Next(), "VQHID 1");
    EXPECT_EQ(s.Next(), std::nullopt);
    s.Feed("FACE a\n\nREADY\n");
    EXPECT_EQ(s.Next(), "INTERFACE a");
    EXPECT_EQ(s.Next(), "");
    EXPECT_EQ(s.Next(), "READY");
    EXPECT_EQ(s.Next(), std::nullopt);
}

TEST(LineSplitter, DropsOverlongLinesWholeAndKeepsGoing) {
    platform::LineSplitter s;
    const std::string huge(platform::kMaxDeviceLineLength + 10, 'x');
    // In one piece, and spread over several chunks without a newline for a long time.
    s.Feed(huge + "\nREADY\n");
    EXPECT_EQ(s.Next(), "READY");
    s.Feed(huge.substr(0, 9000));
    s.Feed(huge.substr(9000));
    s.Feed("yyy\nUNPLUG a\n");
    EXPECT_EQ(s.Next(), "UNPLUG a");  // nothing of the long line's tail leaks out
    EXPECT_EQ(s.Next(), std::nullopt);
    EXPECT_EQ(s.DroppedLines(), 2u);
    // A line of exactly the limit is kept.
    s.Feed(std::string(platform::kMaxDeviceLineLength, 'z') + "\n");
    EXPECT_EQ(s.Next()->size(), platform::kMaxDeviceLineLength);
}

}  // namespace
}  // namespace vq::test
