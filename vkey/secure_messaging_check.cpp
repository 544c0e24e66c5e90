#include "vkey/secure_messaging_check.h"

#include <mbedtls/aes.h>
#include <mbedtls/des.h>

#include <algorithm>

#include "vkey/apdu_defs.h"
#include "vkey/key_crypto.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kLengthOffset = 4;
constexpr std::size_t kDataOffset = 5;
constexpr std::size_t kKeySize = 16;
constexpr std::size_t kDesBlock = 8;
constexpr std::uint8_t kPaddingMarker = 0x80;

std::size_t BlockSize(SecureMessagingCipher cipher) {
    return cipher == SecureMessagingCipher::kAes ? kAesBlockSize : kDesBlock;
}

Bytes Pad(ByteView data, std::size_t block) {
    Bytes padded(data.begin(), data.end());
    padded.push_back(kPaddingMarker);
    while (padded.size() % block != 0) {
        padded.push_back(0);
    }
    return padded;
}

std::optional<Bytes> Unpad(const Bytes& padded) {
    std::size_t end = padded.size();
    while (end > 0 && padded[end - 1] == 0) {
        --end;
    }
    if (end == 0 || padded[end - 1] != kPaddingMarker) {
        return std::nullopt;
    }
    return Bytes(padded.begin(), padded.begin() + static_cast<std::ptrdiff_t>(end - 1));
}

Bytes Iv(SecureMessagingCipher cipher, ByteView challenge) {
    Bytes iv(BlockSize(cipher), 0);
    std::copy_n(challenge.begin(), std::min(challenge.size(), kChallengeSize), iv.begin());
    return iv;
}

// Encrypts or decrypts whole blocks in CBC mode; the data length is a block multiple.
Bytes CbcCrypt(SecureMessagingCipher cipher, ByteView key, ByteView challenge, ByteView data,
               bool encrypt) {
    Bytes iv = Iv(cipher, challenge);
    Bytes out(data.size());
    if (data.empty()) {
        return out;
    }
    if (cipher == SecureMessagingCipher::kAes) {
        mbedtls_aes_context aes;
        mbedtls_aes_init(&aes);
        if (encrypt) {
            mbedtls_aes_setkey_enc(&aes, key.data(), kKeySize * 8);
        } else {
            mbedtls_aes_setkey_dec(&aes, key.data(), kKeySize * 8);
        }
        mbedtls_aes_crypt_cbc(&aes, encrypt ? MBEDTLS_AES_ENCRYPT : MBEDTLS_AES_DECRYPT,
                              data.size(), iv.data(), data.data(), out.data());
        mbedtls_aes_free(&aes);
    } else {
        mbedtls_des3_context des3;
        mbedtls_des3_init(&des3);
        if (encrypt) {
            mbedtls_des3_set2key_enc(&des3, key.data());
        } else {
            mbedtls_des3_set2key_dec(&des3, key.data());
        }
        mbedtls_des3_crypt_cbc(&des3, encrypt ? MBEDTLS_DES_ENCRYPT : MBEDTLS_DES_DECRYPT,
                               data.size(), iv.data(), data.data(), out.data());
        mbedtls_des3_free(&des3);
    }
    return out;
}

Bytes ComputeMac(SecureMessagingCipher cipher, ByteView key, ByteView challenge,
                 ByteView macInput) {
    const Bytes padded = Pad(macInput, BlockSize(cipher));
    if (cipher == SecureMessagingCipher::kAes) {
        const Bytes chained = CbcCrypt(cipher, key, challenge, padded, true);
        return Bytes(chained.end() - static_cast<std::ptrdiff_t>(kAesBlockSize), chained.end());
    }
    // ISO/IEC 9797-1 MAC algorithm 3: single-DES CBC under K1, then the last block is
    // decrypted under K2 and encrypted again under K1.
    Bytes iv = Iv(cipher, challenge);
    Bytes chained(padded.size());
    mbedtls_des_context des;
    mbedtls_des_init(&des);
    mbedtls_des_setkey_enc(&des, key.data());
    mbedtls_des_crypt_cbc(&des, MBEDTLS_DES_ENCRYPT, padded.size(), iv.data(), padded.data(),
                          chained.data());
    Bytes mac(chained.end() - static_cast<std::ptrdiff_t>(kDesBlock), chained.end());
    Bytes step(kDesBlock);
    mbedtls_des_setkey_dec(&des, key.data() + kDesBlock);
    mbedtls_des_crypt_ecb(&des, mac.data(), step.data());
    mbedtls_des_setkey_enc(&des, key.data());
    mbedtls_des_crypt_ecb(&des, step.data(), mac.data());
    mbedtls_des_free(&des);
    return mac;
}

}  // namespace

UnwrappedApdu UnwrapSecureApdu(ByteView apdu, SecureMessagingCipher cipher, ByteView key,
                               ByteView challenge) {
    const std::size_t macSize = BlockSize(cipher);  // the MAC is one block in both schemes
    if (key.size() != kKeySize || challenge.size() != kChallengeSize) {
        return {kSwSecurityNotSatisfied, {}};
    }
    if (apdu.size() < kDataOffset || apdu.size() != kDataOffset + apdu[kLengthOffset]) {
        return {kSwWrongLength, {}};
    }
    const std::size_t protectedLength = apdu[kLengthOffset];
    if (protectedLength < macSize || (protectedLength - macSize) % macSize != 0) {
        return {kSwWrongLength, {}};
    }
    const std::size_t cipherLength = protectedLength - macSize;
    const ByteView macInput = apdu.first(kDataOffset + cipherLength);
    const ByteView receivedMac = apdu.subspan(kDataOffset + cipherLength, macSize);
    if (!ConstantTimeEqual(ComputeMac(cipher, key, challenge, macInput), receivedMac)) {
        return {kSwSecureMessagingError, {}};
    }
    if (cipherLength == 0) {
        return {kSwSuccess, {}};
    }
    Bytes plain = CbcCrypt(cipher, key, challenge, apdu.subspan(kDataOffset, cipherLength), false);
    std::optional<Bytes> data = Unpad(plain);
    Wipe(plain);
    if (!data) {
        return {kSwSecureMessagingError, {}};
    }
    return {kSwSuccess, std::move(*data)};
}

Bytes WrapSecureApdu(ByteView header4, ByteView data, SecureMessagingCipher cipher, ByteView key,
                     ByteView challenge) {
    const std::size_t block = BlockSize(cipher);
    Bytes apdu(header4.begin(), header4.begin() + kHeaderSize);
    Bytes cipherText;
    if (!data.empty()) {
        cipherText = CbcCrypt(cipher, key, challenge, Pad(data, block), true);
    }
    apdu.push_back(static_cast<std::uint8_t>(cipherText.size() + block));
    apdu.insert(apdu.end(), cipherText.begin(), cipherText.end());
    const Bytes mac = ComputeMac(cipher, key, challenge, apdu);
    apdu.insert(apdu.end(), mac.begin(), mac.end());
    return apdu;
}

}  // namespace kelvora::vkey
