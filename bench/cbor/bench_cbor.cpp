// The two hot paths of a PIN exchange: writing a setPIN request and finding the key
// agreement coordinates in a getKeyAgreement response.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "cbor/cbor_view.h"
#include "cbor/cbor_writer.h"

namespace {

using kelvora::CborView;
using kelvora::CborWriter;

// ClientPIN members and COSE key labels (CTAP 2.1 §6.5.5, RFC 8152 §13.1.1).
enum ClientPinKey : std::int32_t {
    kPinProtocol = 1,
    kSubCommand = 2,
    kKeyAgreement = 3,
    kPinAuth = 4,
    kNewPinEnc = 5,
};
enum CoseKey : std::int32_t { kKty = 1, kAlg = 3, kCrv = -1, kX = -2, kY = -3 };
constexpr std::int32_t kSetPin = 3;
constexpr std::int32_t kKtyEc2 = 2;
constexpr std::int32_t kAlgEcdhEsHkdf256 = -25;
constexpr std::int32_t kCrvP256 = 1;

void writeSetPin(CborWriter& writer, const std::uint8_t* x, const std::uint8_t* y,
                 const std::uint8_t* pinAuth, const std::uint8_t* newPinEnc) {
    writer.beginMap(5)
        .putInt(kPinProtocol)
        .putInt(1)
        .putInt(kSubCommand)
        .putInt(kSetPin)
        .putInt(kKeyAgreement)
        .beginMap(5)
        .putInt(kKty)
        .putInt(kKtyEc2)
        .putInt(kAlg)
        .putInt(kAlgEcdhEsHkdf256)
        .putInt(kCrv)
        .putInt(kCrvP256)
        .putInt(kX)
        .putBytes(x, 32)
        .putInt(kY)
        .putBytes(y, 32)
        .putInt(kPinAuth)
        .putBytes(pinAuth, 16)
        .putInt(kNewPinEnc)
        .putBytes(newPinEnc, 64);
}

void BM_WriteSetPinRequest(benchmark::State& state) {
    std::array<std::uint8_t, 32> x{};
    std::array<std::uint8_t, 32> y{};
    std::array<std::uint8_t, 16> pinAuth{};
    std::array<std::uint8_t, 64> newPinEnc{};
    std::array<std::uint8_t, 1024> buffer{};
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        CborWriter writer(buffer.data() + 1, buffer.size() - 1);
        writeSetPin(writer, x.data(), y.data(), pinAuth.data(), newPinEnc.data());
        benchmark::DoNotOptimize(writer.length());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WriteSetPinRequest);

void BM_FindKeyAgreementX(benchmark::State& state) {
    // A getKeyAgreement response {1: COSE key} built the way the key sends it.
    std::array<std::uint8_t, 32> x{};
    std::array<std::uint8_t, 32> y{};
    x.fill(0x5A);
    std::array<std::uint8_t, 1024> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    writer.beginMap(1)
        .putInt(1)
        .beginMap(5)
        .putInt(kKty)
        .putInt(kKtyEc2)
        .putInt(kAlg)
        .putInt(kAlgEcdhEsHkdf256)
        .putInt(kCrv)
        .putInt(kCrvP256)
        .putInt(kX)
        .putBytes(x.data(), 32)
        .putInt(kY)
        .putBytes(y.data(), 32);
    const CborView response(buffer.data(), writer.length());
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        const std::uint8_t* bytes = nullptr;
        std::uint32_t length = 0;
        const bool found = response.findKey(1).findKey(kX).getBytes(bytes, length);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_FindKeyAgreementX);

}  // namespace
