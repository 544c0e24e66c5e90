// The one seam between the CTAPHID layer and an operating system's HID stack (or a
// stand-in for it). Linux hidraw, Windows SetupAPI/HID, the virtual key and the tests'
// replay fake all implement these two classes; HidTransport never knows which one it
// talks to.
//
// Reports. Every report handed across this seam starts with the report id byte, which is
// 0x00 for FIDO keys, followed by the 64-byte CTAPHID packet: 65 bytes in all, the
// length that Windows reports as InputReportByteLength / OutputReportByteLength.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvora {

// Report lengths in bytes, report id byte included (65 for a FIDO key).
struct HidReportLengths {
    std::uint16_t input = 0;
    std::uint16_t output = 0;
};

// One HID interface as the backend sees it.
struct HidInterfaceInfo {
    // Identifies the interface for Open(). Opaque to callers, but it always carries the
    // vendor id as four lower-case hex digits, which is how discovery recognises the
    // maker's interfaces: the SetupAPI device path on Windows ("\\?\hid#vid_4b56&pid_2b03
    // #..."), and on Linux the node with "#vid_4b56&pid_2B03" appended (product digits in
    // upper case, as in Windows device-arrival paths; see InterfaceIdentity()).
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // The product string in the platform's narrow encoding (see platform/narrow_text.h).
    std::string productName;
    // False when the product string could not be read or converted; an empty string
    // that was read successfully is available.
    bool productNameAvailable = true;
    // Zero when the report descriptor or the capabilities could not be read.
    HidReportLengths reportLengths;
    // The interface is present but could not be opened for reading and writing (for
    // example EACCES on Linux). vendorId and productId may then be zero.
    bool accessDenied = false;
};

// The result of one report read or write.
struct HidIoResult {
    bool ok = false;
    std::size_t bytes = 0;        // bytes transferred, report id byte included
    std::uint32_t errorCode = 0;  // the system's error code on failure (errno, GetLastError)
};

// The error code of a ReadWithin() that ended because no report came in time. No system
// uses it for anything else.
inline constexpr std::uint32_t kHidReadTimedOut = 0xFFFF'FFFEu;

// An open interface. Contract for implementations:
// - Write() sends one output report; `report` is exactly the output report length.
// - Read() blocks until one input report arrives and stores it, report id byte first, in
//   `report` (the input report length). There is no time-out: a key that waits for a
//   finger sends keep-alive packets, and a key that never answers blocks the caller.
// - ReadWithin() is Read() that gives up after about `timeoutMs` without a report, with
//   ok = false and errorCode = kHidReadTimedOut. The transport uses it to notice a key that
//   has fallen silent. A backend that cannot wait with a time-out keeps the default, a
//   plain blocking Read().
// - Once the device is removed, Read() and Write() must fail promptly (ok = false),
//   including a Read() that is already blocked; they must never hang on a gone device.
// - FlushInput() drops input reports that arrived before the call.
// - ReportLengths() returns false when the capabilities cannot be read any more.
// - Thread-safety: the session uses one connection from one thread at a time, but not
//   always the same thread (UI thread, then a dialog's worker). Close() is called at most
//   once, never concurrently with the other calls; the destructor closes if needed.
class HidConnection {
  public:
    virtual ~HidConnection() = default;

    virtual HidIoResult Write(std::span<const std::uint8_t> report) = 0;
    virtual HidIoResult Read(std::span<std::uint8_t> report) = 0;
    virtual HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) {
        static_cast<void>(timeoutMs);
        return Read(report);
    }
    virtual void FlushInput() = 0;
    virtual bool ReportLengths(HidReportLengths& lengths) = 0;
    virtual void Close() = 0;
};

// Why an interface could not be opened.
enum class HidOpenError {
    kNone,
    kAccessDenied,  // present, but this process may not open it
    kUnavailable,   // gone, or failed for another reason
};

struct HidOpenResult {
    std::unique_ptr<HidConnection> connection;  // null unless error is kNone
    HidOpenError error = HidOpenError::kNone;
};

// Lists and opens interfaces. Enumerate() and Open() are called from one thread at a
// time; connections that were opened stay valid across later Enumerate() calls.
class HidBackend {
  public:
    virtual ~HidBackend() = default;

    // The interfaces present now, in the system's enumeration order. A backend may leave
    // out interfaces that are plainly not the maker's.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;

    // Opens an interface from the latest Enumerate() for reading and writing.
    virtual HidOpenResult Open(const HidInterfaceInfo& info) = 0;
};

// The backend of the platform the tool was built for (hidraw or SetupAPI/HID).
std::unique_ptr<HidBackend> MakeSystemHidBackend();

}  // namespace kelvora
