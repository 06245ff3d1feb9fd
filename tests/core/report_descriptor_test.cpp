// The report descriptor parser: collections, report lengths and IDs, the usages an input report
// carries, and descriptors that are broken or hostile.

#include <gtest/gtest.h>

#include "core/device/report_descriptor.h"
#include "support/hid_descriptors.h"

namespace vq::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ReportDescriptor, TheDevicesNodeHasTwoCollectionsWithTheirOwnReports) {
    std::string error;
    const auto d = ParseReportDescriptor(MouseNodeDescriptor(), &error);
    ASSERT_TRUE(d) << error;
    ASSERT_EQ(d->collections.size(), 2u);
    EXPECT_TRUE(d->usesReportIds);

    const HidCaps cfg = d->CapsOf(0);
    EXPECT_EQ(cfg.usagePage, 0xFF1C);
    EXPECT_EQ(cfg.usage, 0x0092);
    EXPECT_EQ(cfg.inputReportByteLength, 64);
    EXPECT_EQ(cfg.outputReportByteLength, 64);
    EXPECT_EQ(cfg.featureReportByteLength, 0);

    const HidCaps evt = d->CapsOf(1);
    EXPECT_EQ(evt.usagePage, 0x000C);
    EXPECT_EQ(evt.usage, 0x0001);
    EXPECT_EQ(evt.inputReportByteLength, 3);

    EXPECT_EQ(d->CollectionOfInputReport(4), 0u);
    EXPECT_EQ(d->CollectionOfInputReport(3), 1u);
    EXPECT_EQ(d->CollectionOfInputReport(5), std::nullopt);
    EXPECT_EQ(d->collections[0].ReportIds(HidReportKind::Output), Bytes{4});
    EXPECT_TRUE(d->collections[1].ReportIds(HidReportKind::Output).empty());
}

TEST(ReportDescriptor, FirstInputUsageReadsTheConsumerArray) {
    const auto d = ParseReportDescriptor(MouseNodeDescriptor());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{0x03, 0x01, 0x04}), 0x0401);
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{0x03, 0x03, 0x04}), 0x0403);
    // A release (usage 0) carries no usage; a short report reads as zero beyond its end.
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{0x03, 0x00, 0x00}), std::nullopt);
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{0x03, 0x02}), 0x0002);
    // Another report ID, or the configuration collection's value bytes, carry no usage here.
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{0x04, 0x01, 0x04}), std::nullopt);
    EXPECT_EQ(d->FirstInputUsage(0, Bytes(64, 0x04)), std::nullopt);
    EXPECT_EQ(d->FirstInputUsage(7, Bytes{0x03, 0x01, 0x04}), std::nullopt);
    EXPECT_EQ(d->FirstInputUsage(1, Bytes{}), std::nullopt);
}

TEST(ReportDescriptor, NestedCollectionsBelongToTheirTopLevelOneAndIdlessReportsUseIdZero) {
    const auto d = ParseReportDescriptor(BootMouseDescriptor());
    ASSERT_TRUE(d);
    ASSERT_EQ(d->collections.size(), 1u);  // the pointer collection is nested
    EXPECT_FALSE(d->usesReportIds);
    EXPECT_EQ(d->CapsOf(0).usagePage, 0x0001);
    EXPECT_EQ(d->CapsOf(0).usage, 0x0002);
    EXPECT_EQ(d->CapsOf(0).inputReportByteLength, 4);
    EXPECT_EQ(d->CollectionOfInputReport(0), 0u);
    // Buttons 2 and 3 pressed: the first usage present is button 2.
    EXPECT_EQ(d->FirstInputUsage(0, Bytes{0x00, 0x06, 0x10, 0x20}), 2);
    EXPECT_EQ(d->FirstInputUsage(0, Bytes{0x00, 0x00, 0x10, 0x20}), std::nullopt);
    // The signed axes keep their range.
    const HidReportField& axes = d->collections[0].fields.back();
    EXPECT_EQ(axes.logicalMin, -127);
    EXPECT_EQ(axes.logicalMax, 127);
    EXPECT_EQ(axes.bitOffset, 8u);
}

TEST(ReportDescriptor, UsagesTakeThePageInForceAtTheMainItemOrTheirOwn) {
    // An extended usage (four bytes) names its own page; a short one takes the current page.
    const Bytes bytes = {0x0B, 0x01, 0x00, 0x0C, 0x00,  // Usage (Consumer 0x0001), extended
                         0xA1, 0x01,                    // Collection
                         0x05, 0x09, 0x09, 0x05,        //   Button page, Usage 5
                         0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95,
                         0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03,  //   padding
                         0xC0};
    const auto d = ParseReportDescriptor(bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->CapsOf(0).usagePage, 0x000C);
    EXPECT_EQ(d->CapsOf(0).usage, 0x0001);
    ASSERT_EQ(d->collections[0].fields.size(), 2u);
    EXPECT_EQ(d->collections[0].fields[0].usages, std::vector<uint32_t>{0x00090005u});
    EXPECT_TRUE(d->collections[0].fields[1].isConstant);
}

TEST(ReportDescriptor, PushAndPopRestoreTheGlobalState) {
    const Bytes bytes = {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01,
                         0x85, 0x04, 0x75, 0x08, 0x95, 0x3F, 0xA4,  // Push
                         0x85, 0x09, 0x95, 0x01, 0x81, 0x02,        // report 9, one byte
                         0xB4,                                      // Pop: report 4, 63 bytes again
                         0x81, 0x02, 0xC0};
    const auto d = ParseReportDescriptor(bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->collections[0].ReportIds(HidReportKind::Input), (Bytes{9, 4}));
    EXPECT_EQ(d->CapsOf(0).inputReportByteLength, 64);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefusedWithAReason) {
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"truncated item", {0x06, 0x1C}},
        {"truncated long item", {0xFE, 0x05, 0x00, 0x01}},
        {"collection not closed", {0x09, 0x01, 0xA1, 0x01}},
        {"end without collection", {0xC0}},
        {"pop without push", {0xB4}},
        {"report ID out of range", {0x85, 0x00}},
        // 0xFFFF fields of 0xFFFF bits: far beyond any real report.
        {"report too large",
         {0x09, 0x01, 0xA1, 0x01, 0x76, 0xFF, 0xFF, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0xC0}},
    };
    for (const auto& [reason, bytes] : cases) {
        std::string error;
        EXPECT_FALSE(ParseReportDescriptor(bytes, &error)) << reason;
        EXPECT_EQ(error, reason);
    }
    // Deep nesting is refused rather than followed.
    Bytes deep;
    for (int i = 0; i < 100; ++i)
        deep.insert(deep.end(), {0xA1, 0x00});
    for (int i = 0; i < 100; ++i)
        deep.push_back(0xC0);
    EXPECT_FALSE(ParseReportDescriptor(deep));
    // Empty is valid and has nothing in it.
    const auto empty = ParseReportDescriptor(Bytes{});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->collections.empty());
    EXPECT_EQ(empty->CapsOf(0).usage, 0);
}

TEST(ReportDescriptor, ExtractBitsCrossesByteBoundariesAndStopsAtTheEnd) {
    const Bytes data = {0xF0, 0x0F, 0xAA};
    EXPECT_EQ(ExtractBits(data, 4, 8), 0xFFu);
    EXPECT_EQ(ExtractBits(data, 0, 16), 0x0FF0u);
    EXPECT_EQ(ExtractBits(data, 16, 16), 0xAAu);  // bits beyond the data read as zero
    EXPECT_EQ(ExtractBits(data, 1000, 8), 0u);
    EXPECT_EQ(ExtractBits(data, 0, 64), 0xAA0FF0u);  // capped at 32 bits
}

}  // namespace
}  // namespace vq::test
