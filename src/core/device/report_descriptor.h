#pragma once
// A HID report descriptor, parsed into its top-level collections and their report fields: what a
// platform without a HID parser of its own needs to give an interface its usage, its report
// lengths, the report IDs that belong to it, and the usages an input report carries.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/hid_backend.h"

namespace vq {

enum class HidReportKind : uint8_t { Input = 0, Output = 1, Feature = 2 };

// One main item: `count` fields of `bitSize` bits at `bitOffset` of its report (after the ID
// byte). An array field holds usage indices; a variable field holds one value per usage.
struct HidReportField {
    HidReportKind kind = HidReportKind::Input;
    uint8_t reportId = 0;
    bool isConstant = false;
    bool isArray = false;
    uint32_t bitOffset = 0;
    uint32_t bitSize = 0;
    uint32_t count = 0;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    // Usages as (page << 16 | id): either a list, or a range when `usages` is empty.
    std::vector<uint32_t> usages;
    uint32_t usageMin = 0;
    uint32_t usageMax = 0;

    // A field that reports usages (buttons and selectors) rather than values.
    bool IsButtonLike() const { return isArray || bitSize == 1; }
    uint32_t UsageAt(uint32_t index) const;
};

struct HidTopCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<HidReportField> fields;

    // The report IDs this collection uses for one kind of report, in first-seen order.
    std::vector<uint8_t> ReportIds(HidReportKind kind) const;
    bool HasInputReport(uint8_t reportId) const;
    // The longest report of a kind in bytes, the report-ID byte included (it is there, as 0,
    // when the device uses no report IDs); 0 when the collection has no report of that kind.
    uint16_t ReportByteLength(HidReportKind kind) const;
};

struct HidReportDescriptor {
    std::vector<HidTopCollection> collections;
    bool usesReportIds = false;

    HidCaps CapsOf(size_t collection) const;
    // The collection an input report with this ID belongs to; nothing when none declares it.
    std::optional<size_t> CollectionOfInputReport(uint8_t reportId) const;
    // The first usage present in the first usage-carrying input field of the report's ID, the
    // way a listener reads a decoded report. `report` starts with the report-ID byte (0 when
    // the device uses no report IDs).
    std::optional<uint16_t> FirstInputUsage(size_t collection,
                                            std::span<const uint8_t> report) const;
};

// Parses a descriptor; nothing (with the reason in `error`) when it is malformed: a truncated
// item, unbalanced collections, a pop without push, or reports too large to be real.
std::optional<HidReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                         std::string* error = nullptr);

// `bitSize` bits at `bitOffset` of `data`, little-endian; zero beyond the end of `data`.
uint32_t ExtractBits(std::span<const uint8_t> data, uint32_t bitOffset, uint32_t bitSize);

}  // namespace vq
