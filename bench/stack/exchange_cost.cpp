// The host's own work in one exchange with a key: GetInfo, getPINToken, or listing 49
// fingerprints, through the whole client stack (session, CTAPHID framing, CBOR, PIN crypto)
// against the in-process virtual key, which answers on the writing thread.
//
// Usage: exchange_cost getinfo|pintoken|enumerate49 COUNT
// Prints the median time of one operation, and the reports it moved each way, which is what
// the wire's floor is computed from. Under callgrind, --toggle-collect=*MeasuredRuns* counts
// the COUNT operations alone (the key's share is the inclusive cost of its message handler).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ctap/bio_templates.h"
#include "ctap/client_pin.h"
#include "ctap/fingerprint_name.h"
#include "ctap/get_info.h"
#include "transport/connect.h"
#include "transport/fido_device.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace {

using namespace kelvora;

constexpr int kTemplates = 49;
constexpr std::string_view kPin = "1234";

struct ReportCount {
    long out = 0;
    long in = 0;
};

class CountingConnection final : public HidConnection {
  public:
    CountingConnection(std::unique_ptr<HidConnection> inner, ReportCount& count)
        : inner_(std::move(inner)), count_(count) {}
    HidIoResult Write(std::span<const std::uint8_t> report) override {
        ++count_.out;
        return inner_->Write(report);
    }
    HidIoResult Read(std::span<std::uint8_t> report) override {
        ++count_.in;
        return inner_->Read(report);
    }
    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        ++count_.in;
        return inner_->ReadWithin(report, timeoutMs);
    }
    void FlushInput() override { inner_->FlushInput(); }
    bool ReportLengths(HidReportLengths& lengths) override {
        return inner_->ReportLengths(lengths);
    }
    void Close() override { inner_->Close(); }

  private:
    std::unique_ptr<HidConnection> inner_;
    ReportCount& count_;
};

class CountingBackend final : public HidBackend {
  public:
    CountingBackend(HidBackend& inner, ReportCount& count) : inner_(inner), count_(count) {}
    std::vector<HidInterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    HidOpenResult Open(const HidInterfaceInfo& info) override {
        HidOpenResult result = inner_.Open(info);
        if (result.connection) {
            result.connection =
                std::make_unique<CountingConnection>(std::move(result.connection), count_);
        }
        return result;
    }

  private:
    HidBackend& inner_;
    ReportCount& count_;
};

class NullDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

enum class Operation { kGetInfo, kPinToken, kEnumerate };

bool RunOnce(Operation op, FidoDevice& device, DebugOutput& debug) {
    switch (op) {
        case Operation::kGetInfo: {
            AuthenticatorCaps caps;
            return GetAuthenticatorInfo(device, caps) == 0;
        }
        case Operation::kPinToken:
            return GetPinToken(device, kPin) == 0;
        case Operation::kEnumerate: {
            SlotMap slots{};
            TemplateNames names;
            EnumerateBio(device, slots, names, debug);
            return names.size() == kTemplates;
        }
    }
    return false;
}

// Kept out of line: callgrind's collection is switched on for this function alone.
__attribute__((noinline)) bool MeasuredRuns(Operation op, FidoDevice& device, DebugOutput& debug,
                                            std::vector<double>& micros) {
    for (double& micro : micros) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunOnce(op, device, debug)) {
            return false;
        }
        micro = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = argc == 3 ? argv[1] : "";
    const int count = argc == 3 ? std::atoi(argv[2]) : 0;
    Operation op{};
    if (name == "getinfo") {
        op = Operation::kGetInfo;
    } else if (name == "pintoken") {
        op = Operation::kPinToken;
    } else if (name == "enumerate49") {
        op = Operation::kEnumerate;
    } else {
        (void)std::fputs("usage: exchange_cost getinfo|pintoken|enumerate49 COUNT\n", stderr);
        return 2;
    }
    if (count < 1) {
        (void)std::fputs("exchange_cost: COUNT must be 1 or more\n", stderr);
        return 2;
    }

    vkey::SteadyClock keyClock;
    vkey::Config config;
    vkey::State initial;
    if (op == Operation::kEnumerate) {
        config.templateCapacity = kTemplates;
        const auto when = std::chrono::sys_days{std::chrono::year{2021} / 1 / 2};
        for (int slot = 0; slot < kTemplates; ++slot) {
            initial.templates[static_cast<std::uint16_t>(slot)] = vkey::Template{
                DefaultFingerprintName(when, static_cast<std::uint32_t>(slot)), slot};
        }
    }
    vkey::VirtualKey key(config, keyClock, initial);
    vkey::VirtualHidBackend keys;
    keys.AddKey(key);
    key.Plug();
    ReportCount reports;
    CountingBackend backend(keys, reports);
    KeyState keyState;
    NullDebugOutput debug;
    FidoDevice device(backend, keyState, SystemClock(), debug);
    if (!ConnectDevice(device, SystemClock()).connected ||
        (op == Operation::kPinToken && SetPin(device, kPin) != 0)) {
        (void)std::fputs("exchange_cost: the virtual key did not answer\n", stderr);
        return 1;
    }
    // The first run pays for what is set up once (tables, the random generator).
    std::vector<double> warmUp(1);
    std::vector<double> micros(static_cast<std::size_t>(count));
    if (!MeasuredRuns(op, device, debug, warmUp)) {
        (void)std::fputs("exchange_cost: the operation failed\n", stderr);
        return 1;
    }
    const ReportCount before = reports;
    if (!MeasuredRuns(op, device, debug, micros)) {
        (void)std::fputs("exchange_cost: the operation failed\n", stderr);
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%s median_us %.1f reports_out %ld reports_in %ld\n", name.c_str(),
                micros[micros.size() / 2], (reports.out - before.out) / count,
                (reports.in - before.in) / count);
    return 0;
}
