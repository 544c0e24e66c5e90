// A whole getPINToken as a PIN dialog runs it, against the in-process virtual key: two
// CTAPHID exchanges, a key agreement on each side, and the token decrypted into the state.
#include <benchmark/benchmark.h>

#include "ctap/client_pin.h"
#include "transport/connect.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace {

constexpr int kCtapModel = 3;
constexpr std::uint8_t kAesFirmware = 17;

void BM_GetPinTokenFlow(benchmark::State& state) {
    kelvora::vkey::SteadyClock keyClock;
    kelvora::vkey::Config config;
    config.model = kCtapModel;
    config.firmware = kAesFirmware;
    kelvora::vkey::VirtualKey key(config, keyClock);
    kelvora::vkey::VirtualHidBackend backend;
    backend.AddKey(key);
    key.Plug();
    kelvora::KeyState keyState;
    kelvora::FidoDevice device(backend, keyState);
    if (!kelvora::ConnectDevice(device, kelvora::SystemClock()).connected ||
        kelvora::SetPin(device, "1234") != 0) {
        state.SkipWithError("no key");
        return;
    }
    for (auto _ : state) {
        if (kelvora::GetPinToken(device, "1234") != 0) {
            state.SkipWithError("token refused");
            break;
        }
    }
}
BENCHMARK(BM_GetPinTokenFlow)->Unit(benchmark::kMicrosecond);

}  // namespace
