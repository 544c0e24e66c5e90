// The Windows backend: HID interfaces from SetupAPI, opened with two synchronous handles
// (one for writing, one for reading), described by the HID class driver.
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
                       FILE_ATTRIBUTE_NORMAL, nullptr);
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
    explicit WinHidConnection(HandlePair handles) : handles_(std::move(handles)) {}
    ~WinHidConnection() override { Close(); }

    WinHidConnection(const WinHidConnection&) = delete;
    WinHidConnection& operator=(const WinHidConnection&) = delete;

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        DWORD written = 0;
        if (!WriteFile(handles_.write, report.data(), static_cast<DWORD>(report.size()), &written,
                       nullptr)) {
            return {false, 0, static_cast<std::uint32_t>(GetLastError())};
        }
        return {true, written, 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        DWORD received = 0;
        if (!ReadFile(handles_.read, report.data(), static_cast<DWORD>(report.size()), &received,
                      nullptr)) {
            return {false, 0, static_cast<std::uint32_t>(GetLastError())};
        }
        return {true, received, 0};
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

    void Close() override { ClosePair(handles_); }

  private:
    HandlePair handles_;
};

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
            return {std::make_unique<WinHidConnection>(std::move(handles)), HidOpenError::kNone};
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
        return {std::make_unique<WinHidConnection>(std::move(handles)), HidOpenError::kNone};
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
