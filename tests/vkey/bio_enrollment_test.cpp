#include <gtest/gtest.h>

#include "key_fixture.h"

namespace kelvora::vkey::test {
namespace {

constexpr std::uint8_t kBio = 0x40;

// Builds a prototype bio request, with pinAuth over modality || subCommand || params when a
// token is given.
Bytes BioRequest(std::int64_t subcommand, const std::optional<CborItem>& params = std::nullopt,
                 const Bytes* token = nullptr) {
    std::vector<CborItem::Pair> members = {IntPair(1, CborItem::Int(1)),
                                           IntPair(2, CborItem::Int(subcommand))};
    if (params) {
        members.push_back(IntPair(3, *params));
    }
    if (token != nullptr) {
        Bytes message = {1, static_cast<std::uint8_t>(subcommand)};
        if (params) {
            EncodeCbor(*params, message);
        }
        Bytes mac = HmacSha256(*token, message);
        mac.resize(16);
        members.push_back(IntPair(4, CborItem::Int(1)));
        members.push_back(IntPair(5, CborItem::ByteString(mac)));
    }
    return Message(kBio, CborItem::Map(std::move(members)));
}

CborItem Timeout(std::int64_t ms) {
    return CborItem::Map({IntPair(3, CborItem::Int(ms))});
}

CborItem IdParams(std::uint16_t slot, std::optional<std::string_view> name = std::nullopt) {
    std::vector<CborItem::Pair> members = {
        IntPair(1, CborItem::ByteString(Bytes{static_cast<std::uint8_t>(slot >> 8),
                                              static_cast<std::uint8_t>(slot)}))};
    if (name) {
        members.push_back(IntPair(2, CborItem::Text(*name)));
    }
    return CborItem::Map(std::move(members));
}

std::int64_t Member(const std::optional<Bytes>& reply, std::int64_t key) {
    std::optional<CborItem> body = BodyOf(reply);
    const CborItem* item = body ? body->Find(key) : nullptr;
    return item != nullptr && item->IsInteger() ? item->integer() : -1;
}

class BioTest : public ::testing::Test, public KeyFixture {
  protected:
    explicit BioTest(Config config = {}) : KeyFixture(config) {}

    // One touch: finger down, sample taken, finger up.
    std::optional<Bytes> Touch(const Bytes& request, int finger) {
        std::optional<Bytes> reply = Waiting(request, [&] { key_.PlaceFinger(finger); });
        key_.LiftFinger();
        return reply;
    }

    // Enrols a whole template with `finger` and returns its slot.
    std::uint16_t EnrolFinger(int finger, const Bytes* token = nullptr) {
        std::optional<Bytes> reply = Touch(BioRequest(1, Timeout(5000), token), finger);
        EXPECT_EQ(StatusOf(reply), 0);
        std::optional<CborItem> body = BodyOf(reply);
        const Bytes id = body && body->Find(4) ? body->Find(4)->bytes() : Bytes{0, 0};
        const std::uint16_t slot = static_cast<std::uint16_t>((id.at(0) << 8) | id.at(1));
        for (int remaining = 2; remaining >= 0; --remaining) {
            const CborItem next = CborItem::Map(
                {IntPair(1, CborItem::ByteString(id)), IntPair(3, CborItem::Int(5000))});
            reply = Touch(BioRequest(2, next, token), finger);
            EXPECT_EQ(StatusOf(reply), 0);
            EXPECT_EQ(Member(reply, 6), remaining);
        }
        return slot;
    }
};

TEST_F(BioTest, EnrolsFourSamplesThenListsRenamesAndRemoves) {
    std::optional<Bytes> reply = Touch(BioRequest(1, Timeout(5000)), 7);
    EXPECT_EQ(StatusOf(reply), 0);
    EXPECT_EQ(Member(reply, 5), 0);
    EXPECT_EQ(Member(reply, 6), 3);
    EXPECT_GE(lastKeepalives_, 1);  // "UP needed" goes out before the finger arrives
    key_.EditState([](State& state) { state.templates.clear(); });

    const std::uint16_t first = EnrolFinger(7);
    const std::uint16_t second = EnrolFinger(8);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    const std::string name =
        "20190415123045\x8e\x77\x96\xe4"
        "1";  // code page 932 bytes
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(5, IdParams(1, name)))), 0);
    std::optional<CborItem> list = BodyOf(host_.Cbor(BioRequest(4)));
    ASSERT_TRUE(list && list->Find(7));
    ASSERT_EQ(list->Find(7)->items().size(), 2U);
    const CborItem& entry = list->Find(7)->items()[1];
    EXPECT_EQ(entry.Find(1)->bytes(), (Bytes{0, 1}));
    EXPECT_EQ(std::string(entry.Find(2)->bytes().begin(), entry.Find(2)->bytes().end()), name);

    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(6, IdParams(0)))), 0);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(6, IdParams(0)))), 0x2C);  // gone already
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(5, IdParams(9, "x")))), 0x2C);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(5, IdParams(1, std::string(65, 'n'))))), 0x03);
    EXPECT_EQ(key_.SnapshotState().templates.size(), 1U);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(6, IdParams(1)))), 0);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(4))), 0x2C);  // nothing enrolled
}

TEST_F(BioTest, SampleWaitsEndInTimeoutsAndSampleStatuses) {
    // No finger within the request's own time-out.
    std::optional<Bytes> reply = Waiting(BioRequest(1, Timeout(2000)), [&] { Advance(1950); });
    EXPECT_FALSE(reply);
    Advance(50);
    std::optional<HidResponse> late = host_.Receive();
    ASSERT_TRUE(late);
    EXPECT_EQ(late->payload.at(0), 0x2F);
    EXPECT_GE(late->keepalives + lastKeepalives_, 19);

    // A finger left on the sensor gives no second sample: status 14 at the time-out.
    reply = Waiting(BioRequest(1, Timeout(5000)), [&] { key_.PlaceFinger(3); });
    ASSERT_EQ(StatusOf(reply), 0);
    const CborItem next = CborItem::Map(
        {IntPair(1, CborItem::ByteString(Bytes{0, 0})), IntPair(3, CborItem::Int(5000))});
    reply = Waiting(BioRequest(2, next), [&] { Advance(5000); });
    EXPECT_EQ(StatusOf(reply), 0);
    EXPECT_EQ(Member(reply, 5), 14);
    EXPECT_EQ(Member(reply, 6), 3);
    key_.LiftFinger();

    // An injected failure rejects one sample with status 13 and counts nothing.
    key_.InjectFault(Fault::kFailNextSample);
    reply = Touch(BioRequest(2, next), 3);
    EXPECT_EQ(Member(reply, 5), 13);
    EXPECT_EQ(Member(reply, 6), 3);
    reply = Touch(BioRequest(2, next), 3);
    EXPECT_EQ(Member(reply, 5), 0);
    EXPECT_EQ(Member(reply, 6), 2);

    // A capture for another template, or after a cancel, is refused.
    const CborItem other = CborItem::Map({IntPair(1, CborItem::ByteString(Bytes{0, 5}))});
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(2, other))), 0x02);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(3))), 0);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(2, next))), 0x02);
    EXPECT_TRUE(key_.SnapshotState().templates.empty());
}

TEST_F(BioTest, CtaphidCancelEndsTheWait) {
    EXPECT_FALSE(host_.Cbor(BioRequest(1, Timeout(5000))));
    host_.Send(host_.channel(), 0x91, {});
    std::optional<HidResponse> reply = host_.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload, Bytes{0x2D});
    EXPECT_FALSE(key_.waitingForUser());
}

TEST_F(BioTest, PinAuthIsCheckedWheneverPresent) {
    PinHost pin(host_);
    ASSERT_EQ(pin.SetPin("1234"), 0);
    Bytes token;
    ASSERT_EQ(pin.GetToken("1234", token), 0);
    const std::uint16_t slot = EnrolFinger(7, &token);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(4, std::nullopt, &token))), 0);
    const Bytes wrong(32, 0x55);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(4, std::nullopt, &wrong))), 0x33);
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(6, IdParams(slot), &wrong))), 0x33);
    EXPECT_EQ(key_.SnapshotState().templates.size(), 1U);
    // The maker's keys take requests without pinAuth (the tool sends them after a
    // fingerprint check); a stricter key can be configured.
    EXPECT_EQ(StatusOf(host_.Cbor(BioRequest(5, IdParams(slot, "a")))), 0);
    Config strict;
    strict.requirePinAuth = true;
    KeyFixture strictKey(strict);
    strictKey.key_.EditState([](State& state) { state.pinHash = Bytes(16, 1); });
    EXPECT_EQ(StatusOf(strictKey.host_.Cbor(BioRequest(4))), 0x36);
}

TEST_F(BioTest, FullKeyRefusesEnrollBegin) {
    Config config;
    config.templateCapacity = 2;
    KeyFixture small(config);
    small.key_.EditState([](State& state) {
        state.templates[0] = Template{"a", 1};
        state.templates[1] = Template{"b", 2};
    });
    EXPECT_EQ(StatusOf(small.host_.Cbor(BioRequest(1, Timeout(5000)))), 0x28);
}

TEST_F(BioTest, OwnSubcommandsOnlyOnModelsSixAndSeven) {
    for (int model = 3; model <= 7; ++model) {
        Config config;
        config.model = model;
        KeyFixture fixture(config);
        const std::uint8_t retries = StatusOf(fixture.host_.Cbor(BioRequest(9)));
        if (model < 6) {
            EXPECT_EQ(retries, 0x3E) << model;
            continue;
        }
        EXPECT_EQ(retries, 5) << model;
        fixture.key_.EditState([](State& state) { state.templates[0] = Template{"", 4}; });
        EXPECT_EQ(StatusOf(fixture.Waiting(BioRequest(8), [&] { fixture.key_.PlaceFinger(4); })),
                  0);
        fixture.key_.LiftFinger();
        EXPECT_EQ(StatusOf(fixture.Waiting(BioRequest(8), [&] { fixture.key_.PlaceFinger(5); })),
                  0x28);
        EXPECT_EQ(StatusOf(fixture.host_.Cbor(BioRequest(9))), 4) << model;
    }
}

TEST_F(BioTest, AutoTouchAnswersEveryWait) {
    key_.SetAutoTouch(AutoTouch{300, false});
    std::optional<Bytes> reply = Waiting(BioRequest(1, Timeout(5000)), [&] { Advance(300); });
    ASSERT_EQ(StatusOf(reply), 0);
    const CborItem next = CborItem::Map({IntPair(1, CborItem::ByteString(Bytes{0, 0}))});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(StatusOf(Waiting(BioRequest(2, next), [&] { Advance(300); })), 0);
    }
    ASSERT_EQ(key_.SnapshotState().templates.size(), 1U);
    // The enrolled finger then passes verification; a stranger does not.
    Config six;
    six.model = 7;
    KeyFixture seven(six);
    seven.key_.EditState([](State& state) { state.templates[2] = Template{"", 42}; });
    seven.key_.SetAutoTouch(AutoTouch{100, false});
    EXPECT_EQ(StatusOf(seven.Waiting(BioRequest(8), [&] { seven.Advance(100); })), 0);
    seven.key_.SetAutoTouch(AutoTouch{100, true});
    EXPECT_EQ(StatusOf(seven.Waiting(BioRequest(8), [&] { seven.Advance(100); })), 0x28);
}

}  // namespace
}  // namespace kelvora::vkey::test
