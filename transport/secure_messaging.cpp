#include "transport/secure_messaging.h"

#include <mbedtls/aes.h>
#include <mbedtls/des.h>
#include <mbedtls/platform_util.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvora {
namespace {

constexpr std::size_t kAesBlockSize = 16;
constexpr std::size_t kDesBlockSize = 8;
constexpr std::size_t kDesKeySize = 8;
constexpr std::uint8_t kPaddingMarker = 0x80;

// The AES initial value is the 8-byte challenge followed by 8 zero bytes.
std::array<std::uint8_t, kAesBlockSize> AesIv(
    const std::array<std::uint8_t, kSmChallengeSize>& challenge) {
    std::array<std::uint8_t, kAesBlockSize> iv{};
    std::copy(challenge.begin(), challenge.end(), iv.begin());
    return iv;
}

bool AesCbc(std::span<const std::uint8_t, kSmKeySize> key,
            const std::array<std::uint8_t, kSmChallengeSize>& challenge,
            std::span<std::uint8_t> data) {
    mbedtls_aes_context aes;
    mbedtls_aes_init(&aes);
    auto iv = AesIv(challenge);
    bool ok = mbedtls_aes_setkey_enc(&aes, key.data(), kSmKeySize * 8) == 0 &&
              mbedtls_aes_crypt_cbc(&aes, MBEDTLS_AES_ENCRYPT, data.size(), iv.data(), data.data(),
                                    data.data()) == 0;
    mbedtls_aes_free(&aes);
    return ok;
}

bool TripleDesCbc(std::span<const std::uint8_t, kSmKeySize> key,
                  const std::array<std::uint8_t, kSmChallengeSize>& challenge,
                  std::span<std::uint8_t> data) {
    mbedtls_des3_context des3;
    mbedtls_des3_init(&des3);
    std::array<std::uint8_t, kDesBlockSize> iv = challenge;
    bool ok = mbedtls_des3_set2key_enc(&des3, key.data()) == 0 &&
              mbedtls_des3_crypt_cbc(&des3, MBEDTLS_DES_ENCRYPT, data.size(), iv.data(),
                                     data.data(), data.data()) == 0;
    mbedtls_des3_free(&des3);
    return ok;
}

// ISO/IEC 9797-1 MAC algorithm 3: single-DES CBC under K1 over every block, then the last
// block decrypted under K2 and encrypted again under K1.
bool RetailMac(std::span<const std::uint8_t, kSmKeySize> key,
               const std::array<std::uint8_t, kSmChallengeSize>& challenge,
               std::span<std::uint8_t> padded, std::span<std::uint8_t> mac) {
    mbedtls_des_context k1;
    mbedtls_des_context k2;
    mbedtls_des_init(&k1);
    mbedtls_des_init(&k2);
    std::array<std::uint8_t, kDesBlockSize> iv = challenge;
    std::array<std::uint8_t, kDesBlockSize> block{};
    bool ok = mbedtls_des_setkey_enc(&k1, key.data()) == 0 &&
              mbedtls_des_crypt_cbc(&k1, MBEDTLS_DES_ENCRYPT, padded.size(), iv.data(),
                                    padded.data(), padded.data()) == 0;
    if (ok) {
        std::copy_n(padded.end() - kDesBlockSize, kDesBlockSize, block.begin());
        ok = mbedtls_des_setkey_dec(&k2, key.data() + kDesKeySize) == 0 &&
             mbedtls_des_crypt_ecb(&k2, block.data(), block.data()) == 0 &&
             mbedtls_des_crypt_ecb(&k1, block.data(), block.data()) == 0;
    }
    if (ok) {
        std::copy(block.begin(), block.end(), mac.begin());
    }
    mbedtls_des_free(&k1);
    mbedtls_des_free(&k2);
    return ok;
}

}  // namespace

std::size_t SmBlockSize(SmCipher cipher) {
    return cipher == SmCipher::kAes ? kAesBlockSize : kDesBlockSize;
}

std::size_t SmMacSize(SmCipher cipher) {
    return SmBlockSize(cipher);
}

std::size_t PaddedLength(std::size_t length, std::size_t blockSize) {
    return (length / blockSize + 1) * blockSize;
}

std::size_t PadMethod2(std::span<std::uint8_t> buffer, std::size_t length, std::size_t blockSize) {
    const std::size_t padded = PaddedLength(length, blockSize);
    if (padded > buffer.size()) {
        return 0;
    }
    buffer[length] = kPaddingMarker;
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length) + 1,
              buffer.begin() + static_cast<std::ptrdiff_t>(padded), 0);
    return padded;
}

bool SmEncrypt(SmCipher cipher, std::span<const std::uint8_t, kSmKeySize> key,
               const std::array<std::uint8_t, kSmChallengeSize>& challenge,
               std::span<std::uint8_t> data) {
    if (data.size() % SmBlockSize(cipher) != 0) {
        return false;
    }
    return cipher == SmCipher::kAes ? AesCbc(key, challenge, data)
                                    : TripleDesCbc(key, challenge, data);
}

bool SmMac(SmCipher cipher, std::span<const std::uint8_t, kSmKeySize> key,
           const std::array<std::uint8_t, kSmChallengeSize>& challenge,
           std::span<const std::uint8_t> message, std::span<std::uint8_t> mac) {
    const std::size_t block = SmBlockSize(cipher);
    if (mac.size() < SmMacSize(cipher)) {
        return false;
    }
    std::vector<std::uint8_t> padded(PaddedLength(message.size(), block));
    std::copy(message.begin(), message.end(), padded.begin());
    PadMethod2(padded, message.size(), block);
    bool ok = false;
    if (cipher == SmCipher::kAes) {
        // CBC-MAC: the last cipher block of a CBC encryption.
        ok = AesCbc(key, challenge, padded);
        if (ok) {
            std::copy_n(padded.end() - kAesBlockSize, kAesBlockSize, mac.begin());
        }
    } else {
        ok = RetailMac(key, challenge, padded, mac);
    }
    mbedtls_platform_zeroize(padded.data(), padded.size());
    return ok;
}

}  // namespace kelvora
