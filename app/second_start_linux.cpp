#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>
#include <cstring>

#include "app/second_start.h"
#include "platform/single_instance.h"

namespace kelvora {
namespace {

// Beside the single-instance lock, where only this user's copies look.
std::string RequestSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");  // NOLINT(concurrency-mt-unsafe)
    const std::string name(kSingleInstanceName);
    if (runtime != nullptr && *runtime == '/') {
        return std::string(runtime) + "/" + name + ".show";
    }
    return "/tmp/" + name + "-" + std::to_string(::getuid()) + ".show";
}

class LocalListener final : public SecondStartListener {
  public:
    explicit LocalListener(std::function<void()> bringToFront) {
        const QString path = QString::fromStdString(RequestSocketPath());
        // Left by a copy that did not end cleanly; the lock says no copy uses it now.
        QLocalServer::removeServer(path);
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                         [this, show = std::move(bringToFront)] {
                             while (QLocalSocket* asker = server_.nextPendingConnection()) {
                                 asker->disconnectFromServer();
                                 asker->deleteLater();
                                 show();
                             }
                         });
        (void)server_.listen(path);
    }

  private:
    QLocalServer server_;
};

}  // namespace

std::unique_ptr<SecondStartListener> ListenForSecondStarts(std::function<void()> bringToFront) {
    return std::make_unique<LocalListener>(std::move(bringToFront));
}

std::string AnnounceSecondStart() {
    // A plain connection is the whole request; a copy too old to listen is simply not asked.
    const std::string path = RequestSocketPath();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd >= 0 && path.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        (void)::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (fd >= 0) {
        (void)::close(fd);
    }
    return "kelvora-fido2-manager is already running; its window was brought to the front.";
}

}  // namespace kelvora
