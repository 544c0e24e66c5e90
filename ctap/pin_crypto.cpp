#include "ctap/pin_crypto.h"

#include <array>
#include <cstring>

#include <mbedtls/aes.h>
#include <mbedtls/ctr_drbg.h>
#include <mbedtls/ecdh.h>
#include <mbedtls/md.h>
#include <mbedtls/sha256.h>

#include "platform/os_entropy.h"

namespace kelvora::pin_crypto {
namespace {

[[maybe_unused]] inline constexpr int kInvalidCbor = 0x12;  // unused in fuzz builds
// The personalisation string includes its terminating zero byte.
inline constexpr unsigned char kPersonalisation[] = "ecdh";

// Owns the mbed TLS objects of one agreement so that every exit path frees them.
class EcdhContext {
  public:
    EcdhContext() {
        mbedtls_ecp_group_init(&group);
        mbedtls_mpi_init(&privateKey);
        mbedtls_ecp_point_init(&publicKey);
        mbedtls_ecp_point_init(&peerKey);
        mbedtls_mpi_init(&shared);
    }
    ~EcdhContext() {
        mbedtls_mpi_free(&shared);
        mbedtls_ecp_point_free(&peerKey);
        mbedtls_ecp_point_free(&publicKey);
        mbedtls_mpi_free(&privateKey);
        mbedtls_ecp_group_free(&group);
    }
    EcdhContext(const EcdhContext&) = delete;
    EcdhContext& operator=(const EcdhContext&) = delete;

    mbedtls_ecp_group group;
    mbedtls_mpi privateKey;
    mbedtls_ecp_point publicKey;
    mbedtls_ecp_point peerKey;
    mbedtls_mpi shared;
};

class Drbg {
  public:
    Drbg() { mbedtls_ctr_drbg_init(&drbg); }
    ~Drbg() { mbedtls_ctr_drbg_free(&drbg); }
    Drbg(const Drbg&) = delete;
    Drbg& operator=(const Drbg&) = delete;

    int Seed() {
        return mbedtls_ctr_drbg_seed(&drbg, platform::OsEntropy, nullptr, kPersonalisation,
                                     sizeof(kPersonalisation));
    }

    mbedtls_ctr_drbg_context drbg;
};

// Sets the key's point (peerX, peerY) as ctx.peerKey in affine form.
int ReadPeerPoint(EcdhContext& ctx, std::span<const std::uint8_t, kCoordinateLength> peerX,
                  std::span<const std::uint8_t, kCoordinateLength> peerY) {
    int rc = mbedtls_mpi_read_binary(&ctx.peerKey.X, peerX.data(), peerX.size());
    if (rc == 0) {
        rc = mbedtls_mpi_read_binary(&ctx.peerKey.Y, peerY.data(), peerY.size());
    }
    if (rc == 0) {
        rc = mbedtls_mpi_lset(&ctx.peerKey.Z, 1);
    }
    return rc;
}

// Writes the platform public key, computes Z with the key's point and hashes Z.x.
int FinishAgreement(EcdhContext& ctx, std::span<const std::uint8_t, kCoordinateLength> peerX,
                    std::span<const std::uint8_t, kCoordinateLength> peerY, Drbg* blinding,
                    KeyAgreement& out) {
    int rc = mbedtls_mpi_write_binary(&ctx.publicKey.X, out.platformX.data(), kCoordinateLength);
    if (rc == 0) {
        rc = mbedtls_mpi_write_binary(&ctx.publicKey.Y, out.platformY.data(), kCoordinateLength);
    }
    if (rc == 0) {
        rc = ReadPeerPoint(ctx, peerX, peerY);
    }
    if (rc == 0) {
        // Checks that the peer point lies on the curve before multiplying.
        rc = mbedtls_ecdh_compute_shared(&ctx.group, &ctx.shared, &ctx.peerKey, &ctx.privateKey,
                                         blinding ? mbedtls_ctr_drbg_random : nullptr,
                                         blinding ? &blinding->drbg : nullptr);
    }
    Secret<kCoordinateLength> z;
    if (rc == 0) {
        rc = mbedtls_mpi_write_binary(&ctx.shared, z.data(), z.size());
    }
    if (rc == 0) {
        rc = mbedtls_sha256_ret(z.data(), z.size(), out.sharedSecret.data(), 0);
    }
    if (rc != 0) {
        out.sharedSecret.Wipe();
    }
    return rc;
}

bool Crypt(int mode, const SharedSecret& key, std::span<const std::uint8_t> in,
           std::span<std::uint8_t> out) {
    if (in.size() % kAesBlockLength != 0 || out.size() < in.size()) {
        return false;
    }
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    int rc = mode == MBEDTLS_AES_ENCRYPT ? mbedtls_aes_setkey_enc(&aes, key.data(), 256)
                                         : mbedtls_aes_setkey_dec(&aes, key.data(), 256);
    std::uint8_t iv[kAesBlockLength] = {};
    if (rc == 0 && !in.empty()) {
        rc = mbedtls_aes_crypt_cbc(&aes, mode, in.size(), iv, in.data(), out.data());
    }
    mbedtls_aes_free(&aes);
    return rc == 0;
}

#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
// Fuzz builds only, never a program: a fixed platform scalar, an off-curve point refused before
// any multiplication, and the outcome for the last point kept, so that the fuzzer spends its
// executions on the exchange's parsing and not on two P-256 multiplications each.
int AgreeForFuzzing(std::span<const std::uint8_t, kCoordinateLength> peerX,
                    std::span<const std::uint8_t, kCoordinateLength> peerY, KeyAgreement& out) {
    static constexpr std::array<std::uint8_t, kCoordinateLength> kScalar = {
        0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F,
        0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F,
        0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
    struct Memo {
        std::array<std::uint8_t, 2 * kCoordinateLength> point{};
        KeyAgreement agreement;
        int rc = 0;
        bool valid = false;
    };
    static Memo memo;
    std::array<std::uint8_t, 2 * kCoordinateLength> point{};
    std::memcpy(point.data(), peerX.data(), kCoordinateLength);
    std::memcpy(point.data() + kCoordinateLength, peerY.data(), kCoordinateLength);
    if (!memo.valid || memo.point != point) {
        EcdhContext ctx;
        int rc = mbedtls_ecp_group_load(&ctx.group, MBEDTLS_ECP_DP_SECP256R1);
        if (rc == 0) {
            rc = ReadPeerPoint(ctx, peerX, peerY);
        }
        if (rc == 0) {
            rc = mbedtls_ecp_check_pubkey(&ctx.group, &ctx.peerKey);
        }
        memo.agreement = KeyAgreement{};
        memo.rc = rc == 0 ? AgreeKeyWithPrivateKey(kScalar, peerX, peerY, memo.agreement) : rc;
        memo.point = point;
        memo.valid = true;
    }
    out = memo.agreement;
    return memo.rc;
}
#endif

}  // namespace

int AgreeKey(std::span<const std::uint8_t, kCoordinateLength> peerX,
             std::span<const std::uint8_t, kCoordinateLength> peerY, KeyAgreement& out) {
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    return AgreeForFuzzing(peerX, peerY, out);
#else
    Drbg drbg;
    if (drbg.Seed() != 0) {
        return kInvalidCbor;
    }
    EcdhContext ctx;
    int rc = mbedtls_ecp_group_load(&ctx.group, MBEDTLS_ECP_DP_SECP256R1);
    if (rc == 0) {
        rc = mbedtls_ecdh_gen_public(&ctx.group, &ctx.privateKey, &ctx.publicKey,
                                     mbedtls_ctr_drbg_random, &drbg.drbg);
    }
    if (rc != 0) {
        return rc;
    }
    return FinishAgreement(ctx, peerX, peerY, &drbg, out);
#endif
}

int AgreeKeyWithPrivateKey(std::span<const std::uint8_t, kCoordinateLength> privateKey,
                           std::span<const std::uint8_t, kCoordinateLength> peerX,
                           std::span<const std::uint8_t, kCoordinateLength> peerY,
                           KeyAgreement& out) {
    EcdhContext ctx;
    int rc = mbedtls_ecp_group_load(&ctx.group, MBEDTLS_ECP_DP_SECP256R1);
    if (rc == 0) {
        rc = mbedtls_mpi_read_binary(&ctx.privateKey, privateKey.data(), privateKey.size());
    }
    if (rc == 0) {
        rc = mbedtls_ecp_check_privkey(&ctx.group, &ctx.privateKey);
    }
    if (rc == 0) {
        rc = mbedtls_ecp_mul(&ctx.group, &ctx.publicKey, &ctx.privateKey, &ctx.group.G, nullptr,
                             nullptr);
    }
    if (rc != 0) {
        return rc;
    }
    return FinishAgreement(ctx, peerX, peerY, nullptr, out);
}

bool Encrypt(const SharedSecret& key, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out) {
    return Crypt(MBEDTLS_AES_ENCRYPT, key, in, out);
}

bool Decrypt(const SharedSecret& key, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out) {
    return Crypt(MBEDTLS_AES_DECRYPT, key, in, out);
}

PinAuth Authenticate(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    Secret<32> mac;
    const mbedtls_md_info_t* sha256 = mbedtls_md_info_from_type(MBEDTLS_MD_SHA256);
    PinAuth result{};
    if (mbedtls_md_hmac(sha256, key.data(), key.size(), message.data(), message.size(),
                        mac.data()) == 0) {
        std::memcpy(result.data(), mac.data(), result.size());
    }
    return result;
}

Secret<kPinHashLength> PinHash(std::span<const std::uint8_t> pin) {
    Secret<32> digest;
    Secret<kPinHashLength> hash;
    if (mbedtls_sha256_ret(pin.data(), pin.size(), digest.data(), 0) == 0) {
        std::memcpy(hash.data(), digest.data(), hash.size());
    }
    return hash;
}

Secret<kPaddedPinLength> PadPin(std::span<const std::uint8_t> pin) {
    Secret<kPaddedPinLength> padded;
    if (pin.size() <= padded.size() && !pin.empty()) {
        std::memcpy(padded.data(), pin.data(), pin.size());
    }
    return padded;
}

}  // namespace kelvora::pin_crypto
