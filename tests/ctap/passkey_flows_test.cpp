// Counting, listing and deleting passkeys against the in-process virtual key, in both forms
// of the command, through the key operations the front ends call.
#include <gmock/gmock.h>

#include <ostream>

#include "ctap/client_pin.h"
#include "ctap/get_info.h"
#include "ctap/key_abilities.h"
#include "ctap/key_operations.h"
#include "ctap/status.h"
#include "vkey/sample_passkeys.h"
#include "vkey_session.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

constexpr char kPin[] = "1234";

struct KeyForm {
    const char* name;
    int model;
    bool ctap21;
    std::uint8_t command;
    friend void PrintTo(const KeyForm& form, std::ostream* os) { *os << form.name; }
};

class PasskeyFlowTest : public VirtualKeyTest, public ::testing::WithParamInterface<KeyForm> {
  protected:
    // A key of the parameter's form holding `passkeys`, with a PIN and its token held.
    void Start(std::vector<vkey::StoredPasskey> passkeys, bool withToken = true) {
        config.model = GetParam().model;
        config.reportsCtap21 = GetParam().ctap21;
        vkey::State initial;
        initial.passkeys = std::move(passkeys);
        Connect(config, std::move(initial));
        ASSERT_EQ(SetPin(*device, kPin), kCtapSuccess);
        AuthenticatorCaps caps;
        ASSERT_EQ(GetAuthenticatorInfo(*device, caps), kCtapSuccess);
        if (withToken) {
            ASSERT_EQ(GetPinToken(*device, kPin), kCtapSuccess);
        }
    }

    PasskeyMetadata Metadata() {
        PasskeyMetadata metadata;
        EXPECT_TRUE(ReadPasskeyMetadataOnKey(*device, metadata).succeeded);
        return metadata;
    }

    std::vector<PasskeySite> List() {
        std::vector<PasskeySite> sites;
        EXPECT_TRUE(ListPasskeysOnKey(*device, sites).succeeded);
        return sites;
    }

    static vkey::StoredPasskey Passkey(std::string rpId, std::string user, vkey::Bytes id) {
        vkey::State state;
        EXPECT_TRUE(vkey::AddSamplePasskeys(state, 1));
        vkey::StoredPasskey passkey = state.passkeys.front();
        passkey.rpId = std::move(rpId);
        passkey.userName = user;
        passkey.userId.assign(user.begin(), user.end());
        passkey.credentialId = std::move(id);
        return passkey;
    }

    vkey::Config config;
};

TEST_P(PasskeyFlowTest, EmptyKeyCountsNoneAndListsNothing) {
    Start({});
    EXPECT_EQ(keyState.passkeyCommand, GetParam().command);
    EXPECT_TRUE(AbilitiesOf(keyState).managesPasskeys);
    const PasskeyMetadata metadata = Metadata();
    EXPECT_EQ(metadata.existing, 0U);
    EXPECT_EQ(metadata.remaining, config.passkeyCapacity());
    EXPECT_TRUE(List().empty());
}

TEST_P(PasskeyFlowTest, SitesWithSeveralUsersAreListedWhole) {
    Start({Passkey("a.example", "ann", {1}), Passkey("b.example", "bob", {2}),
           Passkey("a.example", "amy", {3, 3}), Passkey("a.example", "al", {4})});
    const std::vector<PasskeySite> sites = List();
    ASSERT_EQ(sites.size(), 2U);
    EXPECT_EQ(sites[0].rpId, "a.example");
    EXPECT_EQ(sites[0].rpName, "Site 1");
    EXPECT_EQ(sites[0].rpIdHash.size(), 32U);
    EXPECT_THAT(sites[0].passkeys, ElementsAre(Field(&kelvora::Passkey::userName, "ann"),
                                               Field(&kelvora::Passkey::userName, "amy"),
                                               Field(&kelvora::Passkey::userName, "al")));
    EXPECT_EQ(sites[0].passkeys[1].credentialId, (std::vector<std::uint8_t>{3, 3}));
    EXPECT_EQ(sites[0].passkeys[1].userId, (std::vector<std::uint8_t>{'a', 'm', 'y'}));
    EXPECT_EQ(sites[0].passkeys[1].displayName, "User 1");
    EXPECT_EQ(sites[1].rpId, "b.example");
    EXPECT_EQ(PasskeyCount(sites), 4U);
    EXPECT_EQ(Metadata().existing, 4U);
}

TEST_P(PasskeyFlowTest, FullKeyHasNoRoomLeftAndListsEveryPasskey) {
    vkey::Config model;
    model.model = GetParam().model;
    vkey::State full;
    ASSERT_TRUE(vkey::AddSamplePasskeys(full, model.passkeyCapacity()));
    Start(full.passkeys);
    const PasskeyMetadata metadata = Metadata();
    EXPECT_EQ(metadata.existing, config.passkeyCapacity());
    EXPECT_EQ(metadata.remaining, 0U);
    EXPECT_EQ(PasskeyCount(List()), config.passkeyCapacity());
}

TEST_P(PasskeyFlowTest, NameThatIsNotUtf8IsRepaired) {
    vkey::StoredPasskey odd = Passkey("c.example", "x\xFFy\xE3\x81", {9});
    odd.displayName = "\xC3\xA9t\xC3\xA9";  // well-formed, kept
    Start({odd});
    const std::vector<PasskeySite> sites = List();
    ASSERT_EQ(sites.size(), 1U);
    EXPECT_EQ(sites[0].passkeys[0].userName, "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(sites[0].passkeys[0].displayName, "\xC3\xA9t\xC3\xA9");
}

TEST_P(PasskeyFlowTest, DeletionRemovesOnePasskeyAndRefusesAnUnknownId) {
    Start({Passkey("a.example", "ann", {1}), Passkey("a.example", "amy", {2})});
    EXPECT_TRUE(DeletePasskeyOnKey(*device, std::vector<std::uint8_t>{1}).succeeded);
    const KeyOutcome unknown = DeletePasskeyOnKey(*device, std::vector<std::uint8_t>{1});
    EXPECT_FALSE(unknown.succeeded);
    EXPECT_EQ(unknown.status, kCtapErrNoCredentials);
    const std::vector<PasskeySite> sites = List();
    ASSERT_EQ(sites.size(), 1U);
    EXPECT_THAT(sites[0].passkeys, ElementsAre(Field(&kelvora::Passkey::userName, "amy")));
}

TEST_P(PasskeyFlowTest, WithoutTokenTheKeyAsksForThePin) {
    Start({Passkey("a.example", "ann", {1})}, false);
    std::vector<PasskeySite> sites;
    PasskeyMetadata metadata;
    EXPECT_EQ(ListPasskeysOnKey(*device, sites).status, kCtapErrPinRequired);
    EXPECT_EQ(ReadPasskeyMetadataOnKey(*device, metadata).status, kCtapErrPinRequired);
    EXPECT_EQ(DeletePasskeyOnKey(*device, std::vector<std::uint8_t>{1}).status,
              kCtapErrPinRequired);
    EXPECT_EQ(key->SnapshotState().passkeys.size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Forms, PasskeyFlowTest,
                         ::testing::Values(KeyForm{"Preview", 3, false, 0x41},
                                           KeyForm{"PreviewLarge", 7, false, 0x41},
                                           KeyForm{"Standard", 5, true, 0x0A}));

TEST_F(VirtualKeyTest, LegacyModelIsSentNoPasskeyRequest) {
    Connect(1);
    keyState.passkeyCommand = 0x41;  // left behind by an earlier key
    std::vector<PasskeySite> sites;
    const std::size_t before = key->SnapshotState().history.size();
    EXPECT_EQ(ListPasskeysOnKey(*device, sites).status, kCtapErrInvalidCommand);
    EXPECT_FALSE(AbilitiesOf(keyState).managesPasskeys);
    EXPECT_EQ(key->SnapshotState().history.size(), before);
}

}  // namespace
}  // namespace kelvora::test
