// Whole fingerprint operations against the in-process virtual key of each model family:
// enrollment with progress, cancel and removal, listing, renaming and deleting, the legacy
// sample counting, and every verdict of the verification test.
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "ctap/bio_enrollment.h"
#include "ctap/bio_status.h"
#include "ctap/bio_templates.h"
#include "ctap/failure_detail.h"
#include "ctap/fingerprint_name.h"
#include "ctap/legacy_bio.h"
#include "ctap/verification_test.h"
#include "tests/common/wait.h"
#include "vkey_session.h"

namespace kelvora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

constexpr int kStandardModel = 3;
constexpr int kLegacyModelNumber = 1;
constexpr std::uint8_t kVendorFirmware = 18;

std::chrono::system_clock::time_point EnrollTime() {
    using namespace std::chrono;
    return sys_days{year{2021} / 1 / 2} + hours{3} + minutes{4} + seconds{5};
}

class FingerprintFlowTest : public VirtualKeyTest {
  protected:
    BioSequenceServices Services() {
        return {clock, debug, [] { return EnrollTime(); }};
    }

    SequenceOutcome Enroll() {
        return RunEnrollmentSequence(
            *device,
            [this](int remaining, int status) {
                progress.emplace_back(remaining, status);
                if (onProgress) {
                    onProgress();
                }
            },
            cancel, Services());
    }

    VerificationOutcome Verify() {
        return RunVerificationTest(
            *device, [this](std::uint16_t status) { reports.push_back(status); }, cancel,
            Services());
    }

    SlotMap Enumerate(TemplateNames& names) {
        SlotMap slots{};
        EXPECT_EQ(EnumerateBio(*device, slots, names, debug), 0);
        return slots;
    }

    // The bio requests the key saw, in order.
    std::vector<vkey::Bytes> BioRequests() const {
        std::vector<vkey::Bytes> requests;
        for (const vkey::HistoryEntry& entry : key->SnapshotState().history) {
            if (!entry.request.empty() && (entry.request[0] == 0x40 || entry.request[0] == 0x50)) {
                requests.push_back(entry.request);
            }
        }
        return requests;
    }

    std::atomic<bool> cancel{false};
    std::vector<std::pair<int, int>> progress;
    std::function<void()> onProgress;
    std::vector<std::uint16_t> reports;
};

TEST_F(FingerprintFlowTest, EnrolListRenameAndRemoveOnAStandardKey) {
    Connect(kStandardModel);
    key->SetAutoTouch(vkey::AutoTouch{});
    const SequenceOutcome outcome = Enroll();
    ASSERT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_THAT(progress, ElementsAre(Pair(3, 0), Pair(2, 0), Pair(1, 0)));

    TemplateNames names;
    SlotMap slots = Enumerate(names);
    ASSERT_EQ(std::count(slots.begin(), slots.end(), 1), 1);
    const auto slot =
        static_cast<std::uint16_t>(std::find(slots.begin(), slots.end(), 1) - slots.begin());
    EXPECT_THAT(names, ElementsAre(Pair(slot, DefaultFingerprintName(EnrollTime(), slot))));

    const std::string renamed = RenamedFingerprintName(names[slot], "\x89\x45");  // 右
    EXPECT_EQ(SetFriendlyName(*device, TemplateIdFromSlot(slot), renamed, false), 0);
    Enumerate(names);
    EXPECT_EQ(names[slot], "20210102030405\x89\x45");

    EXPECT_EQ(RemoveBio(*device, slot, false), 0);
    slots = Enumerate(names);
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 0);
    EXPECT_TRUE(names.empty());
}

TEST_F(FingerprintFlowTest, FingerprintProvedInsteadOfPinSendsNoPinAuth) {
    vkey::State initial;
    initial.pinHash = vkey::Bytes(16, 0xAB);
    initial.templates[0] = vkey::Template{"first", 7};
    Connect(kStandardModel, 17, initial);
    ASSERT_TRUE(keyState.pinSet && keyState.uvConfigured);
    key->SetAutoTouch(vkey::AutoTouch{});
    ASSERT_EQ(Enroll().result, 0);
    const std::vector<vkey::Bytes> requests = BioRequests();
    ASSERT_GE(requests.size(), 3U);
    for (const vkey::Bytes& request : requests) {
        EXPECT_NE(request[1], 0xA5) << "no pinProtocol and pinAuth";
    }
    EXPECT_EQ(key->SnapshotState().templates.size(), 2U);
}

TEST_F(FingerprintFlowTest, CancelStopsTheEnrollmentAndTheKeyKeepsNothing) {
    Connect(kStandardModel);
    key->SetAutoTouch(vkey::AutoTouch{});
    onProgress = [this] { cancel = true; };
    const SequenceOutcome outcome = Enroll();
    EXPECT_EQ(outcome.end, SequenceEnd::kCancelled);
    EXPECT_EQ(outcome.result, kBioSequenceAborted);
    EXPECT_EQ(progress.size(), 1U);
    EXPECT_TRUE(key->SnapshotState().templates.empty());
    const std::vector<vkey::Bytes> requests = BioRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), (vkey::Bytes{0x40, 0xA2, 0x01, 0x01, 0x02, 0x03}));
}

TEST_F(FingerprintFlowTest, UntouchedSensorIsAskedAgainUntilTheKeyIsRemoved) {
    Connect(kStandardModel);
    // The main window, noticing the removal after the key timed out a few times.
    std::thread mainWindow([this] {
        EXPECT_TRUE(KELVORA_WAIT_UNTIL(BioRequests().size() >= 3));
        keyState.deviceAbsent = true;
    });
    const SequenceOutcome outcome = Enroll();
    mainWindow.join();
    EXPECT_EQ(outcome.end, SequenceEnd::kAborted);
    EXPECT_THAT(progress, IsEmpty());
    EXPECT_THAT(clock.sleeps, IsEmpty()) << "no pause after the key's own 5 s time-out";
}

TEST_F(FingerprintFlowTest, UnpluggedKeyEndsTheEnrollment) {
    Connect(kStandardModel);
    key->SetAutoTouch(vkey::AutoTouch{});
    onProgress = [this] {
        key->Unplug();
        keyState.deviceAbsent = true;
    };
    EXPECT_EQ(Enroll().end, SequenceEnd::kAborted);
}

TEST_F(FingerprintFlowTest, VendorCommandSetKeyEnrolsAndVerifies) {
    Connect(kStandardModel, kVendorFirmware);
    ASSERT_TRUE(keyState.vendorCommandSet);
    key->SetAutoTouch(vkey::AutoTouch{});
    ASSERT_EQ(Enroll().result, 0);
    for (const vkey::Bytes& request : BioRequests()) {
        EXPECT_EQ(request[0], 0x50);
    }

    EXPECT_EQ(Verify().end, SequenceEnd::kFinished);
    EXPECT_THAT(reports, ElementsAre(0x00));
    EXPECT_EQ(CtapVerdict(static_cast<std::uint8_t>(reports[0])), Verdict::kVerified);

    // A stranger's finger: not verified, and the key tells how many attempts remain.
    reports.clear();
    key->SetAutoTouch(vkey::AutoTouch{500, true});
    Verify();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(CtapVerdict(static_cast<std::uint8_t>(reports[0])), Verdict::kNotVerified);
    EXPECT_EQ(ReadFailureDetail(*device), key->config().maxFingerprintRetries - 1);
}

class OwnSubcommandModelTest : public FingerprintFlowTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(OwnSubcommandModelTest, VerifiesWithTheKeysOwnSubcommandsUntilLocked) {
    vkey::State initial;
    initial.templates[4] = vkey::Template{"", 42};
    Connect(GetParam(), 17, initial);
    key->SetAutoTouch(vkey::AutoTouch{});
    Verify();
    EXPECT_THAT(reports, ElementsAre(0x00));

    key->SetAutoTouch(vkey::AutoTouch{500, true});
    for (int left = key->config().maxFingerprintRetries - 1; left >= 0; --left) {
        reports.clear();
        Verify();
        ASSERT_EQ(reports.size(), 1U);
        EXPECT_EQ(CtapVerdict(static_cast<std::uint8_t>(reports[0])), Verdict::kNotVerified);
        EXPECT_EQ(ReadFailureDetail(*device), left) << "0 means locked";
    }
    const std::vector<vkey::Bytes> requests = BioRequests();
    EXPECT_EQ(requests.front(), (vkey::Bytes{0x40, 0xA2, 0x01, 0x01, 0x02, 0x08}));
    EXPECT_EQ(requests.back(), (vkey::Bytes{0x40, 0xA2, 0x01, 0x01, 0x02, 0x09}));
}

INSTANTIATE_TEST_SUITE_P(SixthAndSeventh, OwnSubcommandModelTest, ::testing::Values(6, 7));

TEST_F(FingerprintFlowTest, KeyWithoutFingerprintsAndWithoutPinCountsAsVerified) {
    Connect(kStandardModel);
    key->SetAutoTouch(vkey::AutoTouch{});
    Verify();
    EXPECT_THAT(reports, ElementsAre(kCtapPinNotSet));
    EXPECT_EQ(CtapVerdict(kCtapPinNotSet), Verdict::kVerified);
}

TEST_F(FingerprintFlowTest, RemovalDuringTheVerificationWaitGivesNoVerdict) {
    vkey::State initial;
    initial.templates[0] = vkey::Template{"", 1};
    Connect(kStandardModel, 17, initial);
    keyState.deviceAbsent = true;  // the main window saw the removal while the key waited
    key->SetAutoTouch(vkey::AutoTouch{});
    EXPECT_EQ(Verify().end, SequenceEnd::kAborted);
    EXPECT_THAT(reports, IsEmpty());
}

class LegacyFlowTest : public FingerprintFlowTest {
  protected:
    void SetUp() override { Connect(kLegacyModelNumber); }

    SequenceOutcome EnrollLegacy(int slot) {
        return RunLegacyEnrollment(
            *device, slot,
            [this](int count, std::uint16_t status) { legacyProgress.emplace_back(count, status); },
            cancel, Services());
    }

    std::vector<std::pair<int, std::uint16_t>> legacyProgress;
};

TEST_F(LegacyFlowTest, EnrolsCountingOnlyLiftedFingersThenListsAndDeletes) {
    // The sensor for each poll: empty, a finger, the finger still there, lifted, and so on.
    const std::vector<bool> fingerDown = {false, true, true, false, true, false, true, false, true};
    clock.onSleep = [this, fingerDown](std::size_t polls) {
        if (polls < fingerDown.size() && fingerDown[polls] != fingerDown[polls - 1]) {
            if (fingerDown[polls]) {
                key->PlaceFinger(5);
            } else {
                key->LiftFinger();
            }
        }
    };
    const SequenceOutcome outcome = EnrollLegacy(3);
    ASSERT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.result, 0x9000);
    std::vector<std::pair<int, std::uint16_t>> accepted;
    bool notLiftedSeen = false;
    for (const auto& [count, status] : legacyProgress) {
        if (status == kSwSuccess) {
            accepted.emplace_back(count, status);
        }
        notLiftedSeen = notLiftedSeen || (count == 1 && status == kSwFingerNotLifted);
    }
    EXPECT_THAT(accepted,
                ElementsAre(Pair(1, 0x9000), Pair(2, 0x9000), Pair(3, 0x9000), Pair(4, 0x9000)));
    EXPECT_TRUE(notLiftedSeen) << "the finger left on the sensor after sample 1";

    SlotMap slots{};
    int notices = 0;
    EXPECT_EQ(LegacyReadSlots(*device, slots, [&notices] { ++notices; }), 0);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(slots[3], 1);
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 1);

    reports.clear();
    key->LiftFinger();
    key->SetAutoTouch(vkey::AutoTouch{});
    clock.stepPerReading = 100;  // polls never wait; let the auto-touch delay pass
    Verify();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), kSwSuccess);

    EXPECT_EQ(LegacyDelete(*device, 3), kSwSuccess);
    EXPECT_EQ(LegacyReadSlots(*device, slots, [&notices] { ++notices; }), 0);
    EXPECT_EQ(std::count(slots.begin(), slots.end(), 1), 0);
}

TEST_F(LegacyFlowTest, CancelledEnrollmentEndsAndSuspendReportsItsOwnResult) {
    clock.onSleep = [this](std::size_t polls) {
        if (polls == 3) {
            cancel = true;
        }
    };
    EXPECT_EQ(EnrollLegacy(0).end, SequenceEnd::kCancelled);
    cancel = false;
    clock.onSleep = [this](std::size_t) { keyState.systemSuspended = true; };
    const SequenceOutcome outcome = EnrollLegacy(0);
    EXPECT_EQ(outcome.end, SequenceEnd::kSuspended);
    EXPECT_EQ(outcome.result, kBioSequenceSuspended);
}

TEST_F(LegacyFlowTest, UntouchedSensorGivesNotVerifiedAfterTenSeconds) {
    clock.stepPerReading = 1;
    const VerificationOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, SequenceEnd::kFinished);
    EXPECT_EQ(outcome.closeCode, kLegacyVerifyCloseCode);
    ASSERT_GE(reports.size(), 2U);
    EXPECT_LE(reports.size() - 1, 201U) << "polls, one every 50 ms at most";
    EXPECT_EQ(reports.back(), kSwFingerNotVerified);
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(LegacyVerdict(reports[i]), Verdict::kNoVerdict) << i;
    }
    EXPECT_EQ(LegacyVerdict(reports.back()), Verdict::kNotVerified);
}

}  // namespace
}  // namespace kelvora::test
