// Listing the fingerprints of a key that holds 49 of them (the most the tool lets a user
// enrol), against the in-process virtual key: request building, CTAPHID framing both ways,
// the key's own work, and reading the template list into the slot map.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string_view>

#include "ctap/bio_templates.h"
#include "ctap/fingerprint_name.h"
#include "tests/ctap/virtual_key_backend.h"
#include "transport/connect.h"
#include "transport/fido_device.h"

namespace {

using namespace kelvora;

constexpr int kTemplates = 49;

class NullDebugOutput final : public DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

void BM_EnumerateBio49(benchmark::State& bench) {
    vkey::ManualClock keyClock(1000);
    test::SharedClock clock(keyClock);
    vkey::State initial;
    const auto when = std::chrono::sys_days{std::chrono::year{2021} / 1 / 2};
    for (int slot = 0; slot < kTemplates; ++slot) {
        initial.templates[static_cast<std::uint16_t>(slot)] =
            vkey::Template{DefaultFingerprintName(when, static_cast<std::uint32_t>(slot)), slot};
    }
    vkey::Config config;
    config.templateCapacity = kTemplates;
    vkey::VirtualKey key(config, keyClock, initial);
    test::VirtualKeyBackend backend(key, keyClock);
    KeyState keyState;
    NullDebugOutput debug;
    FidoDevice device(backend, keyState, clock, debug);
    key.Plug();
    if (!ConnectDevice(device, clock).connected) {
        bench.SkipWithError("no virtual key");
        return;
    }
    for (auto _ : bench) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        SlotMap slots{};
        TemplateNames names;
        benchmark::DoNotOptimize(EnumerateBio(device, slots, names, debug));
        if (names.size() != kTemplates) {
            bench.SkipWithError("templates missing");
            return;
        }
    }
}
BENCHMARK(BM_EnumerateBio49)->Unit(benchmark::kMicrosecond);

}  // namespace
