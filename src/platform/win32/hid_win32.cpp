#if defined(_WIN32)

#include "platform/win32/hid_win32.h"

#include <setupapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "core/util/log.h"

namespace vq::platform {

// ---- text ---------------------------------------------------------------------------------

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// ---- report I/O ---------------------------------------------------------------------------

int OverlappedTransfer(HANDLE handle, bool write, void* buffer, DWORD length, DWORD timeoutMs,
                       HANDLE stopEvent, HANDLE ioEvent, DWORD& transferred) {
    transferred = 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = ioEvent;
    const BOOL started = write ? WriteFile(handle, buffer, length, nullptr, &overlapped)
                               : ReadFile(handle, buffer, length, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) return 0;
    // Completed at once or pending: either way the I/O event tells.
    const HANDLE waits[2] = {stopEvent, ioEvent};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
    if (woke == WAIT_OBJECT_0 + 1) {
        const BOOL ok = GetOverlappedResult(handle, &overlapped, &transferred, TRUE);
        return ok ? 1 : 0;
    }
    // Stopped, timed out or the wait failed: the request must end before `overlapped` and the
    // buffer go out of scope. Cancelled or not, it completes; wait for that.
    CancelIoEx(handle, &overlapped);
    DWORD late = 0;
    GetOverlappedResult(handle, &overlapped, &late, TRUE);
    return 0;
}

// ---- decoding -----------------------------------------------------------------------------

void CompactUsages(std::vector<USAGE>& usages, size_t n, ULONG usageMin, ULONG usageMax) {
    n = std::min(n, usages.size());
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i)
        if (usages[i] >= usageMin && usages[i] <= usageMax) usages[kept++] = usages[i];
    if (kept < usages.size()) usages[kept] = 0;
}

namespace {

constexpr HIDP_REPORT_TYPE kReportTypes[3] = {HidP_Input, HidP_Output, HidP_Feature};

class Win32HidHandle : public HidHandle {
  public:
    explicit Win32HidHandle(HANDLE handle) : handle_(handle) {
        readEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        writeEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // Manual reset: one Cancel wakes a pending read and write alike, and every later one.
        stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }

    ~Win32HidHandle() override {
        // The program's HidDevice holds a handle until its pending call returned, and that
        // call never returns while the system still uses its buffer.
        if (preparsed_ != nullptr) HidD_FreePreparsedData(preparsed_);
        CloseHandle(handle_);
        for (HANDLE e : {readEvent_, writeEvent_, stopEvent_})
            if (e != nullptr) CloseHandle(e);
    }
    Win32HidHandle(const Win32HidHandle&) = delete;
    Win32HidHandle& operator=(const Win32HidHandle&) = delete;

    bool ReadCapabilities() {
        if (readEvent_ == nullptr || writeEvent_ == nullptr || stopEvent_ == nullptr) return false;
        if (!HidD_GetPreparsedData(handle_, &preparsed_)) {
            preparsed_ = nullptr;
            return false;
        }
        attributes_.Size = sizeof attributes_;
        if (!HidD_GetAttributes(handle_, &attributes_)) return false;
        if (HidP_GetCaps(preparsed_, &caps_) != HIDP_STATUS_SUCCESS) return false;
        const USHORT lengths[3] = {caps_.InputReportByteLength, caps_.OutputReportByteLength,
                                   caps_.FeatureReportByteLength};
        const USHORT buttons[3] = {caps_.NumberInputButtonCaps, caps_.NumberOutputButtonCaps,
                                   caps_.NumberFeatureButtonCaps};
        const USHORT values[3] = {caps_.NumberInputValueCaps, caps_.NumberOutputValueCaps,
                                  caps_.NumberFeatureValueCaps};
        for (int t = 0; t < 3; ++t)
            FillBlock(t, lengths[t], buttons[t], values[t]);
        return true;
    }

    HidAttributes Attributes() const override {
        return {attributes_.VendorID, attributes_.ProductID, attributes_.VersionNumber};
    }
    HidCaps Caps() const override {
        return {caps_.Usage, caps_.UsagePage, caps_.InputReportByteLength,
                caps_.OutputReportByteLength, caps_.FeatureReportByteLength};
    }

    bool Read(std::span<uint8_t> buffer, size_t& transferred, uint32_t timeoutMs) override {
        return Transfer(false, buffer.data(), buffer.size(), transferred, timeoutMs);
    }
    bool Write(std::span<const uint8_t> report, size_t& transferred, uint32_t timeoutMs) override {
        // WriteFile does not write into the buffer; it only wants a non-const pointer.
        return Transfer(true, const_cast<uint8_t*>(report.data()), report.size(), transferred,
                        timeoutMs);
    }

    void Cancel() override {
        cancelled_ = true;
        SetEvent(stopEvent_);
    }

    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) override {
        std::lock_guard lock(decodeMutex_);
        if (report.empty() || !UnpackReport(0, report)) return std::nullopt;
        // The first usage-carrying entry of this report's ID: an entry of another report ID
        // was not decoded and holds nothing of this report.
        for (const HidData& d : blocks_[0].data) {
            if (d.reportId != report[0] || !d.isButtonData) continue;
            if (d.button.usages.empty() || d.button.usages[0] == 0) return std::nullopt;
            return d.button.usages[0];
        }
        return std::nullopt;
    }

  private:
    bool Transfer(bool write, void* buffer, size_t length, size_t& transferred,
                  uint32_t timeoutMs) {
        transferred = 0;
        if (cancelled_ || length > MAXDWORD) return false;
        DWORD count = 0;
        const int ok =
            OverlappedTransfer(handle_, write, buffer, static_cast<DWORD>(length), timeoutMs,
                               stopEvent_, write ? writeEvent_ : readEvent_, count);
        transferred = count;
        return ok != 0;
    }

    void FillBlock(int t, USHORT length, USHORT buttonCount, USHORT valueCount) {
        const HIDP_REPORT_TYPE type = kReportTypes[t];
        HidReportBlock& block = blocks_[t];
        block.report.assign(length, 0);
        block.buttonCaps.resize(buttonCount);
        if (buttonCount > 0 &&
            HidP_GetSpecificButtonCaps(type, 0, 0, 0, block.buttonCaps.data(), &buttonCount,
                                       preparsed_) != HIDP_STATUS_SUCCESS)
            buttonCount = 0;
        block.buttonCaps.resize(buttonCount);
        block.valueCaps.resize(valueCount);
        if (valueCount > 0 &&
            HidP_GetSpecificValueCaps(type, 0, 0, 0, block.valueCaps.data(), &valueCount,
                                      preparsed_) != HIDP_STATUS_SUCCESS)
            valueCount = 0;
        block.valueCaps.resize(valueCount);

        USHORT valueUsages = 0;  // a 16-bit count, as the parser's own
        for (const HIDP_VALUE_CAPS& v : block.valueCaps)
            valueUsages = static_cast<USHORT>(
                valueUsages + (v.IsRange ? v.Range.UsageMax - v.Range.UsageMin + 1 : 1));
        const size_t dataCount = block.buttonCaps.size() + valueUsages;
        block.data.assign(dataCount, HidData{});

        size_t i = 0;
        for (const HIDP_BUTTON_CAPS& b : block.buttonCaps) {
            if (i >= dataCount) return;
            HidData& d = block.data[i++];
            d.isButtonData = true;
            d.status = HIDP_STATUS_SUCCESS;
            d.usagePage = b.UsagePage;
            d.button.usageMin = b.IsRange ? b.Range.UsageMin : b.NotRange.Usage;
            d.button.usageMax = b.IsRange ? b.Range.UsageMax : b.NotRange.Usage;
            d.button.maxUsageLength = HidP_MaxUsageListLength(type, b.UsagePage, preparsed_);
            d.button.usages.assign(d.button.maxUsageLength, 0);
            d.reportId = b.ReportID;
        }
        for (const HIDP_VALUE_CAPS& v : block.valueCaps) {
            const ULONG first = v.IsRange ? v.Range.UsageMin : v.NotRange.Usage;
            const ULONG last = v.IsRange ? v.Range.UsageMax : v.NotRange.Usage;
            for (ULONG u = first; u <= last; ++u) {
                if (i >= dataCount) return;
                HidData& d = block.data[i++];
                d.isButtonData = false;
                d.status = HIDP_STATUS_SUCCESS;
                d.usagePage = v.UsagePage;
                d.value.usage = static_cast<USAGE>(u);
                d.reportId = v.ReportID;
            }
        }
    }

    // Decodes one received report into the data entries of its report ID.
    bool UnpackReport(int t, std::span<const uint8_t> report) {
        const HIDP_REPORT_TYPE type = kReportTypes[t];
        HidReportBlock& block = blocks_[t];
        if (block.report.empty()) return false;
        // The parser wants a report of the type's full length.
        std::fill(block.report.begin(), block.report.end(), 0);
        std::copy_n(report.begin(), std::min(report.size(), block.report.size()),
                    block.report.begin());
        const ULONG length = static_cast<ULONG>(block.report.size());
        for (HidData& d : block.data) {
            if (d.reportId != report[0]) continue;
            if (d.isButtonData) {
                ULONG n = d.button.maxUsageLength;
                d.status = HidP_GetUsages(type, d.usagePage, 0, d.button.usages.data(), &n,
                                          preparsed_, block.report.data(), length);
                CompactUsages(d.button.usages, n, d.button.usageMin, d.button.usageMax);
            } else {
                d.status = HidP_GetUsageValue(type, d.usagePage, 0, d.value.usage, &d.value.value,
                                              preparsed_, block.report.data(), length);
                if (d.status != HIDP_STATUS_SUCCESS) return false;
                d.status = HidP_GetScaledUsageValue(type, d.usagePage, 0, d.value.usage,
                                                    &d.value.scaledValue, preparsed_,
                                                    block.report.data(), length);
            }
            d.isDataSet = true;
        }
        return true;
    }

    HANDLE handle_;
    HANDLE readEvent_ = nullptr;
    HANDLE writeEvent_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    std::atomic<bool> cancelled_{false};
    PHIDP_PREPARSED_DATA preparsed_ = nullptr;
    HIDP_CAPS caps_{};
    HIDD_ATTRIBUTES attributes_{};
    std::mutex decodeMutex_;  // guards the blocks' decode state
    HidReportBlock blocks_[3];
};

// An enumeration index that keeps failing with an error other than "no more items" would
// otherwise keep the walk going for ever.
constexpr DWORD kMaxSkippedInARow = 256;

HANDLE OpenPath(const std::string& path, DWORD access, DWORD share, DWORD flags) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

}  // namespace

// ---- the backend --------------------------------------------------------------------------

bool Win32HidBackend::Enumerate(std::vector<std::optional<std::string>>& paths) {
    paths.clear();
    GUID guid;
    HidD_GetHidGuid(&guid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    // The array starts at 4 and doubles before its first use; it doubles again whenever the
    // index reaches it. A skipped index leaves its slot empty.
    size_t capacity = 4;
    capacity *= 2;
    std::vector<std::optional<std::string>> list(capacity);
    DWORD skippedInARow = 0;
    bool ok = true;
    for (DWORD i = 0;; ++i) {
        if (i >= capacity) {
            capacity *= 2;
            list.resize(capacity);
        }
        SP_DEVICE_INTERFACE_DATA itf{};
        itf.cbSize = sizeof itf;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &itf)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_ITEMS) {
                list.resize(i);
                break;
            }
            if (++skippedInARow > kMaxSkippedInARow) {
                Logf(LogLevel::Warning, "HID listing: interfaces keep failing (error %lu)",
                     static_cast<unsigned long>(error));
                ok = false;
                break;
            }
            continue;
        }
        skippedInARow = 0;
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &itf, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            ok = false;
            break;
        }
        // Room for the record, aligned as the record wants.
        std::vector<uint64_t> storage((required + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &itf, detail, required, nullptr, nullptr)) {
            ok = false;
            break;
        }
        list[i] = Utf8FromWide(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    if (!ok) return false;
    paths = std::move(list);
    return true;
}

std::unique_ptr<HidHandle> Win32HidBackend::Open(const std::string& path,
                                                 const HidOpenFlags& flags) {
    const DWORD access =
        (flags.readAccess ? GENERIC_READ : 0u) | (flags.writeAccess ? GENERIC_WRITE : 0u);
    const DWORD share = flags.exclusive ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const HANDLE h = OpenPath(path, access, share, flags.overlapped ? FILE_FLAG_OVERLAPPED : 0);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto handle = std::make_unique<Win32HidHandle>(h);
    if (!handle->ReadCapabilities()) return nullptr;  // the handle is closed with it
    return handle;
}

bool Win32HidBackend::Probe(const std::string& path) {
    const HANDLE h = OpenPath(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

HidOpenFailure Win32HidBackend::DiagnoseOpenFailure(const std::string& path) {
    const HANDLE h = OpenPath(path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_OVERLAPPED);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return HidOpenFailure::Unknown;
    }
    switch (GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return HidOpenFailure::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return HidOpenFailure::NotPresent;
        default:
            return HidOpenFailure::Unknown;
    }
}

}  // namespace vq::platform

#endif  // _WIN32
