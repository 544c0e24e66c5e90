// The HID layer of the session: the list of the maker's interfaces, the current device
// and its CTAPHID channel, and the one exchange that writes to and reads from the key.
//
// Not thread-safe: the tool lets one operation at a time talk to the key (modal dialogs),
// which may run on the user-interface thread or on a dialog's worker thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "transport/ctaphid.h"
#include "transport/hid_backend.h"
#include "transport/hid_device_info.h"
#include "transport/key_state.h"

namespace kelvora {

// Where an exchange failed, as written in its debug line.
enum class ExchangeLocation : int {
    kInitWrite = 480,
    kRequestWrite = 558,
    kFirstResponseRead = 585,
    kContinuationRead = 646,
};

// A key that waits for a finger sends keep-alives, and the wait for its answer has no end
// of its own. A key that sends nothing at all, not even keep-alives, has hung: an exchange
// fails once this long (on the injected clock) passes without any packet from it.
inline constexpr std::uint64_t kKeySilenceLimitMs = 10000;
// How long one read waits before the transport looks at the clock again.
inline constexpr std::uint32_t kSilencePollMs = 250;

inline constexpr std::uint64_t kNoDeadline = ~std::uint64_t{0};

class HidTransport {
  public:
    // The backend, key state, clock and debug output must outlive the transport.
    HidTransport(HidBackend& backend, KeyState& keyState, Clock& clock, DebugOutput& debug);
    ~HidTransport();

    HidTransport(const HidTransport&) = delete;
    HidTransport& operator=(const HidTransport&) = delete;

    // Rebuilds the device list from the interfaces present and returns how many were
    // accepted: the path names the maker's vendor id, both directions open, the vendor id
    // matches and the report lengths are known. An interface of the maker that cannot be
    // opened sets keyState.deviceAccessDenied. The sixth supported model gets a settle
    // delay of 2000 ms per accepted interface. The current device stays usable.
    std::uint32_t EnumerateDevices();

    // Makes the first listed device with these identifiers current and forces a new
    // channel before the next exchange. Returns 1, or 0 with the current device unchanged.
    int SelectDevice(std::uint32_t vendorId, std::uint32_t productId);

    // Copies the current device's description, terminator included, cut to `capacity`.
    // Returns 1 (0 only for a null buffer or no room at all).
    int GetDeviceDescription(char* buffer, std::size_t capacity) const;

    // Closes every listed device and forgets the current one.
    void CloseAllDevices();

    // Sends one CTAPHID_CBOR message and receives the answer. `*responseLength` is the
    // capacity of `response` on entry and the message length on success. Returns 0, or
    // -1 on failure, with `*responseLength` untouched. A response announcing more bytes
    // than the capacity fails before anything is copied. Keep-alives extend the wait up to
    // the request's deadline (transport/exchange_deadline.h); when it passes, the key is
    // sent CTAPHID_CANCEL and the exchange fails as a read that timed out.
    // kKeySilenceLimitMs without any packet for us fails it sooner. Packets on
    // other channels, and INIT answers to other nonces, belong to other programs using
    // the key and are passed over.
    int ExchangeReports(const std::uint8_t* request, std::int32_t requestLength,
                        std::uint8_t* response, std::uint32_t* responseLength);

    // Whether the last exchange wrote its whole request to the key, which may then have
    // acted on it even though the exchange failed afterwards.
    bool RequestSent() const { return requestSent_; }
    // Whether the last exchange failed because its deadline passed; it is not worth
    // repeating, as the key is busy or will not answer.
    bool DeadlinePassed() const { return deadlinePassed_; }
    // Set until a channel has been allocated; a failed allocation leaves it set, so the
    // next exchange allocates again.
    bool NeedChannelInit() const { return needChannelInit_; }
    const std::array<std::uint8_t, ctaphid::kChannelSize>& ChannelId() const { return channelId_; }

    const std::vector<HidDeviceInfo>& Devices() const { return devices_; }
    const HidDeviceInfo& CurrentDevice() const { return current_; }

  private:
    using ReportFilter = bool (*)(const std::uint8_t* report, const HidTransport& transport);
    static bool OnOurChannel(const std::uint8_t* report, const HidTransport& transport);
    static bool AnswersOurInit(const std::uint8_t* report, const HidTransport& transport);

    // Allocates a channel; false, with the channel and needChannelInit unchanged, when
    // no usable answer to our INIT came.
    bool InitialiseChannel(HidConnection& connection, const HidReportLengths& lengths);
    bool SendRequest(HidConnection& connection, const HidReportLengths& lengths,
                     const std::uint8_t* request, std::size_t requestLength);
    bool ReceiveResponse(HidConnection& connection, const HidReportLengths& lengths,
                         std::uint8_t* response, std::uint32_t capacity, std::uint32_t& total);
    // Reads one report, polling until one comes or the key has been silent for
    // kKeySilenceLimitMs since `lastPacketMs` (a failure with kHidReadTimedOut).
    HidIoResult ReadBounded(HidConnection& connection, const HidReportLengths& lengths,
                            std::uint64_t lastPacketMs);
    // ReadBounded until a report that `accepts` takes (it may look at our channel and
    // nonce); the
    // others are passed over and do not move `lastPacketMs`.
    HidIoResult ReadAccepted(HidConnection& connection, const HidReportLengths& lengths,
                             std::uint64_t lastPacketMs, ReportFilter accepts);
    // True once the key has been silent for kKeySilenceLimitMs, or the deadline passed.
    bool SilentSince(std::uint64_t lastPacketMs);
    // Asks the key to stop the request in flight; its answer, if any, is not waited for.
    void SendCancel(HidConnection& connection, const HidReportLengths& lengths);
    void ReportIoFailure(const char* operation, ExchangeLocation location, std::uint32_t errorCode);

    HidBackend& backend_;
    KeyState& keyState_;
    Clock& clock_;
    DebugOutput& debug_;

    std::vector<HidDeviceInfo> devices_;
    HidDeviceInfo current_;
    bool needChannelInit_ = true;
    bool requestSent_ = false;
    bool deadlinePassed_ = false;
    std::uint64_t deadlineMs_ = kNoDeadline;
    std::array<std::uint8_t, ctaphid::kChannelSize> channelId_ = ctaphid::kInitialChannel;
    // The nonce of the INIT in flight, which its answer must echo.
    std::array<std::uint8_t, ctaphid::kInitNonceSize> initNonce_{};
    std::array<std::uint8_t, ctaphid::kReportBufferSize> report_{};
};

}  // namespace kelvora
