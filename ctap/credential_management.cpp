#include "ctap/credential_management.h"

#include <algorithm>
#include <string_view>

#include "cbor/cbor_writer.h"
#include "ctap/sub_command_exchange.h"

namespace kelvora {
namespace {

constexpr std::string_view kIdMember = "id";
constexpr std::string_view kTypeMember = "type";
constexpr std::string_view kPublicKeyType = "public-key";

std::int32_t Key(CredManRequestKey key) {
    return static_cast<std::int32_t>(key);
}
std::int32_t Key(CredManParamKey key) {
    return static_cast<std::int32_t>(key);
}

std::uint32_t TextSize(std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    return CborWriter::headSize(size) + size;
}

std::uint32_t BytesSize(std::size_t size) {
    return CborWriter::headSize(static_cast<std::uint32_t>(size)) +
           static_cast<std::uint32_t>(size);
}

// Writes subCommandParams; false when any of it did not fit. The writer stops writing once
// it is full, so the length it reached tells.
bool WriteParams(CborWriter& writer, const CredManParams& params) {
    const std::uint32_t start = writer.length();
    const std::uint32_t count = static_cast<std::uint32_t>(params.rpIdHash.has_value()) +
                                static_cast<std::uint32_t>(params.credentialId.has_value());
    std::uint32_t expected = CborWriter::headSize(count);
    writer.beginMap(count);
    if (params.rpIdHash) {
        expected += 1 + BytesSize(params.rpIdHash->size());
        writer.putInt(Key(CredManParamKey::kRpIdHash))
            .putBytes(params.rpIdHash->data(), static_cast<std::uint32_t>(params.rpIdHash->size()));
    }
    if (params.credentialId) {
        const std::span<const std::uint8_t> id = *params.credentialId;
        expected += 1 + CborWriter::headSize(2) + TextSize(kIdMember) + BytesSize(id.size()) +
                    TextSize(kTypeMember) + TextSize(kPublicKeyType);
        // Canonical order: the shorter key first.
        writer.putInt(Key(CredManParamKey::kCredentialId))
            .beginMap(2)
            .putText(kIdMember)
            .putBytes(id.data(), static_cast<std::uint32_t>(id.size()))
            .putText(kTypeMember)
            .putText(kPublicKeyType);
    }
    return writer.length() - start == expected;
}

}  // namespace

PasskeyCommand PasskeyCommandOf(const KeyState& state) {
    switch (static_cast<PasskeyCommand>(state.passkeyCommand.load())) {
        case PasskeyCommand::kStandard:
            return PasskeyCommand::kStandard;
        case PasskeyCommand::kPreview:
            return PasskeyCommand::kPreview;
        default:
            return PasskeyCommand::kNone;
    }
}

std::size_t CredManPinAuthMessage(CredManSubCommand subCommand, const CredManParams& params,
                                  std::span<std::uint8_t> out) {
    if (out.empty()) {
        return 0;
    }
    out[0] = static_cast<std::uint8_t>(subCommand);
    if (params.empty()) {
        return 1;
    }
    CborWriter writer(out.data() + 1, static_cast<std::uint32_t>(out.size() - 1));
    return WriteParams(writer, params) ? 1 + writer.length() : 0;
}

bool BuildCredManRequest(const KeyState& state, PasskeyCommand command,
                         CredManSubCommand subCommand, const CredManParams& params,
                         bool withPinAuth, CredManRequest& out) {
    out.bytes.fill(0);
    out.length = 0;
    if (command == PasskeyCommand::kNone ||
        (params.credentialId && params.credentialId->size() > kMaxCredentialIdSize)) {
        return false;
    }
    out.bytes[0] = static_cast<std::uint8_t>(command);
    const std::uint32_t members =
        1 + static_cast<std::uint32_t>(!params.empty()) + (withPinAuth ? 2 : 0);
    CborWriter writer(out.bytes.data() + 1, static_cast<std::uint32_t>(out.bytes.size() - 1));
    writer.beginMap(members)
        .putInt(Key(CredManRequestKey::kSubCommand))
        .putInt(static_cast<std::int32_t>(subCommand));
    if (!params.empty()) {
        writer.putInt(Key(CredManRequestKey::kSubCommandParams));
        if (!WriteParams(writer, params)) {
            return false;
        }
    }
    if (withPinAuth) {
        std::array<std::uint8_t, kCredManRequestSize> message{};
        const std::size_t messageLength = CredManPinAuthMessage(subCommand, params, message);
        if (messageLength == 0) {
            return false;
        }
        if (!PutPinProtocolOneAuth(writer, state, Key(CredManRequestKey::kPinUvAuthProtocol),
                                   Key(CredManRequestKey::kPinUvAuthParam),
                                   std::span(message.data(), messageLength))) {
            return false;
        }
    }
    out.length = 1 + writer.length();
    return true;
}

std::uint8_t SendCredManRequest(FidoDevice& device, const CredManRequest& request,
                                std::span<std::uint8_t> response, std::uint32_t& dataLength) {
    return SendSubCommandRequest(device, request.span(), response, dataLength);
}

}  // namespace kelvora
