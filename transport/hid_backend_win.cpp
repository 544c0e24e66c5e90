// The Windows backend: HID interfaces from SetupAPI, opened with two overlapped handles
// (one for writing, one for reading), described by the HID class driver. Overlapped I/O is
// what lets a read give up on a key that has fallen silent; a synchronous ReadFile would
// wait for it forever.
//
// Enumeration opens every interface whose path names the maker's vendor id, the way the
// tool always has: the attributes, product string and capabilities need an open handle,
// and an interface that cannot be opened is reported as access denied (on Windows a FIDO
// interface refuses non-elevated processes). The handles of the interfaces described are
// kept until Open() takes them or the next Enumerate() closes the ones not taken.
#include <windows.h>
// SetupAPI and the HID headers need windows.h first.
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <map>
#include <string>

#include "transport/device_ids.h"
#include "transport/hid_device_info.h"

namespace kelvora {
namespace {

constexpr DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
// HidD_GetProductString: at most 100 UTF-16 units with the terminator.
constexpr std::size_t kProductStringUnits = 100;
constexpr int kProductNameBytes = 200;
// An output report the key has not taken after this long will not be taken: the Linux USB
// stack gives up on one after the same time.
constexpr DWORD kWriteLimitMs = 5000;

struct HandlePair {
    std::wstring devicePath;
    HANDLE write = INVALID_HANDLE_VALUE;
    HANDLE read = INVALID_HANDLE_VALUE;
};

void CloseHandleIfOpen(HANDLE& handle) {
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

void ClosePair(HandlePair& pair) {
    CloseHandleIfOpen(pair.write);
    CloseHandleIfOpen(pair.read);
}

HANDLE OpenPath(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, kShareMode, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

struct TransferResult {
    bool ok = false;
    bool timedOut = false;
    DWORD bytes = 0;
    DWORD error = 0;
};

// Runs one overlapped transfer on `handle` to its end. Past `timeoutMs` the transfer is
// cancelled and waited for once more, so that the buffer is never written after we return;
// one that completed while being cancelled still counts, so no report is lost to the race.
// `event` is the caller's manual-reset event: with one transfer per handle at a time, and
// each waited for to its end, it is free again on return.
template <typename Start>
TransferResult Transfer(HANDLE handle, HANDLE event, DWORD timeoutMs, Start start) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ResetEvent(event);
    if (!start(overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            return {false, false, 0, error};
        }
    }
    bool cancelled = false;
    if (WaitForSingleObject(event, timeoutMs) != WAIT_OBJECT_0) {
        // ERROR_NOT_FOUND here only means the transfer has just completed.
        CancelIoEx(handle, &overlapped);
        cancelled = true;
    }
    DWORD bytes = 0;
    if (GetOverlappedResult(handle, &overlapped, &bytes, TRUE)) {
        return {true, false, bytes, 0};
    }
    const DWORD error = GetLastError();
    return {false, cancelled && error == ERROR_OPERATION_ABORTED, 0, error};
}

std::string ToUtf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size) - 1);
    return narrow;
}

bool ReadCaps(HANDLE handle, HidReportLengths& lengths) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(handle, &preparsed)) {
        return false;
    }
    HIDP_CAPS caps = {};
    const bool ok = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    if (ok) {
        lengths.input = caps.InputReportByteLength;
        lengths.output = caps.OutputReportByteLength;
    }
    return ok;
}

// The product string in the ANSI code page. An unreadable string stays empty (the buffer
// is zeroed); only a failed conversion makes the name unavailable.
void ReadProductName(HANDLE handle, HidInterfaceInfo& info) {
    wchar_t product[kProductStringUnits] = {};
    HidD_GetProductString(handle, product, sizeof product);
    product[kProductStringUnits - 1] = L'\0';
    char name[kProductNameBytes] = {};
    const int size =
        WideCharToMultiByte(CP_ACP, 0, product, -1, name, sizeof name, nullptr, nullptr);
    info.productNameAvailable = size > 0;
    info.productName = size > 0 ? std::string(name) : std::string();
}

class WinHidConnection final : public HidConnection {
  public:
    explicit WinHidConnection(HandlePair handles)
        : handles_(std::move(handles)),
          readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~WinHidConnection() override { Close(); }

    WinHidConnection(const WinHidConnection&) = delete;
    WinHidConnection& operator=(const WinHidConnection&) = delete;

    // False when the events for waiting could not be made; such a connection is not used.
    bool Usable() const { return readEvent_ != nullptr && writeEvent_ != nullptr; }

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        if (!Usable() || handles_.write == INVALID_HANDLE_VALUE) {
            return {false, 0, ERROR_INVALID_HANDLE};
        }
        const TransferResult done =
            Transfer(handles_.write, writeEvent_, kWriteLimitMs, [&](OVERLAPPED& overlapped) {
                return WriteFile(handles_.write, report.data(), static_cast<DWORD>(report.size()),
                                 nullptr, &overlapped);
            });
        if (!done.ok) {
            return {false, 0, done.timedOut ? ERROR_TIMEOUT : done.error};
        }
        return {true, done.bytes, 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override { return ReadFor(report, INFINITE); }

    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        // INFINITE would turn the bound into none.
        return ReadFor(report, std::min<DWORD>(timeoutMs, INFINITE - 1));
    }

    void FlushInput() override {
        HidD_FlushQueue(handles_.write);
        HidD_FlushQueue(handles_.read);
    }

    // Asked on every exchange, from the write handle, so that a device that went away
    // fails here before anything is written.
    bool ReportLengths(HidReportLengths& lengths) override {
        return ReadCaps(handles_.write, lengths);
    }

    void Close() override {
        ClosePair(handles_);
        CloseEvent(readEvent_);
        CloseEvent(writeEvent_);
    }

  private:
    static void CloseEvent(HANDLE& event) {
        if (event != nullptr) {
            CloseHandle(event);
            event = nullptr;
        }
    }

    HidIoResult ReadFor(std::span<std::uint8_t> report, DWORD timeoutMs) {
        if (!Usable() || handles_.read == INVALID_HANDLE_VALUE || report.empty()) {
            return {false, 0, ERROR_INVALID_HANDLE};
        }
        const TransferResult done =
            Transfer(handles_.read, readEvent_, timeoutMs, [&](OVERLAPPED& overlapped) {
                return ReadFile(handles_.read, report.data(), static_cast<DWORD>(report.size()),
                                nullptr, &overlapped);
            });
        if (!done.ok) {
            return {false, 0, done.timedOut ? kHidReadTimedOut : done.error};
        }
        // A short report must not leave the previous report's bytes behind it.
        const std::size_t received = std::min<std::size_t>(done.bytes, report.size());
        std::fill(report.begin() + static_cast<std::ptrdiff_t>(received), report.end(), 0);
        return {true, received, 0};
    }

    HandlePair handles_;
    HANDLE readEvent_;
    HANDLE writeEvent_;
};

// A connection over `handles`, or nothing (with the handles closed) when it cannot wait.
HidOpenResult Connect(HandlePair handles) {
    auto connection = std::make_unique<WinHidConnection>(std::move(handles));
    if (!connection->Usable()) {
        return {nullptr, HidOpenError::kUnavailable};
    }
    return {std::move(connection), HidOpenError::kNone};
}

class WinHidBackend final : public HidBackend {
  public:
    WinHidBackend() = default;
    ~WinHidBackend() override { CloseCached(); }

    WinHidBackend(const WinHidBackend&) = delete;
    WinHidBackend& operator=(const WinHidBackend&) = delete;

    std::vector<HidInterfaceInfo> Enumerate() override {
        CloseCached();
        std::vector<HidInterfaceInfo> interfaces;
        GUID hidGuid = {};
        HidD_GetHidGuid(&hidGuid);
        HDEVINFO set =
            SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) {
            return interfaces;
        }
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA interfaceData = {};
            interfaceData.cbSize = sizeof interfaceData;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &interfaceData)) {
                break;
            }
            std::wstring devicePath;
            const DetailResult detail = ReadDevicePath(set, interfaceData, devicePath);
            if (detail == DetailResult::kOutOfMemory) {
                break;
            }
            if (detail == DetailResult::kSkip) {
                continue;
            }
            DescribeInterface(devicePath, interfaces);
        }
        SetupDiDestroyDeviceInfoList(set);
        return interfaces;
    }

    HidOpenResult Open(const HidInterfaceInfo& info) override {
        const auto cached = cache_.find(info.path);
        if (cached != cache_.end()) {
            HandlePair handles = cached->second;
            cache_.erase(cached);
            return Connect(std::move(handles));
        }
        // Not from the latest enumeration (or taken already): open it anew.
        HandlePair handles;
        const int size = MultiByteToWideChar(CP_UTF8, 0, info.path.c_str(), -1, nullptr, 0);
        if (size <= 1) {
            return {nullptr, HidOpenError::kUnavailable};
        }
        handles.devicePath.resize(static_cast<std::size_t>(size));
        MultiByteToWideChar(CP_UTF8, 0, info.path.c_str(), -1, handles.devicePath.data(), size);
        handles.devicePath.resize(static_cast<std::size_t>(size) - 1);
        handles.write = OpenPath(handles.devicePath, GENERIC_WRITE);
        const DWORD writeError = GetLastError();
        handles.read = OpenPath(handles.devicePath, GENERIC_READ);
        const DWORD readError = GetLastError();
        if (handles.write == INVALID_HANDLE_VALUE || handles.read == INVALID_HANDLE_VALUE) {
            const bool denied =
                (handles.write == INVALID_HANDLE_VALUE && writeError == ERROR_ACCESS_DENIED) ||
                (handles.read == INVALID_HANDLE_VALUE && readError == ERROR_ACCESS_DENIED);
            ClosePair(handles);
            return {nullptr, denied ? HidOpenError::kAccessDenied : HidOpenError::kUnavailable};
        }
        return Connect(std::move(handles));
    }

  private:
    enum class DetailResult { kOk, kSkip, kOutOfMemory };

    static DetailResult ReadDevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData,
                                       std::wstring& devicePath) {
        DWORD required = 0;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required,
                                              nullptr) &&
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return DetailResult::kSkip;
        }
        auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(LocalAlloc(LPTR, required));
        if (detail == nullptr) {
            return DetailResult::kOutOfMemory;
        }
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        const bool ok = SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required,
                                                         nullptr, nullptr) != FALSE;
        if (ok) {
            devicePath = detail->DevicePath;
        }
        LocalFree(detail);
        return ok ? DetailResult::kOk : DetailResult::kSkip;
    }

    void DescribeInterface(const std::wstring& devicePath,
                           std::vector<HidInterfaceInfo>& interfaces) {
        HandlePair handles;
        handles.devicePath = devicePath;
        handles.write = OpenPath(devicePath, GENERIC_WRITE);
        handles.read = OpenPath(devicePath, GENERIC_READ);

        HidInterfaceInfo info;
        info.path = ToUtf8(devicePath);
        if (!PathNamesVendor(info.path, kMakerVendorId)) {
            ClosePair(handles);
            return;
        }
        if (handles.write == INVALID_HANDLE_VALUE || handles.read == INVALID_HANDLE_VALUE) {
            ClosePair(handles);
            info.accessDenied = true;
            interfaces.push_back(std::move(info));
            return;
        }
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof attributes;
        if (!HidD_GetAttributes(handles.read, &attributes)) {
            ClosePair(handles);
            return;
        }
        info.vendorId = attributes.VendorID;
        info.productId = attributes.ProductID;
        ReadProductName(handles.read, info);
        if (info.vendorId != kMakerVendorId || !ReadCaps(handles.read, info.reportLengths)) {
            ClosePair(handles);
            return;
        }
        cache_[info.path] = handles;
        interfaces.push_back(std::move(info));
    }

    void CloseCached() {
        for (auto& entry : cache_) {
            ClosePair(entry.second);
        }
        cache_.clear();
    }

    std::map<std::string, HandlePair> cache_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
    return std::make_unique<WinHidBackend>();
}

}  // namespace kelvora
