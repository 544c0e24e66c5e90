// `passkeys list | delete`, and what `info` and `reset` tell of passkeys, against the
// in-process virtual key; and the credential id form the commands write and take.
#include <gmock/gmock.h>

#include "cli/credential_id_text.h"
#include "cli/exit_codes.h"
#include "cli_fixture.h"
#include "vkey/sample_passkeys.h"

namespace kelvora::cli::test {
namespace {

using ::testing::HasSubstr;

TEST(CredentialIdTextTest, Base64UrlWithoutPaddingBothWays) {
    const std::pair<std::vector<std::uint8_t>, std::string> forms[] = {
        {{0xFB}, "-w"}, {{0xFB, 0xFF}, "-_8"}, {{1, 2, 3}, "AQID"}, {{0, 0, 0, 0xFF}, "AAAA_w"}};
    for (const auto& [bytes, text] : forms) {
        EXPECT_EQ(CredentialIdText(bytes), text);
        EXPECT_EQ(ParseCredentialId(text), bytes) << text;
    }
    for (const char* bad : {"", "A", "AQ==", "+w", "/w", "-x", "AQI D"}) {
        EXPECT_EQ(ParseCredentialId(bad), std::nullopt) << bad;
    }
}

class PasskeysTest : public CliTest {
  protected:
    // A key with a PIN and three sample passkeys, one of them with a control character in
    // its user name.
    vkey::VirtualKey& Start(bool withPin = true) {
        vkey::State state;
        EXPECT_TRUE(vkey::AddSamplePasskeys(state, 3));
        state.passkeys[1].userName = "eve\x1b[2J";
        vkey::VirtualKey& key = AddKey(3, std::move(state));
        if (withPin) {
            input.lines = {kPin};
            EXPECT_EQ(Run({"--pin-stdin", "pin", "set"}), kExitOk);
        }
        return key;
    }
    std::string IdOf(vkey::VirtualKey& key, std::size_t index) {
        return CredentialIdText(key.SnapshotState().passkeys[index].credentialId);
    }
};

TEST_F(PasskeysTest, ListShowsEverySiteInTextAndJson) {
    vkey::VirtualKey& key = Start();
    input.lines = {kPin};
    ASSERT_EQ(Run({"--pin-stdin", "passkeys", "list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("site1.example (Site 1): 1 passkey\n"
                                     "  user1@site1.example\tUser 1\t" +
                                     IdOf(key, 0) + "\n"));
    EXPECT_THAT(out.str(), HasSubstr("  eve\\x1B[2J\tUser 2\t"));
    EXPECT_THAT(out.str(), HasSubstr("3 passkeys on 3 sites; room for 22 more\n"));

    input.lines = {kPin};
    ASSERT_EQ(Run({"--json", "--pin-stdin", "passkeys", "list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"({"rpId":"site1.example","rpName":"Site 1","passkeys":)"
                                     R"([{"credentialId":")" +
                                     IdOf(key, 0) + R"(","userId":"MQ","userName":)"));
    EXPECT_THAT(out.str(), HasSubstr(R"("userName":"eve\u001b[2J")"));
    EXPECT_THAT(out.str(), HasSubstr(R"("total":3,"remaining":22)"));
}

TEST_F(PasskeysTest, DeleteAsksFirstAndRefusesWhatTheKeyDoesNotHold) {
    vkey::VirtualKey& key = Start();
    const std::string id = IdOf(key, 2);
    EXPECT_EQ(Run({"passkeys", "delete", "not/base64"}), kExitUsage);
    input.lines = {kPin, "no"};
    EXPECT_EQ(Run({"--pin-stdin", "passkeys", "delete", id}), kExitCancelled);
    EXPECT_THAT(Err(), HasSubstr("Delete the passkey of user3@site3.example on site3.example?"));
    EXPECT_EQ(key.SnapshotState().passkeys.size(), 3U);
    input.lines = {kPin};
    EXPECT_EQ(Run({"--json", "--pin-stdin", "--yes", "passkeys", "delete", id}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("command":"passkeys delete","rpId":"site3.example")"));
    EXPECT_EQ(key.SnapshotState().passkeys.size(), 2U);
    input.lines = {kPin};
    EXPECT_EQ(Run({"--pin-stdin", "--yes", "passkeys", "delete", id}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("no passkey with credential id " + id));
}

TEST_F(PasskeysTest, InfoAndResetCountThePasskeysUnderThePin) {
    vkey::VirtualKey& key = Start();
    EXPECT_EQ(Run({"--json", "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("passkeys":null,"passkeysRemaining":null)"));
    input.lines = {kPin};
    EXPECT_EQ(Run({"--pin-stdin", "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("passkeys:             3 (room for 22 more)\n"));
    input.lines = {kPin, "yes"};
    EXPECT_EQ(Run({"--json", "--pin-stdin", "reset"}), kExitOk);
    EXPECT_THAT(Err(), HasSubstr("The key holds 3 passkeys; the reset erases them too"));
    EXPECT_THAT(out.str(), HasSubstr(R"("passkeysErased":3)"));
    EXPECT_TRUE(key.SnapshotState().passkeys.empty());
}

TEST_F(PasskeysTest, KeysWithoutThePinOrTheCommandSayWhy) {
    Start(false);
    EXPECT_EQ(Run({"passkeys", "list"}), kExitKeyError);
    EXPECT_THAT(Err(), HasSubstr("the key has no PIN"));
    CliRig legacy;
    legacy.AddKey(1);
    EXPECT_EQ(legacy.Run({"passkeys", "list"}), kExitKeyError);
    EXPECT_THAT(legacy.Err(), HasSubstr("this key does not manage passkeys"));
}

}  // namespace
}  // namespace kelvora::cli::test
