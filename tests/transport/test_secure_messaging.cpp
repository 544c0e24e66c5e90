// Building vendor APDUs: plain byte-4 rules, secure-messaging lengths, vectors computed by
// an independent implementation (tests/data/transport/make_sm_vectors.py), and the
// session's TransmitSecureApdu.
#include <gmock/gmock.h>

#include <fstream>
#include <sstream>

#include "session_fixture.h"
#include "transport/apdu.h"
#include "transport/secure_messaging.h"

namespace kelvora::test {
namespace {

const std::array<std::uint8_t, kSmChallengeSize> kZeroChallenge{};
const std::array<std::uint8_t, kSmChallengeSize> kChallenge = {1, 2, 3, 4, 5, 6, 7, 8};

Bytes Build(const ApduHeader& header, std::uint8_t mode, SmCipher cipher,
            std::uint32_t keyLength = kSmKeySize,
            const std::array<std::uint8_t, kSmChallengeSize>& challenge = kChallenge) {
    Bytes out(kApduBufferSize);
    const std::size_t length =
        BuildApdu(header, mode, kSecureMessagingKey.data(), keyLength, challenge, cipher, out);
    out.resize(length);
    return out;
}

TEST(PlainApdu, ByteFourIsLeOnlyWhenP1IsFF) {
    const Bytes data = {1, 2, 3};
    struct Case {
        ApduHeader header;
        Bytes expected;
    };
    const Case cases[] = {
        {{0x80, 0xE2, 0xFF, 0x00, nullptr, 0, 8}, Hex("80 E2 FF 00 08")},
        {{0x80, 0xE2, 0xFF, 0x00, nullptr, 0, 0x1234}, Hex("80 E2 FF 00 34")},
        {{0x80, 0xE3, 0x02, 0x00, nullptr, 0, 2}, Hex("80 E3 02 00 00")},
        {{0x80, 0xE3, 0x04, 0x00, data.data(), 3, 1}, Hex("80 E3 04 00 00")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Build(c.header, kApduPlain, SmCipher::kAes), c.expected);
        EXPECT_EQ(Build(c.header, kApduPlain, SmCipher::kDes, 0), c.expected) << "no key needed";
    }
}

struct LengthCase {
    SmCipher cipher;
    std::uint32_t dataBytes;
    std::size_t byteFour;
    std::size_t apduLength;
};

class SecureLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(SecureLengthTest, PadsAndCountsCipherTextAndMac) {
    const LengthCase c = GetParam();
    const Bytes data(c.dataBytes, 0x33);
    // P1 0xFF and a large Le must not leak into the secure APDU.
    const ApduHeader header{0x84, 0xE2, 0xFF, 0x00, data.data(), c.dataBytes, 0x20};
    const Bytes apdu = Build(header, kApduSecure, c.cipher);
    ASSERT_EQ(apdu.size(), c.apduLength);
    EXPECT_EQ(apdu[4], c.byteFour);
    EXPECT_EQ(Bytes(apdu.begin(), apdu.begin() + 4), Hex("84 E2 FF 00"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SecureLengthTest,
    ::testing::Values(LengthCase{SmCipher::kAes, 0, 16, 21}, LengthCase{SmCipher::kDes, 0, 8, 13},
                      LengthCase{SmCipher::kAes, 2, 32, 37}, LengthCase{SmCipher::kDes, 2, 16, 21},
                      LengthCase{SmCipher::kAes, 15, 32, 37},
                      LengthCase{SmCipher::kAes, 16, 48, 53}, LengthCase{SmCipher::kDes, 8, 24, 29},
                      LengthCase{SmCipher::kAes, 32, 64, 69},
                      LengthCase{SmCipher::kDes, 32, 48, 53},
                      LengthCase{SmCipher::kAes, 223, 240, 245},
                      LengthCase{SmCipher::kDes, 239, 248, 253}),
    [](const auto& info) {
        return std::string(info.param.cipher == SmCipher::kAes ? "Aes" : "Des") +
               std::to_string(info.param.dataBytes);
    });

TEST(SecureApdu, RefusesWhatCannotBeBuilt) {
    const Bytes data(240, 0x11);
    const ApduHeader small{0x46, 0xE2, 0x06, 0x00, data.data(), 16, 0};
    EXPECT_THAT(Build(small, kApduSecure, SmCipher::kAes, 15), ::testing::IsEmpty());
    EXPECT_THAT(Build(small, kApduSecure, SmCipher::kDes, 24), ::testing::IsEmpty());
    EXPECT_THAT(Build(small, 1, SmCipher::kAes), ::testing::IsEmpty()) << "unknown mode";
    Bytes out(kApduBufferSize);
    EXPECT_EQ(BuildApdu(small, kApduSecure, nullptr, 16, kChallenge, SmCipher::kAes, out), 0U);
    // Lengths that would overflow the one-byte length field.
    const ApduHeader aesTooLong{0x46, 0xE2, 0x07, 0x00, data.data(), 224, 0};
    const ApduHeader desTooLong{0x46, 0xE2, 0x07, 0x00, data.data(), 240, 0};
    EXPECT_THAT(Build(aesTooLong, kApduSecure, SmCipher::kAes), ::testing::IsEmpty());
    EXPECT_THAT(Build(desTooLong, kApduSecure, SmCipher::kDes), ::testing::IsEmpty());
    const ApduHeader missingData{0x84, 0xE2, 0x03, 0x00, nullptr, 2, 0};
    EXPECT_THAT(Build(missingData, kApduSecure, SmCipher::kAes), ::testing::IsEmpty());
}

TEST(SecureApdu, MatchesIndependentlyComputedVectors) {
    std::ifstream in(KELVORA_TEST_DATA_DIR "/transport/sm_vectors.txt");
    ASSERT_TRUE(in) << "vectors missing";
    int checked = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string cipher, key, header, data, challenge, expected;
        fields >> cipher >> key >> header >> data >> challenge >> expected;
        const Bytes keyBytes = Hex(key);
        const Bytes headerBytes = Hex(header);
        const Bytes dataBytes = data == "-" ? Bytes{} : Hex(data);
        std::array<std::uint8_t, kSmChallengeSize> iv{};
        const Bytes challengeBytes = Hex(challenge);
        std::copy(challengeBytes.begin(), challengeBytes.end(), iv.begin());
        const ApduHeader apduHeader{headerBytes[0],
                                    headerBytes[1],
                                    headerBytes[2],
                                    headerBytes[3],
                                    dataBytes.data(),
                                    static_cast<std::uint32_t>(dataBytes.size()),
                                    0x20};
        Bytes out(kApduBufferSize);
        const std::size_t length = BuildApdu(
            apduHeader, kApduSecure, keyBytes.data(), static_cast<std::uint32_t>(keyBytes.size()),
            iv, cipher == "aes" ? SmCipher::kAes : SmCipher::kDes, out);
        out.resize(length);
        EXPECT_EQ(out, Hex(expected)) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 36);
}

TEST(SecureMessagingPadding, AddsOneToABlockOfPadding) {
    for (const std::size_t block : {8U, 16U}) {
        for (std::size_t length = 0; length <= 2 * block; ++length) {
            Bytes buffer(PaddedLength(length, block), 0xAA);
            const std::size_t padded = PadMethod2(buffer, length, block);
            ASSERT_EQ(padded % block, 0U);
            ASSERT_GT(padded, length);
            ASSERT_LE(padded, length + block);
            EXPECT_EQ(buffer[length], 0x80);
            EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(length) + 1, buffer.end(),
                                    [](std::uint8_t b) { return b == 0; }));
        }
    }
    Bytes tooSmall(8);
    EXPECT_EQ(PadMethod2(tooSmall, 8, 8), 0U);
}

class SecureTransmitTest : public SessionTest {
  protected:
    // Sends the PIN-change command twice, each with the challenge the key hands out.
    Bytes SendWithChallenge(const Bytes& challenge) {
        key->QueueMessage(kChannel, ctaphid::kCbor, {0x90, 0x00});
        const std::size_t before = key->written.size();
        const Bytes pinData(32, 0x42);
        device.SetApduHeader(0x46, 0xE2, 0x07, 0x00, pinData.data(), 32, 0);
        EXPECT_EQ(device.TransmitSecureApdu(nullptr, nullptr, kSecureMessagingKey.data(), 16,
                                            kApduSecure, challenge.data()),
                  0x9000);
        std::size_t first = before;
        if (key->written.at(first)[5] == ctaphid::kInit) {
            ++first;
        }
        const Bytes& report = key->written.at(first);
        const std::size_t length = (report[6] << 8) | report[7];
        Bytes apdu(report.begin() + 8, report.end());
        for (std::size_t i = first + 1; i < key->written.size(); ++i) {
            apdu.insert(apdu.end(), key->written[i].begin() + 6, key->written[i].end());
        }
        apdu.resize(length);
        return apdu;
    }
};

TEST_F(SecureTransmitTest, FreshChallengeGivesFreshCipherTextAndMac) {
    AttachWithChannel(kLegacyModel);
    device.SetSecureMessagingAes(true);
    const Bytes first = SendWithChallenge(Hex("0102030405060708"));
    const Bytes second = SendWithChallenge(Hex("1112131415161718"));
    ASSERT_EQ(first.size(), 5U + 48 + 16);
    ASSERT_EQ(second.size(), first.size());
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 5), Bytes(second.begin(), second.begin() + 5));
    EXPECT_NE(Bytes(first.begin() + 5, first.begin() + 21),
              Bytes(second.begin() + 5, second.begin() + 21));
    EXPECT_NE(Bytes(first.end() - 16, first.end()), Bytes(second.end() - 16, second.end()));
}

TEST_F(SecureTransmitTest, UsesTheCipherChosenAtConnection) {
    AttachWithChannel(kLegacyModel);
    EXPECT_EQ(SendWithChallenge(Hex("0102030405060708")).size(), 5U + 40 + 8) << "DES";
}

TEST_F(SecureTransmitTest, ChallengeRequestIsPlainAndWrongKeyLengthSendsNothing) {
    AttachWithChannel(kLegacyModel);
    key->QueueMessage(kChannel, ctaphid::kCbor, Hex("0102030405060708 9000"));
    device.SetApduHeader(0x80, 0xE2, 0xFF, 0x00, nullptr, 0, 8);
    std::array<std::uint8_t, 8> challenge{};
    std::uint32_t length = challenge.size();
    EXPECT_EQ(device.TransmitSecureApdu(challenge.data(), &length, nullptr, 0, kApduPlain, nullptr),
              0x9000);
    const std::vector<Bytes> writes = MessageWrites();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_EQ(Bytes(writes[0].begin() + 6, writes[0].begin() + 13), Hex("0005 80E2FF0008"));
    EXPECT_EQ(Bytes(challenge.begin(), challenge.end()), Hex("0102030405060708"));

    const std::size_t writesBefore = key->written.size();
    device.SetApduHeader(0x84, 0xE2, 0x04, 0x00, nullptr, 0, 32);
    EXPECT_EQ(device.TransmitSecureApdu(nullptr, nullptr, kSecureMessagingKey.data(), 8,
                                        kApduSecure, challenge.data()),
              kSwBuildFailure);
    EXPECT_EQ(key->written.size(), writesBefore);
}

TEST_F(SecureTransmitTest, MissingChallengeMeansZeros) {
    AttachWithChannel(kLegacyModel);
    const Bytes withoutChallenge = [&] {
        key->QueueMessage(kChannel, ctaphid::kCbor, {0x90, 0x00});
        device.SetApduHeader(0x84, 0xE2, 0x04, 0x00, nullptr, 0, 32);
        device.TransmitSecureApdu(nullptr, nullptr, kSecureMessagingKey.data(), 16, kApduSecure,
                                  nullptr);
        const Bytes& report = key->written.back();
        return Bytes(report.begin() + 8, report.begin() + 8 + 13);
    }();
    const ApduHeader header{0x84, 0xE2, 0x04, 0x00, nullptr, 0, 32};
    EXPECT_EQ(withoutChallenge, Build(header, kApduSecure, SmCipher::kDes, 16, kZeroChallenge));
}

}  // namespace
}  // namespace kelvora::test
