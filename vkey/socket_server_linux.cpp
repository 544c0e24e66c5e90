#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "vkey/ctaphid_defs.h"
#include "vkey/socket_server.h"

namespace kelvora::vkey {
namespace {

constexpr int kAcceptPollMs = 100;
constexpr int kConnectionPollMs = 5;  // the key's timers run at least this often
constexpr std::size_t kInitCommandOffset = 4;
constexpr char kPendingSuffix[] = ".new";

volatile std::sig_atomic_t gStopRequested = 0;

void RequestStop(int /*signal*/) {
    gStopRequested = 1;
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Sends what the key has queued; false when the peer is gone.
bool Drain(VirtualKey& key, int connection, const ServerHooks& hooks) {
    bool responded = false;
    while (std::optional<Packet> packet = key.TryReadPacket()) {
        if (send(connection, packet->data(), packet->size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(packet->size())) {
            return false;
        }
        responded = responded ||
                    (*packet)[kInitCommandOffset] == static_cast<std::uint8_t>(HidCommand::kCbor);
    }
    if (responded && hooks.onActivity) {
        hooks.onActivity();
    }
    return true;
}

void ServeConnection(VirtualKey& key, int connection, const ServerHooks& hooks) {
    key.Plug();
    std::uint8_t packet[kPacketSize + 1];
    while (gStopRequested == 0) {
        pollfd descriptor{connection, POLLIN, 0};
        const int ready = poll(&descriptor, 1, kConnectionPollMs);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            if ((descriptor.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
                (descriptor.revents & POLLIN) == 0) {
                break;
            }
            const ssize_t received = recv(connection, packet, sizeof packet, 0);
            if (received <= 0) {
                break;
            }
            if (received == static_cast<ssize_t>(kPacketSize)) {
                std::uint8_t exact[kPacketSize];
                std::memcpy(exact, packet, kPacketSize);
                key.WritePacket(exact);
            }
            // Messages of any other size are not packets; they are dropped.
        }
        if (!Drain(key, connection, hooks)) {
            break;
        }
    }
    key.Unplug();
    if (hooks.onActivity) {
        hooks.onActivity();
    }
}

}  // namespace

int ServeOnSocket(VirtualKey& key, const std::string& path, const ServerHooks& hooks,
                  std::string& error) {
    // The socket is made under a temporary name and renamed into place once it listens:
    // whoever waits for `path` to appear may connect at once. Bound under its final name,
    // the file would exist before listen(2), and a client connecting in between would be
    // refused.
    const std::string pending = path + kPendingSuffix;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (pending.size() >= sizeof address.sun_path) {
        error = "socket path too long (at most " +
                std::to_string(sizeof address.sun_path - sizeof kPendingSuffix) + " bytes)";
        return 1;
    }
    std::memcpy(address.sun_path, pending.c_str(), pending.size() + 1);
    // Before the socket exists, so that a stop requested as soon as it appears is honoured
    // and the file is removed.
    InstallStopHandlers();
    const int listener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return 1;
    }
    unlink(pending.c_str());
    // Only the user who started the daemon may connect: the key holds a PIN. The mode is
    // set at bind(2), so no other user ever finds the socket open.
    const mode_t umaskBefore = umask(S_IXUSR | S_IRWXG | S_IRWXO);  // 0600
    const bool bound =
        bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    umask(umaskBefore);
    if (!bound || listen(listener, 1) != 0 || std::rename(pending.c_str(), path.c_str()) != 0) {
        error = std::string("bind/listen/rename: ") + std::strerror(errno);
        close(listener);
        unlink(pending.c_str());
        return 1;
    }
    while (gStopRequested == 0) {
        pollfd descriptor{listener, POLLIN, 0};
        if (poll(&descriptor, 1, kAcceptPollMs) <= 0) {
            continue;
        }
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        ucred peer{};
        socklen_t peerLength = sizeof peer;
        if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 ||
            peer.uid != geteuid()) {
            close(connection);  // another user's program, let in by a changed mode
            continue;
        }
        ServeConnection(key, connection, hooks);
        close(connection);
    }
    close(listener);
    unlink(path.c_str());
    return 0;
}

}  // namespace kelvora::vkey
