#include "vkey/reset.h"

#include "vkey/ctap_reply.h"

namespace kelvora::vkey {

bool ResetWindowOpen(const KeyContext& ctx) {
    return ctx.clock.NowMs() - ctx.session.plugTimeMs <= ctx.config.resetWindowMs;
}

CommandResult HandleReset(KeyContext& ctx) {
    if (!ResetWindowOpen(ctx)) {
        return {StatusOnly(CtapStatus::kNotAllowed), std::nullopt};
    }
    FingerWait wait;
    wait.timeoutMs = ctx.config.presenceTimeoutMs;
    wait.autoFinger = key_ops::AutoVerifyFinger(ctx);
    wait.complete = [&ctx](const FingerOutcome& outcome) {
        if (std::optional<Bytes> ended = NoFingerReply(outcome)) {
            return *ended;
        }
        key_ops::FactoryReset(ctx);
        return StatusOnly(CtapStatus::kSuccess);
    };
    return {Bytes{}, std::move(wait)};
}

}  // namespace kelvora::vkey
