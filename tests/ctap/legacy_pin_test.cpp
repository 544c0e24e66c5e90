// The legacy models' PIN APDUs, unwrapped again by the virtual key's independent check of
// secure messaging, and the status words that come back.
#include "ctap/legacy_pin.h"

#include <gmock/gmock.h>

#include "ctap/status.h"
#include "replay_key.h"
#include "transport/device_ids.h"
#include "vkey/secure_messaging_check.h"

namespace kelvora::test {
namespace {

const Bytes kChallenge = Hex("0102030405060708");

Bytes HashOf(const Bytes& bytes) {
    const auto hash = pin_crypto::PinHash(bytes);
    return Bytes(hash.span().begin(), hash.span().end());
}

class LegacyPinTest : public SessionTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        AttachWithChannel(kLegacyModel);
        keyState.selectedProductId = kLegacyModel;
        device.SetSecureMessagingAes(GetParam());
    }

    void QueueExchange(const Bytes& pinAnswer) {
        key->QueueMessage(kChannel, ctaphid::kCbor, Concat({kChallenge, Hex("90 00")}));
        key->QueueMessage(kChannel, ctaphid::kCbor, pinAnswer);
    }

    // Checks the challenge request and returns the data of the secure APDU after it.
    Bytes Unwrap(std::uint8_t expectedP1) {
        const auto sent = SentMessages(*key);
        EXPECT_EQ(sent.size(), 2U);
        if (sent.size() != 2) {
            return {};
        }
        EXPECT_EQ(sent[0].payload, Hex("80 E2 FF 00 08"));
        const Bytes& apdu = sent[1].payload;
        EXPECT_EQ(Bytes(apdu.begin(), apdu.begin() + 4), Concat({Hex("46 E2"), {expectedP1, 0}}));
        const vkey::UnwrappedApdu unwrapped = vkey::UnwrapSecureApdu(
            apdu,
            GetParam() ? vkey::SecureMessagingCipher::kAes : vkey::SecureMessagingCipher::kDes,
            kSecureMessagingKey, kChallenge);
        EXPECT_EQ(unwrapped.statusWord, 0x9000) << "the MAC checks out";
        return unwrapped.data;
    }
};

TEST_P(LegacyPinTest, SetPinSendsTheHashOfTheAnsiPin) {
    QueueExchange(Hex("90 00"));
    EXPECT_EQ(SetPinLegacy(device, "テスト12"), 0x9000);
    // テスト in code page 932.
    EXPECT_EQ(Unwrap(0x06), HashOf(Hex("83 65 83 58 83 67 31 32")));
}

TEST_P(LegacyPinTest, ChangePinSendsBothHashesAndReturnsTheWord) {
    for (const std::uint16_t status : {0x9000, 0x63C2, 0x6983}) {
        key->written.clear();
        QueueExchange({static_cast<std::uint8_t>(status >> 8), static_cast<std::uint8_t>(status)});
        EXPECT_EQ(ChangePinLegacy(device, "1234", "abcd"), status);
        EXPECT_EQ(Unwrap(0x07), Concat({HashOf(Hex("31323334")), HashOf(Hex("61626364"))}));
    }
}

TEST_P(LegacyPinTest, APinWithoutAnExactAnsiFormIsNeverSent) {
    // "üüüü" would become "????" and "\xFF" U+FFFD then '?': other PINs would open the key.
    for (const char* pin : {"", "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC",
                            "12\xFF"
                            "34"}) {
        key->written.clear();
        EXPECT_EQ(SetPinLegacy(device, pin), kStatusEntryError) << pin;
        EXPECT_EQ(ChangePinLegacy(device, "1234", pin), kStatusEntryError) << pin;
        EXPECT_EQ(ChangePinLegacy(device, pin, "1234"), kStatusEntryError) << pin;
        EXPECT_TRUE(SentMessages(*key).empty()) << pin;
    }
}

TEST_P(LegacyPinTest, HeaderNoLongerPointsAtTheWipedPin) {
    QueueExchange(Hex("90 00"));
    SetPinLegacy(device, "1234");
    EXPECT_EQ(device.PendingApduHeader().data, nullptr);
    EXPECT_EQ(device.PendingApduHeader().lc, 0U);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, LegacyPinTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Aes" : "Des"; });

}  // namespace
}  // namespace kelvora::test
