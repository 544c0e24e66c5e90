#include "vkey/get_info.h"

#include "vkey/ctap_reply.h"

namespace kelvora::vkey {
namespace {

constexpr std::int64_t kMaxMsgSize = 1200;
constexpr std::size_t kAaguidSize = 16;

}  // namespace

Bytes Aaguid(const Config& config) {
    // A fixed identifier per model: "KV-virtual" followed by the product id.
    Bytes aaguid = {'K', 'V', '-', 'v', 'i', 'r', 't', 'u', 'a', 'l', 0, 0, 0, 0};
    AppendBigEndian16(aaguid, config.productId());
    aaguid.resize(kAaguidSize);
    return aaguid;
}

CommandResult HandleGetInfo(KeyContext& ctx) {
    const bool enrolled = !ctx.state.templates.empty();
    std::vector<CborItem::Pair> options;
    options.emplace_back(CborItem::Text("rk"), CborItem::Bool(true));
    options.emplace_back(CborItem::Text("up"), CborItem::Bool(true));
    options.emplace_back(CborItem::Text("uv"), CborItem::Bool(enrolled));
    options.emplace_back(CborItem::Text("plat"), CborItem::Bool(false));
    options.emplace_back(CborItem::Text("clientPin"), CborItem::Bool(ctx.state.pinSet()));
    options.emplace_back(
        CborItem::Text(ctx.config.reportBioEnroll ? "bioEnroll" : "userVerificationMgmtPreview"),
        CborItem::Bool(enrolled));
    options.emplace_back(
        CborItem::Text(ctx.config.reportsCtap21 ? "credMgmt" : "credentialMgmtPreview"),
        CborItem::Bool(true));
    std::vector<CborItem> versions{CborItem::Text("FIDO_2_0"), CborItem::Text("FIDO_2_1_PRE")};
    if (ctx.config.reportsCtap21) {
        versions.push_back(CborItem::Text("FIDO_2_1"));
    }

    const CborItem body = CborItem::Map({
        Member(InfoKey::kVersions, CborItem::Array(std::move(versions))),
        Member(InfoKey::kAaguid, CborItem::ByteString(Aaguid(ctx.config))),
        Member(InfoKey::kOptions, CborItem::Map(std::move(options))),
        Member(InfoKey::kMaxMsgSize, CborItem::Int(kMaxMsgSize)),
        Member(InfoKey::kPinProtocols, CborItem::Array({CborItem::Int(kPinProtocolOne)})),
    });
    return {Reply(CtapStatus::kSuccess, body), std::nullopt};
}

}  // namespace kelvora::vkey
