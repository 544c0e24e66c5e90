// Which device-change notifications mean that a key the PIN dialogs talk to has gone.
#pragma once

#include "toolkit/window_messages.h"

namespace kelvora {

// True for kDbtDeviceRemoveComplete of a device-interface record whose path carries, as
// four upper-case hex digits (case-sensitive), the product id of one of the first five
// supported models. Arrivals, other events, other record types and a null record are false.
bool IsWatchedKeyRemoval(WPARAM event, const DeviceBroadcast* record);

}  // namespace kelvora
