#include "ctap/reset.h"

#include <array>

#include "ctap/command_codes.h"
#include "transport/apdu.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

// The legacy models' reset: 80 E3 03 00, nothing back.
enum LegacyResetApdu : std::uint8_t {
    kLegacyResetClass = 0x80,
    kLegacyResetInstruction = 0xE3,
    kLegacyResetP1 = 0x03,
    kLegacyResetP2 = 0x00,
};

constexpr std::size_t kResetResponseSize = 256;

}  // namespace

std::uint16_t ResetAuthenticator(FidoDevice& device) {
    std::array<std::uint8_t, kResetResponseSize> response{};
    std::uint32_t length = response.size();
    KeyState& state = device.State();
    if (IsLegacyModel(state.selectedProductId)) {
        device.SetApduHeader(kLegacyResetClass, kLegacyResetInstruction, kLegacyResetP1,
                             kLegacyResetP2, nullptr, 0, 0);
        return device.TransmitSecureApdu(response.data(), &length, nullptr, 0, kApduPlain, nullptr);
    }
    const std::uint8_t request = CommandByte(state, CtapCommand::kReset);
    return device.SendCborCommand(&request, 1, response.data(), &length);
}

int RunResetWorker(FidoDevice& device, Clock& clock, const ResetWorkerHooks& hooks) {
    const std::uint16_t status = ResetAuthenticator(device);
    if (device.State().deviceAbsent) {
        if (hooks.close) {
            hooks.close(kResetClosedWithoutOutcome);
        }
        return kResetWorkerKeyGone;
    }
    if (hooks.showResult) {
        hooks.showResult(status);
    }
    clock.SleepMs(kResetOutcomeShownMs);
    if (hooks.close) {
        hooks.close(kResetClosedAfterOutcome);
    }
    return kResetWorkerFinished;
}

}  // namespace kelvora
