#include "cli/reporter.h"

#include "ctap/status.h"
#include "transport/apdu.h"
#include "transport/fido_device.h"

namespace kelvora::cli {

int ExitForStatus(int status) {
    if (status == kCtapErrPinInvalid) {
        return kExitWrongPin;
    }
    if (status == kCtapErrPinBlocked || status == kCtapErrPinAuthBlocked ||
        status == kSwPinBlocked) {
        return kExitBlocked;
    }
    if (const std::optional<std::uint32_t> retries = LegacyPinRetries(status)) {
        return *retries == 0 ? kExitBlocked : kExitWrongPin;
    }
    if (status == kCtapTransportFailure || status == kSwTransportFailure) {
        return kExitNoKey;
    }
    return kExitKeyError;
}

namespace {

constexpr std::string_view kRemovedMessage =
    "the key was removed before the command finished; plug it in again and check what it "
    "kept with 'info' or 'fingerprints list'";

}  // namespace

int Reporter::Done(const Json& result, std::string_view text) {
    if (KeyGone()) {
        return Emit(kExitNoKey, kRemovedMessage, std::nullopt);
    }
    if (json_) {
        Json object = {{"ok", true}};
        if (result.is_object()) {
            object.update(result);
        }
        env_.out << DumpJson(object) << '\n';
    } else if (!text.empty()) {
        env_.out << text;
        if (text.back() != '\n') {
            env_.out << '\n';
        }
    }
    env_.out.flush();
    return kExitOk;
}

int Reporter::Fail(int exitCode, std::string_view message, std::optional<int> keyStatus) {
    if (KeyGone() && exitCode != kExitNoKey) {
        return Emit(kExitNoKey, kRemovedMessage, std::nullopt);
    }
    return Emit(exitCode, message, keyStatus);
}

int Reporter::Emit(int exitCode, std::string_view message, std::optional<int> keyStatus) {
    if (json_) {
        Json error = {{"code", ExitCodeName(exitCode)}, {"exit", exitCode}, {"message", message}};
        if (keyStatus) {
            error["status"] = *keyStatus;
            error["statusText"] = StatusText(*keyStatus);
        }
        const Json object = {{"ok", false}, {"error", std::move(error)}};
        env_.out << DumpJson(object) << '\n';
        env_.out.flush();
    } else {
        env_.err << "kelvora-fido2: " << message;
        if (keyStatus) {
            env_.err << " (" << StatusText(*keyStatus) << ")";
        }
        env_.err << '\n';
    }
    return exitCode;
}

int Reporter::FailWithStatus(std::string_view what, int status,
                             std::optional<std::uint32_t> retries) {
    const int code = ExitForStatus(status);
    std::string message(what);
    switch (code) {
        case kExitWrongPin:
            message += " failed: wrong PIN";
            if (retries) {
                message += "; " + std::to_string(*retries) +
                           (*retries == 1 ? " retry left" : " retries left");
            }
            break;
        case kExitBlocked:
            message += status == kCtapErrPinAuthBlocked
                           ? " failed: too many wrong PINs; unplug and re-plug the key to try again"
                           : " failed: the PIN is blocked; only a reset makes the key usable again";
            break;
        case kExitNoKey:
            message += " failed: the key did not answer (was it unplugged?)";
            break;
        default:
            message += " failed";
    }
    return Fail(code, message, status);
}

void Reporter::Note(std::string_view text) {
    env_.err << text << '\n';
    env_.err.flush();
}

std::string_view ExitCodeName(int code) {
    switch (code) {
        case kExitOk:
            return "ok";
        case kExitKeyError:
            return "key-error";
        case kExitUsage:
            return "usage";
        case kExitNoKey:
            return "no-key";
        case kExitAccessDenied:
            return "access-denied";
        case kExitWrongPin:
            return "wrong-pin";
        case kExitBlocked:
            return "blocked";
        case kExitNotVerified:
            return "not-verified";
        case kExitCancelled:
            return "cancelled";
        default:
            return "unknown";
    }
}

}  // namespace kelvora::cli
