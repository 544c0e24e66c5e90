#include "vkey/signing_key.h"

#include <mbedtls/ecdsa.h>
#include <mbedtls/ecp.h>

#include <cstring>

#include "vkey/key_crypto.h"

namespace kelvora::vkey {
namespace {

constexpr int kRandomFailure = -1;

int Random(void* /*unused*/, unsigned char* out, std::size_t length) {
    Bytes bytes = RandomBytes(length);
    if (bytes.size() != length) {
        return kRandomFailure;
    }
    std::memcpy(out, bytes.data(), length);
    Wipe(bytes);
    return 0;
}

// A P-256 key pair loaded into mbed TLS, freed on every path.
class EcKey {
  public:
    EcKey() {
        mbedtls_ecp_keypair_init(&pair_);
        loaded_ = mbedtls_ecp_group_load(&pair_.grp, MBEDTLS_ECP_DP_SECP256R1) == 0;
    }
    ~EcKey() { mbedtls_ecp_keypair_free(&pair_); }
    EcKey(const EcKey&) = delete;
    EcKey& operator=(const EcKey&) = delete;

    bool Generate() {
        return loaded_ &&
               mbedtls_ecp_gen_keypair(&pair_.grp, &pair_.d, &pair_.Q, Random, nullptr) == 0;
    }

    bool Load(ByteView privateKey) {
        return loaded_ && privateKey.size() == kP256CoordinateSize &&
               mbedtls_mpi_read_binary(&pair_.d, privateKey.data(), privateKey.size()) == 0 &&
               mbedtls_ecp_check_privkey(&pair_.grp, &pair_.d) == 0 &&
               mbedtls_ecp_mul(&pair_.grp, &pair_.Q, &pair_.d, &pair_.grp.G, Random, nullptr) == 0;
    }

    std::optional<SigningKey> Export() const {
        SigningKey key{Bytes(kP256CoordinateSize), Bytes(kP256CoordinateSize),
                       Bytes(kP256CoordinateSize)};
        if (mbedtls_mpi_write_binary(&pair_.d, key.privateKey.data(), key.privateKey.size()) != 0 ||
            mbedtls_mpi_write_binary(&pair_.Q.X, key.x.data(), key.x.size()) != 0 ||
            mbedtls_mpi_write_binary(&pair_.Q.Y, key.y.data(), key.y.size()) != 0) {
            Wipe(key.privateKey);
            return std::nullopt;
        }
        return key;
    }

    std::optional<Bytes> Sign(ByteView message) {
        const Bytes digest = Sha256(message);
        mbedtls_ecdsa_context ecdsa;
        mbedtls_ecdsa_init(&ecdsa);
        Bytes signature(MBEDTLS_ECDSA_MAX_LEN);
        std::size_t length = 0;
        const bool ok =
            mbedtls_ecdsa_from_keypair(&ecdsa, &pair_) == 0 &&
            mbedtls_ecdsa_write_signature(&ecdsa, MBEDTLS_MD_SHA256, digest.data(), digest.size(),
                                          signature.data(), &length, Random, nullptr) == 0;
        mbedtls_ecdsa_free(&ecdsa);
        if (!ok) {
            return std::nullopt;
        }
        signature.resize(length);
        return signature;
    }

  private:
    mbedtls_ecp_keypair pair_{};
    bool loaded_ = false;
};

}  // namespace

std::optional<SigningKey> GenerateSigningKey() {
    EcKey key;
    return key.Generate() ? key.Export() : std::nullopt;
}

std::optional<SigningKey> SigningKeyFrom(ByteView privateKey) {
    EcKey key;
    return key.Load(privateKey) ? key.Export() : std::nullopt;
}

std::optional<Bytes> SignEs256(ByteView privateKey, ByteView message) {
    EcKey key;
    return key.Load(privateKey) ? key.Sign(message) : std::nullopt;
}

}  // namespace kelvora::vkey
