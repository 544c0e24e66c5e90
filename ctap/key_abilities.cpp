#include "ctap/key_abilities.h"

#include "transport/device_ids.h"

namespace kelvora {

KeyAbilities AbilitiesOf(const KeyState& state) {
    const bool ctap2 = !IsLegacyModel(state.selectedProductId.load());
    KeyAbilities abilities;
    abilities.checksPin = ctap2;
    abilities.tellsPinRetries = ctap2;
    abilities.namesFingerprints = ctap2;
    abilities.describesItself = ctap2;
    // A legacy model enrols through its vendor APDUs.
    abilities.enrolls = !ctap2 || state.bioEnrollmentSupported;
    abilities.managesPasskeys = ctap2 && state.passkeyCommand.load() != 0;
    return abilities;
}

}  // namespace kelvora
