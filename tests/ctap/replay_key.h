// The key's half of a replayed ClientPIN exchange: what the host wrote, reassembled into
// messages, and the shared secret a key holding a fixed private scalar derives from it.
// The secret comes from the deterministic agreement that python-fido2 vouches for
// (tests/data/ctap), so the tests never check our crypto with itself.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "cbor/cbor_view.h"
#include "cbor/cbor_writer.h"
#include "ctap/pin_crypto.h"
#include "tests/common/replay_backend.h"
#include "transport/session_fixture.h"

namespace kelvora::test {

// The key's ECDH key pair: the scalar 0x1F..1F and its public point.
inline const Bytes kKeyPrivate(32, 0x1F);
inline const Bytes kKeyX = Hex("6bf85d5fe84598b10ca6199ec09ccd7d35dcd7195fdd1dc7737a0c67006ef251");
inline const Bytes kKeyY = Hex("b952f25eec1deed1fca191838990466357d314adfb7e9760b8d9afc8f39a95ad");

// One message the host sent: its CTAPHID command and payload.
struct SentMessage {
    std::uint8_t command = 0;
    Bytes payload;
};

// Reassembles the host's reports into messages, leaving out CTAPHID_INIT.
inline std::vector<SentMessage> SentMessages(const ReplayDevice& device) {
    std::vector<SentMessage> messages;
    std::size_t expected = 0;
    for (const Bytes& report : device.written) {
        if ((report[ctaphid::kCommandOffset] & 0x80) != 0) {
            if (report[ctaphid::kCommandOffset] == ctaphid::kInit) {
                continue;
            }
            expected = (std::size_t{report[ctaphid::kLengthHighOffset]} << 8) |
                       report[ctaphid::kLengthLowOffset];
            SentMessage message{report[ctaphid::kCommandOffset], {}};
            const std::size_t take = std::min(expected, ctaphid::kInitPayloadSize);
            message.payload.assign(
                report.begin() + ctaphid::kInitPayloadOffset,
                report.begin() + static_cast<std::ptrdiff_t>(ctaphid::kInitPayloadOffset + take));
            messages.push_back(message);
        } else if (!messages.empty()) {
            Bytes& payload = messages.back().payload;
            const std::size_t take =
                std::min(expected - payload.size(), ctaphid::kContinuationPayloadSize);
            payload.insert(payload.end(), report.begin() + ctaphid::kContinuationPayloadOffset,
                           report.begin() + static_cast<std::ptrdiff_t>(
                                                ctaphid::kContinuationPayloadOffset + take));
        }
    }
    return messages;
}

// A getKeyAgreement answer, status byte first, carrying the given coordinates.
// kty, alg and crv are those of an EC2 key for ECDH-ES with HKDF-256 on P-256 by default.
inline Bytes KeyAgreementAnswer(const Bytes& x = kKeyX, const Bytes& y = kKeyY, int kty = 2,
                                int alg = -25, int crv = 1) {
    std::array<std::uint8_t, 200> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    writer.beginMap(1).putInt(1).beginMap(5);
    writer.putInt(1).putInt(kty).putInt(3).putInt(alg).putInt(-1).putInt(crv);
    writer.putInt(-2).putBytes(x.data(), static_cast<std::uint32_t>(x.size()));
    writer.putInt(-3).putBytes(y.data(), static_cast<std::uint32_t>(y.size()));
    Bytes answer = {0x00};
    answer.insert(answer.end(), buffer.begin(), buffer.begin() + writer.length());
    return answer;
}

// A getPINToken answer with member 2.
inline Bytes PinTokenAnswer(const Bytes& tokenEnc) {
    std::array<std::uint8_t, 1100> buffer{};
    CborWriter writer(buffer.data(), buffer.size());
    writer.beginMap(1).putInt(2).putBytes(tokenEnc.data(),
                                          static_cast<std::uint32_t>(tokenEnc.size()));
    Bytes answer = {0x00};
    answer.insert(answer.end(), buffer.begin(), buffer.begin() + writer.length());
    return answer;
}

inline Bytes ViewBytes(const CborView& view) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (!view.getBytes(data, length)) {
        return {};
    }
    return Bytes(data, data + length);
}

// The parameters of a ClientPIN request (the CBOR after the command byte).
inline CborView Parameters(const SentMessage& message) {
    return CborView(message.payload.data() + 1,
                    static_cast<std::uint32_t>(message.payload.size() - 1));
}

// The shared secret the key derives from the platform's public point.
inline pin_crypto::SharedSecret KeySideSecret(const Bytes& x, const Bytes& y) {
    pin_crypto::KeyAgreement agreement;
    EXPECT_EQ(x.size(), 32U);
    EXPECT_EQ(y.size(), 32U);
    if (x.size() == 32 && y.size() == 32) {
        EXPECT_EQ(pin_crypto::AgreeKeyWithPrivateKey(
                      std::span<const std::uint8_t, 32>(kKeyPrivate.data(), 32),
                      std::span<const std::uint8_t, 32>(x.data(), 32),
                      std::span<const std::uint8_t, 32>(y.data(), 32), agreement),
                  0);
    }
    return agreement.sharedSecret;
}

// ... from the platform key in `request`.
inline pin_crypto::SharedSecret KeySideSecret(const SentMessage& request) {
    const CborView platformKey = Parameters(request).findKey(3);
    return KeySideSecret(ViewBytes(platformKey.findKey(-2)), ViewBytes(platformKey.findKey(-3)));
}

inline Bytes DecryptWith(const pin_crypto::SharedSecret& secret, const Bytes& cipherText) {
    Bytes plain(cipherText.size());
    EXPECT_TRUE(pin_crypto::Decrypt(secret, cipherText, plain));
    return plain;
}

inline Bytes EncryptWith(const pin_crypto::SharedSecret& secret, const Bytes& plainText) {
    Bytes cipher(plainText.size());
    EXPECT_TRUE(pin_crypto::Encrypt(secret, plainText, cipher));
    return cipher;
}

}  // namespace kelvora::test
