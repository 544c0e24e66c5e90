// The virtual key keeps its own copy of the protocol's numbers, so that a mistake in the
// client's is not mirrored by the key it is tested against. The two copies must still agree.
#include <gtest/gtest.h>

#include "ctap/bio_request.h"
#include "ctap/client_pin_request.h"
#include "ctap/command_codes.h"
#include "ctap/credential_management.h"
#include "ctap/get_info.h"
#include "ctap/legacy_bio_apdu.h"
#include "ctap/status.h"
#include "vkey/apdu_defs.h"
#include "vkey/ctap_defs.h"

namespace kelvora {
namespace {

template <typename E>
constexpr long long Num(E value) {
    return static_cast<long long>(value);
}

TEST(ProtocolConstants, TheVirtualKeyAndTheClientAgree) {
    using vkey::CtapCommand;
    const std::pair<long long, long long> pairs[] = {
        // Command bytes, standard and vendor.
        {Num(CtapCommand::kGetInfo), Num(kelvora::CtapCommand::kGetInfo)},
        {Num(CtapCommand::kClientPin), Num(kelvora::CtapCommand::kClientPin)},
        {Num(CtapCommand::kReset), Num(kelvora::CtapCommand::kReset)},
        {Num(CtapCommand::kMakeCredential), Num(kelvora::CtapCommand::kMakeCredential)},
        {Num(CtapCommand::kBioEnrollmentPreview),
         Num(kelvora::CtapCommand::kBioEnrollmentPrototype)},
        {Num(CtapCommand::kVendorGetInfo), VendorCommandByte(kelvora::CtapCommand::kGetInfo)},
        {Num(CtapCommand::kVendorClientPin), VendorCommandByte(kelvora::CtapCommand::kClientPin)},
        {Num(CtapCommand::kVendorReset), VendorCommandByte(kelvora::CtapCommand::kReset)},
        {Num(CtapCommand::kVendorMakeCredential),
         VendorCommandByte(kelvora::CtapCommand::kMakeCredential)},
        {Num(CtapCommand::kVendorBioEnrollment),
         VendorCommandByte(kelvora::CtapCommand::kBioEnrollmentPrototype)},
        // Statuses the client tells apart.
        {Num(vkey::CtapStatus::kInvalidParameter), kCtapErrInvalidParameter},
        {Num(vkey::CtapStatus::kInvalidCbor), kCtapErrInvalidCbor},
        {Num(vkey::CtapStatus::kPinInvalid), kCtapErrPinInvalid},
        {Num(vkey::CtapStatus::kPinBlocked), kCtapErrPinBlocked},
        {Num(vkey::CtapStatus::kPinAuthBlocked), kCtapErrPinAuthBlocked},
        {Num(vkey::CtapStatus::kInvalidSubcommand), kCtapErrInvalidSubcommand},
        // ClientPIN.
        {Num(vkey::PinSubcommand::kGetRetries), Num(ClientPinSubcommand::kGetRetries)},
        {Num(vkey::PinSubcommand::kGetKeyAgreement), Num(ClientPinSubcommand::kGetKeyAgreement)},
        {Num(vkey::PinSubcommand::kSetPin), Num(ClientPinSubcommand::kSetPin)},
        {Num(vkey::PinSubcommand::kChangePin), Num(ClientPinSubcommand::kChangePin)},
        {Num(vkey::PinSubcommand::kGetPinToken), Num(ClientPinSubcommand::kGetPinToken)},
        {Num(vkey::PinRequestKey::kPinAuth), kPinParamPinAuth},
        {Num(vkey::PinRequestKey::kNewPinEnc), kPinParamNewPinEnc},
        {Num(vkey::PinRequestKey::kPinHashEnc), kPinParamPinHashEnc},
        {Num(vkey::PinResponseKey::kPinToken), kPinResponsePinToken},
        {Num(vkey::PinResponseKey::kRetries), kPinResponseRetries},
        // Bio enrollment.
        {Num(vkey::BioSubcommand::kEnumerateEnrollments),
         Num(BioSubCommand::kEnumerateEnrollments)},
        {Num(vkey::BioSubcommand::kSetFriendlyName), Num(BioSubCommand::kSetFriendlyName)},
        {Num(vkey::BioSubcommand::kRemoveEnrollment), Num(BioSubCommand::kRemoveEnrollment)},
        {Num(vkey::BioSubcommand::kVerifyFingerprint), Num(BioSubCommand::kVerifyFingerprint)},
        {Num(vkey::BioRequestKey::kPinAuth), Num(BioRequestKey::kPinAuth)},
        {Num(vkey::BioResponseKey::kTemplateInfos), Num(BioResponseKey::kTemplateInfos)},
        {Num(vkey::TemplateInfoKey::kFriendlyName), Num(TemplateInfoKey::kTemplateFriendlyName)},
        {Num(vkey::InfoKey::kOptions), kInfoOptionsMember},
        // Credential management.
        {Num(CtapCommand::kCredentialManagement), Num(PasskeyCommand::kStandard)},
        {Num(CtapCommand::kCredentialManagementPreview), Num(PasskeyCommand::kPreview)},
        {Num(vkey::CtapStatus::kNoCredentials), kCtapErrNoCredentials},
        {Num(vkey::CredManSubcommand::kEnumerateRpsGetNextRp),
         Num(CredManSubCommand::kEnumerateRpsGetNextRp)},
        {Num(vkey::CredManSubcommand::kEnumerateCredentialsGetNextCredential),
         Num(CredManSubCommand::kEnumerateCredentialsGetNextCredential)},
        {Num(vkey::CredManSubcommand::kDeleteCredential),
         Num(CredManSubCommand::kDeleteCredential)},
        {Num(vkey::CredManRequestKey::kPinAuth), Num(CredManRequestKey::kPinUvAuthParam)},
        {Num(vkey::CredManParamKey::kCredentialId), Num(CredManParamKey::kCredentialId)},
        {Num(vkey::CredManResponseKey::kTotalRps), Num(CredManResponseKey::kTotalRps)},
        {Num(vkey::CredManResponseKey::kTotalCredentials),
         Num(CredManResponseKey::kTotalCredentials)},
        // The legacy models' APDUs and status words.
        {Num(vkey::ApduClass::kSecure), kLegacySecureClass},
        {Num(vkey::ApduInstruction::kSecureCommand), kLegacyBioInstruction},
        {Num(vkey::SecureP1::kDelete), kLegacyDeleteP1},
        {Num(vkey::SecureP1::kSlotBitmap), kLegacySlotBitmapP1},
        {vkey::kSwRetriesBase, kSwPinRetriesBase},
        {vkey::kSwPinBlocked, kSwPinBlocked},
        {vkey::kSwNotVerified, kSwNotVerified},
        {vkey::kSwNoFinger, kSwNoFinger},
        {vkey::kSwSlotEmpty, kSwSlotEmpty},
    };
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        EXPECT_EQ(pairs[i].first, pairs[i].second) << "pair " << i;
    }
}

}  // namespace
}  // namespace kelvora
