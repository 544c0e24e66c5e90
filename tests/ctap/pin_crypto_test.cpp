// PIN protocol one cryptography, checked against vectors that python-fido2 produced
// (tests/data/ctap/make_pin_vectors.py), so our code never checks itself.
#include "ctap/pin_crypto.h"

#include "tests/common/bytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::pin_crypto {
namespace {

using test::Bytes;
using test::Hex;

class PinCryptoVectors : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ifstream file(KELVORA_TEST_DATA_DIR "/ctap/pin_protocol_one_vectors.txt");
        ASSERT_TRUE(file) << "vector file missing";
        std::string name;
        std::string hex;
        while (file >> name >> hex) {
            vectors_[name] = Hex(hex);
        }
        ASSERT_EQ(vectors_.size(), 16u);
    }

    const Bytes& V(const std::string& name) { return vectors_.at(name); }

    std::span<const std::uint8_t, kCoordinateLength> C(const std::string& name) {
        return std::span<const std::uint8_t, kCoordinateLength>(V(name).data(), kCoordinateLength);
    }

    SharedSecret Shared() {
        SharedSecret secret;
        std::copy(V("shared_secret").begin(), V("shared_secret").end(), secret.data());
        return secret;
    }

    std::map<std::string, Bytes> vectors_;
};

TEST_F(PinCryptoVectors, AgreementMatchesIndependentImplementation) {
    KeyAgreement agreement;
    ASSERT_EQ(AgreeKeyWithPrivateKey(C("platform_private"), C("key_x"), C("key_y"), agreement), 0);
    EXPECT_EQ(Bytes(agreement.platformX.begin(), agreement.platformX.end()), V("platform_x"));
    EXPECT_EQ(Bytes(agreement.platformY.begin(), agreement.platformY.end()), V("platform_y"));
    EXPECT_EQ(Bytes(agreement.sharedSecret.data(), agreement.sharedSecret.data() + 32),
              V("shared_secret"));
}

TEST_F(PinCryptoVectors, PinEncryptionHashAndAuthMatch) {
    const SharedSecret shared = Shared();

    auto padded = PadPin(V("new_pin"));
    Bytes newPinEnc(kPaddedPinLength);
    ASSERT_TRUE(Encrypt(shared, padded.span(), newPinEnc));
    EXPECT_EQ(newPinEnc, V("new_pin_enc"));

    auto hash = PinHash(V("pin"));
    Bytes pinHashEnc(kPinHashLength);
    ASSERT_TRUE(Encrypt(shared, hash.span(), pinHashEnc));
    EXPECT_EQ(pinHashEnc, V("pin_hash_enc"));

    const std::span<const std::uint8_t> sharedBytes(shared.data(), shared.size());
    const PinAuth setAuth = Authenticate(sharedBytes, newPinEnc);
    EXPECT_EQ(Bytes(setAuth.begin(), setAuth.end()), V("set_pin_auth"));

    Bytes changeMessage = newPinEnc;
    changeMessage.insert(changeMessage.end(), pinHashEnc.begin(), pinHashEnc.end());
    const PinAuth changeAuth = Authenticate(sharedBytes, changeMessage);
    EXPECT_EQ(Bytes(changeAuth.begin(), changeAuth.end()), V("change_pin_auth"));
}

TEST_F(PinCryptoVectors, TokenDecryptsAndAuthenticatesBioRequests) {
    Bytes token(V("token_enc").size());
    ASSERT_TRUE(Decrypt(Shared(), V("token_enc"), token));
    EXPECT_EQ(token, V("token"));
    const PinAuth bioAuth = Authenticate(token, V("bio_message"));
    EXPECT_EQ(Bytes(bioAuth.begin(), bioAuth.end()), V("bio_pin_auth"));
}

TEST_F(PinCryptoVectors, FreshAgreementsDifferAndBothSidesAgree) {
    KeyAgreement first;
    KeyAgreement second;
    ASSERT_EQ(AgreeKey(C("key_x"), C("key_y"), first), 0);
    ASSERT_EQ(AgreeKey(C("key_x"), C("key_y"), second), 0);
    EXPECT_NE(first.platformX, second.platformX);

    // The key computes the same secret from its private scalar and our public point.
    const Bytes keyPrivate(32, 0x6b);
    KeyAgreement keySide;
    ASSERT_EQ(AgreeKeyWithPrivateKey(std::span<const std::uint8_t, 32>(keyPrivate.data(), 32),
                                     first.platformX, first.platformY, keySide),
              0);
    EXPECT_EQ(Bytes(keySide.sharedSecret.data(), keySide.sharedSecret.data() + 32),
              Bytes(first.sharedSecret.data(), first.sharedSecret.data() + 32));
}

TEST_F(PinCryptoVectors, PointOffTheCurveIsRefused) {
    Bytes badY = V("key_y");
    badY[31] ^= 0x01;
    KeyAgreement agreement;
    EXPECT_LT(AgreeKey(C("key_x"), std::span<const std::uint8_t, 32>(badY.data(), 32), agreement),
              0);
    const Bytes zeros(32, 0);
    EXPECT_LT(AgreeKey(std::span<const std::uint8_t, 32>(zeros.data(), 32),
                       std::span<const std::uint8_t, 32>(zeros.data(), 32), agreement),
              0);
}

TEST(PinCrypto, PaddingAndBlockRules) {
    const Bytes fourChars = {'1', '2', '3', '4'};
    auto padded = PadPin(fourChars);
    EXPECT_EQ(Bytes(padded.data(), padded.data() + 4), fourChars);
    EXPECT_EQ(Bytes(padded.data() + 4, padded.data() + 64), Bytes(60, 0));

    const Bytes tooLong(65, 'x');
    auto blank = PadPin(tooLong);
    EXPECT_EQ(Bytes(blank.data(), blank.data() + 64), Bytes(64, 0));

    SharedSecret key;
    Bytes out(32);
    EXPECT_FALSE(Encrypt(key, Bytes(15), out));
    EXPECT_FALSE(Decrypt(key, Bytes(17), out));
    EXPECT_FALSE(Encrypt(key, Bytes(48), out));  // output too small
    EXPECT_TRUE(Encrypt(key, Bytes(32), out));
}

}  // namespace
}  // namespace kelvora::pin_crypto
