#include "cli/key_session.h"

#include <cstdio>

#include "cli/removal_watch.h"
#include "cli/terminal_text.h"
#include "ctap/status.h"
#include "platform/access_denied_advice.h"
#include "platform/narrow_text.h"
#include "platform/text.h"
#include "transport/connect.h"
#include "transport/device_ids.h"
#include "transport/hid_device_info.h"

namespace kelvora::cli {

namespace {

constexpr std::string_view kMakerVendorTag = "vid_4b56";

// The chosen interface alone, so that the session's discovery cannot pick another key; its
// connections raise `gone` when the key goes away.
class OneInterfaceBackend final : public HidBackend {
  public:
    OneInterfaceBackend(HidBackend& inner, std::string path, std::atomic<bool>& gone)
        : inner_(inner), path_(std::move(path)), gone_(gone) {}

    std::vector<HidInterfaceInfo> Enumerate() override {
        std::vector<HidInterfaceInfo> chosen;
        for (auto& info : inner_.Enumerate()) {
            if (info.path == path_) {
                chosen.push_back(std::move(info));
            }
        }
        return chosen;
    }
    HidOpenResult Open(const HidInterfaceInfo& info) override {
        HidOpenResult result = inner_.Open(info);
        result.connection = WatchForRemoval(std::move(result.connection), gone_);
        return result;
    }

  private:
    HidBackend& inner_;
    std::string path_;
    std::atomic<bool>& gone_;
};

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::string NodePath(const std::string& path) {
    return UserPath(path);
}

std::vector<FoundKey> FindKeys(HidBackend& backend) {
    std::vector<FoundKey> keys;
    for (const auto& info : backend.Enumerate()) {
        const bool makers = info.vendorId == kMakerVendorId ||
                            LowerAscii(info.path).find(kMakerVendorTag) != std::string::npos;
        if (!makers) {
            continue;
        }
        if (!info.accessDenied && !IsSupportedProduct(info.productId)) {
            continue;
        }
        FoundKey key;
        key.path = info.path;
        key.nodePath = NodePath(info.path);
        key.productId = info.productId;
        key.model = SupportedProductIndex(info.productId) + 1;
        if (info.productNameAvailable) {
            const std::optional<std::string> name = NarrowToUtf8(info.productName);
            key.productName = name.value_or(std::string());
            if (!name) {
                key.productNameProblem = "the product name cannot be decoded on this system";
            }
        }
        key.accessDenied = info.accessDenied;
        keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<FoundKey> SelectKeys(std::vector<FoundKey> keys, const CliOptions& options) {
    if (!options.device) {
        return keys;
    }
    std::vector<FoundKey> chosen;
    for (auto& key : keys) {
        if (key.path == *options.device || key.nodePath == *options.device) {
            chosen.push_back(std::move(key));
        }
    }
    return chosen;
}

std::string ProductIdText(std::uint16_t productId) {
    char text[8];
    // The buffer holds any output, so the count needs no check.
    static_cast<void>(std::snprintf(text, sizeof text, "%04x", productId));
    return text;
}

std::string NoDaemonMessage(const std::string& socketPath) {
    return "KELVORA_VKEY names " + socketPath +
           ", but no virtual key daemon listens there; start one with 'kelvora-vkey --socket " +
           socketPath + "' or unset KELVORA_VKEY";
}

std::string AccessDeniedMessage(const FoundKey& key, Elevation& elevation) {
    return "a supported key is present but " + key.nodePath + " cannot be opened; " +
           CommandLineAccessAdvice(elevation);
}

KeySession::~KeySession() {
    if (reporter_) {
        reporter_->WatchKey(nullptr);
    }
    Close();
}

void KeySession::Close() {
    if (device_) {
        device_->CloseAllDevices();
    }
    device_.reset();
    backend_.reset();
}

std::string ProductNameText(const FoundKey& key) {
    return key.productNameProblem.empty() ? TerminalSafe(key.productName)
                                          : "(" + key.productNameProblem + ")";
}

bool KeySession::Legacy() const {
    return IsLegacyModel(key_.productId);
}

bool KeySession::InfoRead() const {
    return infoStatus_ == SuccessStatus(key_.productId);
}

int KeySession::RequireInfo(Reporter& reporter) const {
    if (InfoRead()) {
        return kExitOk;
    }
    return reporter.Fail(kExitKeyError,
                         "the key did not answer GetInfo: whether it has a PIN or "
                         "fingerprints and whether it takes enrollment are unknown",
                         infoStatus_);
}

bool KeySession::OpenKey(CliEnv& env, HidBackend& backend, const FoundKey& key) {
    Close();
    key_ = key;
    state_.deviceAbsent = false;
    // GetInfo writes this for a CTAP2 key only; a legacy key must not inherit it.
    state_.bioEnrollmentSupported = false;
    backend_ = std::make_unique<OneInterfaceBackend>(backend, key.path, state_.deviceAbsent);
    device_ = std::make_unique<FidoDevice>(*backend_, state_, env.clock, env.debug);
    firmware_.reset();
    const ConnectResult result = ConnectDevice(*device_, env.clock);
    if (!result.connected) {
        return false;
    }
    firmwareAsked_ = result.firmwareStatus != 0;
    if (result.firmwareVersion) {
        firmware_ = *result.firmwareVersion;
    }
    RefreshInfo();
    // A key pulled out while it was being asked would otherwise look like a blank one.
    return !Removed();
}

std::uint16_t KeySession::RefreshInfo() {
    caps_ = {};
    const std::uint16_t status = GetAuthenticatorInfo(*device_, caps_, details_);
    infoStatus_ = status;
    state_.pinSet = caps_.pinSet != 0;
    state_.uvConfigured = caps_.uvConfigured != 0;
    return status;
}

int KeySession::Open(CliEnv& env, const CliOptions& options, Reporter& reporter) {
    const std::vector<FoundKey> keys = SelectKeys(FindKeys(env.backend), options);
    std::vector<const FoundKey*> usable;
    const FoundKey* denied = nullptr;
    for (const auto& key : keys) {
        if (key.accessDenied) {
            denied = denied ? denied : &key;
        } else {
            usable.push_back(&key);
        }
    }
    if (usable.size() > 1) {
        std::string message = std::to_string(usable.size()) +
                              " supported keys are attached; choose one with --device:";
        for (const auto* key : usable) {
            message += " " + key->nodePath;
        }
        return reporter.Fail(kExitUsage, message);
    }
    if (usable.empty()) {
        if (denied) {
            return reporter.Fail(kExitAccessDenied, AccessDeniedMessage(*denied, env.elevation));
        }
        if (!env.vkeySocket.empty() && (!options.device || *options.device == env.vkeySocket)) {
            return reporter.Fail(kExitNoKey, NoDaemonMessage(env.vkeySocket) +
                                                 "; no other supported key is attached");
        }
        return reporter.Fail(kExitNoKey, options.device
                                             ? "no supported key at " + *options.device
                                             : std::string("no supported key is attached"));
    }
    reporter_ = &reporter;
    reporter.WatchKey(&state_.deviceAbsent);
    if (!OpenKey(env, env.backend, *usable.front())) {
        if (Removed()) {
            return reporter.Fail(kExitNoKey,
                                 "the key at " + usable.front()->nodePath + " was removed");
        }
        if (state_.deviceAccessDenied) {
            return reporter.Fail(kExitAccessDenied,
                                 AccessDeniedMessage(*usable.front(), env.elevation));
        }
        // A socket left behind by a daemon that has gone is listed, but nobody answers it.
        if (!env.vkeySocket.empty() && usable.front()->nodePath == env.vkeySocket) {
            return reporter.Fail(kExitNoKey, NoDaemonMessage(env.vkeySocket));
        }
        return reporter.Fail(kExitNoKey,
                             "the key at " + usable.front()->nodePath + " could not be opened");
    }
    return kExitOk;
}

}  // namespace kelvora::cli
