// The HID backend the tool and the command-line front end use.
//
// Normally the system's (hidraw on Linux, SetupAPI/HID on Windows). When the environment
// variable KELVORA_VKEY names a virtual key daemon (PATH[:MODEL], see vkey_socket_setting.h)
// the daemon's socket is listed first, then the system's interfaces, so a virtual key can be
// used with real keys attached; which key is selected still follows the supported product
// list. An empty KELVORA_VKEY counts as unset.
#pragma once

#include <memory>
#include <string>

#include "transport/hid_backend.h"

namespace kelvora {

// Never null. When KELVORA_VKEY cannot be used, `error` says why (for the user: it names the
// variable and the expected form) and the system backend alone is returned; otherwise
// `error` is left empty.
std::unique_ptr<HidBackend> MakeDefaultHidBackend(std::string& error);

// The same with the setting given (null or empty for none) and the system backend supplied,
// so that it can be exercised without the environment or real devices.
std::unique_ptr<HidBackend> MakeHidBackendForSetting(const char* setting,
                                                     std::unique_ptr<HidBackend> system,
                                                     std::string& error);

}  // namespace kelvora
