// ClientPIN requests byte for byte, and what the operations make of the key's answers,
// against replayed exchanges. The key's side of the crypto is computed independently from
// what the host actually sent.
#include "ctap/client_pin.h"

#include <gmock/gmock.h>

#include <ostream>

#include "ctap/client_pin_request.h"
#include "ctap/status.h"
#include "replay_key.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::SizeIs;

// The COSE key the platform sends, up to the x coordinate's bytes.
const Bytes kCoseKeyHead = Hex("A5 01 02 03 38 18 20 01 21 58 20");

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// The platform key as the request carries it: COSE head, x, "22 58 20", y.
Bytes CoseKeyOf(const SentMessage& request, std::size_t offset) {
    return Slice(request.payload, offset, kCoseKeyHead.size() + 32 + 3 + 32);
}

Bytes ExpectedCoseKey(const Bytes& cose) {
    return Concat({kCoseKeyHead, Slice(cose, kCoseKeyHead.size(), 32), Hex("22 58 20"),
                   Slice(cose, kCoseKeyHead.size() + 35, 32)});
}

Bytes PaddedPin(const std::string& pin) {
    Bytes padded(64, 0);
    std::copy(pin.begin(), pin.end(), padded.begin());
    return padded;
}

Bytes PinHashOf(const std::string& pin) {
    const auto hash = pin_crypto::PinHash(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(pin.data()), pin.size()));
    return Bytes(hash.span().begin(), hash.span().end());
}

Bytes Mac(const pin_crypto::SharedSecret& secret, const Bytes& message) {
    const pin_crypto::PinAuth auth = pin_crypto::Authenticate(secret.span(), message);
    return Bytes(auth.begin(), auth.end());
}

class ClientPinTest : public SessionTest {
  protected:
    void SetUp() override { AttachWithChannel(); }

    void QueueAnswer(const Bytes& answer) { key->QueueMessage(kChannel, ctaphid::kCbor, answer); }
    std::vector<SentMessage> Sent() const { return SentMessages(*key); }
    Bytes Token() const {
        const SecretBytes token = keyState.pinToken.Copy();
        return Bytes(token.span().begin(), token.span().end());
    }
};

TEST_F(ClientPinTest, GetRetriesAndKeyAgreementRequestsInBothCommandForms) {
    for (const bool vendor : {false, true}) {
        keyState.vendorCommandSet = vendor;
        const std::uint8_t command = vendor ? 0x46 : 0x06;
        key->written.clear();
        QueueAnswer(Hex("00 A1 03 08"));
        EXPECT_EQ(GetPinRetries(device), 8U);
        QueueAnswer(KeyAgreementAnswer());
        pin_crypto::KeyAgreement agreement;
        EXPECT_EQ(RequestKeyAgreement(device, agreement), 0);

        const auto sent = Sent();
        ASSERT_THAT(sent, SizeIs(2));
        EXPECT_EQ(sent[0].command, ctaphid::kCbor);
        EXPECT_EQ(sent[0].payload, Concat({{command}, Hex("A2 01 01 02 01")}));
        EXPECT_EQ(sent[1].payload, Concat({{command}, Hex("A2 01 01 02 02")}));
        EXPECT_THAT(KeySideSecret(Bytes(agreement.platformX.begin(), agreement.platformX.end()),
                                  Bytes(agreement.platformY.begin(), agreement.platformY.end()))
                        .span(),
                    ElementsAreArray(agreement.sharedSecret.span()))
            << "both sides derive the same secret";
    }
}

// Only member 3 of a success is a count; anything else must not read as 0, a locked key.
TEST_F(ClientPinTest, RetriesComeOnlyFromMemberThreeOfASuccess) {
    struct Case {
        const char* answer;
        int status;
        std::uint32_t retries;
    };
    const Case cases[] = {
        {"00 A1 03 18 FF", 0x00, 255}, {"00 A1 03 00", 0x00, 0}, {"00 A1 01 05", 0x12, 99},
        {"00 A1 03 20", 0x12, 99},     {"00", 0x12, 99},         {"31", 0x31, 99},
    };
    for (const Case& c : cases) {
        QueueAnswer(Hex(c.answer));
        std::uint32_t retries = 99;
        EXPECT_EQ(GetPinRetries(device, retries), c.status) << c.answer;
        EXPECT_EQ(retries, c.retries) << c.answer;
    }
    EXPECT_EQ(GetPinRetries(device), std::nullopt) << "no answer at all";
}

TEST_F(ClientPinTest, SetPinSendsPaddedPinUnderTheFreshSecret) {
    QueueAnswer(KeyAgreementAnswer());
    QueueAnswer({0x00});
    EXPECT_EQ(SetPin(device, "1234"), 0);

    const auto sent = Sent();
    ASSERT_THAT(sent, SizeIs(2));
    const Bytes& request = sent[1].payload;
    ASSERT_EQ(request.size(), 7 + 78 + 2 + 16 + 3 + 64);
    EXPECT_EQ(Slice(request, 0, 7), Hex("06 A5 01 01 02 03 03"));
    EXPECT_EQ(CoseKeyOf(sent[1], 7), ExpectedCoseKey(CoseKeyOf(sent[1], 7)));
    EXPECT_EQ(Slice(request, 85, 2), Hex("04 50"));
    EXPECT_EQ(Slice(request, 103, 3), Hex("05 58 40"));

    const pin_crypto::SharedSecret secret = KeySideSecret(sent[1]);
    const Bytes newPinEnc = Slice(request, 106, 64);
    EXPECT_EQ(DecryptWith(secret, newPinEnc), PaddedPin("1234"));
    EXPECT_EQ(Slice(request, 87, 16), Mac(secret, newPinEnc));
}

TEST_F(ClientPinTest, SetPinReturnsTheKeysStatusAndRefusesDataItDidNotExpect) {
    for (const auto& [answer, status] :
         {std::pair{Hex("02"), 0x02}, std::pair{Hex("35"), 0x35}, std::pair{Hex("00 A0"), 0x03}}) {
        QueueAnswer(KeyAgreementAnswer());
        QueueAnswer(answer);
        EXPECT_EQ(SetPin(device, "123456"), status);
    }
}

TEST_F(ClientPinTest, ChangePinCoversNewPinAndCurrentHashWithOneMac) {
    keyState.vendorCommandSet = true;
    QueueAnswer(KeyAgreementAnswer());
    QueueAnswer({0x31});
    EXPECT_EQ(ChangePin(device, "1234", "テスト5678"), 0x31);

    const auto sent = Sent();
    ASSERT_THAT(sent, SizeIs(2));
    const Bytes& request = sent[1].payload;
    ASSERT_EQ(request.size(), 7 + 78 + 2 + 16 + 3 + 64 + 2 + 16);
    EXPECT_EQ(Slice(request, 0, 7), Hex("46 A6 01 01 02 04 03"));
    EXPECT_EQ(Slice(request, 85, 2), Hex("04 50"));
    EXPECT_EQ(Slice(request, 103, 3), Hex("05 58 40"));
    EXPECT_EQ(Slice(request, 170, 2), Hex("06 50"));

    const pin_crypto::SharedSecret secret = KeySideSecret(sent[1]);
    const Bytes newPinEnc = Slice(request, 106, 64);
    const Bytes pinHashEnc = Slice(request, 172, 16);
    EXPECT_EQ(DecryptWith(secret, newPinEnc), PaddedPin("テスト5678"));
    EXPECT_EQ(DecryptWith(secret, pinHashEnc), PinHashOf("1234"));
    EXPECT_EQ(Slice(request, 87, 16), Mac(secret, Concat({newPinEnc, pinHashEnc})));
}

TEST_F(ClientPinTest, GetPinTokenDecryptsWhateverLengthTheKeySends) {
    for (const std::size_t length : {32U, 16U}) {
        key->written.clear();
        const Bytes tokenEnc(length, static_cast<std::uint8_t>(length));
        QueueAnswer(KeyAgreementAnswer());
        QueueAnswer(PinTokenAnswer(tokenEnc));
        EXPECT_EQ(GetPinToken(device, "1234"), 0);

        const auto sent = Sent();
        ASSERT_THAT(sent, SizeIs(2));
        const Bytes& request = sent[1].payload;
        ASSERT_EQ(request.size(), 7 + 78 + 2 + 16);
        EXPECT_EQ(Slice(request, 0, 7), Hex("06 A4 01 01 02 05 03"));
        EXPECT_EQ(CoseKeyOf(sent[1], 7), ExpectedCoseKey(CoseKeyOf(sent[1], 7)));
        EXPECT_EQ(Slice(request, 85, 2), Hex("06 50"));
        const pin_crypto::SharedSecret secret = KeySideSecret(sent[1]);
        EXPECT_EQ(DecryptWith(secret, Slice(request, 87, 16)), PinHashOf("1234"));
        EXPECT_EQ(Token(), DecryptWith(secret, tokenEnc));
    }
}

// What each getPINToken answer leaves in pinToken, for GetPinToken and for the refresh
// after a PIN change, starting from a token already held.
struct TokenCase {
    const char* name;
    Bytes answer;
    int getResult;
    bool getKeepsOld;
    int refreshResult;
    bool refreshEmpties;
    friend void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }
};

class PinTokenAnswers : public ClientPinTest, public ::testing::WithParamInterface<TokenCase> {};

TEST_P(PinTokenAnswers, LeaveTheTokenAsTheOperationPromises) {
    const TokenCase& c = GetParam();
    const Bytes old(32, 0xAA);

    keyState.pinToken.Set(old);
    QueueAnswer(KeyAgreementAnswer());
    QueueAnswer(c.answer);
    EXPECT_EQ(GetPinToken(device, "1234"), c.getResult);
    if (c.getKeepsOld) {
        EXPECT_EQ(Token(), old);
    }

    keyState.pinToken.Set(old);
    QueueAnswer(KeyAgreementAnswer());
    QueueAnswer(c.answer);
    EXPECT_EQ(RefreshPinToken(device, "1234"), c.refreshResult);
    if (c.refreshEmpties) {
        EXPECT_TRUE(keyState.pinToken.Empty());
    } else if (c.refreshResult != 0) {
        EXPECT_EQ(Token(), old);
    } else {
        EXPECT_THAT(Token(), SizeIs(32));
        EXPECT_NE(Token(), old);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PinTokenAnswers,
    ::testing::Values(
        TokenCase{"WrongPin", Hex("31"), 0x31, true, 0, true},
        TokenCase{"Blocked", Hex("32"), 0x32, true, 0, true},
        TokenCase{"AuthBlocked", Hex("34"), 0x34, true, 0, true},
        TokenCase{"NoToken", Hex("00 A1 01 01"), kNoPinToken, true, 0, true},
        TokenCase{"EmptyToken", Hex("00 A1 02 40"), kNoPinToken, true, 0, true},
        TokenCase{"TokenNotBytes", Hex("00 A1 02 61 41"), kNoPinToken, true, 0, true},
        TokenCase{"Good", PinTokenAnswer(Bytes(32, 7)), 0, false, 0, false},
        // Not a whole number of AES blocks: CBC cannot decrypt it, and nothing is kept.
        TokenCase{"PartialBlock", PinTokenAnswer(Bytes(17, 7)), kNoPinToken, true, kNoPinToken,
                  false},
        TokenCase{"ShortBlock", PinTokenAnswer(Bytes(15, 7)), kNoPinToken, true, kNoPinToken,
                  false},
        // Whole blocks, but no token of protocol one.
        TokenCase{"ThreeBlocks", PinTokenAnswer(Bytes(48, 7)), kNoPinToken, true, kNoPinToken,
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// A key agreement that fails ends every operation before its second request.
struct AgreementCase {
    const char* name;
    Bytes answer;
    int result;  // 1: any negative mbed TLS error
    friend void PrintTo(const AgreementCase& c, std::ostream* os) { *os << c.name; }
};

class FailedAgreement : public ClientPinTest,
                        public ::testing::WithParamInterface<AgreementCase> {};

TEST_P(FailedAgreement, StopsEveryOperationAfterTheFirstRequest) {
    const AgreementCase& c = GetParam();
    const std::vector<std::function<int()>> operations = {
        [&] { return SetPin(device, "1234"); },
        [&] { return ChangePin(device, "1234", "5678"); },
        [&] { return GetPinToken(device, "1234"); },
        [&] { return RefreshPinToken(device, "1234"); },
        [&] {
            pin_crypto::KeyAgreement agreement;
            return RequestKeyAgreement(device, agreement);
        },
    };
    const Bytes old(16, 0x55);
    for (const auto& operation : operations) {
        key->written.clear();
        keyState.pinToken.Set(old);
        QueueAnswer(c.answer);
        const int result = operation();
        if (c.result == 1) {
            EXPECT_LT(result, 0);
        } else {
            EXPECT_EQ(result, c.result);
        }
        EXPECT_THAT(Sent(), SizeIs(1));
        EXPECT_EQ(Token(), old);
    }
}

const Bytes kShortX = Slice(kKeyX, 0, 31);
Bytes OffCurveY() {
    Bytes y = kKeyY;
    y[31] ^= 1;
    return y;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FailedAgreement,
    ::testing::Values(
        AgreementCase{"ErrorStatus", Hex("31"), 0x12},
        AgreementCase{"NoMemberOne", Hex("00 A1 02 01"), 0x12},
        AgreementCase{"NoX", Concat({Hex("00 A1 01 A1 22 58 20"), Bytes(32, 1)}), 0x12},
        AgreementCase{"NoY", Concat({Hex("00 A1 01 A1 21 58 20"), Bytes(32, 1)}), 0x12},
        AgreementCase{"EmptyX", KeyAgreementAnswer(Bytes{}, kKeyY), 0x12},
        // Shorter coordinates are refused rather than read past their end.
        AgreementCase{"ShortX", KeyAgreementAnswer(kShortX, kKeyY), 0x12},
        AgreementCase{"ShortY", KeyAgreementAnswer(kKeyX, Bytes(31, 1)), 0x12},
        AgreementCase{"LongY", KeyAgreementAnswer(kKeyX, Concat({kKeyY, {0}})), 0x12},
        AgreementCase{"NotEc2", KeyAgreementAnswer(kKeyX, kKeyY, 3), 0x12},
        AgreementCase{"NotEcdhEs", KeyAgreementAnswer(kKeyX, kKeyY, 2, -7), 0x12},
        AgreementCase{"NotP256", KeyAgreementAnswer(kKeyX, kKeyY, 2, -25, 2), 0x12},
        AgreementCase{"OffCurve", KeyAgreementAnswer(kKeyX, OffCurveY()), 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A coordinate longer than 32 bytes is no P-256 coordinate: refused, not cut to size.
TEST(ClientPinParsing, OnlyCoordinatesOfExactly32BytesAreRead) {
    Bytes longX = kKeyX;
    longX.push_back(0xEE);
    std::array<std::uint8_t, 32> x{};
    std::array<std::uint8_t, 32> y{};
    const Bytes exact = KeyAgreementAnswer(kKeyX, kKeyY);
    ASSERT_TRUE(
        ParseKeyAgreement(exact.data() + 1, static_cast<std::uint32_t>(exact.size() - 1), x, y));
    EXPECT_EQ(Bytes(x.begin(), x.end()), kKeyX);
    EXPECT_EQ(Bytes(y.begin(), y.end()), kKeyY);
    const Bytes answer = KeyAgreementAnswer(longX, kKeyY);
    EXPECT_FALSE(
        ParseKeyAgreement(answer.data() + 1, static_cast<std::uint32_t>(answer.size() - 1), x, y));
}

// The buffers PIN material passes through wipe themselves: once one is gone, its storage
// holds zeros only.
TEST(ClientPinSecrets, PaddedPinAndHashStorageIsZeroAfterUse) {
    const std::string pin = "12345678";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(pin.data()),
                                              pin.size());
    alignas(Secret<64>) std::array<std::uint8_t, sizeof(Secret<64>)> storage{};
    auto* padded = new (storage.data()) Secret<64>(pin_crypto::PadPin(bytes));
    ASSERT_EQ((*padded)[0], '1');
    padded->~Secret<64>();
    EXPECT_EQ(storage, (std::array<std::uint8_t, sizeof(Secret<64>)>{}));

    alignas(Secret<16>) std::array<std::uint8_t, sizeof(Secret<16>)> hashStorage{};
    auto* hash = new (hashStorage.data()) Secret<16>(pin_crypto::PinHash(bytes));
    hash->~Secret<16>();
    EXPECT_EQ(hashStorage, (std::array<std::uint8_t, sizeof(Secret<16>)>{}));
}

}  // namespace
}  // namespace kelvora::test
