#include "ctap/get_info_details.h"

#include <algorithm>
#include <array>

#include "cbor/cbor_constants.h"
#include "cbor/cbor_view.h"
#include "cbor/cbor_walker.h"
#include "ctap/get_info.h"
#include "ctap/status.h"
#include "transport/device_ids.h"

namespace kelvora {
namespace {

// Members of the GetInfo response map (CTAP 2.1 §6.4) besides the options (get_info.h).
enum InfoMember : std::int32_t {
    kVersionsMember = 0x01,
    kAaguidMember = 0x03,
    kMaxMsgSizeMember = 0x05,
    kPinProtocolsMember = 0x06,
};

constexpr std::size_t kAaguidSize = 16;
// More elements than any key lists; a hostile answer cannot make the lookups run long.
constexpr std::uint32_t kMaxListed = 64;

template <typename Read>
void ForEachElement(const CborView& array, Read read) {
    for (std::uint32_t index = 0; index < kMaxListed; ++index) {
        const CborView element = array.at(index);
        if (element.empty()) {
            return;
        }
        read(element);
    }
}

// The options map's pairs whose key is text and whose value is true or false.
std::vector<std::pair<std::string, bool>> ReadOptions(const CborView& options) {
    std::vector<std::pair<std::string, bool>> result;
    CborWalker walker(options.data(), options.length());
    CborWalkItem item;
    if (walker.next(item) != CborWalker::Step::kItem || !item.head.is(CborMajorType::kMap)) {
        return result;
    }
    std::uint32_t position = 0;
    std::optional<std::string> name;
    while (result.size() < kMaxListed && walker.next(item) == CborWalker::Step::kItem) {
        if (item.depth != 1 || item.head.isBreak()) {
            continue;
        }
        const CborView here(options.data() + item.offset, options.length() - item.offset);
        if (position++ % 2 == 0) {
            std::string text;
            name = here.getTextString(text) ? std::optional<std::string>(text) : std::nullopt;
            continue;
        }
        const std::uint8_t simple = here.getSimple();
        if (name && (simple == kCborTrue || simple == kCborFalse)) {
            result.emplace_back(*name, simple == kCborTrue);
        }
    }
    return result;
}

}  // namespace

AuthenticatorDetails ParseAuthenticatorDetails(const std::uint8_t* response, std::uint32_t length) {
    const CborView info(response, length);
    AuthenticatorDetails details;
    ForEachElement(info.findKey(kVersionsMember), [&](const CborView& element) {
        std::string version;
        if (element.getTextString(version)) {
            details.versions.push_back(std::move(version));
        }
    });
    const std::uint8_t* aaguid = nullptr;
    std::uint32_t aaguidLength = 0;
    if (info.findKey(kAaguidMember).getBytes(aaguid, aaguidLength) && aaguidLength == kAaguidSize) {
        details.aaguid.assign(aaguid, aaguid + aaguidLength);
    }
    details.options = ReadOptions(info.findKey(kInfoOptionsMember));
    std::uint32_t maxMsgSize = 0;
    if (info.findKey(kMaxMsgSizeMember).getUnsigned(maxMsgSize)) {
        details.maxMsgSize = maxMsgSize;
    }
    ForEachElement(info.findKey(kPinProtocolsMember), [&](const CborView& element) {
        std::uint32_t protocol = 0;
        if (element.getUnsigned(protocol)) {
            details.pinProtocols.push_back(protocol);
        }
    });
    return details;
}

std::uint16_t GetAuthenticatorInfo(FidoDevice& device, AuthenticatorCaps& caps,
                                   std::optional<AuthenticatorDetails>& details) {
    details.reset();
    InfoResponse response{};
    std::uint32_t length = 0;
    const std::uint16_t status = GetAuthenticatorInfo(device, caps, response, length);
    if (!IsLegacyModel(device.State().selectedProductId) && status == kCtapSuccess) {
        details = ParseAuthenticatorDetails(response.data(),
                                            std::min<std::uint32_t>(length, response.size()));
    }
    return status;
}

}  // namespace kelvora
