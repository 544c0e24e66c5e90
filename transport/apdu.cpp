// Building a vendor APDU in plain form or wrapped in secure messaging.
#include "transport/apdu.h"

#include <algorithm>
#include <cstring>

#include "transport/secure_messaging.h"

namespace kelvora {
namespace {

// Everything after the header must fit the one-byte length in byte 4.
constexpr std::size_t kMaxShortLength = 0xFF;

std::size_t BuildSecure(const ApduHeader& header, std::span<const std::uint8_t, kSmKeySize> key,
                        const std::array<std::uint8_t, kSmChallengeSize>& challenge,
                        SmCipher cipher, std::span<std::uint8_t> out) {
    const std::size_t block = SmBlockSize(cipher);
    const std::size_t macSize = SmMacSize(cipher);
    std::size_t padded = 0;
    if (header.lc != 0) {
        if (header.data == nullptr) {
            return 0;
        }
        padded = PaddedLength(header.lc, block);
        if (padded + macSize > kMaxShortLength || kApduDataOffset + padded + macSize > out.size()) {
            return 0;
        }
        std::memcpy(&out[kApduDataOffset], header.data, header.lc);
        PadMethod2(out.subspan(kApduDataOffset, padded), header.lc, block);
        if (!SmEncrypt(cipher, key, challenge, out.subspan(kApduDataOffset, padded))) {
            return 0;
        }
    }
    // Le is never sent under secure messaging: byte 4 counts the cipher text and the MAC.
    const std::size_t macOffset = kApduDataOffset + padded;
    out[kApduLengthOffset] = static_cast<std::uint8_t>(padded + macSize);
    if (!SmMac(cipher, key, challenge, out.first(macOffset), out.subspan(macOffset, macSize))) {
        return 0;
    }
    return macOffset + macSize;
}

}  // namespace

std::size_t BuildApdu(const ApduHeader& header, std::uint8_t mode, const std::uint8_t* key,
                      std::uint32_t keyLength,
                      const std::array<std::uint8_t, kSmChallengeSize>& challenge, SmCipher cipher,
                      std::span<std::uint8_t> out) {
    if (out.size() < kApduDataOffset) {
        return 0;
    }
    std::fill(out.begin(), out.end(), 0);
    out[0] = header.cla;
    out[1] = header.ins;
    out[2] = header.p1;
    out[3] = header.p2;
    if (header.p1 == kP1CarriesLe) {
        out[kApduLengthOffset] = static_cast<std::uint8_t>(header.le & 0xFF);
    }
    if (mode == kApduPlain) {
        return kApduDataOffset;
    }
    if (mode != kApduSecure || key == nullptr || keyLength != kSmKeySize) {
        return 0;
    }
    return BuildSecure(header, std::span<const std::uint8_t, kSmKeySize>(key, kSmKeySize),
                       challenge, cipher, out);
}

}  // namespace kelvora
