// The fingerprint verification test: ask the key to check a finger against its enrolled
// fingerprints and turn the answer into a verdict.
//
// Which request a key gets:
//   legacy model                              84 E2 02 02 under secure messaging, polled
//   vendor command set                        VERIFY_TEST_REQUEST with command byte 0x48
//   sixth or seventh model, standard bytes    verifyFingerprint (bio subcommand 8)
//   any other key                             VERIFY_TEST_REQUEST (authenticatorMakeCredential)
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "ctap/bio_sequence.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora {

// A fixed authenticatorMakeCredential request with uv and an empty pinAuth, which the
// maker's keys answer by checking a finger: command byte 01 and a map of seven members
// (clientDataHash 00..1F, rp "example", user id 20..3F named "test@example.test" shown as
// "Test Ctap", ES256, uv true, pinAuth empty, pinProtocol 1). 181 bytes.
inline constexpr std::string_view VERIFY_TEST_REQUEST =
    "01A7015820000102030405060708090A0B0C0D0E0F101112131415161718191A"
    "1B1C1D1E1F02A2626964676578616D706C65646E616D65676578616D706C6503"
    "A36269645820202122232425262728292A2B2C2D2E2F30313233343536373839"
    "3A3B3C3D3E3F646E616D657174657374406578616D706C652E746573746B6469"
    "73706C61794E616D65695465737420437461700481A263616C67266474797065"
    "6A7075626C69632D6B657907A1627576F508400901";

enum class VerificationRequestKind {
    kLegacyPoll,
    kMakeCredential,  // with the command byte of the key's command set
    kVerifyFingerprint,
};

VerificationRequestKind ChooseVerificationRequest(const KeyState& state);

// The request a CTAP2 key gets (command byte first); empty for a legacy model.
std::vector<std::uint8_t> BuildVerificationRequest(const KeyState& state);

enum class Verdict { kVerified, kNotVerified, kNoVerdict };

Verdict CtapVerdict(std::uint8_t status);
Verdict LegacyVerdict(std::uint16_t statusWord);

// How long the verdict stays up before the dialog closes, the legacy poll's limit, and the
// shortest time from one poll to the next.
inline constexpr std::uint32_t kVerdictDisplayMs = 500;
inline constexpr std::uint64_t kLegacyVerifyLimitMs = 10000;
inline constexpr std::uint64_t kLegacyPollIntervalMs = 50;
// The code the dialog is closed with: WM_CLOSE's wParam for a CTAP2 key, the modal result
// for a legacy model.
inline constexpr int kCtapVerifyCloseCode = 100;
inline constexpr int kLegacyVerifyCloseCode = 2;

// Every status the dialog must show, in order (for a legacy model one per poll).
using VerificationReport = std::function<void(std::uint16_t status)>;

struct VerificationOutcome {
    SequenceEnd end = SequenceEnd::kFinished;  // or kCancelled, kAborted: nothing reported
    std::uint16_t lastStatus = 0;              // the last status reported
    int closeCode = kCtapVerifyCloseCode;
};

// Runs the test. A CTAP2 key gets one request and waits for the finger itself; a legacy
// model is polled, at most once every kLegacyPollIntervalMs, until a match or until
// kLegacyVerifyLimitMs passed, which is reported as kSwFingerNotVerified. After a verdict
// the test waits kVerdictDisplayMs on services.clock; a cancel or the key's removal ends it
// at once, without a report.
VerificationOutcome RunVerificationTest(FidoDevice& device, const VerificationReport& report,
                                        const std::atomic<bool>& cancelRequested,
                                        const BioSequenceServices& services = {});

}  // namespace kelvora
