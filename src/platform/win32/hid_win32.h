#pragma once
// HID access on Windows: SetupAPI enumeration, CreateFileW, the HID parser for capabilities and
// usages, and overlapped report I/O with a time limit and a stop event.

#if defined(_WIN32)

#include <windows.h>

extern "C" {
#include <hidsdi.h>
}
#include <hidpi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/hid_backend.h"
#include "platform/win32/wide_text.h"

namespace vq::platform {

// One decoded usage slot of a report type, as the HID parser fills it.
struct HidData {
    bool isButtonData = false;
    USAGE usagePage = 0;
    NTSTATUS status = 0;
    ULONG reportId = 0;
    bool isDataSet = false;
    struct {
        ULONG usageMin = 0;
        ULONG usageMax = 0;
        ULONG maxUsageLength = 0;
        std::vector<USAGE> usages;
    } button;
    struct {
        USAGE usage = 0;
        ULONG value = 0;
        LONG scaledValue = 0;
    } value;
};

// Everything the parser knows about one report type of an interface.
struct HidReportBlock {
    std::vector<char> report;  // zeroed, the report byte length of the type
    std::vector<HidData> data;
    std::vector<HIDP_BUTTON_CAPS> buttonCaps;
    std::vector<HIDP_VALUE_CAPS> valueCaps;
};

// Keeps the usages within [min, max] of the first `n`, in order, at the front; when fewer than
// `n` remain, the slot after the last one is set to 0.
void CompactUsages(std::vector<USAGE>& usages, size_t n, ULONG usageMin, ULONG usageMax);

// One overlapped transfer on `handle`: starts it, waits for `ioEvent` or `stopEvent` at most
// `timeoutMs`, and takes the result only when the I/O completed. A transfer still pending when
// the wait ends is cancelled and waited for, so the buffer and the OVERLAPPED record are free
// when this returns. Nonzero on success; `transferred` gets the byte count.
int OverlappedTransfer(HANDLE handle, bool write, void* buffer, DWORD length, DWORD timeoutMs,
                       HANDLE stopEvent, HANDLE ioEvent, DWORD& transferred);

class Win32HidBackend : public HidBackend {
  public:
    bool Enumerate(std::vector<std::optional<std::string>>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenFlags& flags) override;
    bool Probe(const std::string& path) override;
    HidOpenFailure DiagnoseOpenFailure(const std::string& path) override;
};

}  // namespace vq::platform

#endif  // _WIN32
