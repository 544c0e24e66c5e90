#include "app/daemon_key_watch.h"

namespace kelvora {

// The daemon's sockets are Unix-domain sockets: there is nothing to watch here.
std::unique_ptr<DaemonKeyWatch> WatchDaemonKey(const char* /*setting*/) {
    return nullptr;
}

}  // namespace kelvora
