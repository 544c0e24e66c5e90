#include "vkey/key_crypto.h"

#include <mbedtls/aes.h>
#include <mbedtls/ctr_drbg.h>
#include <mbedtls/ecdh.h>
#include <mbedtls/md.h>
#include <mbedtls/platform_util.h>
#include <mbedtls/sha256.h>

#include <cstring>
#include <mutex>

#include "platform/os_entropy.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kAes256KeySize = 32;
constexpr int kSha256NotSha224 = 0;

// One generator for the process: seeding is slow, and mbed TLS's CTR-DRBG is not
// thread-safe without MBEDTLS_THREADING, hence the mutex.
class Drbg {
  public:
    Drbg() {
        mbedtls_ctr_drbg_init(&drbg_);
        static constexpr char kPersonalisation[] = "virtual key";
        seeded_ = mbedtls_ctr_drbg_seed(&drbg_, platform::OsEntropy, nullptr,
                                        reinterpret_cast<const unsigned char*>(kPersonalisation),
                                        sizeof kPersonalisation) == 0;
    }
    ~Drbg() { mbedtls_ctr_drbg_free(&drbg_); }
    Drbg(const Drbg&) = delete;
    Drbg& operator=(const Drbg&) = delete;

    static int Generate(void* self, unsigned char* out, std::size_t length) {
        auto* drbg = static_cast<Drbg*>(self);
        const std::lock_guard lock(drbg->mutex_);
        if (!drbg->seeded_) {
            return MBEDTLS_ERR_CTR_DRBG_ENTROPY_SOURCE_FAILED;
        }
        return mbedtls_ctr_drbg_random(&drbg->drbg_, out, length);
    }

  private:
    std::mutex mutex_;
    mbedtls_ctr_drbg_context drbg_{};
    bool seeded_ = false;
};

Drbg& ProcessDrbg() {
    static Drbg drbg;
    return drbg;
}

std::optional<Bytes> Aes256Cbc(ByteView key, ByteView data, int mode) {
    if (key.size() != kAes256KeySize || data.size() % kAesBlockSize != 0) {
        return std::nullopt;
    }
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    const int keyResult = mode == MBEDTLS_AES_ENCRYPT
                              ? mbedtls_aes_setkey_enc(&aes, key.data(), kAes256KeySize * 8)
                              : mbedtls_aes_setkey_dec(&aes, key.data(), kAes256KeySize * 8);
    unsigned char iv[kAesBlockSize] = {};
    Bytes out(data.size());
    const bool ok =
        keyResult == 0 && (data.empty() || mbedtls_aes_crypt_cbc(&aes, mode, data.size(), iv,
                                                                 data.data(), out.data()) == 0);
    mbedtls_aes_free(&aes);
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

Bytes Sha256(ByteView data) {
    Bytes digest(kSha256Size);
    mbedtls_sha256_ret(data.data(), data.size(), digest.data(), kSha256NotSha224);
    return digest;
}

Bytes HmacSha256(ByteView key, ByteView data) {
    Bytes mac(kSha256Size);
    mbedtls_md_hmac(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), key.data(), key.size(),
                    data.data(), data.size(), mac.data());
    return mac;
}

std::optional<Bytes> Aes256CbcEncrypt(ByteView key, ByteView data) {
    return Aes256Cbc(key, data, MBEDTLS_AES_ENCRYPT);
}

std::optional<Bytes> Aes256CbcDecrypt(ByteView key, ByteView data) {
    return Aes256Cbc(key, data, MBEDTLS_AES_DECRYPT);
}

bool ConstantTimeEqual(ByteView a, ByteView b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    }
    return difference == 0;
}

void Wipe(Bytes& secret) {
    mbedtls_platform_zeroize(secret.data(), secret.size());
    secret.clear();
}

Bytes RandomBytes(std::size_t count) {
    Bytes out(count);
    if (Drbg::Generate(&ProcessDrbg(), out.data(), out.size()) != 0) {
        out.clear();  // callers treat an empty result as a key failure
    }
    return out;
}

struct KeyAgreementKey::Impl {
    mbedtls_ecp_group group{};
    mbedtls_mpi secret{};
    mbedtls_ecp_point publicPoint{};
    bool valid = false;

    Impl() {
        mbedtls_ecp_group_init(&group);
        mbedtls_mpi_init(&secret);
        mbedtls_ecp_point_init(&publicPoint);
    }
    ~Impl() {
        mbedtls_ecp_point_free(&publicPoint);
        mbedtls_mpi_free(&secret);
        mbedtls_ecp_group_free(&group);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
};

KeyAgreementKey::KeyAgreementKey() : impl_(std::make_unique<Impl>()) {
    x_.resize(kP256CoordinateSize);
    y_.resize(kP256CoordinateSize);
    impl_->valid = mbedtls_ecp_group_load(&impl_->group, MBEDTLS_ECP_DP_SECP256R1) == 0 &&
                   mbedtls_ecdh_gen_public(&impl_->group, &impl_->secret, &impl_->publicPoint,
                                           &Drbg::Generate, &ProcessDrbg()) == 0 &&
                   mbedtls_mpi_write_binary(&impl_->publicPoint.X, x_.data(), x_.size()) == 0 &&
                   mbedtls_mpi_write_binary(&impl_->publicPoint.Y, y_.data(), y_.size()) == 0;
}

KeyAgreementKey::~KeyAgreementKey() = default;

std::optional<Bytes> KeyAgreementKey::SharedSecret(ByteView peerX, ByteView peerY) const {
    if (!impl_->valid || peerX.size() != kP256CoordinateSize ||
        peerY.size() != kP256CoordinateSize) {
        return std::nullopt;
    }
    mbedtls_ecp_point peer;
    mbedtls_mpi shared;
    mbedtls_ecp_point_init(&peer);
    mbedtls_mpi_init(&shared);
    Bytes sharedX(kP256CoordinateSize);
    bool ok = mbedtls_mpi_read_binary(&peer.X, peerX.data(), peerX.size()) == 0 &&
              mbedtls_mpi_read_binary(&peer.Y, peerY.data(), peerY.size()) == 0 &&
              mbedtls_mpi_lset(&peer.Z, 1) == 0 &&
              mbedtls_ecp_check_pubkey(&impl_->group, &peer) == 0 &&
              mbedtls_ecdh_compute_shared(&impl_->group, &shared, &peer, &impl_->secret,
                                          &Drbg::Generate, &ProcessDrbg()) == 0 &&
              mbedtls_mpi_write_binary(&shared, sharedX.data(), sharedX.size()) == 0;
    mbedtls_mpi_free(&shared);
    mbedtls_ecp_point_free(&peer);
    if (!ok) {
        Wipe(sharedX);
        return std::nullopt;
    }
    Bytes secret = Sha256(sharedX);
    Wipe(sharedX);
    return secret;
}

}  // namespace kelvora::vkey
