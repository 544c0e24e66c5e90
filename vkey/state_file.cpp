#include "vkey/state_file.h"

#include <sstream>

#include "vkey/private_file.h"

namespace kelvora::vkey {
namespace {

constexpr const char* kMagic = "kelvora-vkey-state";
constexpr int kFormatVersion = 1;
constexpr std::size_t kPinHashSize = 16;
constexpr int kMaxCounter = 255;
constexpr const char* kAbsent = "-";
constexpr std::size_t kPrivateKeySize = 32;
constexpr std::size_t kMaxIdSize = 1024;
constexpr std::size_t kMaxPasskeys = 1000;

std::string ToHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 0x0F];
    }
    return hex;
}

bool FromHex(const std::string& hex, std::string& out) {
    if (hex.size() % 2 != 0) {
        return false;
    }
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int value = 0;
        for (std::size_t j = i; j < i + 2; ++j) {
            const char c = hex[j];
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            }
            if (digit < 0) {
                return false;
            }
            value = value * 16 + digit;
        }
        out += static_cast<char>(value);
    }
    return true;
}

std::string HexOrAbsent(const std::string& bytes) {
    return bytes.empty() ? kAbsent : ToHex(bytes);
}

std::string HexOf(const Bytes& bytes) {
    return ToHex(std::string(bytes.begin(), bytes.end()));
}

bool ReadHex(std::istringstream& line, std::string& out, bool mayBeAbsent) {
    std::string hex;
    if (!(line >> hex)) {
        return false;
    }
    if (hex == kAbsent) {
        out.clear();
        return mayBeAbsent;
    }
    return FromHex(hex, out) && !out.empty();
}

bool ReadHexBytes(std::istringstream& line, Bytes& out, std::size_t maxSize) {
    std::string bytes;
    if (!ReadHex(line, bytes, false) || bytes.size() > maxSize) {
        return false;
    }
    out.assign(bytes.begin(), bytes.end());
    return true;
}

// passkey <id> <rp id> <rp name|-> <user id> <user name|-> <display name|-> <key> <count>
bool ReadPasskey(std::istringstream& line, State& state) {
    StoredPasskey passkey;
    long long count = -1;
    if (!ReadHexBytes(line, passkey.credentialId, kMaxIdSize) ||
        !ReadHex(line, passkey.rpId, false) || !ReadHex(line, passkey.rpName, true) ||
        !ReadHexBytes(line, passkey.userId, kMaxIdSize) || !ReadHex(line, passkey.userName, true) ||
        !ReadHex(line, passkey.displayName, true) ||
        !ReadHexBytes(line, passkey.privateKey, kPrivateKeySize) ||
        passkey.privateKey.size() != kPrivateKeySize || !(line >> count) || count < 0 ||
        count > 0xFFFFFFFFLL || state.passkeys.size() >= kMaxPasskeys) {
        return false;
    }
    for (const StoredPasskey& held : state.passkeys) {
        if (held.credentialId == passkey.credentialId) {
            return false;
        }
    }
    passkey.signCount = static_cast<std::uint32_t>(count);
    state.passkeys.push_back(std::move(passkey));
    return true;
}

bool ReadCounter(std::istringstream& line, int& value) {
    return static_cast<bool>(line >> value) && value >= 0 && value <= kMaxCounter;
}

}  // namespace

std::string SerializeState(const State& state) {
    std::ostringstream out;
    out << kMagic << ' ' << kFormatVersion << '\n';
    out << "pin "
        << (state.pinHash ? ToHex(std::string(state.pinHash->begin(), state.pinHash->end()))
                          : kAbsent)
        << '\n';
    out << "pin-retries " << state.pinRetries << '\n';
    out << "fingerprint-retries " << state.fingerprintRetries << '\n';
    for (const auto& [slot, entry] : state.templates) {
        out << "template " << slot << ' ' << entry.finger << ' '
            << (entry.name.empty() ? kAbsent : ToHex(entry.name)) << '\n';
    }
    for (const StoredPasskey& passkey : state.passkeys) {
        out << "passkey " << HexOf(passkey.credentialId) << ' ' << ToHex(passkey.rpId) << ' '
            << HexOrAbsent(passkey.rpName) << ' ' << HexOf(passkey.userId) << ' '
            << HexOrAbsent(passkey.userName) << ' ' << HexOrAbsent(passkey.displayName) << ' '
            << HexOf(passkey.privateKey) << ' ' << passkey.signCount << '\n';
    }
    return out.str();
}

bool ParseState(const std::string& text, State& state) {
    std::istringstream in(text);
    std::string lineText;
    if (!std::getline(in, lineText) ||
        lineText != std::string(kMagic) + ' ' + std::to_string(kFormatVersion)) {
        return false;
    }
    State parsed;
    bool sawPin = false;
    while (std::getline(in, lineText)) {
        std::istringstream line(lineText);
        std::string field;
        line >> field;
        if (field == "pin") {
            std::string hex;
            std::string bytes;
            line >> hex;
            if (hex != kAbsent) {
                if (!FromHex(hex, bytes) || bytes.size() != kPinHashSize) {
                    return false;
                }
                parsed.pinHash = Bytes(bytes.begin(), bytes.end());
            }
            sawPin = true;
        } else if (field == "pin-retries") {
            if (!ReadCounter(line, parsed.pinRetries)) {
                return false;
            }
        } else if (field == "fingerprint-retries") {
            if (!ReadCounter(line, parsed.fingerprintRetries)) {
                return false;
            }
        } else if (field == "template") {
            long slot = -1;
            Template entry;
            std::string hex;
            if (!(line >> slot >> entry.finger >> hex) || slot < 0 || slot > 0xFFFF ||
                (hex != kAbsent && !FromHex(hex, entry.name)) ||
                !parsed.templates.emplace(static_cast<std::uint16_t>(slot), entry).second) {
                return false;
            }
        } else if (field == "passkey") {
            if (!ReadPasskey(line, parsed)) {
                return false;
            }
        } else {
            return false;
        }
        std::string trailing;
        if (line >> trailing) {
            return false;
        }
    }
    if (!sawPin) {
        return false;
    }
    state = std::move(parsed);
    return true;
}

LoadStatus LoadStateFile(const std::string& path, State& state) {
    std::string text;
    switch (ReadPrivateFile(path, text)) {
        case PrivateRead::kRead:
            return ParseState(text, state) ? LoadStatus::kLoaded : LoadStatus::kCorrupt;
        case PrivateRead::kMissing:
            return LoadStatus::kMissing;
        case PrivateRead::kUnsafe:
            return LoadStatus::kUnsafe;
        case PrivateRead::kFailed:
            break;
    }
    return LoadStatus::kCorrupt;  // unreadable: never overwritten either
}

bool SaveStateFile(const std::string& path, const State& state) {
    return WritePrivateFile(path, SerializeState(state));
}

}  // namespace kelvora::vkey
