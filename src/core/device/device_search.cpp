#include "core/device/device_search.h"

namespace vq {

SearchResult ConnectConfigCollection(DeviceSession& session) {
    HidDevice& device = session.Device();
    HidDeviceList& list = device.List();
    if (!list.Enumerate()) return SearchResult::EnumerationFailed;
    SearchResult result = SearchResult::NotFound;
    while (auto path = list.NextPath()) {
        if (VendorIdFromPath(*path) != session.VendorId()) continue;
        if (!device.Open(*path, true, true, true, false)) continue;
        const HidAttributes a = device.Attributes();
        const HidCaps c = device.Caps();
        if (a.vendorId != session.VendorId() || a.productId != session.ProductId() ||
            c.usagePage != session.UsagePage() || c.usage != session.Usage()) {
            device.Close();
            continue;
        }
        session.SetConnected(true);
        result = SearchResult::Connected;
        break;
    }
    list.ClearPaths();
    return result;
}

SearchResult OpenEventCollection(HidDevice& device, uint16_t vendorId, uint16_t productId) {
    HidDeviceList& list = device.List();
    if (!list.Enumerate()) return SearchResult::EnumerationFailed;
    SearchResult result = SearchResult::NotFound;
    while (auto path = list.NextPath()) {
        if (VendorIdFromPath(*path) != vendorId || ProductIdFromPath(*path) != productId) continue;
        if (!device.Open(*path, true, false, true, false)) continue;
        const HidAttributes a = device.Attributes();
        const HidCaps c = device.Caps();
        if (a.vendorId != vendorId || a.productId != productId || c.usagePage != kEventUsagePage ||
            c.usage != kEventUsage) {
            device.Close();
            continue;
        }
        result = SearchResult::Connected;
        break;
    }
    list.ClearPaths();
    return result;
}

}  // namespace vq
