#include "fuzz_checks.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/device/report_descriptor.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"
#include "core/macro/macro_file.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_file.h"
#include "core/util/atomic_file.h"
#include "core/util/ini_file.h"
#include "platform/socket/device_protocol.h"

namespace vq::fuzz {

namespace {

namespace fs = std::filesystem;

std::string_view Text(std::span<const uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// Every lookup the document answers, compared with another's.
std::string SameLookups(const IniDocument& a, const IniDocument& b, const char* when) {
    if (a.SectionNames() != b.SectionNames()) return std::string(when) + ": section names differ";
    for (const std::string& section : a.SectionNames()) {
        if (a.KeyNames(section) != b.KeyNames(section))
            return std::string(when) + ": key names of [" + section + "] differ";
        for (const std::string& key : a.KeyNames(section))
            if (a.Find(section, key) != b.Find(section, key))
                return std::string(when) + ": [" + section + "] " + key + " differs";
    }
    return {};
}

// A folder of this process for the file readers, made once and removed at exit.
struct Scratch {
    fs::path folder;
    Scratch() {
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        folder = base / ("vq-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(folder, ec);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

const fs::path& ScratchFolder() {
    static const Scratch scratch;
    return scratch.folder;
}

// A label that a record keeps as it is: the INI read trims blanks at the ends, removes enclosing
// quotes and cuts a value to 259 characters.
bool StorableAsIs(const MacroAction& action) {
    const std::string record = FormatMacroAction(action);
    const std::string_view label = action.label;
    if (CutToUnits(record, kIniValueUnits) != record) return false;
    if (!label.empty() && (label.back() == ' ' || label.back() == '\t')) return false;
    const char first = record.front(), last = record.back();
    return !((first == '"' || first == '\'') && last == first);
}

}  // namespace

std::string CheckIniDocument(std::span<const uint8_t> data) {
    IniDocument doc = IniDocument::Parse(data);
    if (doc.Serialize() != std::vector<uint8_t>(data.begin(), data.end()))
        return "an unedited document is not written back as it was read";
    for (const std::string& section : doc.SectionNames()) {
        if (!doc.HasSection(section)) return "a listed section is not found";
        for (const std::string& key : doc.KeyNames(section)) {
            if (!doc.Find(section, key)) return "a listed key is not found";
            (void)doc.ReadInt(section, key, -1);
            (void)doc.ReadString(section, key, "0");
        }
    }
    // Edits, each followed by the comparison: a key added to each section; the first key of
    // the first section changed and its second deleted; a new section.
    const std::vector<std::string> sections = doc.SectionNames();
    for (const std::string& section : sections)
        if (doc.Write(section, "fuzz-added", "v") && doc.Find(section, "fuzz-added") != "v")
            return "a written value does not read back";
    std::string problem = SameLookups(doc, IniDocument::Parse(doc.Serialize()), "after adding");
    if (!problem.empty()) return problem;
    if (!sections.empty()) {
        const std::vector<std::string> keys = doc.KeyNames(sections.front());
        if (!keys.empty()) doc.Write(sections.front(), keys.front(), "changed");
        if (keys.size() > 1) doc.DeleteKey(sections.front(), keys[1]);
    }
    problem = SameLookups(doc, IniDocument::Parse(doc.Serialize()), "after a change");
    if (!problem.empty()) return problem;
    if (!doc.Write("FUZZ NEW", "k", "1")) return "a plain write was refused";
    problem = SameLookups(doc, IniDocument::Parse(doc.Serialize()), "after a new section");
    if (!problem.empty()) return problem;
    if (!sections.empty()) doc.DeleteSection(sections.front());
    problem = SameLookups(doc, IniDocument::Parse(doc.Serialize()), "after a section delete");
    if (!problem.empty()) return problem;
    return {};
}

std::string CheckProfileFile(std::span<const uint8_t> data) {
    if (data.empty()) return {};
    const auto kind = static_cast<DeviceKind>(data[0] % 3);
    const auto family = static_cast<ProfileFamily>((data[0] / 3) % 3);
    const size_t size = PayloadSize(kind, family);
    if (size == 0) return {};
    const std::span<const uint8_t> file = data.subspan(1);
    std::vector<uint8_t> buffer(size, 0);
    uint16_t kindCode = 0;
    const ProfileReadResult result = DecodeProfileFile(file, buffer, &kindCode);
    if (result != ProfileReadResult::Ok) {
        for (uint8_t b : buffer)
            if (b != 0) return "a file that does not decode changed the buffer";
        return {};
    }
    // The container round trip.
    std::vector<uint8_t> again(size, 0);
    if (DecodeProfileFile(EncodeProfileFile(buffer, kindCode), again) != ProfileReadResult::Ok ||
        again != buffer)
        return "an encoded payload does not decode to itself";
    std::unique_ptr<ProfilePayloadModel> model;
    switch (kind) {
        case DeviceKind::Mouse:
            model = std::make_unique<MouseModel>();
            break;
        case DeviceKind::Keyboard:
            model = std::make_unique<KeyboardModel>();
            break;
        case DeviceKind::Mousepad:
            model = std::make_unique<MousepadModel>();
            break;
    }
    if (!model->LoadPayload(family, buffer)) return "a model refused its own family's payload";
    const std::vector<uint8_t> built = model->BuildPayload(family);
    if (built.size() != size) return "a payload built from a model has the wrong size";
    // What a load keeps, a second load of the built payload keeps the same.
    if (!model->LoadPayload(family, built) || model->BuildPayload(family) != built)
        return "a built payload does not load and build to itself";
    return {};
}

std::string CheckMacroActionText(std::span<const uint8_t> data) {
    const std::optional<MacroAction> action = ParseMacroAction(Text(data));
    if (!action) return {};
    const std::optional<MacroAction> again = ParseMacroAction(FormatMacroAction(*action));
    if (!again || !(*again == *action)) return "a formatted action does not parse to itself";
    return {};
}

std::string CheckActionFile(std::span<const uint8_t> data) {
    const fs::path file = ScratchFolder() / "in.mac";
    const fs::path copy = ScratchFolder() / "out.cur";
    if (!WriteFileAtomic(file, data)) return {};  // nothing to read
    const std::vector<std::optional<MacroAction>> records = ReadActionRecords(file);
    const std::vector<MacroAction> actions = ReadActionFile(file);
    size_t parsed = 0;
    for (const auto& r : records)
        parsed += r.has_value();
    if (actions.size() != parsed) return "the action list is not the records that parse";
    std::vector<MacroAction> storable;
    for (const MacroAction& a : actions)
        if (a.label.find_first_of(",\r\n") == std::string::npos && StorableAsIs(a))
            storable.push_back(a);
    std::error_code ec;
    fs::remove(copy, ec);
    if (!WriteActionFile(copy, storable, "fuzz"))
        return "actions read from a file could not be written";
    if (ReadActionFile(copy) != storable) return "written actions do not read back the same";
    return {};
}

std::string CheckReportDescriptor(std::span<const uint8_t> data) {
    if (data.empty()) return {};
    const size_t reportLength = std::min<size_t>(data[0] % 65, data.size() - 1);
    const std::span<const uint8_t> descriptor = data.subspan(1, data.size() - 1 - reportLength);
    const std::span<const uint8_t> report = data.subspan(data.size() - reportLength);
    std::string error;
    const std::optional<HidReportDescriptor> parsed = ParseReportDescriptor(descriptor, &error);
    if (!parsed) return error.empty() ? "a refused descriptor gives no reason" : std::string();
    for (size_t c = 0; c < parsed->collections.size(); ++c) {
        const HidTopCollection& collection = parsed->collections[c];
        const HidCaps caps = parsed->CapsOf(c);
        if (caps.usagePage != collection.usagePage || caps.usage != collection.usage)
            return "the capabilities do not name the collection's usage";
        for (HidReportKind kind :
             {HidReportKind::Input, HidReportKind::Output, HidReportKind::Feature}) {
            for (uint8_t id : collection.ReportIds(kind))
                if (kind == HidReportKind::Input && !collection.HasInputReport(id))
                    return "a listed input report is not the collection's";
            (void)collection.ReportByteLength(kind);
        }
        for (const HidReportField& field : collection.fields)
            for (uint32_t i = 0; i < std::min<uint32_t>(field.count, 64); ++i)
                (void)field.UsageAt(i);
        (void)parsed->FirstInputUsage(c, report);
    }
    if (!report.empty()) {
        if (const auto owner = parsed->CollectionOfInputReport(report[0]))
            if (*owner >= parsed->collections.size())
                return "an input report's collection is past the end";
        (void)ExtractBits(report, report[0], report.size() > 1 ? report[1] % 33 : 8);
    }
    return {};
}

std::string CheckDeviceLines(std::span<const uint8_t> data) {
    using platform::LineSplitter;
    if (data.empty()) return {};
    const size_t cuts = std::min<size_t>(data[0] % 9, (data.size() - 1) / 2);
    const std::string_view stream = Text(data.subspan(1 + 2 * cuts));
    std::vector<size_t> at;
    for (size_t i = 0; i < cuts; ++i) {
        const size_t position = data[1 + 2 * i] | (data[2 + 2 * i] << 8);
        at.push_back(stream.empty() ? 0 : position % (stream.size() + 1));
    }
    std::sort(at.begin(), at.end());

    LineSplitter whole, pieces;
    std::vector<std::string> wholeLines, pieceLines;
    whole.Feed(stream);
    while (auto line = whole.Next())
        wholeLines.push_back(*line);
    size_t from = 0;
    at.push_back(stream.size());
    for (size_t to : at) {
        pieces.Feed(stream.substr(from, to - from));
        while (auto line = pieces.Next())
            pieceLines.push_back(*line);
        from = to;
    }
    if (wholeLines != pieceLines) return "the lines differ when the stream comes in pieces";
    if (whole.DroppedLines() != pieces.DroppedLines())
        return "the dropped lines differ when the stream comes in pieces";

    for (const std::string& line : wholeLines) {
        if (line.size() > platform::kMaxDeviceLineLength) return "an over-long line was passed on";
        const std::optional<platform::DeviceMessage> message = platform::ParseDeviceLine(line);
        if (!message) continue;
        const std::string formatted = platform::FormatDeviceLine(*message);
        if (formatted.empty() || formatted.back() != '\n') return "a formatted line has no end";
        const std::optional<platform::DeviceMessage> again =
            platform::ParseDeviceLine(std::string_view(formatted).substr(0, formatted.size() - 1));
        if (!again) return "a formatted message does not parse: " + formatted;
        if (platform::FormatDeviceLine(*again) != formatted)
            return "a formatted message does not parse to itself: " + formatted;
    }
    return {};
}

}  // namespace vq::fuzz
