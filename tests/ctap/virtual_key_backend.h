// A HID backend over an in-process VirtualKey, and one clock for both sides, so that the
// key's finger waits and the tool's pauses move the same time. Whenever the host waits for
// an answer, time runs on: a key waiting for a finger in auto-touch mode answers without
// any real sleeping. Used by the flow tests and the benchmarks.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "tests/common/shared_clock.h"
#include "tests/common/virtual_key_reports.h"
#include "vkey/clock.h"

namespace kelvora::test {

// Time the host lets pass each time it finds no answer ready.
inline constexpr std::int64_t kIdleAdvanceMs = 50;

class VirtualKeyConnection final : public HidConnection {
  public:
    VirtualKeyConnection(vkey::VirtualKey& key, vkey::ManualClock& clock)
        : key_(key), clock_(clock) {}

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        return WriteReportToKey(key_, report);
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        for (;;) {
            if (const std::optional<HidIoResult> result = ReadReportFromKey(key_, report, 1)) {
                return *result;
            }
            clock_.Advance(kIdleAdvanceMs);
        }
    }

    // So that a key whose answer is lost meets the transport's silence limit.
    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        for (std::uint32_t waited = 0; waited < timeoutMs; waited += kIdleAdvanceMs) {
            if (const std::optional<HidIoResult> result = ReadReportFromKey(key_, report, 1)) {
                return *result;
            }
            clock_.Advance(kIdleAdvanceMs);
        }
        return {false, 0, kHidReadTimedOut};
    }

    void FlushInput() override { FlushKeyOutput(key_); }
    bool ReportLengths(HidReportLengths& lengths) override {
        return VirtualKeyReportLengths(key_, lengths);
    }
    void Close() override {}

  private:
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
        return {VirtualKeyInterface(key_, "/dev/vkey", "Virtual Key")};
    }

    HidOpenResult Open(const HidInterfaceInfo&) override {
        return {std::make_unique<VirtualKeyConnection>(key_, clock_), HidOpenError::kNone};
    }

  private:
    vkey::VirtualKey& key_;
    vkey::ManualClock& clock_;
};

}  // namespace kelvora::test
