#include "vkey/virtual_hid_backend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "transport/device_ids.h"
#include "transport/hid_device_info.h"

namespace kelvora::vkey {
namespace {

constexpr std::uint8_t kReportId = 0x00;
constexpr std::size_t kReportSize = kPacketSize + 1;  // the report id byte, then the packet
constexpr HidReportLengths kReportLengths{kReportSize, kReportSize};
// A flush drops at most this many packets, so a key that keeps sending cannot hold it up.
constexpr int kMaxFlushedPackets = 256;
constexpr std::string_view kPathPrefix = "virtual/key";
constexpr char kPathSeparator = '#';
constexpr std::string_view kDefaultProductName = "Kelvora Virtual Key";

// The error codes a failed transfer reports, as hidraw would.
constexpr auto kErrorGone = static_cast<std::uint32_t>(ENODEV);
constexpr auto kErrorClosed = static_cast<std::uint32_t>(EBADF);
constexpr auto kErrorBadLength = static_cast<std::uint32_t>(EINVAL);

class VirtualHidConnection final : public HidConnection {
  public:
    VirtualHidConnection(VirtualKey& key, std::uint64_t plugIn, bool timeoutsAtOnce)
        : key_(key), plugIn_(plugIn), timeoutsAtOnce_(timeoutsAtOnce) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        if (closed_) {
            return {false, 0, kErrorClosed};
        }
        if (report.size() != kReportSize || report[0] != kReportId) {
            return {false, 0, kErrorBadLength};
        }
        std::uint8_t packet[kPacketSize];
        std::memcpy(packet, report.data() + 1, kPacketSize);
        if (!key_.WritePacket(packet, plugIn_)) {
            return {false, 0, kErrorGone};
        }
        return {true, kReportSize, 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override { return ReadFor(report, -1); }

    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        return ReadFor(report, timeoutsAtOnce_ ? 0 : timeoutMs);
    }

    // A negative `timeoutMs` waits for ever.
    HidIoResult ReadFor(std::span<std::uint8_t> report, std::int64_t timeoutMs) {
        if (closed_) {
            return {false, 0, kErrorClosed};
        }
        if (report.size() < kReportSize) {
            return {false, 0, kErrorBadLength};
        }
        Packet packet{};
        const VirtualKey::ReadResult result = key_.ReadPacket(packet, timeoutMs, plugIn_);
        if (result == VirtualKey::ReadResult::kTimedOut) {
            return {false, 0, kHidReadTimedOut};
        }
        if (result != VirtualKey::ReadResult::kPacket) {
            return {false, 0, kErrorGone};
        }
        report[0] = kReportId;
        std::copy(packet.begin(), packet.end(), report.begin() + 1);
        return {true, kReportSize, 0};
    }

    void FlushInput() override {
        for (int i = 0; !closed_ && i < kMaxFlushedPackets; ++i) {
            if (!key_.TryReadPacket(plugIn_)) {
                return;
            }
        }
    }

    bool ReportLengths(HidReportLengths& lengths) override {
        // Like a removed device, a gone plug-in has no capabilities to read any more.
        if (closed_ || key_.plugIn() != plugIn_) {
            return false;
        }
        lengths = kReportLengths;
        return true;
    }

    void Close() override { closed_ = true; }

  private:
    VirtualKey& key_;
    const std::uint64_t plugIn_;
    const bool timeoutsAtOnce_;
    bool closed_ = false;
};

std::string DefaultProductName(const Config& config) {
    return std::string(kDefaultProductName) + " " + std::to_string(config.model);
}

}  // namespace

VirtualHidBackend::~VirtualHidBackend() {
    std::vector<std::unique_ptr<Slot>> slots;
    {
        const std::lock_guard lock(mutex_);
        slots.swap(slots_);
    }
    // Outside the lock: removal waits for an observer call in progress, which may be
    // waiting for the lock itself.
    for (const std::unique_ptr<Slot>& slot : slots) {
        slot->key->RemovePlugObserver(slot->observerId);
    }
}

std::string VirtualHidBackend::AddKey(VirtualKey& key, VirtualInterfaceOptions options) {
    if (options.productName.empty()) {
        options.productName = DefaultProductName(key.config());
    }
    Slot* slot = nullptr;
    std::string path;
    {
        const std::lock_guard lock(mutex_);
        path = !options.path.empty()
                   ? options.path
                   : std::string(kPathPrefix) + std::to_string(slots_.size()) + kPathSeparator +
                         InterfaceIdentity(kMakerVendorId, key.config().productId());
        slots_.push_back(std::make_unique<Slot>(Slot{&key, std::move(options), path, 0}));
        slot = slots_.back().get();
    }
    // Outside the lock: the key calls its observers with its event lock held, and they
    // take this backend's lock.
    const int observerId =
        key.AddPlugObserver([this, path](bool plugged) { ReportChange(path, plugged); });
    const std::lock_guard lock(mutex_);
    slot->observerId = observerId;
    return path;
}

void VirtualHidBackend::SetDeviceChangeObserver(DeviceChangeObserver observer) {
    const std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void VirtualHidBackend::ReportChange(const std::string& path, bool plugged) {
    DeviceChangeObserver observer;
    {
        const std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer) {
        observer(path, plugged ? DeviceChange::kArrived : DeviceChange::kRemoved);
    }
}

std::vector<HidInterfaceInfo> VirtualHidBackend::Enumerate() {
    const std::lock_guard lock(mutex_);
    std::vector<HidInterfaceInfo> interfaces;
    for (const std::unique_ptr<Slot>& slot : slots_) {
        if (!slot->key->plugged()) {
            continue;
        }
        HidInterfaceInfo info;
        info.path = slot->path;
        info.vendorId = kMakerVendorId;
        info.productId = slot->key->config().productId();
        info.productName = slot->options.productName;
        info.reportLengths = kReportLengths;
        interfaces.push_back(std::move(info));
    }
    return interfaces;
}

HidOpenResult VirtualHidBackend::Open(const HidInterfaceInfo& info) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(slots_.begin(), slots_.end(),
                                    [&](const auto& slot) { return slot->path == info.path; });
    if (found == slots_.end()) {
        return {nullptr, HidOpenError::kUnavailable};
    }
    const Slot& slot = **found;
    if (slot.options.unopenable) {
        return {nullptr, HidOpenError::kAccessDenied};
    }
    const std::uint64_t plugIn = slot.key->plugIn();
    if (plugIn == VirtualKey::kNotPlugged) {
        return {nullptr, HidOpenError::kUnavailable};
    }
    return {std::make_unique<VirtualHidConnection>(*slot.key, plugIn, slot.options.timeoutsAtOnce),
            HidOpenError::kNone};
}

}  // namespace kelvora::vkey
