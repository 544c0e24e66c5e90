// The daemon's socket watched the way the system watches a USB port: the socket appearing is
// an arrival, its going away a removal, and a socket replaced by a restarted daemon both, so
// the main window follows a daemon that stops or starts while the tool runs with the same
// events and timers as a real key.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/daemon_key_watch.h"

namespace kelvora {

// Which file the socket is: a daemon that starts again binds a new one, which may well get
// the inode number its predecessor freed, but not its change time.
struct SocketIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    bool operator==(const SocketIdentity&) const = default;
};

// The socket at `path` now, nullopt when there is none.
std::optional<SocketIdentity> LookAtSocket(const std::string& path);

enum class DaemonChange { kArrival, kRemoval };

// What changed between two looks, in the order the windows must hear it.
std::vector<DaemonChange> DaemonChanges(const std::optional<SocketIdentity>& before,
                                        const std::optional<SocketIdentity>& now);

class DaemonKeyWatcher final : public QObject, public DaemonKeyWatch {
  public:
    static constexpr int kPollMs = 100;
    using Notify = std::function<void(DaemonChange change, const std::string& interfacePath)>;

    // `interfacePath` is what the backend lists the daemon's key as.
    DaemonKeyWatcher(std::string socketPath, std::string interfacePath, Notify notify);

    // One look, as the timer takes it.
    void Poll();

  private:
    std::string socketPath_;
    std::string interfacePath_;
    Notify notify_;
    std::optional<SocketIdentity> last_;
    QTimer timer_;
};

}  // namespace kelvora
