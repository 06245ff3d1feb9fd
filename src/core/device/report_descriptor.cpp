#include "core/device/report_descriptor.h"

#include <algorithm>
#include <array>

namespace vq {

namespace {

// Item types and tags of the short item format.
enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };

constexpr uint32_t kMaxReportBits = 16384u * 8u;  // larger than any report a device can send
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxCollectionDepth = 64;

struct Globals {
    uint16_t usagePage = 0;
    uint32_t logicalMinRaw = 0;
    uint8_t logicalMinSize = 0;
    uint32_t logicalMaxRaw = 0;
    uint8_t logicalMaxSize = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// A local usage before its page is known: items of four bytes carry their own page.
struct RawUsage {
    uint32_t value = 0;
    bool extended = false;
};

struct Locals {
    std::vector<RawUsage> usages;
    std::optional<RawUsage> usageMin;
    std::optional<RawUsage> usageMax;
};

int32_t SignExtend(uint32_t raw, uint8_t size) {
    switch (size) {
        case 1:
            return static_cast<int8_t>(raw & 0xFF);
        case 2:
            return static_cast<int16_t>(raw & 0xFFFF);
        case 4:
            return static_cast<int32_t>(raw);
        default:
            return 0;
    }
}

uint32_t Resolve(const RawUsage& u, uint16_t page) {
    return u.extended ? u.value : (static_cast<uint32_t>(page) << 16) | (u.value & 0xFFFF);
}

std::nullopt_t Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return std::nullopt;
}

}  // namespace

uint32_t ExtractBits(std::span<const uint8_t> data, uint32_t bitOffset, uint32_t bitSize) {
    uint32_t value = 0;
    const uint32_t n = std::min<uint32_t>(bitSize, 32);
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t bit = static_cast<uint64_t>(bitOffset) + i;
        const uint64_t byte = bit / 8;
        if (byte >= data.size()) break;
        if ((data[byte] >> (bit % 8)) & 1u) value |= 1u << i;
    }
    return value;
}

uint32_t HidReportField::UsageAt(uint32_t index) const {
    if (!usages.empty()) return index < usages.size() ? usages[index] : usages.back();
    if (usageMax < usageMin || index > usageMax - usageMin) return 0;
    return usageMin + index;
}

std::vector<uint8_t> HidTopCollection::ReportIds(HidReportKind kind) const {
    std::vector<uint8_t> ids;
    for (const HidReportField& f : fields)
        if (f.kind == kind && std::find(ids.begin(), ids.end(), f.reportId) == ids.end())
            ids.push_back(f.reportId);
    return ids;
}

bool HidTopCollection::HasInputReport(uint8_t reportId) const {
    return std::any_of(fields.begin(), fields.end(), [&](const HidReportField& f) {
        return f.kind == HidReportKind::Input && f.reportId == reportId;
    });
}

uint16_t HidTopCollection::ReportByteLength(HidReportKind kind) const {
    uint32_t bits = 0;
    bool any = false;
    for (const HidReportField& f : fields) {
        if (f.kind != kind) continue;
        any = true;
        bits = std::max(bits, f.bitOffset + f.bitSize * f.count);
    }
    if (!any) return 0;
    return static_cast<uint16_t>((bits + 7) / 8 + 1);
}

HidCaps HidReportDescriptor::CapsOf(size_t collection) const {
    HidCaps caps;
    if (collection >= collections.size()) return caps;
    const HidTopCollection& c = collections[collection];
    caps.usagePage = c.usagePage;
    caps.usage = c.usage;
    caps.inputReportByteLength = c.ReportByteLength(HidReportKind::Input);
    caps.outputReportByteLength = c.ReportByteLength(HidReportKind::Output);
    caps.featureReportByteLength = c.ReportByteLength(HidReportKind::Feature);
    return caps;
}

std::optional<size_t> HidReportDescriptor::CollectionOfInputReport(uint8_t reportId) const {
    for (size_t i = 0; i < collections.size(); ++i)
        if (collections[i].HasInputReport(reportId)) return i;
    return std::nullopt;
}

std::optional<uint16_t> HidReportDescriptor::FirstInputUsage(
    size_t collection, std::span<const uint8_t> report) const {
    if (collection >= collections.size() || report.empty()) return std::nullopt;
    const uint8_t id = report[0];
    const std::span<const uint8_t> data = report.subspan(1);
    for (const HidReportField& f : collections[collection].fields) {
        if (f.kind != HidReportKind::Input || f.reportId != id || f.isConstant || !f.IsButtonLike())
            continue;
        // The first field that carries usages decides, whether or not one is present in it.
        for (uint32_t i = 0; i < f.count; ++i) {
            const uint32_t raw = ExtractBits(data, f.bitOffset + i * f.bitSize, f.bitSize);
            uint32_t usage = 0;
            if (f.isArray) {
                const int64_t value = f.logicalMin < 0
                                          ? static_cast<int64_t>(SignExtend(
                                                raw, static_cast<uint8_t>((f.bitSize + 7) / 8)))
                                          : static_cast<int64_t>(raw);
                if (value < f.logicalMin || value > f.logicalMax) continue;
                usage = f.UsageAt(static_cast<uint32_t>(value - f.logicalMin));
            } else if (raw != 0) {
                usage = f.UsageAt(i);
            }
            if ((usage & 0xFFFF) != 0) return static_cast<uint16_t>(usage & 0xFFFF);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<HidReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                         std::string* error) {
    HidReportDescriptor out;
    Globals globals;
    std::vector<Globals> stack;
    Locals locals;
    size_t depth = 0;
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t current = kNone;  // index of the open top-level collection
    // Running bit offsets per report kind and ID: a report's fields follow each other.
    std::array<std::array<uint32_t, 256>, 3> offsets{};

    auto collectionForFields = [&]() -> HidTopCollection& {
        if (current == kNone) {
            // Fields outside any collection: keep them in an unnamed collection of their own.
            out.collections.emplace_back();
            current = out.collections.size() - 1;
        }
        return out.collections[current];
    };

    size_t pos = 0;
    while (pos < bytes.size()) {
        const uint8_t prefix = bytes[pos++];
        if (prefix == 0xFE) {  // long item: size, tag, data; no long items are defined
            if (pos + 2 > bytes.size()) return Fail(error, "truncated long item");
            const size_t size = bytes[pos];
            pos += 2;
            if (pos + size > bytes.size()) return Fail(error, "truncated long item");
            pos += size;
            continue;
        }
        static constexpr uint8_t kSizes[4] = {0, 1, 2, 4};
        const uint8_t size = kSizes[prefix & 3];
        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        if (pos + size > bytes.size()) return Fail(error, "truncated item");
        uint32_t data = 0;
        for (uint8_t i = 0; i < size; ++i)
            data |= static_cast<uint32_t>(bytes[pos + i]) << (8 * i);
        pos += size;

        if (type == kGlobal) {
            switch (tag) {
                case kUsagePage:
                    globals.usagePage = static_cast<uint16_t>(data);
                    break;
                case kLogicalMin:
                    globals.logicalMinRaw = data;
                    globals.logicalMinSize = size;
                    break;
                case kLogicalMax:
                    globals.logicalMaxRaw = data;
                    globals.logicalMaxSize = size;
                    break;
                case kReportSize:
                    globals.reportSize = data;
                    break;
                case kReportCount:
                    globals.reportCount = data;
                    break;
                case kReportId:
                    if (data == 0 || data > 255) return Fail(error, "report ID out of range");
                    globals.reportId = static_cast<uint8_t>(data);
                    out.usesReportIds = true;
                    break;
                case kPush:
                    if (stack.size() >= kMaxPushDepth) return Fail(error, "push nested too deep");
                    stack.push_back(globals);
                    break;
                case kPop:
                    if (stack.empty()) return Fail(error, "pop without push");
                    globals = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;  // physical range, units: not needed here
            }
            continue;
        }
        if (type == kLocal) {
            const RawUsage usage{data, size == 4};
            switch (tag) {
                case kUsage:
                    locals.usages.push_back(usage);
                    break;
                case kUsageMin:
                    locals.usageMin = usage;
                    break;
                case kUsageMax:
                    locals.usageMax = usage;
                    break;
                default:
                    break;  // designators, strings, delimiters
            }
            continue;
        }
        if (type != kMain) continue;  // reserved type: skipped

        switch (tag) {
            case kCollection: {
                if (++depth > kMaxCollectionDepth)
                    return Fail(error, "collections nested too deep");
                if (depth == 1) {
                    HidTopCollection c;
                    uint32_t usage = 0;
                    if (!locals.usages.empty())
                        usage = Resolve(locals.usages.front(), globals.usagePage);
                    else if (locals.usageMin)
                        usage = Resolve(*locals.usageMin, globals.usagePage);
                    c.usagePage = static_cast<uint16_t>(usage >> 16);
                    c.usage = static_cast<uint16_t>(usage & 0xFFFF);
                    out.collections.push_back(std::move(c));
                    current = out.collections.size() - 1;
                }
                break;
            }
            case kEndCollection:
                if (depth == 0) return Fail(error, "end without collection");
                if (--depth == 0) current = kNone;
                break;
            case kInput:
            case kOutput:
            case kFeature: {
                const HidReportKind kind = tag == kInput    ? HidReportKind::Input
                                           : tag == kOutput ? HidReportKind::Output
                                                            : HidReportKind::Feature;
                const uint64_t bits =
                    static_cast<uint64_t>(globals.reportSize) * globals.reportCount;
                uint32_t& offset = offsets[static_cast<size_t>(kind)][globals.reportId];
                if (bits > kMaxReportBits || offset + bits > kMaxReportBits)
                    return Fail(error, "report too large");
                HidReportField f;
                f.kind = kind;
                f.reportId = globals.reportId;
                f.isConstant = (data & 1u) != 0;
                f.isArray = (data & 2u) == 0;
                f.bitOffset = offset;
                f.bitSize = globals.reportSize;
                f.count = globals.reportCount;
                f.logicalMin = SignExtend(globals.logicalMinRaw, globals.logicalMinSize);
                // With a non-negative minimum the maximum is read as unsigned, as devices
                // write it (0 to 0xFF in one byte means 255).
                f.logicalMax = f.logicalMin >= 0
                                   ? static_cast<int32_t>(
                                         std::min<uint32_t>(globals.logicalMaxRaw, 0x7FFFFFFFu))
                                   : SignExtend(globals.logicalMaxRaw, globals.logicalMaxSize);
                for (const RawUsage& u : locals.usages)
                    f.usages.push_back(Resolve(u, globals.usagePage));
                if (f.usages.empty() && locals.usageMin && locals.usageMax) {
                    f.usageMin = Resolve(*locals.usageMin, globals.usagePage);
                    f.usageMax = Resolve(*locals.usageMax, globals.usagePage);
                }
                offset += static_cast<uint32_t>(bits);
                if (bits > 0) collectionForFields().fields.push_back(std::move(f));
                break;
            }
            default:
                break;
        }
        locals = {};  // every main item ends the local state
    }
    if (depth != 0) return Fail(error, "collection not closed");
    return out;
}

}  // namespace vq
