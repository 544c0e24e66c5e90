#include <gtest/gtest.h>

#include "key_fixture.h"
#include "transport/device_ids.h"
#include "vkey/apdu_defs.h"
#include "vkey/legacy_apdu.h"
#include "vkey/secure_messaging_check.h"

namespace kelvora::vkey::test {
namespace {

Config LegacyConfig(std::uint8_t firmware, int model = 1) {
    Config config;
    config.model = model;
    config.firmware = firmware;
    return config;
}

Bytes PinHash(std::string_view pin) {
    Bytes hash = Sha256(ByteView(reinterpret_cast<const std::uint8_t*>(pin.data()), pin.size()));
    hash.resize(16);
    return hash;
}

// The host side of one secure command: fetch a challenge, wrap, send.
class LegacyHost : public KeyFixture {
  public:
    explicit LegacyHost(std::uint8_t firmware, int model = 1)
        : KeyFixture(LegacyConfig(firmware, model)) {}

    SecureMessagingCipher cipher() const {
        return key_.config().usesAes() ? SecureMessagingCipher::kAes : SecureMessagingCipher::kDes;
    }

    Bytes Challenge() {
        const std::optional<Bytes> reply = host_.Cbor(Bytes{0x80, 0xE2, 0xFF, 0x00, 0x08});
        EXPECT_TRUE(reply && reply->size() == 10);
        return reply ? Bytes(reply->begin(), reply->begin() + 8) : Bytes{};
    }

    Bytes Secure(const Bytes& header, const Bytes& data) {
        const Bytes apdu = WrapSecureApdu(header, data, cipher(), kSecureMessagingKey, Challenge());
        return host_.Cbor(apdu).value_or(Bytes{});
    }

    std::uint16_t Sw(const Bytes& header, const Bytes& data = {}) {
        return StatusWordOf(Secure(header, data));
    }
};

TEST(SecureMessaging, ApduLengthsFollowTheCipher) {
    const Bytes challenge(8, 0x42);
    struct Row {
        SecureMessagingCipher cipher;
        std::size_t dataSize;
        std::size_t lengthByte;
        std::size_t apduSize;
    };
    const Row rows[] = {
        {SecureMessagingCipher::kAes, 2, 32, 37},  {SecureMessagingCipher::kDes, 2, 16, 21},
        {SecureMessagingCipher::kAes, 16, 48, 53}, {SecureMessagingCipher::kAes, 0, 16, 21},
        {SecureMessagingCipher::kDes, 0, 8, 13},   {SecureMessagingCipher::kDes, 32, 48, 53},
    };
    for (const Row& row : rows) {
        const Bytes data(row.dataSize, 0x31);
        const Bytes apdu = WrapSecureApdu(Bytes{0x84, 0xE2, 0x01, 0x01}, data, row.cipher,
                                          kSecureMessagingKey, challenge);
        EXPECT_EQ(apdu.size(), row.apduSize);
        EXPECT_EQ(apdu.at(4), row.lengthByte);
        const UnwrappedApdu unwrapped =
            UnwrapSecureApdu(apdu, row.cipher, kSecureMessagingKey, challenge);
        EXPECT_EQ(unwrapped.statusWord, kSwSuccess);
        EXPECT_EQ(unwrapped.data, data);
    }
}

TEST(SecureMessaging, RefusesTamperingWrongChallengeAndWrongLengths) {
    const Bytes challenge(8, 0x42);
    for (SecureMessagingCipher cipher :
         {SecureMessagingCipher::kAes, SecureMessagingCipher::kDes}) {
        const Bytes apdu = WrapSecureApdu(Bytes{0x46, 0xE2, 0x06, 0x00}, Bytes(16, 7), cipher,
                                          kSecureMessagingKey, challenge);
        for (std::size_t i = 0; i < apdu.size(); ++i) {
            if (i == 4) {
                continue;  // the length byte is a length fault, below
            }
            Bytes flipped = apdu;
            flipped[i] ^= 0x01;
            EXPECT_EQ(UnwrapSecureApdu(flipped, cipher, kSecureMessagingKey, challenge).statusWord,
                      kSwSecureMessagingError)
                << i;
        }
        EXPECT_EQ(UnwrapSecureApdu(apdu, cipher, kSecureMessagingKey, Bytes(8, 0x43)).statusWord,
                  kSwSecureMessagingError);
        Bytes shortened(apdu.begin(), apdu.end() - 1);
        EXPECT_EQ(UnwrapSecureApdu(shortened, cipher, kSecureMessagingKey, challenge).statusWord,
                  kSwWrongLength);
        Bytes misaligned = apdu;
        misaligned.insert(misaligned.begin() + 5, 0);
        misaligned[4]++;
        EXPECT_EQ(UnwrapSecureApdu(misaligned, cipher, kSecureMessagingKey, challenge).statusWord,
                  kSwWrongLength);
    }
}

TEST(LegacyApdu, PlainQueries) {
    LegacyHost legacy(16);
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x00, 0x00, 0x03}),
              (Bytes{16, 1, 0, 0x90, 0x00}));
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x02, 0x00, 0x00}), (Bytes{0, 0, 0x90, 0x00}));
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x04, 0x00, 0x00}), (Bytes{5, 0x90, 0x00}));
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x09, 0x00, 0x00}), (Bytes{0x6B, 0x00}));
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE9, 0x00, 0x00, 0x00}), (Bytes{0x6D, 0x00}));
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x55, 0xE3, 0x00, 0x00, 0x00}),
              (Bytes{0x01}));  // not an APDU
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3}), (Bytes{0x67, 0x00}));
    // CTAP2 models answer the version and failure-detail queries only.
    Config ctap;
    ctap.firmware = 18;
    KeyFixture modern(ctap);
    EXPECT_EQ(modern.host_.Cbor(Bytes{0x80, 0xE3, 0x00, 0x00, 0x03}),
              (Bytes{18, 3, 0, 0x90, 0x00}));
    EXPECT_EQ(modern.host_.Cbor(Bytes{0x80, 0xE3, 0x04, 0x00, 0x00}), (Bytes{5, 0x90, 0x00}));
    EXPECT_EQ(modern.host_.Cbor(Bytes{0x80, 0xE2, 0xFF, 0x00, 0x08}), (Bytes{0x6D, 0x00}));
    EXPECT_EQ(modern.host_.Cbor(Bytes{0x80, 0xE3, 0x03, 0x00, 0x00}), (Bytes{0x6B, 0x00}));
}

TEST(LegacyApdu, ChallengeServesOneCommand) {
    LegacyHost legacy(17);
    const Bytes challenge = legacy.Challenge();
    const Bytes apdu = WrapSecureApdu(Bytes{0x84, 0xE2, 0x04, 0x00}, {}, legacy.cipher(),
                                      kSecureMessagingKey, challenge);
    EXPECT_EQ(StatusWordOf(*legacy.host_.Cbor(apdu)), kSwSuccess);
    EXPECT_EQ(StatusWordOf(*legacy.host_.Cbor(apdu)), kSwSecurityNotSatisfied);  // replay
    EXPECT_NE(legacy.Challenge(), challenge);
    // A bad MAC spends the challenge too.
    Bytes forged = WrapSecureApdu(Bytes{0x84, 0xE2, 0x04, 0x00}, {}, legacy.cipher(),
                                  kSecureMessagingKey, Bytes(8, 0));
    EXPECT_EQ(StatusWordOf(*legacy.host_.Cbor(forged)), kSwSecureMessagingError);
    EXPECT_EQ(StatusWordOf(*legacy.host_.Cbor(forged)), kSwSecurityNotSatisfied);
}

class LegacyFirmware : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(LegacyFirmware, PinSetChangeRetriesAndBlock) {
    LegacyHost legacy(GetParam());
    const Bytes setPin = {0x46, 0xE2, 0x06, 0x00};
    const Bytes changePin = {0x46, 0xE2, 0x07, 0x00};
    const auto both = [](std::string_view a, std::string_view b) {
        Bytes data = PinHash(a);
        const Bytes second = PinHash(b);
        data.insert(data.end(), second.begin(), second.end());
        return data;
    };
    EXPECT_EQ(legacy.Sw(changePin, both("1234", "5678")), kSwConditionsNotSatisfied);
    EXPECT_EQ(legacy.Sw(setPin, Bytes(15, 1)), kSwWrongLength);
    EXPECT_EQ(legacy.Sw(setPin, PinHash("1234")), kSwSuccess);
    EXPECT_EQ(legacy.Sw(setPin, PinHash("9999")), kSwConditionsNotSatisfied);
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x02, 0x00, 0x00}), (Bytes{1, 0, 0x90, 0x00}));
    EXPECT_EQ(legacy.Sw(changePin, both("1234", "5678")), kSwSuccess);
    for (int left = 7; left >= 1; --left) {
        EXPECT_EQ(legacy.Sw(changePin, both("1234", "0000")), 0x63C0 | left);
    }
    EXPECT_EQ(legacy.Sw(changePin, both("1234", "0000")), kSwPinBlocked);
    EXPECT_EQ(legacy.Sw(changePin, both("5678", "0000")), kSwPinBlocked);
}

TEST_P(LegacyFirmware, EnrolmentIsPolledAndNeedsALiftBetweenSamples) {
    LegacyHost legacy(GetParam());
    const Bytes slot = {0x00, 0x03};
    const auto step = [&](std::uint8_t n) { return legacy.Sw(Bytes{0x84, 0xE2, 0x01, n}, slot); };
    EXPECT_EQ(step(1), kSwNoFinger);
    for (std::uint8_t n = 1; n <= 4; ++n) {
        legacy.key_.PlaceFinger(11);
        EXPECT_EQ(step(n), kSwSuccess) << int(n);
        EXPECT_EQ(step(n), kSwSuccess) << "finger still down";
        if (n < 4) {
            EXPECT_EQ(step(n + 1), kSwSuccess) << "held finger is no new sample";
        }
        legacy.key_.LiftFinger();
        EXPECT_EQ(step(n), kSwNoFinger);
    }
    EXPECT_EQ(step(5), kSwSuccess);
    EXPECT_EQ(step(1), kSwSlotOccupied);
    Bytes bitmap = legacy.Secure(Bytes{0x84, 0xE2, 0x04, 0x00}, {});
    ASSERT_EQ(bitmap.size(), 34U);
    EXPECT_EQ(bitmap[0], 0x08);
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x02, 0x00, 0x00}), (Bytes{0, 1, 0x90, 0x00}));

    // Verification polls: no finger, a stranger, the enrolled finger.
    const Bytes verify = {0x84, 0xE2, 0x02, 0x02};
    EXPECT_EQ(legacy.Sw(verify), kSwConditionsNotSatisfied);
    legacy.key_.PlaceFinger(12);
    EXPECT_EQ(legacy.Sw(verify), kSwNotVerified);
    EXPECT_EQ(legacy.Sw(verify), kSwConditionsNotSatisfied) << "the same touch is not judged twice";
    legacy.key_.PlaceFinger(11);
    EXPECT_EQ(legacy.Secure(verify, {}), (Bytes{0x00, 0x03, 0x90, 0x00}));

    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x03, 0x00}, slot), kSwSuccess);
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x03, 0x00}, slot), kSwSlotEmpty);
    EXPECT_TRUE(legacy.key_.SnapshotState().templates.empty());
}

// The demo answers every wait by itself; a polled enrolment must still see the sensor empty
// between two samples, or the host never counts the next one.
TEST(LegacyApdu, AutoTouchLiftsBetweenPolledSamples) {
    for (const int model : {1, 2}) {
        SCOPED_TRACE(model);
        LegacyHost legacy(17, model);
        legacy.key_.SetAutoTouch(AutoTouch{800, false});
        const Bytes slot = {0x00, 0x01};
        std::uint8_t sample = 1;
        bool liftSeen = false;
        for (int poll = 0; poll < 100 && sample <= 4; ++poll) {
            const std::uint16_t sw = legacy.Sw(Bytes{0x84, 0xE2, 0x01, sample}, slot);
            liftSeen = liftSeen || sw == kSwNoFinger;
            if (sw == kSwSuccess && liftSeen) {
                ++sample;
                liftSeen = false;
            }
            legacy.clock_.Advance(100);
        }
        EXPECT_EQ(sample, 5) << "samples counted";
        EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x01, 0x05}, slot), kSwSuccess);
        EXPECT_EQ(legacy.key_.SnapshotState().templates.size(), 1U);
    }
}

TEST_P(LegacyFirmware, EnrolmentRefusals) {
    LegacyHost legacy(GetParam());
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x01, 0x05}, Bytes{0, 1}), kSwConditionsNotSatisfied);
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x01, 0x03}, Bytes{0, 1}), kSwConditionsNotSatisfied);
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x01, 0x01}, Bytes{0, 200}), kSwNoSpace);
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x01, 0x01}, Bytes{1}), kSwWrongLength);
    EXPECT_EQ(legacy.Sw(Bytes{0x84, 0xE2, 0x06, 0x00}, Bytes(16, 0)), kSwWrongP1P2);
    EXPECT_EQ(legacy.Sw(Bytes{0x46, 0xE2, 0x04, 0x00}), kSwWrongP1P2);
}

INSTANTIATE_TEST_SUITE_P(DesAndAes, LegacyFirmware, ::testing::Values(16, 17, 18));

TEST(LegacyApdu, ResetOnlyInsidePlugWindow) {
    LegacyHost legacy(17);
    legacy.key_.EditState([](State& state) {
        state.pinHash = Bytes(16, 1);
        state.templates[4] = Template{"", 2};
    });
    legacy.Advance(10001);
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x03, 0x00, 0x00}), (Bytes{0x69, 0x85}));
    legacy.key_.Unplug();
    legacy.key_.Plug();
    legacy.host_.Init();
    EXPECT_EQ(legacy.host_.Cbor(Bytes{0x80, 0xE3, 0x03, 0x00, 0x00}), (Bytes{0x90, 0x00}));
    EXPECT_FALSE(legacy.key_.SnapshotState().pinSet());
    EXPECT_TRUE(legacy.key_.SnapshotState().templates.empty());
}

}  // namespace
}  // namespace kelvora::vkey::test
