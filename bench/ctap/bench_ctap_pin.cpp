// What a PIN dialog waits for besides the key: one key agreement (a fresh P-256 key pair
// and ECDH), the step every ClientPIN operation starts with.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "ctap/pin_crypto.h"

namespace {

using kelvora::pin_crypto::kCoordinateLength;

// A point on P-256 standing in for the key's public key.
constexpr std::array<std::uint8_t, kCoordinateLength> kKeyX = {
    0x6b, 0xf8, 0x5d, 0x5f, 0xe8, 0x45, 0x98, 0xb1, 0x0c, 0xa6, 0x19, 0x9e, 0xc0, 0x9c, 0xcd, 0x7d,
    0x35, 0xdc, 0xd7, 0x19, 0x5f, 0xdd, 0x1d, 0xc7, 0x73, 0x7a, 0x0c, 0x67, 0x00, 0x6e, 0xf2, 0x51};
constexpr std::array<std::uint8_t, kCoordinateLength> kKeyY = {
    0xb9, 0x52, 0xf2, 0x5e, 0xec, 0x1d, 0xee, 0xd1, 0xfc, 0xa1, 0x91, 0x83, 0x89, 0x90, 0x46, 0x63,
    0x57, 0xd3, 0x14, 0xad, 0xfb, 0x7e, 0x97, 0x60, 0xb8, 0xd9, 0xaf, 0xc8, 0xf3, 0x9a, 0x95, 0xad};

void BM_AgreeKey(benchmark::State& state) {
    for (auto _ : state) {
        kelvora::pin_crypto::KeyAgreement agreement;
        if (kelvora::pin_crypto::AgreeKey(kKeyX, kKeyY, agreement) != 0) {
            state.SkipWithError("agreement failed");
            break;
        }
        benchmark::DoNotOptimize(agreement.sharedSecret.data());
    }
}
BENCHMARK(BM_AgreeKey)->Unit(benchmark::kMicrosecond);

}  // namespace
