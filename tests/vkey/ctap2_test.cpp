#include <gtest/gtest.h>

#include "key_fixture.h"
#include "vkey/sample_passkeys.h"

namespace kelvora::vkey::test {
namespace {

constexpr std::uint8_t kGetInfo = 0x04;
constexpr std::uint8_t kClientPin = 0x06;
constexpr std::uint8_t kReset = 0x07;
constexpr std::uint8_t kMakeCredential = 0x01;
constexpr std::uint8_t kGetAssertion = 0x02;

class Ctap2Test : public ::testing::Test, public KeyFixture {
  public:
    explicit Ctap2Test(Config config = {}) : KeyFixture(config) {}

    const CborItem* Option(const std::optional<CborItem>& info, std::string_view name) {
        const CborItem* options = info ? info->Find(4) : nullptr;
        return options != nullptr ? options->Find(name) : nullptr;
    }

    void Enrol(std::uint16_t slot, int finger) {
        key_.EditState([&](State& state) { state.templates[slot] = Template{"", finger}; });
    }
};

TEST_F(Ctap2Test, GetInfoReportsPinAndFingerprintOptions) {
    std::optional<CborItem> info = BodyOf(host_.Cbor(Message(kGetInfo)));
    ASSERT_TRUE(info);
    ASSERT_NE(Option(info, "clientPin"), nullptr);
    EXPECT_FALSE(Option(info, "clientPin")->boolean());
    EXPECT_FALSE(Option(info, "uv")->boolean());
    ASSERT_NE(Option(info, "userVerificationMgmtPreview"), nullptr);
    EXPECT_EQ(Option(info, "bioEnroll"), nullptr);
    ASSERT_NE(info->Find(6), nullptr);
    EXPECT_EQ(info->Find(6)->items().at(0).integer(), 1);

    PinHost pin(host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    Enrol(0, 7);
    info = BodyOf(host_.Cbor(Message(kGetInfo)));
    EXPECT_TRUE(Option(info, "clientPin")->boolean());
    EXPECT_TRUE(Option(info, "uv")->boolean());
}

TEST_F(Ctap2Test, CommandBytesFollowTheFirmware) {
    struct Row {
        std::uint8_t firmware;
        std::uint8_t command;
        std::uint8_t status;
    };
    const Row rows[] = {
        {16, 0x04, 0x00}, {17, 0x04, 0x00}, {17, 0x44, 0x01},
        {18, 0x44, 0x00}, {18, 0x04, 0x00}, {18, 0x50, 0x2C},  // enumerate with nothing enrolled
        {17, 0x50, 0x01}, {17, 0x40, 0x2C},
    };
    for (const Row& row : rows) {
        Config config;
        config.firmware = row.firmware;
        KeyFixture fixture(config);
        std::optional<CborItem> body;
        if (row.command == 0x50 || row.command == 0x40) {
            body = CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(4))});
        }
        EXPECT_EQ(StatusOf(fixture.host_.Cbor(Message(row.command, body))), row.status)
            << int(row.firmware) << " " << int(row.command);
    }
}

TEST_F(Ctap2Test, PinLifecycle) {
    PinHost pin(host_);
    Bytes token;
    EXPECT_EQ(pin.GetToken("1234", token), 0x35);  // no PIN yet
    EXPECT_EQ(pin.SetPin("123"), 0x37);            // too short
    EXPECT_EQ(pin.SetPin("1234"), 0x00);
    EXPECT_EQ(pin.SetPin("5678"), 0x33);  // a second setPIN is refused
    EXPECT_EQ(pin.Retries(), 8);
    ASSERT_EQ(pin.GetToken("1234", token), 0x00);
    EXPECT_EQ(token.size(), 32U);
    EXPECT_EQ(pin.ChangePin("1234", "abcdef"), 0x00);
    EXPECT_EQ(pin.GetToken("1234", token), 0x31);
    EXPECT_EQ(pin.Retries(), 7);
    Bytes newToken;
    EXPECT_EQ(pin.GetToken("abcdef", newToken), 0x00);
    EXPECT_NE(newToken, token);
    EXPECT_EQ(pin.Retries(), 8);
    const State state = key_.SnapshotState();
    Bytes expected = Sha256(Bytes{'a', 'b', 'c', 'd', 'e', 'f'});
    expected.resize(16);
    EXPECT_EQ(state.pinHash, expected);
}

TEST_F(Ctap2Test, ThreeWrongPinsBlockUntilReplugAndEightBlockForGood) {
    PinHost pin(host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    Bytes token;
    const std::uint8_t expected[] = {0x31, 0x31, 0x34, 0x34};
    for (std::uint8_t status : expected) {
        EXPECT_EQ(pin.GetToken("0000", token), status);
    }
    EXPECT_EQ(pin.Retries(), 5);                   // the refusal after the block counted nothing
    EXPECT_EQ(pin.GetToken("1234", token), 0x34);  // even the right PIN, until re-plugged
    key_.Unplug();
    key_.Plug();
    host_.Init();
    EXPECT_EQ(pin.GetToken("1234", token), 0x00);
    EXPECT_EQ(pin.Retries(), 8);

    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(pin.GetToken("0000", token), 0x31);
        EXPECT_EQ(pin.ChangePin("0000", "9999"), 0x31);
        key_.Unplug();
        key_.Plug();
        host_.Init();
    }
    EXPECT_EQ(pin.Retries(), 2);
    EXPECT_EQ(pin.GetToken("0000", token), 0x31);
    EXPECT_EQ(pin.GetToken("0000", token), 0x32);
    EXPECT_EQ(pin.Retries(), 0);
    EXPECT_EQ(pin.GetToken("1234", token), 0x32);
}

TEST_F(Ctap2Test, ClientPinRefusesMalformedRequests) {
    const std::pair<const char*, Bytes> rows[] = {
        {"not CBOR", {kClientPin, 0xA1}},
        {"no protocol", Message(kClientPin, CborItem::Map({IntPair(2, CborItem::Int(1))}))},
        {"protocol two", Message(kClientPin, CborItem::Map({IntPair(1, CborItem::Int(2)),
                                                            IntPair(2, CborItem::Int(1))}))},
        {"unknown subcommand", Message(kClientPin, CborItem::Map({IntPair(1, CborItem::Int(1)),
                                                                  IntPair(2, CborItem::Int(9))}))},
        {"setPIN without key",
         Message(kClientPin,
                 CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(3)),
                                IntPair(4, CborItem::ByteString(Bytes(16))),
                                IntPair(5, CborItem::ByteString(Bytes(64)))}))},
    };
    const std::uint8_t expected[] = {0x12, 0x14, 0x02, 0x3E, 0x14};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(StatusOf(host_.Cbor(rows[i].second)), expected[i]) << rows[i].first;
    }
    // A platform key that is not on the curve.
    PinHost pin(host_);
    ASSERT_TRUE(pin.Agree());
    const Bytes enc = pin.PaddedPinEnc("1234");
    const CborItem badKey = CborItem::Map(
        {IntPair(1, CborItem::Int(2)), IntPair(3, CborItem::Int(-25)),
         IntPair(-1, CborItem::Int(1)), IntPair(-2, CborItem::ByteString(Bytes(32, 1))),
         IntPair(-3, CborItem::ByteString(Bytes(32, 2)))});
    EXPECT_EQ(StatusOf(host_.Cbor(Message(
                  kClientPin, CborItem::Map({IntPair(1, CborItem::Int(1)),
                                             IntPair(2, CborItem::Int(3)), IntPair(3, badKey),
                                             IntPair(4, CborItem::ByteString(pin.Auth(enc))),
                                             IntPair(5, CborItem::ByteString(enc))})))),
              0x02);
    // A pinAuth that does not match.
    EXPECT_EQ(
        StatusOf(host_.Cbor(Message(
            kClientPin, CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(3)),
                                       IntPair(3, pin.PlatformKey()),
                                       IntPair(4, CborItem::ByteString(Bytes(16, 0))),
                                       IntPair(5, CborItem::ByteString(enc))})))),
        0x33);
    EXPECT_FALSE(key_.SnapshotState().pinSet());
}

TEST_F(Ctap2Test, ResetNeedsTheWindowAndATouch) {
    PinHost pin(host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    Enrol(3, 7);
    key_.EditState([](State& state) { AddSamplePasskeys(state, 2); });
    // No touch: the key gives up after its presence time-out, keep-aliving meanwhile.
    std::optional<Bytes> reply = Waiting(Message(kReset), [&] { Advance(30000); });
    EXPECT_EQ(StatusOf(reply), 0x2F);
    EXPECT_GE(lastKeepalives_, 250);
    EXPECT_TRUE(key_.SnapshotState().pinSet());
    // Outside the 10 s window: refused at once.
    EXPECT_EQ(StatusOf(host_.Cbor(Message(kReset))), 0x30);
    key_.Unplug();
    key_.Plug();
    host_.Init();
    Advance(9900);
    reply = Waiting(Message(kReset), [&] { key_.PlaceFinger(99); });
    EXPECT_EQ(StatusOf(reply), 0x00);
    const State state = key_.SnapshotState();
    EXPECT_FALSE(state.pinSet());
    EXPECT_TRUE(state.templates.empty());
    EXPECT_TRUE(state.passkeys.empty());
}

TEST_F(Ctap2Test, FingerprintTestRequestVerdicts) {
    // The tool's fixed test request: uv true and an empty pinAuth.
    const CborItem request = CborItem::Map({
        IntPair(1, CborItem::ByteString(Bytes(32, 0x11))),
        IntPair(2, CborItem::Map({{CborItem::Text("id"), CborItem::Text("example")},
                                  {CborItem::Text("name"), CborItem::Text("example")}})),
        IntPair(3, CborItem::Map({{CborItem::Text("id"), CborItem::ByteString(Bytes(32, 2))},
                                  {CborItem::Text("name"), CborItem::Text("fingerprint-check")},
                                  {CborItem::Text("displayName"), CborItem::Text("Test Ctap")}})),
        IntPair(4, CborItem::Array(
                       {CborItem::Map({{CborItem::Text("alg"), CborItem::Int(-7)},
                                       {CborItem::Text("type"), CborItem::Text("public-key")}})})),
        IntPair(7, CborItem::Map({{CborItem::Text("uv"), CborItem::Bool(true)}})),
        IntPair(8, CborItem::ByteString({})),
        IntPair(9, CborItem::Int(1)),
    });
    const Bytes message = Message(kMakeCredential, request);
    EXPECT_EQ(message.size(), 181U);

    // Nothing enrolled, no PIN: a touch gives PIN_NOT_SET.
    EXPECT_EQ(StatusOf(Waiting(message, [&] { key_.PlaceFinger(1); })), 0x35);
    Enrol(0, 7);
    EXPECT_EQ(StatusOf(Waiting(message, [&] { key_.PlaceFinger(7); })), 0x00);
    EXPECT_EQ(StatusOf(Waiting(message, [&] { key_.PlaceFinger(8); })), 0x28);
    EXPECT_EQ(key_.SnapshotState().fingerprintRetries, 4);
    EXPECT_EQ(StatusOf(Waiting(message, [&] { Advance(10000); })), 0x2F);
    // After five strangers verification is locked and the key says so at once.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(StatusOf(Waiting(message, [&] { key_.PlaceFinger(8); })), 0x28);
    }
    EXPECT_EQ(StatusOf(host_.Cbor(message)), 0x28);
    EXPECT_EQ(key_.SnapshotState().fingerprintRetries, 0);

    // A makeCredential that is not the test is not served.
    const CborItem plain = CborItem::Map(
        {request.pairs()[0], request.pairs()[1], request.pairs()[2], request.pairs()[3]});
    EXPECT_EQ(StatusOf(host_.Cbor(Message(kMakeCredential, plain))), 0x2B);
}

TEST_F(Ctap2Test, PasskeyIsMadeWithRkUsedAndBoundedByTheCapacity) {
    const auto makeCredential = [](std::int64_t alg, Bytes userId) {
        return Message(
            kMakeCredential,
            CborItem::Map({
                IntPair(1, CborItem::ByteString(Bytes(32, 0x11))),
                IntPair(2, CborItem::Map({{CborItem::Text("id"), CborItem::Text("a.example")}})),
                IntPair(3, CborItem::Map({{CborItem::Text("id"), CborItem::ByteString(userId)}})),
                IntPair(4, CborItem::Array({CborItem::Map(
                               {{CborItem::Text("alg"), CborItem::Int(alg)},
                                {CborItem::Text("type"), CborItem::Text("public-key")}})})),
                IntPair(7, CborItem::Map({{CborItem::Text("rk"), CborItem::Bool(true)}})),
            }));
    };
    const Bytes assertion =
        Message(kGetAssertion, CborItem::Map({IntPair(1, CborItem::Text("a.example")),
                                              IntPair(2, CborItem::ByteString(Bytes(32, 0x22)))}));
    const auto touch = [&] { key_.PlaceFinger(1); };
    EXPECT_EQ(StatusOf(host_.Cbor(assertion)), 0x2E);
    EXPECT_EQ(StatusOf(host_.Cbor(makeCredential(-8, {1}))), 0x26);

    const std::optional<CborItem> made = BodyOf(Waiting(makeCredential(-7, {1}), touch));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->Find(1)->bytes(), (Bytes{'p', 'a', 'c', 'k', 'e', 'd'}));
    EXPECT_EQ(made->Find(2)->bytes().at(32), 0x41) << "user present, attested data";
    // The same user again replaces the passkey.
    EXPECT_EQ(StatusOf(Waiting(makeCredential(-7, {1}), touch)), 0x00);
    ASSERT_EQ(key_.SnapshotState().passkeys.size(), 1U);
    EXPECT_EQ(StatusOf(Waiting(assertion, touch)), 0x00);
    EXPECT_EQ(key_.SnapshotState().passkeys[0].signCount, 1U);

    key_.EditState(
        [&](State& state) { AddSamplePasskeys(state, key_.config().passkeyCapacity() - 1); });
    EXPECT_EQ(StatusOf(host_.Cbor(makeCredential(-7, {2}))), 0x28);
    PinHost pin(host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    EXPECT_EQ(StatusOf(host_.Cbor(makeCredential(-7, {1}))), 0x36);
}

TEST_F(Ctap2Test, LegacyModelRefusesCtap2Commands) {
    Config config;
    config.model = 1;
    KeyFixture legacy(config);
    EXPECT_EQ(StatusOf(legacy.host_.Cbor(Message(kGetInfo))), 0x01);
}

}  // namespace
}  // namespace kelvora::vkey::test
