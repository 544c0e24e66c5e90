#include "vkey/hostile.h"

#include <algorithm>
#include <array>
#include <utility>

#include "vkey/ctap_defs.h"
#include "vkey/ctaphid_defs.h"
#include "vkey/key_cbor.h"

namespace kelvora::vkey {
namespace {

constexpr std::size_t kCommandOffset = 4;
constexpr std::size_t kLengthHighOffset = 5;
constexpr std::size_t kLengthLowOffset = 6;
// How far past the message the announced length of kLengthBeyondMessage reaches.
constexpr std::size_t kPhantomBytes = 2 * kContPayloadSize;
// The wrong lengths: one byte short of a P-256 coordinate, one short of an AES block.
constexpr std::size_t kShortCoordinateSize = 31;
constexpr std::size_t kOddTokenSize = 15;
// The members kWrongCborTypes answers with: every key a CTAP2 answer of the tool uses.
constexpr std::int64_t kLastMemberKey = 0x10;
constexpr std::string_view kWrongValue = "?";

struct NamedHostility {
    std::string_view name;
    Hostility hostility;
};

constexpr std::array<NamedHostility, 10> kNames = {{
    {"none", Hostility::kNone},
    {"length-beyond-message", Hostility::kLengthBeyondMessage},
    {"truncated", Hostility::kTruncatedMessage},
    {"wrong-cbor-types", Hostility::kWrongCborTypes},
    {"bad-key-agreement", Hostility::kBadKeyAgreement},
    {"odd-token", Hostility::kOddTokenLength},
    {"endless-keepalive", Hostility::kEndlessKeepalive},
    {"silent", Hostility::kSilent},
    {"error-mid-message", Hostility::kErrorMidMessage},
    {"bad-counts", Hostility::kBadCounts},
}};
// The credential management members that count: existing passkeys, total sites, total
// passkeys of a site.
constexpr std::array<std::int64_t, 3> kCountMembers = {0x01, 0x05, 0x09};
constexpr std::int64_t kBadCount = 0xFFFFFFFF;

void WriteChannel(Packet& packet, std::uint32_t channel) {
    packet[0] = static_cast<std::uint8_t>(channel >> 24);
    packet[1] = static_cast<std::uint8_t>(channel >> 16);
    packet[2] = static_cast<std::uint8_t>(channel >> 8);
    packet[3] = static_cast<std::uint8_t>(channel);
}

Packet InitPacket(std::uint32_t channel, HidCommand command, std::size_t announced,
                  ByteView payload) {
    Packet packet{};
    WriteChannel(packet, channel);
    packet[kCommandOffset] = static_cast<std::uint8_t>(command);
    packet[kLengthHighOffset] = static_cast<std::uint8_t>(announced >> 8);
    packet[kLengthLowOffset] = static_cast<std::uint8_t>(announced);
    std::copy_n(payload.begin(), std::min(payload.size(), kInitPayloadSize),
                packet.begin() + kInitHeaderSize);
    return packet;
}

// The ordinary framing, with the first packet announcing `announced` bytes.
std::vector<Packet> Frame(std::uint32_t channel, std::size_t announced, ByteView payload) {
    std::vector<Packet> packets{InitPacket(channel, HidCommand::kCbor, announced, payload)};
    std::size_t sent = std::min(payload.size(), kInitPayloadSize);
    for (std::uint8_t sequence = 0; sent < payload.size(); ++sequence) {
        Packet packet{};
        WriteChannel(packet, channel);
        packet[kCommandOffset] = sequence;
        const std::size_t take = std::min(payload.size() - sent, kContPayloadSize);
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(sent), take,
                    packet.begin() + kContHeaderSize);
        sent += take;
        packets.push_back(packet);
    }
    return packets;
}

bool IsPinCommand(ByteView request) {
    return !request.empty() && request[0] == static_cast<std::uint8_t>(CtapCommand::kClientPin);
}

bool IsCredentialManagement(ByteView request) {
    return !request.empty() &&
           (request[0] == static_cast<std::uint8_t>(CtapCommand::kCredentialManagement) ||
            request[0] == static_cast<std::uint8_t>(CtapCommand::kCredentialManagementPreview));
}

// Rewrites an answer body with `edit` applied to its decoded map.
Bytes EditAnswer(Bytes response, std::vector<CborItem::Pair> (*edit)(const CborItem& map)) {
    const std::optional<CborItem> body = DecodeCbor(ByteView(response).subspan(1));
    if (!body || body->type() != CborItem::Type::kMap) {
        return response;
    }
    Bytes edited{response[0]};
    EncodeCbor(CborItem::Map(edit(*body)), edited);
    return edited;
}

std::vector<CborItem::Pair> ShortenCoordinates(const CborItem& map) {
    std::vector<CborItem::Pair> pairs;
    for (const auto& [key, value] : map.pairs()) {
        if (!key.IsInteger() ||
            key.integer() != static_cast<std::int64_t>(PinResponseKey::kKeyAgreement) ||
            value.type() != CborItem::Type::kMap) {
            pairs.emplace_back(key, value);
            continue;
        }
        std::vector<CborItem::Pair> cose;
        for (const auto& [coseKey, coseValue] : value.pairs()) {
            const bool coordinate = coseKey.IsInteger() &&
                                    coseValue.type() == CborItem::Type::kBytes &&
                                    (coseKey.integer() == static_cast<std::int64_t>(CoseKey::kX) ||
                                     coseKey.integer() == static_cast<std::int64_t>(CoseKey::kY));
            if (!coordinate) {
                cose.emplace_back(coseKey, coseValue);
                continue;
            }
            const Bytes& bytes = coseValue.bytes();
            const Bytes shorter(bytes.begin(),
                                bytes.begin() + static_cast<std::ptrdiff_t>(
                                                    std::min(bytes.size(), kShortCoordinateSize)));
            cose.emplace_back(coseKey, CborItem::ByteString(shorter));
        }
        pairs.emplace_back(key, CborItem::Map(std::move(cose)));
    }
    return pairs;
}

std::vector<CborItem::Pair> OddToken(const CborItem& map) {
    std::vector<CborItem::Pair> pairs;
    for (const auto& [key, value] : map.pairs()) {
        if (key.IsInteger() &&
            key.integer() == static_cast<std::int64_t>(PinResponseKey::kPinToken) &&
            value.type() == CborItem::Type::kBytes) {
            Bytes token = value.bytes();
            token.resize(kOddTokenSize, 0);
            pairs.emplace_back(key, CborItem::ByteString(token));
        } else {
            pairs.emplace_back(key, value);
        }
    }
    return pairs;
}

std::vector<CborItem::Pair> BadCounts(const CborItem& map) {
    std::vector<CborItem::Pair> pairs;
    for (const auto& [key, value] : map.pairs()) {
        const bool count = key.IsInteger() && std::find(kCountMembers.begin(), kCountMembers.end(),
                                                        key.integer()) != kCountMembers.end();
        pairs.emplace_back(key, count ? CborItem::Int(kBadCount) : value);
    }
    return pairs;
}

Bytes WrongTypes(Bytes response) {
    std::vector<CborItem::Pair> pairs;
    for (std::int64_t key = 1; key <= kLastMemberKey; ++key) {
        pairs.emplace_back(CborItem::Int(key), CborItem::Text(kWrongValue));
    }
    Bytes wrong{response[0]};
    EncodeCbor(CborItem::Map(std::move(pairs)), wrong);
    return wrong;
}

}  // namespace

std::optional<Hostility> HostilityFromName(std::string_view name) {
    for (const NamedHostility& entry : kNames) {
        if (entry.name == name) {
            return entry.hostility;
        }
    }
    return std::nullopt;
}

std::string_view HostilityName(Hostility hostility) {
    for (const NamedHostility& entry : kNames) {
        if (entry.hostility == hostility) {
            return entry.name;
        }
    }
    return "none";
}

const std::vector<Hostility>& AllHostilities() {
    static const std::vector<Hostility> all = [] {
        std::vector<Hostility> list;
        for (const NamedHostility& entry : kNames) {
            if (entry.hostility != Hostility::kNone) {
                list.push_back(entry.hostility);
            }
        }
        return list;
    }();
    return all;
}

Bytes HostileAnswer(Hostility hostility, ByteView request, Bytes response, bool apduRequest) {
    const bool successWithBody = !apduRequest && response.size() > 1 &&
                                 response[0] == static_cast<std::uint8_t>(CtapStatus::kSuccess);
    switch (hostility) {
        case Hostility::kTruncatedMessage:
            response.resize(std::max<std::size_t>(response.size() / 2, 1));
            return response;
        case Hostility::kWrongCborTypes:
            return successWithBody ? WrongTypes(std::move(response)) : response;
        case Hostility::kBadKeyAgreement:
            return successWithBody && IsPinCommand(request)
                       ? EditAnswer(std::move(response), ShortenCoordinates)
                       : response;
        case Hostility::kOddTokenLength:
            return successWithBody && IsPinCommand(request)
                       ? EditAnswer(std::move(response), OddToken)
                       : response;
        case Hostility::kBadCounts:
            return successWithBody && IsCredentialManagement(request)
                       ? EditAnswer(std::move(response), BadCounts)
                       : response;
        default:
            return response;
    }
}

std::vector<Packet> HostileFrames(Hostility hostility, std::uint32_t channel, ByteView payload) {
    switch (hostility) {
        case Hostility::kLengthBeyondMessage:
            return Frame(channel, std::min(payload.size() + kPhantomBytes, kMaxMessageSize),
                         payload);
        case Hostility::kErrorMidMessage: {
            // The message announced is always longer than one packet, so that an error
            // packet can break into it.
            const std::size_t announced = std::max(payload.size(), kInitPayloadSize + 1);
            const std::uint8_t code = static_cast<std::uint8_t>(HidError::kOther);
            return {InitPacket(channel, HidCommand::kCbor, announced, payload),
                    InitPacket(channel, HidCommand::kError, 1, ByteView(&code, 1))};
        }
        default:
            return Frame(channel, payload.size(), payload);
    }
}

}  // namespace kelvora::vkey
