#pragma once
// What each fuzz target checks of one input, shared by the libFuzzer harnesses and by the test
// that replays their seeds and every input that ever failed. Each returns what went wrong, or
// an empty text; crashes and undefined behaviour are for the sanitizers to catch.

#include <cstdint>
#include <span>
#include <string>

namespace vq::fuzz {

// INI text in UTF-8 (with or without a mark) or UTF-16LE: written back unchanged when nothing
// was edited; lookups after edits agree with the file written from them.
std::string CheckIniDocument(std::span<const uint8_t> data);
// A profile file image (after a selector byte for the kind and family): decoded and handed to
// that kind's payload load, then built again at the payload's size.
std::string CheckProfileFile(std::span<const uint8_t> data);
// One macro action record's text: what parses formats back to the same action.
std::string CheckMacroActionText(std::span<const uint8_t> data);
// A ".mac" or ".cur" action file: read, written, read again to the same actions.
std::string CheckActionFile(std::span<const uint8_t> data);
// A HID report descriptor (after a byte giving the length of a report at the end): parsed, and
// when it parses, every question asked of it.
std::string CheckReportDescriptor(std::span<const uint8_t> data);
// The device socket's byte stream (after a byte and pairs of bytes giving where it is cut): the
// same lines whole and in pieces; every line that parses formats back to one that parses the same.
std::string CheckDeviceLines(std::span<const uint8_t> data);

}  // namespace vq::fuzz
