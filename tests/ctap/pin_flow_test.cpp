// Whole PIN, GetInfo and reset flows against the in-process virtual key, on a standard
// CTAP2 model, one that takes the vendor command bytes, and a legacy model. The key keeps
// its own PIN state, so every change is checked by what the key accepts afterwards.
#include <gmock/gmock.h>

#include <ostream>

#include <memory>

#include "ctap/client_pin.h"
#include "ctap/get_info.h"
#include "ctap/key_operations.h"
#include "ctap/legacy_pin.h"
#include "ctap/reset.h"
#include "ctap/status.h"
#include "tests/common/fakes.h"
#include "transport/connect.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::test {
namespace {

constexpr int kStandardModel = 3;
constexpr int kLegacyModelNumber = 1;
constexpr std::uint8_t kDesFirmware = 16;
constexpr std::uint8_t kAesFirmware = 17;
constexpr std::uint8_t kVendorBytesFirmware = 18;

struct KeyKind {
    const char* name;
    int model;
    std::uint8_t firmware;
    bool reportBioEnroll = false;
    friend void PrintTo(const KeyKind& c, std::ostream* os) { *os << c.name; }
};

class VirtualKeyFlow : public ::testing::Test {
  protected:
    void Start(const KeyKind& kind) {
        vkey::Config config;
        config.model = kind.model;
        config.firmware = kind.firmware;
        config.reportBioEnroll = kind.reportBioEnroll;
        key = std::make_unique<vkey::VirtualKey>(config, keyClock);
        backend.AddKey(*key);
        key->Plug();
        Connect();
        ASSERT_EQ(keyState.vendorCommandSet, kind.firmware >= kVendorBytesFirmware);
    }

    void Connect() {
        const ConnectResult result = ConnectDevice(device, clock);
        ASSERT_TRUE(result.connected);
    }

    // Pulls the key out and plugs it in again, which ends the key's PIN session.
    void Replug() {
        key->Unplug();
        key->Plug();
        Connect();
    }

    AuthenticatorCaps Info(std::uint16_t expectedStatus = 0) {
        AuthenticatorCaps caps;
        EXPECT_EQ(GetAuthenticatorInfo(device, caps), expectedStatus);
        return caps;
    }

    vkey::ManualClock keyClock;
    std::unique_ptr<vkey::VirtualKey> key;
    vkey::VirtualHidBackend backend;
    KeyState keyState;
    FakeClock clock;
    CapturedDebugOutput debug;
    FidoDevice device{backend, keyState, clock, debug};
};

class CtapPinFlow : public VirtualKeyFlow, public ::testing::WithParamInterface<KeyKind> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

TEST_P(CtapPinFlow, PinSetChangedAndTokenFollowsTheCurrentPin) {
    EXPECT_EQ(Info().pinSet, 0);
    EXPECT_EQ(GetPinToken(device, "1234"), kCtapErrPinNotSet);

    ASSERT_EQ(SetPin(device, "1234"), 0);
    EXPECT_EQ(RefreshPinToken(device, "1234"), 0);
    EXPECT_FALSE(keyState.pinToken.Empty());
    EXPECT_EQ(Info().pinSet, 1);
    EXPECT_TRUE(keyState.pinSet);
    EXPECT_EQ(SetPin(device, "5678"), kCtapErrPinAuthInvalid) << "a PIN is set only once";

    ASSERT_EQ(ChangePin(device, "1234", "ピン5678"), 0);
    keyState.pinToken.Clear();
    EXPECT_EQ(GetPinToken(device, "ピン5678"), 0);
    const SecretBytes token = keyState.pinToken.Copy();
    EXPECT_EQ(token.size(), 32U);
    EXPECT_EQ(GetPinToken(device, "1234"), kCtapErrPinInvalid);
    EXPECT_EQ(keyState.pinToken.Copy().size(), token.size()) << "a refusal keeps the token";
    EXPECT_EQ(ChangePin(device, "1234", "9999"), kCtapErrPinInvalid);
    EXPECT_EQ(GetPinToken(device, "ピン5678"), 0) << "the failures did not change the PIN";
}

TEST_P(CtapPinFlow, WrongPinsCountDownUntilTheKeyBlocks) {
    ASSERT_EQ(SetPin(device, "1234"), 0);
    EXPECT_EQ(GetPinRetries(device), 8U);

    // Three wrong PINs in a row block PIN checks until the key is plugged in again; the
    // retry counter keeps falling across plug-ins until it reaches zero.
    std::vector<int> statuses;
    std::vector<std::uint32_t> retries;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (attempt == 3 || attempt == 6) {
            Replug();
        }
        statuses.push_back(GetPinToken(device, "0000"));
        retries.push_back(GetPinRetries(device).value_or(99));
    }
    EXPECT_THAT(statuses, ::testing::ElementsAre(0x31, 0x31, 0x34, 0x31, 0x31, 0x34, 0x31, 0x32));
    EXPECT_THAT(retries, ::testing::ElementsAre(7, 6, 5, 4, 3, 2, 1, 0));
    EXPECT_EQ(GetPinToken(device, "1234"), kCtapErrPinBlocked) << "even the right PIN";
    EXPECT_EQ(ChangePin(device, "1234", "5678"), kCtapErrPinBlocked);
}

TEST_P(CtapPinFlow, ResetInsideTheWindowErasesThePin) {
    ASSERT_EQ(SetPin(device, "1234"), 0);
    key->SetAutoTouch(vkey::AutoTouch{0, false});
    keyClock.Advance(9000);
    EXPECT_EQ(ResetAuthenticator(device), 0);
    EXPECT_EQ(Info().pinSet, 0);
    EXPECT_EQ(GetPinToken(device, "1234"), kCtapErrPinNotSet);
}

TEST_P(CtapPinFlow, ResetAfterTheWindowIsRefusedAndChangesNothing) {
    ASSERT_EQ(SetPin(device, "1234"), 0);
    key->SetAutoTouch(vkey::AutoTouch{0, false});
    keyClock.Advance(10001);
    std::vector<std::uint16_t> shown;
    ResetWorkerHooks hooks;
    hooks.showResult = [&](std::uint16_t status) { shown.push_back(status); };
    EXPECT_EQ(RunResetWorker(device, clock, hooks), kResetWorkerFinished);
    EXPECT_THAT(shown, ::testing::ElementsAre(kCtapErrNotAllowed));
    EXPECT_EQ(GetPinToken(device, "1234"), 0);
}

INSTANTIATE_TEST_SUITE_P(Models, CtapPinFlow,
                         ::testing::Values(KeyKind{"Standard", kStandardModel, kAesFirmware},
                                           KeyKind{"VendorCommandSet", kStandardModel,
                                                   kVendorBytesFirmware}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same calls and the same outcome on either family of key.
class KeyOperationsFlow : public VirtualKeyFlow, public ::testing::WithParamInterface<KeyKind> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

TEST_P(KeyOperationsFlow, PinSetAndChangedWhateverTheFamily) {
    const bool legacy = GetParam().model == kLegacyModelNumber;
    const KeyOutcome set = SetPinOnKey(device, "1234");
    EXPECT_TRUE(set.succeeded);
    EXPECT_EQ(set.tokenFollows, !legacy);
    EXPECT_TRUE(SucceededOnKey(device, set.status));

    const KeyOutcome wrong = ChangePinOnKey(device, "9999", "5678");
    EXPECT_FALSE(wrong.succeeded);
    EXPECT_TRUE(wrong.wrongPin);
    EXPECT_FALSE(wrong.locked);
    EXPECT_FALSE(wrong.KeyAgreementFailed());
    EXPECT_EQ(RetriesAfter(device, wrong), 7U);

    EXPECT_TRUE(ChangePinOnKey(device, "1234", "5678").succeeded);
}

INSTANTIATE_TEST_SUITE_P(Families, KeyOperationsFlow,
                         ::testing::Values(KeyKind{"Standard", kStandardModel, kAesFirmware},
                                           KeyKind{"VendorCommandSet", kStandardModel,
                                                   kVendorBytesFirmware},
                                           KeyKind{"Legacy", kLegacyModelNumber, kAesFirmware}),
                         [](const auto& info) { return std::string(info.param.name); });

class GetInfoFlow : public VirtualKeyFlow, public ::testing::WithParamInterface<KeyKind> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

TEST_P(GetInfoFlow, EnrollmentOfferedWhateverTheOptionSays) {
    // Nothing enrolled: the option is false, which still means enrollment is offered.
    AuthenticatorCaps caps = Info();
    EXPECT_EQ(caps.uvConfigured, 0);
    EXPECT_TRUE(keyState.bioEnrollmentSupported);

    key->EditState([](vkey::State& state) { state.templates[1] = vkey::Template{"a", 1}; });
    caps = Info();
    EXPECT_EQ(caps.uvConfigured, 1);
    EXPECT_TRUE(keyState.uvConfigured);
    EXPECT_TRUE(keyState.bioEnrollmentSupported);
}

INSTANTIATE_TEST_SUITE_P(Options, GetInfoFlow,
                         ::testing::Values(KeyKind{"Prototype", kStandardModel, kAesFirmware},
                                           KeyKind{"BioEnroll", kStandardModel, kAesFirmware,
                                                   true}),
                         [](const auto& info) { return std::string(info.param.name); });

class LegacyPinFlow : public VirtualKeyFlow, public ::testing::WithParamInterface<KeyKind> {
  protected:
    void SetUp() override { Start(GetParam()); }

    // Changing to the same PIN proves the key takes `pin` without changing anything.
    bool Accepts(std::string_view pin) { return ChangePinLegacy(device, pin, pin) == kSwSuccess; }
};

TEST_P(LegacyPinFlow, PinSetAndChangedOnTheKey) {
    EXPECT_EQ(Info(kSwSuccess).pinSet, 0);
    ASSERT_EQ(SetPinLegacy(device, "テスト1234"), kSwSuccess);
    EXPECT_EQ(Info(kSwSuccess).pinSet, 1);
    EXPECT_FALSE(keyState.pinSet) << "the legacy path leaves the flags alone";
    EXPECT_EQ(SetPinLegacy(device, "5678"), kSwConditionsNotSatisfied);

    ASSERT_EQ(ChangePinLegacy(device, "テスト1234", "5678"), kSwSuccess);
    EXPECT_TRUE(Accepts("5678"));
    EXPECT_EQ(ChangePinLegacy(device, "テスト1234", "0000"), kSwPinRetriesBase | 7);
}

TEST_P(LegacyPinFlow, WrongPinsCountDownToBlocked) {
    ASSERT_EQ(SetPinLegacy(device, "1234"), kSwSuccess);
    for (int left = 7; left >= 1; --left) {
        EXPECT_EQ(ChangePinLegacy(device, "9999", "0000"), kSwPinRetriesBase | left);
    }
    EXPECT_EQ(ChangePinLegacy(device, "9999", "0000"), kSwPinBlocked);
    EXPECT_EQ(ChangePinLegacy(device, "1234", "0000"), kSwPinBlocked);
}

TEST_P(LegacyPinFlow, ResetOnlyInsideTheWindow) {
    ASSERT_EQ(SetPinLegacy(device, "1234"), kSwSuccess);
    keyClock.Advance(10001);
    EXPECT_EQ(ResetAuthenticator(device), kSwConditionsNotSatisfied);
    EXPECT_TRUE(Accepts("1234"));

    Replug();
    keyClock.Advance(9000);
    EXPECT_EQ(ResetAuthenticator(device), kSwSuccess);
    EXPECT_EQ(Info(kSwSuccess).pinSet, 0);
}

INSTANTIATE_TEST_SUITE_P(Models, LegacyPinFlow,
                         ::testing::Values(KeyKind{"Des", kLegacyModelNumber, kDesFirmware},
                                           KeyKind{"Aes", kLegacyModelNumber, kAesFirmware}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvora::test
