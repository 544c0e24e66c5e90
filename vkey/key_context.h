// What a command handler works with, and what it gives back.
//
// Handlers run under VirtualKey's lock. One that needs a finger returns a FingerWait; the
// key then sends keep-alives (UP needed) every 100 ms of its clock until the sensor gives a
// touch, the time-out passes or the host cancels, and sends what `complete` returns.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "vkey/bytes.h"
#include "vkey/clock.h"
#include "vkey/config.h"
#include "vkey/sensor.h"
#include "vkey/state.h"

namespace kelvora::vkey {

// One-shot fault switches; each is cleared when it has acted.
struct Faults {
    bool malformedNextResponse = false;  // next response: status kept, body cut short
    bool failNextSample = false;         // next fingerprint sample is rejected
    bool neverAnswerNext = false;        // next request is swallowed without a response
    bool loseNextAnswer = false;         // next request is carried out, its answer dropped
};

struct FingerOutcome {
    enum class Kind { kFinger, kTimeout, kCancelled };
    Kind kind = Kind::kTimeout;
    int finger = 0;
    bool heldDown = false;  // at a time-out: a used finger stayed on the sensor throughout
};

struct FingerWait {
    std::int64_t timeoutMs = 0;
    int autoFinger = kStrangerFinger;  // what auto-touch lays on
    std::function<Bytes(const FingerOutcome&)> complete;
};

struct CommandResult {
    Bytes response;
    std::optional<FingerWait> wait;
};

struct KeyContext {
    const Config& config;
    State& state;
    PlugSession& session;
    Sensor& sensor;
    const Clock& clock;
    Faults& faults;
};

// Operations several command families share.
namespace key_ops {

// Lowest free slot below the capacity.
std::optional<std::uint16_t> FreeSlot(const KeyContext& ctx);
Bytes TemplateId(std::uint16_t slot);
std::optional<std::uint16_t> SlotFromTemplateId(ByteView id);

// The finger auto-touch offers when the key verifies: an enrolled one, unless the sensor is
// set to offer strangers.
int AutoVerifyFinger(const KeyContext& ctx);
// A finger nobody has enrolled, for auto-touch during enrollment.
int AutoEnrollFinger(KeyContext& ctx);

enum class Verdict { kMatch, kNoMatch, kLocked };
// Compares a finger with the templates and keeps the fingerprint retry counter.
Verdict VerifyFinger(KeyContext& ctx, int finger);

// Erases PIN, templates, passkeys and counters, and renews the session's secrets.
void FactoryReset(KeyContext& ctx);
// New key-agreement key and PIN token, as at power-up.
void RenewSessionSecrets(PlugSession& session);
// The session's key-agreement key, made when a PIN operation first needs it: the P-256 key
// pair costs as much as the rest of a plug-in, and most plug-ins never see a PIN.
KeyAgreementKey& SessionKeyAgreement(PlugSession& session);

}  // namespace key_ops
}  // namespace kelvora::vkey
