#pragma once
// Report descriptors shaped like the devices' own, for the parser and the backends built on it.

#include <cstdint>
#include <vector>

namespace vq::test {

// One interface with both collections: the configuration collection (report 4, 63 data bytes
// each way) and the consumer-control event collection (report 3, one 16-bit usage).
inline std::vector<uint8_t> MouseNodeDescriptor() {
    return {
        0x06, 0x1C, 0xFF,  // Usage Page (0xFF1C)
        0x09, 0x92,        // Usage (0x92)
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x04,        //   Report ID (4)
        0x09, 0x01,        //   Usage (1)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x3F,        //   Report Count (63)
        0x81, 0x02,        //   Input (Data, Variable)
        0x09, 0x01,        //   Usage (1)
        0x91, 0x02,        //   Output (Data, Variable)
        0xC0,              // End Collection
        0x05, 0x0C,        // Usage Page (Consumer)
        0x09, 0x01,        // Usage (Consumer Control)
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x03,        //   Report ID (3)
        0x19, 0x00,        //   Usage Minimum (0)
        0x2A, 0xFF, 0x0F,  //   Usage Maximum (0x0FFF)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x0F,  //   Logical Maximum (0x0FFF)
        0x75, 0x10,        //   Report Size (16)
        0x95, 0x01,        //   Report Count (1)
        0x81, 0x00,        //   Input (Data, Array)
        0xC0,              // End Collection
    };
}

// A boot mouse without report IDs: three buttons, padding, X and Y, with the pointer
// collection nested in the mouse collection.
inline std::vector<uint8_t> BootMouseDescriptor() {
    return {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Collection (Application)
        0x09, 0x01, 0xA1, 0x00,              //   Pointer, Collection (Physical)
        0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  //     Buttons 1 to 3
        0x15, 0x00, 0x25, 0x01,              //     Logical 0 to 1
        0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  //     3 x 1 bit, Input (Data, Variable)
        0x95, 0x01, 0x75, 0x05, 0x81, 0x01,  //     5 bits of padding, Input (Constant)
        0x05, 0x01, 0x09, 0x30, 0x09, 0x31,  //     X, Y
        0x15, 0x81, 0x25, 0x7F,              //     Logical -127 to 127
        0x75, 0x08, 0x95, 0x02, 0x81, 0x06,  //     2 x 8 bits, Input (Data, Variable, Relative)
        0xC0, 0xC0,                          //   End Collection x 2
    };
}

}  // namespace vq::test
