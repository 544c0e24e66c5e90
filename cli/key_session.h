// Finding the supported keys and opening a session with the one the user chose.
//
// Several keys attached at once are not guessed between: the user names one with --device.
// A key that is present but cannot be opened is reported as an access problem, never as "no
// key".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_env.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "ctap/get_info.h"
#include "ctap/get_info_details.h"
#include "transport/fido_device.h"
#include "transport/key_state.h"

namespace kelvora::cli {

struct FoundKey {
    std::string path;      // the backend's interface path
    std::string nodePath;  // what the user passes to --device (/dev/hidrawN; on Windows the
                           // whole interface path)
    std::uint16_t productId = 0;
    int model = 0;            // 1-7, the position in the supported product list; 0 when unknown
    std::string productName;  // UTF-8
    // Set, with productName empty, when the name could not be decoded on this system.
    std::string productNameProblem;
    bool accessDenied = false;
};

// The product name for text output; the problem in brackets when it could not be decoded.
std::string ProductNameText(const FoundKey& key);

// The interface path without the identity suffix discovery appends ("#vid_..."), see
// UserPath.
std::string NodePath(const std::string& path);

// The maker's supported keys the backend lists, plus the maker's interfaces that could not be
// opened, in enumeration order.
std::vector<FoundKey> FindKeys(HidBackend& backend);

// Keeps the keys --device names (all of them without --device).
std::vector<FoundKey> SelectKeys(std::vector<FoundKey> keys, const CliOptions& options);

// A product id as four lower-case hex digits ("2b03").
std::string ProductIdText(std::uint16_t productId);

// The message for a KELVORA_VKEY socket that no daemon listens on.
std::string NoDaemonMessage(const std::string& socketPath);

// The message for a key that cannot be opened, with what to do about it on this system.
std::string AccessDeniedMessage(const FoundKey& key, Elevation& elevation);

class KeySession {
  public:
    KeySession() = default;
    KeySession(const KeySession&) = delete;
    KeySession& operator=(const KeySession&) = delete;
    ~KeySession();

    // Opens the chosen key and reads its capabilities. Returns kExitOk, or reports the
    // failure and returns its exit status. From then on until the session ends, `reporter`
    // reports any outcome as the key's removal once a transfer found the key gone.
    int Open(CliEnv& env, const CliOptions& options, Reporter& reporter);
    // Opens `key` (already chosen); false when it could not be connected or went away.
    bool OpenKey(CliEnv& env, HidBackend& backend, const FoundKey& key);
    void Close();

    FidoDevice& Device() { return *device_; }
    KeyState& State() { return state_; }
    const FoundKey& Key() const { return key_; }
    bool Legacy() const;
    // True once a transfer found the key gone (it stays so until the next OpenKey).
    bool Removed() const { return state_.deviceAbsent; }
    // Re-reads GetInfo into the key state, caps and details.
    std::uint16_t RefreshInfo();
    const AuthenticatorCaps& Caps() const { return caps_; }
    // The last GetInfo answer in full; nullopt for legacy models and failed exchanges.
    const std::optional<AuthenticatorDetails>& Details() const { return details_; }
    // The firmware version byte the key gave when it was opened.
    std::optional<int> Firmware() const { return firmware_; }
    // The status of the last GetInfo, and whether it succeeded: without it the PIN, the
    // fingerprint flag and enrollment support are not known, only defaulted.
    std::uint16_t InfoStatus() const { return infoStatus_; }
    bool InfoRead() const;
    // kExitOk when GetInfo was read; otherwise reports that it was not and returns the exit
    // status. Every command that acts on what GetInfo says asks this first: with defaults in
    // place of facts a CTAP2 key would be taken for one without a PIN, or sent the legacy
    // fingerprint commands, and the user shown that refusal instead of the real failure.
    int RequireInfo(Reporter& reporter) const;
    // The firmware query was asked and gave no version: the command set and the secure
    // messaging it decides are then guesses.
    bool FirmwareUnread() const { return firmwareAsked_ && !firmware_; }

  private:
    KeyState state_;
    FoundKey key_;
    std::unique_ptr<HidBackend> backend_;
    std::unique_ptr<FidoDevice> device_;
    AuthenticatorCaps caps_;
    std::optional<AuthenticatorDetails> details_;
    std::optional<int> firmware_;
    bool firmwareAsked_ = false;
    std::uint16_t infoStatus_ = 0;
    Reporter* reporter_ = nullptr;
};

}  // namespace kelvora::cli
