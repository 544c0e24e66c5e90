// The client's operations against a key that misbehaves in each way the virtual key knows:
// every operation must end (no hang), must not crash, and must not report a success it did
// not get. Keys that never answer are pulled out after a while, as a user would; the
// operation must then end with a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "ctap/bio_enrollment.h"
#include "ctap/bio_templates.h"
#include "ctap/client_pin.h"
#include "ctap/failure_detail.h"
#include "ctap/get_info.h"
#include "ctap/key_operations.h"
#include "ctap/legacy_bio.h"
#include "ctap/legacy_pin.h"
#include "ctap/verification_test.h"
#include "hostile_key_backend.h"
#include "tests/common/fakes.h"
#include "transport/apdu.h"
#include "transport/connect.h"
#include "transport/fido_device.h"
#include "vkey/hostile.h"
#include "vkey/sample_passkeys.h"

namespace kelvora::test {
namespace {

using vkey::Hostility;

constexpr int kCtap2Model = 3;
constexpr int kLegacyModel = 1;
constexpr char kPin[] = "1234";
constexpr char kNewPin[] = "5678";
// Reads a host may spend on a key that never answers before the user gives up on it.
constexpr long kPatience = 3000;
constexpr int kPausesBeforeCancel = 20;

// One key, connected while it still behaves; then it turns hostile.
struct Session {
    Session(int model, bool withPin) {
        vkey::Config config;
        config.model = model;
        key = std::make_unique<vkey::VirtualKey>(config, keyClock);
        backend = std::make_unique<HostileKeyBackend>(*key, keyClock, budget);
        device = std::make_unique<FidoDevice>(*backend, keyState, clock, debug);
        // As the main window does when the key goes away.
        key->SetRemovalObserver([this] { keyState.deviceAbsent = true; });
        key->Plug();
        connected = ConnectDevice(*device, clock).connected;
        keyState.bioEnrollmentSupported = !config.isLegacy();
        if (withPin && connected) {
            pinSet = config.isLegacy() ? SetPinLegacy(*device, kPin) == kSwSuccess
                                       : SetPin(*device, kPin) == kCtapSuccess;
        }
    }

    vkey::ManualClock keyClock{1000};
    SharedClock clock{keyClock};
    NullDebugOutput debug;
    KeyState keyState;
    ReadBudget budget;
    std::unique_ptr<vkey::VirtualKey> key;
    std::unique_ptr<HostileKeyBackend> backend;
    std::unique_ptr<FidoDevice> device;
    bool connected = false;
    bool pinSet = false;
    BioSequenceServices services() { return {clock, debug, SystemWallClock()}; }
};

// Which hostile behaviours can touch an operation at all: content faults of CBOR answers
// mean nothing to the APDU operations, and the key-agreement and token faults touch only
// the PIN commands that carry them.
enum Touch : unsigned {
    kFraming = 1u << 0,       // length, keep-alives, silence, error packets
    kTruncation = 1u << 4,    // an answer cut short
    kCborTypes = 1u << 1,     // wrong CBOR types
    kKeyAgreement = 1u << 2,  // short x and y
    kOddToken = 1u << 3,      // token of an odd length
    kCounts = 1u << 5,        // passkey counts beyond belief
};
constexpr unsigned kAnyAnswerFault = kFraming | kTruncation;

unsigned TouchOf(Hostility hostility) {
    switch (hostility) {
        case Hostility::kWrongCborTypes:
            return kCborTypes;
        case Hostility::kBadKeyAgreement:
            return kKeyAgreement;
        case Hostility::kOddTokenLength:
            return kOddToken;
        case Hostility::kTruncatedMessage:
            return kTruncation;
        case Hostility::kBadCounts:
            return kCounts;
        default:
            return kFraming;
    }
}

// Three passkeys on the key, a token for them, and the command GetInfo would have chosen.
void PreparePasskeys(Session& s) {
    s.key->EditState([](vkey::State& state) { vkey::AddSamplePasskeys(state, 3); });
    s.keyState.passkeyCommand = 0x41;
    GetPinToken(*s.device, kPin);
}

struct Operation {
    const char* name;
    int model;
    bool needsPin;
    unsigned touchedBy;
    // Runs the operation; true when it reported success.
    std::function<bool(Session&)> run;
};

const Operation kOperations[] = {
    {"GetInfo", kCtap2Model, false, kAnyAnswerFault | kCborTypes,
     [](Session& s) {
         AuthenticatorCaps caps;
         return GetAuthenticatorInfo(*s.device, caps) == kCtapSuccess &&
                s.keyState.bioEnrollmentSupported;
     }},
    {"GetPinToken", kCtap2Model, true, kAnyAnswerFault | kCborTypes | kKeyAgreement | kOddToken,
     [](Session& s) {
         s.device->State().pinToken.Clear();
         return GetPinToken(*s.device, kPin) == kCtapSuccess;
     }},
    {"SetPin", kCtap2Model, false, kAnyAnswerFault | kCborTypes | kKeyAgreement,
     [](Session& s) { return SetPin(*s.device, kPin) == kCtapSuccess; }},
    {"ChangePin", kCtap2Model, true, kAnyAnswerFault | kCborTypes | kKeyAgreement,
     [](Session& s) { return ChangePin(*s.device, kPin, kNewPin) == kCtapSuccess; }},
    {"PinRetries", kCtap2Model, true, kAnyAnswerFault | kCborTypes,
     [](Session& s) {
         std::uint32_t retries = 0;
         return GetPinRetries(*s.device, retries) == kCtapSuccess;
     }},
    {"EnumerateBio", kCtap2Model, false, kAnyAnswerFault | kCborTypes,
     [](Session& s) {
         s.key->EditState([](vkey::State& state) {
             state.templates[1] = vkey::Template{"one", 7};
         });
         SlotMap slots{};
         TemplateNames names;
         EnumerateBio(*s.device, slots, names, s.debug);
         return slots[1] == 1;
     }},
    {"Enrollment", kCtap2Model, false, kAnyAnswerFault | kCborTypes,
     [](Session& s) {
         // The sequence retries what the key refuses until the user cancels; this user
         // gives up after a while.
         std::atomic<bool> cancel{false};
         int pauses = 0;
         s.clock.onSleep = [&](std::size_t) {
             if (++pauses >= kPausesBeforeCancel) {
                 cancel = true;
             }
         };
         const SequenceOutcome outcome = RunEnrollmentSequence(
             *s.device, [](int, int) {}, cancel, s.services());
         s.clock.onSleep = nullptr;
         return outcome.end == SequenceEnd::kFinished && outcome.result == kCtapSuccess;
     }},
    {"VerificationTest", kCtap2Model, false, kAnyAnswerFault | kCborTypes,
     [](Session& s) {
         std::atomic<bool> cancel{false};
         const VerificationOutcome outcome = RunVerificationTest(
             *s.device, [](std::uint16_t) {}, cancel, s.services());
         return outcome.end == SequenceEnd::kFinished &&
                CtapVerdict(static_cast<std::uint8_t>(outcome.lastStatus)) == Verdict::kVerified;
     }},
    {"ListPasskeys", kCtap2Model, true, kAnyAnswerFault | kCborTypes | kCounts,
     [](Session& s) {
         PreparePasskeys(s);
         std::vector<PasskeySite> sites;
         return ListPasskeysOnKey(*s.device, sites).succeeded && PasskeyCount(sites) == 3;
     }},
    {"PasskeyMetadata", kCtap2Model, true, kAnyAnswerFault | kCborTypes | kCounts,
     [](Session& s) {
         PreparePasskeys(s);
         PasskeyMetadata metadata;
         return ReadPasskeyMetadataOnKey(*s.device, metadata).succeeded;
     }},
    // The count is the answer's status byte: neither a cut nor a body of the wrong types
    // touches it.
    {"FailureDetail", kCtap2Model, false, kFraming,
     [](Session& s) { return ReadFailureDetail(*s.device).has_value(); }},
    {"LegacyGetInfo", kLegacyModel, false, kAnyAnswerFault,
     [](Session& s) {
         AuthenticatorCaps caps;
         return GetAuthenticatorInfo(*s.device, caps) == kSwSuccess;
     }},
    {"LegacyReadSlots", kLegacyModel, false, kAnyAnswerFault,
     [](Session& s) {
         SlotMap slots{};
         return LegacyReadSlots(*s.device, slots, [] {}) == 0;
     }},
    {"LegacySetPin", kLegacyModel, false, kAnyAnswerFault,
     [](Session& s) { return SetPinLegacy(*s.device, kPin) == kSwSuccess; }},
    {"LegacyVerification", kLegacyModel, false, kAnyAnswerFault,
     [](Session& s) {
         std::atomic<bool> cancel{false};
         const VerificationOutcome outcome = RunVerificationTest(
             *s.device, [](std::uint16_t) {}, cancel, s.services());
         return outcome.end == SequenceEnd::kFinished &&
                LegacyVerdict(outcome.lastStatus) == Verdict::kVerified;
     }},
};

struct Case {
    const Operation* operation;
    Hostility hostility;
    friend void PrintTo(const Case& c, std::ostream* os) {
        *os << c.operation->name << "/" << vkey::HostilityName(c.hostility);
    }
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const Operation& operation : kOperations) {
        for (Hostility hostility : vkey::AllHostilities()) {
            cases.push_back({&operation, hostility});
        }
    }
    return cases;
}

class HostileKeyTest : public ::testing::TestWithParam<Case> {};

TEST_P(HostileKeyTest, OperationEndsWithoutClaimingSuccess) {
    const Case c = GetParam();
    Session session(c.operation->model, c.operation->needsPin);
    ASSERT_TRUE(session.connected);
    ASSERT_EQ(session.pinSet, c.operation->needsPin);
    session.key->SetHostility(c.hostility);
    session.budget.readsBeforeRemoval = session.budget.reads + kPatience;

    const bool succeeded = c.operation->run(session);

    if ((c.operation->touchedBy & TouchOf(c.hostility)) != 0) {
        EXPECT_FALSE(succeeded);
    }
    // Keep-alives do not stretch an exchange past its deadline: the operation ends long
    // before the user would give up and pull the key. The enrollment alone asks again after
    // any failed sample, on its worker thread, until it is cancelled or the key goes.
    if (c.hostility == Hostility::kEndlessKeepalive &&
        std::string_view(c.operation->name) != "Enrollment") {
        EXPECT_FALSE(session.budget.removed);
    }
}

INSTANTIATE_TEST_SUITE_P(AllBehaviours, HostileKeyTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) {
                             std::string name = std::string(info.param.operation->name) + "_" +
                                                std::string(HostilityName(info.param.hostility));
                             for (char& ch : name) {
                                 if (ch == '-') {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

// A silent key is given up on by the transport itself, well before the user would pull it.
TEST(SilentKeyTest, EveryExchangeFailsAfterTheSilenceLimit) {
    Session session(kCtap2Model, false);
    ASSERT_TRUE(session.connected);
    session.key->SetHostility(Hostility::kSilent);
    const std::uint64_t start = session.clock.NowMs();
    AuthenticatorCaps caps;
    EXPECT_NE(GetAuthenticatorInfo(*session.device, caps), kCtapSuccess);
    EXPECT_FALSE(session.budget.removed);
    EXPECT_GE(session.clock.NowMs() - start, kKeySilenceLimitMs);
}

}  // namespace
}  // namespace kelvora::test
