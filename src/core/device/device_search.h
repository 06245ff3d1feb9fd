#pragma once
// Finding a device's collections among the present HID interfaces.

#include <cstdint>

#include "core/device/device_session.h"

namespace vq {

enum class SearchResult { Connected, NotFound, EnumerationFailed };

// Walks the session's path list for its configuration collection: the path must carry the
// session's vendor ID; the opened interface must match vendor, product, usage page and usage.
// On a match the device stays open and the session is marked connected. The caller holds the
// session's I/O lock. The path list is released afterwards.
SearchResult ConnectConfigCollection(DeviceSession& session);

// Walks `device`'s path list for a device's event collection (usage page 0x000C, usage 0x0001)
// and leaves it open read-only on a match.
SearchResult OpenEventCollection(HidDevice& device, uint16_t vendorId, uint16_t productId);

}  // namespace vq
