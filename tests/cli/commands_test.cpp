// The commands end to end against in-process virtual keys: outcomes, exit statuses, JSON.
#include <gmock/gmock.h>

#include "cli/exit_codes.h"
#include "cli/key_session.h"
#include "cli_fixture.h"

namespace kelvora::cli::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

vkey::State WithTemplates(int count) {
    vkey::State state;
    for (int slot = 0; slot < count; ++slot) {
        state.templates[static_cast<std::uint16_t>(slot)] = {"20240101000000Finger", slot + 1};
    }
    return state;
}

class KeyChoiceTest : public CliTest {};

// A key that answers nothing at all; the tool's clock runs out, not the test's time.
void AddSilentKey(CliRig& rig) {
    vkey::Config config;
    config.hostility = vkey::Hostility::kSilent;
    vkey::VirtualInterfaceOptions options;
    options.timeoutsAtOnce = true;
    rig.AddKey(config, {}, options);
}

// What `keys`, `info` and --device show and take: a Linux node without the identity that
// discovery appends, a Windows device path (which has the separator in it) whole.
TEST(NodePath, DropsOnlyTheAppendedIdentity) {
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/hidraw3#vid_4b56&pid_2B03", "/dev/hidraw3"},
        {"/run/kelvora/vkey.sock#vid_4b56&pid_1A01", "/run/kelvora/vkey.sock"},
        {"/dev/hidraw0", "/dev/hidraw0"},
        {R"(\\?\hid#vid_4b56&pid_2b03#0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
         R"(\\?\hid#vid_4b56&pid_2b03#0000#{4d1e55b2-f16f-11cf-88cb-001111000030})"},
    };
    for (const auto& [path, node] : cases) {
        EXPECT_EQ(NodePath(path), node) << path;
    }
}

TEST_F(KeyChoiceTest, NoKeyIsReportedInTextAndJson) {
    EXPECT_EQ(Run({"info"}), kExitNoKey);
    EXPECT_THAT(Err(), HasSubstr("no supported key"));
    EXPECT_EQ(Run({"--json", "fingerprints", "list"}), kExitNoKey);
    EXPECT_THAT(out.str(), StartsWith(R"({"ok":false,"error":{"code":"no-key","exit":3,)"));
    EXPECT_EQ(Run({"list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("no supported key found"));
    vkeySocket = "/run/nobody/vkey.sock";
    EXPECT_EQ(Run({"info"}), kExitNoKey);
    EXPECT_THAT(Err(), HasSubstr("KELVORA_VKEY names /run/nobody/vkey.sock, but no virtual key "
                                 "daemon listens there"));
}

TEST_F(KeyChoiceTest, TwoKeysNeedDevice) {
    AddKey(3);
    AddKey(5);
    EXPECT_EQ(Run({"info"}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("choose one with --device"));
    EXPECT_EQ(Run({"--device", "virtual/key1", "--json", "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("model":5)"));
    EXPECT_EQ(Run({"--device", "/dev/nothing", "info"}), kExitNoKey);
    EXPECT_EQ(Run({"--json", "list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("path":"virtual/key0","model":3)"));
    EXPECT_THAT(out.str(), HasSubstr(R"("path":"virtual/key1","model":5)"));
}

TEST_F(KeyChoiceTest, SetupApiPathsAreShownAndTakenWhole) {
    // Two keys of one model differ only after the first "#" of their device paths.
    const std::string first =
        R"(\\?\hid#vid_4b56&pid_2b03#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const std::string second =
        R"(\\?\hid#vid_4b56&pid_2b03#7&4d5e6f&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    vkey::Config config;
    AddKey(config, {}, false, first);
    AddKey(config, {}, false, second);
    EXPECT_EQ(Run({"list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(first));
    EXPECT_THAT(out.str(), HasSubstr(second));
    EXPECT_EQ(Run({"info"}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr(first + " " + second));
    EXPECT_EQ(Run({"--device", second, "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("key:                  " + second));
}

// The fix offered is the system's: administrator rights where they open keys, the udev rule
// elsewhere.
TEST_F(KeyChoiceTest, UnopenableKeyIsAnAccessProblemNotNoKey) {
    const struct {
        const char* system;
        bool keysNeedElevation, elevated;
        std::string advice, adviceInJson;
    } cases[] = {
        {"Windows", true, false,
         R"(run the command from an elevated prompt ("Run as administrator"))",
         R"(run the command from an elevated prompt (\"Run as administrator\"))"},
        {"Windows, elevated", true, true, "it may be in use by another program",
         "it may be in use by another program"},
        {"Linux", false, false, "install packaging/70-kelvora-fido2.rules (see docs/cli.md)",
         "install packaging/70-kelvora-fido2.rules (see docs/cli.md)"},
    };
    AddKey(3, {}, /*unopenable=*/true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        elevation.keysNeedElevation = c.keysNeedElevation;
        elevation.elevated = c.elevated;
        EXPECT_EQ(Run({"info"}), kExitAccessDenied);
        EXPECT_THAT(Err(), HasSubstr("a supported key is present but virtual/key0 cannot be "
                                     "opened; " +
                                     c.advice));
        EXPECT_EQ(Run({"--json", "pin", "retries"}), kExitAccessDenied);
        EXPECT_THAT(out.str(), HasSubstr(R"("code":"access-denied")"));
        EXPECT_THAT(out.str(), HasSubstr(c.adviceInJson));
        EXPECT_EQ(Run({"--json", "list"}), kExitOk);
        EXPECT_THAT(out.str(), HasSubstr(R"("accessDenied":true)"));
        EXPECT_THAT(out.str(), HasSubstr(c.adviceInJson));
    }
}

TEST_F(KeyChoiceTest, InfoTellsTheKeysState) {
    AddKey(3, WithTemplates(1));
    EXPECT_EQ(Run({"--json", "info"}), kExitOk);
    EXPECT_EQ(out.str(),
              R"({"ok":true,"path":"virtual/key0","model":3,"productId":"2b03","firmware":17,)"
              R"("pinSet":false,"pinRetries":null,"fingerprintsConfigured":true,)"
              R"("enrollmentSupported":true,"commandSet":"standard","secureMessaging":"aes",)"
              R"("productName":"Kelvora Virtual Key 3","fingerprints":1,)"
              R"("passkeys":null,"passkeysRemaining":null,)"
              R"("versions":["FIDO_2_0","FIDO_2_1_PRE"],)"
              R"("aaguid":"4b562d76-6972-7475-616c-000000002b03","options":{"rk":true,)"
              R"("up":true,"uv":true,"plat":false,"clientPin":false,)"
              R"("credentialMgmtPreview":true,"userVerificationMgmtPreview":true},)"
              R"("maxMsgSize":1200,"pinProtocols":[1]})"
              "\n");
    EXPECT_EQ(Run({"info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("fingerprints:         configured"));
}

TEST_F(KeyChoiceTest, ProductNamesAreDecodedOnceByTheirSystemsRule) {
    // A backend reports names in the system's narrow text: UTF-8 from hidraw, the ANSI code
    // page from Windows' HID class. Decoding hidraw's UTF-8 again as code page 932 garbled it.
#ifdef _WIN32
    const std::string narrow = "Kelvora \x83\x4c\x81\x5b 3";  // "キー" in code page 932
#else
    const std::string narrow = "Kelvora キー 3";
#endif
    vkey::VirtualInterfaceOptions options;
    options.productName = narrow;
    AddKey(vkey::Config{}, {}, options);
    EXPECT_EQ(Run({"--json", "list"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("productName":"Kelvora キー 3")"));
    EXPECT_EQ(Run({"info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("Kelvora キー 3\n"));
}

TEST_F(KeyChoiceTest, InfoNeverShowsFactsTheKeyDidNotGive) {
    // A key that answers nothing is no blank key: it fails, saying what is unknown.
    {
        CliRig rig;
        AddSilentKey(rig);
        EXPECT_EQ(rig.Run({"--json", "info"}), kExitKeyError);
        EXPECT_THAT(rig.out.str(), StartsWith(R"({"ok":false,)"));
        EXPECT_THAT(rig.out.str(), Not(HasSubstr("pinSet")));
        EXPECT_EQ(rig.Run({"info"}), kExitKeyError);
        EXPECT_THAT(rig.Err(), HasSubstr("whether it has a PIN or fingerprints"));
    }
    // A firmware query answered with a cut status word: what it decides is marked unknown.
    {
        CliRig rig;
        rig.AddKey(3).InjectFaultAt(1, vkey::Fault::kMalformedNextResponse);  // after INIT
        EXPECT_EQ(rig.Run({"--json", "info"}), kExitOk);
        EXPECT_THAT(rig.out.str(), HasSubstr(R"("firmware":null,)"));
        EXPECT_THAT(rig.out.str(), HasSubstr(R"("commandSet":null,)"));
        EXPECT_THAT(rig.out.str(),
                    HasSubstr(R"("unknown":["firmware","commandSet","secureMessaging"])"));
    }
}

// Nor does a command act on defaults in place of GetInfo's facts: a CTAP2 key taken for one
// without a PIN, or sent the legacy fingerprint commands, would refuse with something that
// is no answer to what went wrong.
TEST_F(KeyChoiceTest, CommandsThatNeedGetInfoFailWithoutIt) {
    const std::vector<std::vector<std::string>> commands = {
        {"fingerprints", "list"},
        {"fingerprints", "rename", "0", "index"},
        {"pin", "set", "--pin-stdin"},
        {"passkeys", "list", "--pin-stdin"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] + " " + command[1]);
        CliRig rig;
        AddSilentKey(rig);
        rig.input.lines = {kPin};
        EXPECT_EQ(rig.Run(command), kExitKeyError);
        EXPECT_THAT(rig.Err(), HasSubstr("the key did not answer GetInfo"));
    }
}

TEST_F(KeyChoiceTest, KeysThatListOnlyUnderThePinTellTheCountWithIt) {
    vkey::Config config;
    config.requirePinAuth = true;
    AddKey(config, WithTemplates(2));
    input.lines = {kPin};
    ASSERT_EQ(Run({"--pin-stdin", "pin", "set"}), kExitOk);
    EXPECT_EQ(Run({"--json", "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("pinRetries":8,)"));
    EXPECT_THAT(out.str(), HasSubstr(R"("fingerprints":null,)"));
    input.lines = {kPin};
    EXPECT_EQ(Run({"--json", "--pin-stdin", "info"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("fingerprints":2,)"));
}

class PinTest : public CliTest {
  protected:
    void SetUp() override { AddKey(3); }
    int SetPinFromStdin(const std::string& pin) {
        input.lines = {pin};
        return Run({"--pin-stdin", "pin", "set"});
    }
};

TEST_F(PinTest, NewPinRulesAreCheckedBeforeTheKeyIsAsked) {
    const struct {
        std::string pin;
        std::string message;
    } cases[] = {
        {"123", "at least 4"},
        {std::string(64, '7'), "at most 63 characters"},
        // 22 three-byte characters fit the character limit but not CTAP's 63 bytes.
        {[] {
             std::string pin;
             for (int i = 0; i < 22; ++i) {
                 pin += "\xE3\x81\x82";
             }
             return pin;
         }(),
         "63 bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SetPinFromStdin(c.pin), kExitUsage) << c.message;
        EXPECT_THAT(Err(), HasSubstr(c.message));
    }
    EXPECT_FALSE(keys[0]->SnapshotState().pinSet());
    EXPECT_EQ(SetPinFromStdin(std::string(63, '7')), kExitOk);
}

class LegacyPinTest : public CliTest {
  protected:
    void SetUp() override { AddKey(1); }
};

TEST_F(LegacyPinTest, LongKanjiPassButNoPinWithoutAnExactCodePageForm) {
    std::string kanji40;  // 40 characters, 120 bytes: no CTAP2 key could take them
    for (int i = 0; i < 40; ++i) {
        kanji40 += "\xE6\xBC\xA2";
    }
    for (const std::string pin : {"\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC",
                                  "12\xFF"
                                  "34"}) {
        input.lines = {pin};
        EXPECT_EQ(Run({"--pin-stdin", "pin", "set"}), kExitUsage);
        EXPECT_THAT(Err(), HasSubstr("code page 932"));
    }
    EXPECT_FALSE(keys[0]->SnapshotState().pinSet());
    input.lines = {kanji40};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "set"}), kExitOk);
    input.lines = {"????", "abcd"};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "change"}), kExitWrongPin)
        << "a PIN of question marks is not the PIN";
}

TEST_F(PinTest, EveryPinIsCheckedBeforeTheKeyIsAsked) {
    ASSERT_EQ(SetPinFromStdin(kPin), kExitOk);
    std::string kanji22;  // 22 characters, 66 bytes
    for (int i = 0; i < 22; ++i) {
        kanji22 += "\xE6\xBC\xA2";
    }
    const std::vector<std::vector<std::string>> commands = {
        {"pin", "verify"}, {"pin", "change"}, {"fingerprints", "enroll"}, {"info"}};
    for (const auto& command : commands) {
        for (const std::string& pin : {std::string("12"), kanji22}) {
            std::vector<std::string> args = {"--pin-stdin"};
            args.insert(args.end(), command.begin(), command.end());
            input.lines = {pin, "5678", "5678"};
            EXPECT_EQ(Run(args), kExitUsage) << command[0] << " " << pin.size();
        }
    }
    EXPECT_EQ(keys[0]->SnapshotState().pinRetries, 8) << "a PIN reached the key";
}

TEST_F(PinTest, PromptAsksTwiceWithoutEchoAndRejectsAMismatch) {
    input.lines = {"12345", "12346"};
    EXPECT_EQ(Run({"pin", "set"}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("do not match"));
    EXPECT_EQ(input.secrets, (std::vector<bool>{true, true}));
    input.lines = {"12345", "12345"};
    EXPECT_EQ(Run({"pin", "set"}), kExitOk);
    EXPECT_TRUE(keys[0]->SnapshotState().pinSet());
}

TEST_F(PinTest, VerifyChangeAndRetries) {
    ASSERT_EQ(SetPinFromStdin(kPin), kExitOk);
    EXPECT_EQ(SetPinFromStdin("5678"), kExitKeyError);  // a PIN is set already
    EXPECT_THAT(Err(), HasSubstr("pin change"));

    input.lines = {"9999"};
    EXPECT_EQ(Run({"--json", "--pin-stdin", "pin", "verify"}), kExitWrongPin);
    EXPECT_THAT(out.str(), HasSubstr(R"("code":"wrong-pin","exit":5,)"));
    EXPECT_THAT(out.str(), HasSubstr("7 retries left"));
    EXPECT_EQ(Run({"--json", "pin", "retries"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("retries":7)"));

    input.lines = {kPin, "abcdef"};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "change"}), kExitOk);
    input.lines = {"abcdef"};
    EXPECT_EQ(Run({"--pin-stdin", "--json", "pin", "verify"}), kExitOk);
    EXPECT_EQ(out.str(), R"({"ok":true,"command":"pin verify","verified":true})"
                         "\n");
    EXPECT_EQ(Run({"--insecure-pin-argument", "--pin", "abcdef", "pin", "verify"}), kExitOk);
    EXPECT_THAT(Err(), HasSubstr("warning: a PIN given on the command line"));
}

TEST_F(PinTest, BlockedPinAndMissingPin) {
    input.lines = {};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "verify"}), kExitKeyError);  // no PIN set
    EXPECT_EQ(Run({"--json", "pin", "retries"}), kExitOk);
    EXPECT_EQ(out.str(), R"({"ok":true,"command":"pin retries","pinSet":false,"retries":null})"
                         "\n");
    ASSERT_EQ(SetPinFromStdin(kPin), kExitOk);
    input.lines = {};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "verify"}), kExitUsage);  // end of input: no PIN
    keys[0]->EditState([](vkey::State& state) { state.pinRetries = 2; });
    input.lines = {"9999"};
    EXPECT_EQ(Run({"--pin-stdin", "pin", "verify"}), kExitWrongPin);
    EXPECT_THAT(Err(), HasSubstr("wrong PIN; 1 retry left ("));
    input.lines = {"9999"};
    EXPECT_EQ(Run({"--pin-stdin", "--json", "pin", "verify"}), kExitBlocked);
    EXPECT_THAT(out.str(), HasSubstr(R"("code":"blocked")"));
}

class FingerprintTest : public CliTest {};

TEST_F(FingerprintTest, EnrollNamesAndListsWithLocalTime) {
    AddKey(3);
    EXPECT_EQ(Run({"--fingerprint-only", "fingerprints", "enroll"}), kExitOk);
    EXPECT_THAT(Err(), HasSubstr("sample 1: good sample; 3 more to go"));
    EXPECT_EQ(Run({"--json", "fingerprints", "enroll", "--name", "Work"}), kExitOk);
    EXPECT_EQ(out.str(), R"({"ok":true,"slot":1,"name":"Work","enrolled":"2024-05-06 )"
                         R"(07:08:00","command":"fingerprints enroll"})"
                         "\n");
    EXPECT_EQ(Run({"--json", "fingerprints", "list"}), kExitOk);
    EXPECT_EQ(out.str(),
              "{\"ok\":true,\"fingerprints\":[{\"slot\":0,\"name\":\"\xE6\x8C\x87"
              "\xE7\xB4\x8B"
              "0\",\"enrolled\":\"2024-05-06 07:08:00\"},{\"slot\":1,\"name\":"
              "\"Work\",\"enrolled\":\"2024-05-06 07:08:00\"}]}\n");
    // Stored in code page 932 behind the UTC stamp.
    EXPECT_EQ(keys[0]->SnapshotState().templates.at(1).name, "20240506070800Work");
}

TEST_F(FingerprintTest, ANewKeyIsProtectedAsTheUserSaysNeverByDefault) {
    const struct {
        std::vector<std::string> args;
        int exit;
        bool pinSet;
        std::size_t templates;
    } cases[] = {
        {{"fingerprints", "enroll"}, kExitUsage, false, 0},
        {{"--pin-stdin", "--fingerprint-only", "fingerprints", "enroll"}, kExitUsage, false, 0},
        {{"--pin-stdin", "fingerprints", "enroll"}, kExitOk, true, 1},
        {{"--set-pin", "fingerprints", "enroll"}, kExitOk, true, 1},
        {{"--fingerprint-only", "fingerprints", "enroll"}, kExitOk, false, 1},
    };
    for (const int model : {3, 1}) {
        for (const auto& c : cases) {
            CliRig rig;
            vkey::VirtualKey& key = rig.AddKey(model);
            key.SetAutoTouch(vkey::AutoTouch{model == 1 ? 300 : 0, false});
            rig.input.lines = {kPin, kPin};
            EXPECT_EQ(rig.Run(c.args), c.exit) << model << ": " << rig.Err();
            EXPECT_EQ(key.SnapshotState().pinSet(), c.pinSet) << model;
            EXPECT_EQ(key.SnapshotState().templates.size(), c.templates) << model;
            if (c.exit == kExitUsage) {
                EXPECT_THAT(rig.Err(), HasSubstr("--fingerprint-only")) << model;
            }
        }
    }
    // Once the key holds a fingerprint and no PIN, a finger proves the owner; a PIN given is
    // not silently dropped.
    AddKey(3, WithTemplates(1));
    input.lines = {kPin};
    EXPECT_EQ(Run({"--pin-stdin", "fingerprints", "enroll"}), kExitOk);
    EXPECT_THAT(Err(), HasSubstr("the PIN given is not used"));
}

TEST_F(FingerprintTest, BadInputIsRefusedBeforeTheKeyIsTouched) {
    AddKey(3, WithTemplates(1));
    const std::vector<std::vector<std::string>> cases = {
        {"fingerprints", "rename", "0", "A"},
        {"fingerprints", "rename", "0", "NineChars"},
        {"fingerprints", "rename", "256", "Home"},
        {"fingerprints", "rename", "--", "-1", "Home"},
        {"fingerprints", "delete", "x"},
        {"fingerprints", "delete", "3"},  // empty slot
        {"fingerprints", "enroll", "--name", "B"},
        {"fingerprints", "delete"},
        {"fingerprints", "frobnicate"},
        {"pin"},
        {"bogus"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), kExitUsage) << testing::PrintToString(args);
    }
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 1U);
    EXPECT_EQ(keys[0]->SnapshotState().templates.at(0).name, "20240101000000Finger");
}

TEST_F(FingerprintTest, RenameKeepsTheStampAndAcceptsEightCharacters) {
    AddKey(3, WithTemplates(1));
    EXPECT_EQ(Run({"fingerprints", "rename", "0", "\xE5\x8F\xB3\xE6\x89\x8B"}), kExitOk);
    EXPECT_EQ(keys[0]->SnapshotState().templates.at(0).name, "20240101000000\x89\x45\x8E\xE8");
    EXPECT_EQ(Run({"fingerprints", "rename", "0", "EightChr"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr("0\tEightChr\t2024-01-01 00:00:00"));
}

TEST_F(FingerprintTest, LastFingerprintOfAKeyWithoutPinStays) {
    AddKey(3, WithTemplates(1));
    EXPECT_EQ(Run({"fingerprints", "delete", "0"}), kExitKeyError);
    EXPECT_THAT(Err(), HasSubstr("last fingerprint"));
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 1U);
}

TEST_F(FingerprintTest, DeleteNeedsTheRightPin) {
    AddKey(3, WithTemplates(2));
    input.lines = {kPin};
    ASSERT_EQ(Run({"--pin-stdin", "pin", "set"}), kExitOk);
    input.lines = {"0000"};
    EXPECT_EQ(Run({"--pin-stdin", "fingerprints", "delete", "1"}), kExitWrongPin);
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 2U);
    input.lines = {kPin};
    EXPECT_EQ(Run({"--pin-stdin", "--json", "fingerprints", "delete", "1"}), kExitOk);
    EXPECT_EQ(keys[0]->SnapshotState().templates.count(1), 0U);
}

TEST_F(FingerprintTest, FortyNineFingerprintsFillTheKey) {
    AddKey(3, WithTemplates(49));
    EXPECT_EQ(Run({"fingerprints", "enroll"}), kExitKeyError);
    EXPECT_THAT(Err(), HasSubstr("49 fingerprints"));
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 49U);
}

TEST_F(FingerprintTest, VerifyMatchesOrNot) {
    vkey::VirtualKey& key = AddKey(3);
    EXPECT_EQ(Run({"fingerprints", "verify"}), kExitKeyError);  // nothing enrolled
    ASSERT_EQ(Run({"--fingerprint-only", "fingerprints", "enroll"}), kExitOk);
    EXPECT_EQ(Run({"--json", "fingerprints", "verify"}), kExitOk);
    EXPECT_THAT(out.str(), HasSubstr(R"("verified":true)"));
    key.SetAutoTouch(vkey::AutoTouch{0, /*stranger=*/true});
    EXPECT_EQ(Run({"fingerprints", "verify"}), kExitNotVerified);
}

TEST_F(FingerprintTest, CtrlCDuringEnrollmentCancelsOnTheKey) {
    AddKey(3);
    errBuffer.onFlush = [this](const std::string& text) {
        if (text.find("sample 2") != std::string::npos) {
            interrupted = true;
        }
    };
    EXPECT_EQ(Run({"--json", "--fingerprint-only", "fingerprints", "enroll"}), kExitCancelled);
    EXPECT_THAT(out.str(), HasSubstr(R"("code":"cancelled")"));
    EXPECT_TRUE(keys[0]->SnapshotState().templates.empty());
    // The key is left clean: the next enrollment starts afresh.
    errBuffer.onFlush = nullptr;
    interrupted = false;
    EXPECT_EQ(Run({"--fingerprint-only", "fingerprints", "enroll"}), kExitOk);
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 1U);
}

TEST_F(FingerprintTest, LegacyModelListsAndDeletesBySlot) {
    // Also on firmware whose status bytes never report a fingerprint: what the key lists
    // decides, so a finger must still be proved before a new one is added.
    for (const bool statusOmits : {false, true}) {
        SCOPED_TRACE(statusOmits ? "status without fingerprints" : "status with fingerprints");
        CliRig rig;
        vkey::Config config;
        config.model = 1;
        config.statusOmitsFingerprints = statusOmits;
        vkey::VirtualKey& key = rig.AddKey(config, WithTemplates(2));
        // A polled sensor needs time between touches to see the finger lifted.
        key.SetAutoTouch(vkey::AutoTouch{300, false});
        EXPECT_EQ(rig.Run({"--json", "fingerprints", "list"}), kExitOk);
        EXPECT_THAT(rig.out.str(), HasSubstr(R"({"slot":1,)"));
        EXPECT_EQ(rig.Run({"fingerprints", "rename", "0", "Home"}), kExitUsage);
        EXPECT_EQ(rig.Run({"fingerprints", "verify"}), kExitOk);
        EXPECT_EQ(rig.Run({"fingerprints", "enroll"}), kExitOk);
        EXPECT_THAT(rig.Err(), HasSubstr("samples taken 4: good sample"));
        EXPECT_EQ(key.SnapshotState().templates.count(2), 1U);
        EXPECT_EQ(rig.Run({"fingerprints", "delete", "0"}), kExitOk);
        EXPECT_EQ(key.SnapshotState().templates.count(0), 0U);
    }
}

class ResetTest : public CliTest {};

TEST_F(ResetTest, FreshKeyResetsAfterConfirmation) {
    AddKey(3, WithTemplates(1));
    input.lines = {"no"};
    EXPECT_EQ(Run({"reset"}), kExitCancelled);
    EXPECT_EQ(keys[0]->SnapshotState().templates.size(), 1U);
    input.lines = {"yes"};
    EXPECT_EQ(Run({"reset"}), kExitOk);
    EXPECT_THAT(Err(), HasSubstr("erased"));
    EXPECT_TRUE(keys[0]->SnapshotState().templates.empty());
}

TEST_F(ResetTest, KeyPluggedTooLongAgoIsReplugged) {
    vkey::VirtualKey& key = AddKey(3, WithTemplates(1));
    keyClock.Advance(60000);  // far beyond the reset window
    int sleeps = 0;
    clock.onSleep = [&] {
        ++sleeps;
        if (sleeps == 3) {
            key.Unplug();
        } else if (sleeps == 6) {
            key.Plug();
            // The countdown sleeps while the reset is on its way; the key's time must not
            // race past its window meanwhile.
            clock.advanceKeyClock = false;
        }
    };
    EXPECT_EQ(Run({"--yes", "--json", "reset"}), kExitOk);
    EXPECT_EQ(out.str(), R"({"ok":true,"command":"reset","replugged":true,"passkeysErased":null})"
                         "\n");
    EXPECT_THAT(Err(), HasSubstr("Unplug it now"));
    EXPECT_THAT(Err(), HasSubstr("s left"));
    EXPECT_TRUE(key.SnapshotState().templates.empty());
}

TEST_F(ResetTest, ReplugThatNeverComesChangesNothing) {
    vkey::VirtualKey& key = AddKey(3, WithTemplates(1));
    keyClock.Advance(60000);
    EXPECT_EQ(Run({"--yes", "reset"}), kExitKeyError);
    EXPECT_THAT(Err(), HasSubstr("not re-plugged in time"));
    EXPECT_EQ(key.SnapshotState().templates.size(), 1U);

    clock.onSleep = [this] { interrupted = true; };
    EXPECT_EQ(Run({"--yes", "reset"}), kExitCancelled);
}

}  // namespace
}  // namespace kelvora::cli::test
