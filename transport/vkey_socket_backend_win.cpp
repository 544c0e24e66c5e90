#include "transport/vkey_socket_backend.h"

namespace kelvora {

std::unique_ptr<HidBackend> MakeVkeySocketBackend(const VkeySocketSetting& /*setting*/,
                                                  std::string& error) {
    // Windows has no SOCK_SEQPACKET Unix-domain sockets, and the daemon runs on Linux only.
    error = std::string(kVkeyEnvironmentVariable) + " is not supported on Windows";
    return nullptr;
}

}  // namespace kelvora
