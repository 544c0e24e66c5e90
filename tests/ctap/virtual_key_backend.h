// A HID backend over an in-process VirtualKey, and one clock for both sides, so that the
// key's finger waits and the tool's pauses move the same time. Whenever the host waits for
// an answer, time runs on: a key waiting for a finger in auto-touch mode answers without
// any real sleeping. Used by the flow tests and the benchmarks.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "transport/ctaphid.h"
#include "transport/device_ids.h"
#include "transport/hid_backend.h"
#include "transport/hid_device_info.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {

// Time the host lets pass each time it finds no answer ready.
inline constexpr std::int64_t kIdleAdvanceMs = 50;

class SharedClock final : public Clock {
  public:
    explicit SharedClock(vkey::ManualClock& keyClock) : keyClock_(keyClock) {}
    std::uint64_t NowMs() override {
        const auto now = static_cast<std::uint64_t>(keyClock_.NowMs());
        keyClock_.Advance(stepPerReading);
        return now;
    }
    void SleepMs(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        keyClock_.Advance(milliseconds);
        if (onSleep) {
            onSleep(sleeps.size());
        }
    }
    // Time that passes with every reading, for loops that never wait (the legacy poll).
    std::int64_t stepPerReading = 0;
    std::vector<std::uint32_t> sleeps;
    std::function<void(std::size_t sleepCount)> onSleep;

  private:
    vkey::ManualClock& keyClock_;
};

class VirtualKeyConnection final : public HidConnection {
  public:
    VirtualKeyConnection(vkey::VirtualKey& key, vkey::ManualClock& clock)
        : key_(key), clock_(clock) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        std::uint8_t packet[vkey::kPacketSize] = {};
        std::memcpy(packet, report.data() + 1, std::min(report.size() - 1, sizeof packet));
        if (!key_.WritePacket(packet)) {
            return {false, 0, kDeviceGone};
        }
        return {true, report.size(), 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        vkey::Packet packet{};
        for (;;) {
            switch (key_.ReadPacket(packet, 1)) {
                case vkey::VirtualKey::ReadResult::kPacket:
                    report[0] = ctaphid::kReportId;
                    std::memcpy(report.data() + 1, packet.data(), packet.size());
                    return {true, packet.size() + 1, 0};
                case vkey::VirtualKey::ReadResult::kRemoved:
                    return {false, 0, kDeviceGone};
                case vkey::VirtualKey::ReadResult::kTimedOut:
                    clock_.Advance(kIdleAdvanceMs);
                    break;
            }
        }
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
    static constexpr std::uint32_t kDeviceGone = 0x48F;
    vkey::VirtualKey& key_;
    vkey::ManualClock& clock_;
};

class VirtualKeyBackend final : public HidBackend {
  public:
    VirtualKeyBackend(vkey::VirtualKey& key, vkey::ManualClock& clock) : key_(key), clock_(clock) {}

    std::vector<HidInterfaceInfo> Enumerate() override {
        if (!key_.plugged()) {
            return {};
        }
        HidInterfaceInfo info;
        const std::uint16_t productId = key_.config().productId();
        info.path = "/dev/vkey#" + InterfaceIdentity(kMakerVendorId, productId);
        info.vendorId = kMakerVendorId;
        info.productId = productId;
        info.productName = "Virtual Key";
        info.reportLengths = {ctaphid::kReportLength, ctaphid::kReportLength};
        return {info};
    }

    HidOpenResult Open(const HidInterfaceInfo&) override {
        return {std::make_unique<VirtualKeyConnection>(key_, clock_), HidOpenError::kNone};
    }

  private:
    vkey::VirtualKey& key_;
    vkey::ManualClock& clock_;
};

}  // namespace kelvora::test
