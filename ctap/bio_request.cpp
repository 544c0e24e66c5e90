#include "ctap/bio_request.h"

#include <algorithm>

#include "cbor/cbor_writer.h"
#include "ctap/command_codes.h"
#include "ctap/sub_command_exchange.h"

namespace kelvora {
namespace {

std::int32_t Key(BioRequestKey key) {
    return static_cast<std::int32_t>(key);
}
std::int32_t Key(BioParamKey key) {
    return static_cast<std::int32_t>(key);
}

std::uint32_t ParamCount(const BioParams& params) {
    return static_cast<std::uint32_t>(params.templateId.has_value()) +
           static_cast<std::uint32_t>(params.friendlyName.has_value()) +
           static_cast<std::uint32_t>(params.sampleTimeout);
}

// Writes subCommandParams; returns false when any of it did not fit.
bool WriteParams(CborWriter& writer, const BioParams& params) {
    const std::uint32_t start = writer.length();
    std::uint32_t expected = CborWriter::headSize(ParamCount(params));
    writer.beginMap(ParamCount(params));
    if (params.templateId) {
        const auto size = static_cast<std::uint32_t>(params.templateId->size());
        expected += 1 + CborWriter::headSize(size) + size;
        writer.putInt(Key(BioParamKey::kTemplateId)).putBytes(params.templateId->data(), size);
    }
    if (params.friendlyName) {
        const auto size = static_cast<std::uint32_t>(params.friendlyName->size());
        expected += 1 + CborWriter::headSize(size) + size;
        writer.putInt(Key(BioParamKey::kTemplateFriendlyName)).putText(*params.friendlyName);
    }
    if (params.sampleTimeout) {
        expected += 1 + CborWriter::headSize(kSampleTimeoutMs);
        writer.putInt(Key(BioParamKey::kTimeoutMilliseconds))
            .putInt(static_cast<std::int32_t>(kSampleTimeoutMs));
    }
    return writer.length() - start == expected;
}

}  // namespace

bool BioPinAuthRuleA(const KeyState& state) {
    return state.pinSet && !(state.uvConfigured && state.pinToken.Empty());
}

bool BioPinAuthRuleB(const KeyState& state) {
    return state.pinSet && !state.pinToken.Empty();
}

std::size_t BioPinAuthMessage(BioSubCommand subCommand, const BioParams& params,
                              std::span<std::uint8_t> out) {
    constexpr std::size_t kPrefixSize = 2;  // modality, subCommand
    if (out.size() < kPrefixSize) {
        return 0;
    }
    out[0] = static_cast<std::uint8_t>(kModalityFingerprint);
    out[1] = static_cast<std::uint8_t>(subCommand);
    if (params.empty()) {
        return kPrefixSize;
    }
    CborWriter writer(out.data() + kPrefixSize,
                      static_cast<std::uint32_t>(out.size() - kPrefixSize));
    if (!WriteParams(writer, params)) {
        return 0;
    }
    return kPrefixSize + writer.length();
}

bool BuildBioRequest(const KeyState& state, BioSubCommand subCommand, const BioParams& params,
                     bool withPinAuth, BioRequest& out) {
    out.bytes.fill(0);
    out.length = 0;
    out.bytes[0] = CommandByte(state, CtapCommand::kBioEnrollmentPrototype);

    const std::uint32_t members =
        2 + static_cast<std::uint32_t>(!params.empty()) + (withPinAuth ? 2 : 0);
    CborWriter writer(out.bytes.data() + 1, static_cast<std::uint32_t>(out.bytes.size() - 1));
    writer.beginMap(members)
        .putInt(Key(BioRequestKey::kModality))
        .putInt(static_cast<std::int32_t>(kModalityFingerprint))
        .putInt(Key(BioRequestKey::kSubCommand))
        .putInt(static_cast<std::int32_t>(subCommand));
    if (!params.empty()) {
        writer.putInt(Key(BioRequestKey::kSubCommandParams));
        if (!WriteParams(writer, params)) {
            return false;
        }
    }
    if (withPinAuth) {
        // The message is never longer than the request itself.
        std::array<std::uint8_t, kBioRequestSize> message{};
        const std::size_t messageLength = BioPinAuthMessage(subCommand, params, message);
        if (messageLength == 0) {
            return false;
        }
        if (!PutPinProtocolOneAuth(writer, state, Key(BioRequestKey::kPinProtocol),
                                   Key(BioRequestKey::kPinAuth),
                                   std::span(message.data(), messageLength))) {
            return false;
        }
    }
    out.length = 1 + writer.length();
    return true;
}

std::uint8_t SendBioRequest(FidoDevice& device, const BioRequest& request,
                            std::span<std::uint8_t> response, std::uint32_t& dataLength) {
    return SendSubCommandRequest(device, request.span(), response, dataLength);
}

}  // namespace kelvora
