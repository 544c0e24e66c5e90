// Resetting the key to its factory state, and the worker the reset dialog runs around it.
//
// The key decides whether it accepts: a CTAP2 key wants a touch and may refuse a reset that
// comes too long after it was plugged in (CTAP 2.1 §6.6); the tool neither counts time nor
// retries.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "transport/fido_device.h"

namespace kelvora {

// Sends authenticatorReset (0x07, or 0x47 with the vendor command set) and returns its CTAP
// status, or on a legacy model the plain APDU 80 E3 03 00 and its status word. Blocks while
// the key waits for a touch.
std::uint16_t ResetAuthenticator(FidoDevice& device);

// How the reset dialog closes.
enum ResetCloseCode : int {
    kResetClosedAfterOutcome = 1,
    kResetClosedWithoutOutcome = 2,  // the key went away during the exchange
};

// What RunResetWorker returns as the worker thread's exit code.
inline constexpr int kResetWorkerFinished = 0;
inline constexpr int kResetWorkerKeyGone = 1001;

// How long the outcome stays on screen before the dialog closes.
inline constexpr std::uint32_t kResetOutcomeShownMs = 500;

// The dialog's side of the worker: both are posted to the dialog, never run on its thread.
struct ResetWorkerHooks {
    std::function<void(std::uint16_t status)> showResult;
    std::function<void(ResetCloseCode code)> close;
};

// The reset dialog's worker: resets, then either closes without an outcome when
// keyState.deviceAbsent was set meanwhile, or shows the status, waits
// kResetOutcomeShownMs on `clock` and closes.
int RunResetWorker(FidoDevice& device, Clock& clock, const ResetWorkerHooks& hooks);

}  // namespace kelvora
