// The client's HID seam over one in-process virtual key, with time that runs only when the
// host waits: a read that finds nothing moves the shared clock on instead of sleeping, so
// a key that keeps sending keep-alives, or falls silent, plays out at once.
//
// A host that keeps waiting for a key that never answers would wait for ever; the
// connection unplugs the key after `readsBeforeRemoval` reads, as a user pulling the key
// out would, so such a test ends with the removal the tool must survive.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "tests/common/shared_clock.h"
#include "tests/common/virtual_key_reports.h"
#include "vkey/clock.h"

namespace kelvora::test {

// Time that passes each time a blocking read finds no packet ready.
inline constexpr std::int64_t kIdleStepMs = 50;

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
        return WriteReportToKey(key_, report);
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

    void FlushInput() override { FlushKeyOutput(key_); }
    bool ReportLengths(HidReportLengths& lengths) override {
        return VirtualKeyReportLengths(key_, lengths);
    }
    void Close() override {}

  private:
    HidIoResult ReadOnce(std::span<std::uint8_t> report, std::uint32_t idleMs) {
        if (++budget_.reads > budget_.readsBeforeRemoval && !budget_.removed) {
            budget_.removed = true;
            key_.Unplug();
        }
        if (const std::optional<HidIoResult> result = ReadReportFromKey(key_, report, 0)) {
            return *result;
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
        return {VirtualKeyInterface(key_, "/dev/hostile", "Hostile Key")};
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
