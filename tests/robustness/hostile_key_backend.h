// The client's HID seam over one in-process virtual key, with time that runs only when the
// host waits: a read that finds nothing moves the shared clock on instead of sleeping, so
// a key that keeps sending keep-alives, or falls silent, plays out at once.
//
// A host that keeps waiting for a key that never answers would wait for ever; the
// connection unplugs the key after `readsBeforeRemoval` reads, as a user pulling the key
// out would, so such a test ends with the removal the tool must survive.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "transport/ctaphid.h"
#include "transport/device_ids.h"
#include "transport/hid_backend.h"
#include "transport/hid_device_info.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

// Time that passes each time a blocking read finds no packet ready.
inline constexpr std::int64_t kIdleStepMs = 50;
inline constexpr std::uint32_t kKeyGone = 0x48F;

// One clock for both sides.
class SharedManualClock final : public Clock {
  public:
    explicit SharedManualClock(vkey::ManualClock& keyClock) : keyClock_(keyClock) {}
    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(keyClock_.NowMs()); }
    void SleepMs(std::uint32_t milliseconds) override {
        keyClock_.Advance(milliseconds);
        if (onSleep) {
            onSleep();
        }
    }
    std::function<void()> onSleep;

  private:
    vkey::ManualClock& keyClock_;
};

struct ReadBudget {
    long readsBeforeRemoval = 20000;
    long reads = 0;
    bool removed = false;
};

class HostileKeyConnection final : public HidConnection {
  public:
    HostileKeyConnection(vkey::VirtualKey& key, vkey::ManualClock& clock, ReadBudget& budget)
        : key_(key), clock_(clock), budget_(budget) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        std::uint8_t packet[vkey::kPacketSize] = {};
        std::memcpy(packet, report.data() + 1, std::min(report.size() - 1, sizeof packet));
        if (!key_.WritePacket(packet)) {
            return {false, 0, kKeyGone};
        }
        return {true, report.size(), 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        for (;;) {
            const HidIoResult result = ReadOnce(report, kIdleStepMs);
            if (result.ok || result.errorCode != kHidReadTimedOut) {
                return result;
            }
        }
    }

    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        return ReadOnce(report, timeoutMs);
    }

    void FlushInput() override {
        while (key_.TryReadPacket()) {
        }
    }
    bool ReportLengths(HidReportLengths& lengths) override {
        lengths = {ctaphid::kReportLength, ctaphid::kReportLength};
        return key_.plugged();
    }
    void Close() override {}

  private:
    HidIoResult ReadOnce(std::span<std::uint8_t> report, std::uint32_t idleMs) {
        if (++budget_.reads > budget_.readsBeforeRemoval && !budget_.removed) {
            budget_.removed = true;
            key_.Unplug();
        }
        vkey::Packet packet{};
        switch (key_.ReadPacket(packet, 0)) {
            case vkey::VirtualKey::ReadResult::kPacket:
                report[0] = ctaphid::kReportId;
                std::memcpy(report.data() + 1, packet.data(), packet.size());
                return {true, packet.size() + 1, 0};
            case vkey::VirtualKey::ReadResult::kRemoved:
                return {false, 0, kKeyGone};
            case vkey::VirtualKey::ReadResult::kTimedOut:
                break;
        }
        clock_.Advance(idleMs);
        return {false, 0, kHidReadTimedOut};
    }

    vkey::VirtualKey& key_;
    vkey::ManualClock& clock_;
    ReadBudget& budget_;
};

class HostileKeyBackend final : public HidBackend {
  public:
    HostileKeyBackend(vkey::VirtualKey& key, vkey::ManualClock& clock, ReadBudget& budget)
        : key_(key), clock_(clock), budget_(budget) {}

    std::vector<HidInterfaceInfo> Enumerate() override {
        if (!key_.plugged()) {
            return {};
        }
        HidInterfaceInfo info;
        const std::uint16_t productId = key_.config().productId();
        info.path = "/dev/hostile#" + InterfaceIdentity(kMakerVendorId, productId);
        info.vendorId = kMakerVendorId;
        info.productId = productId;
        info.productName = "Hostile Key";
        info.reportLengths = {ctaphid::kReportLength, ctaphid::kReportLength};
        return {info};
    }

    HidOpenResult Open(const HidInterfaceInfo&) override {
        return {std::make_unique<HostileKeyConnection>(key_, clock_, budget_), HidOpenError::kNone};
    }

  private:
    vkey::VirtualKey& key_;
    vkey::ManualClock& clock_;
    ReadBudget& budget_;
};

}  // namespace kelvora::test
