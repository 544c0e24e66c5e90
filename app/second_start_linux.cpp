#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

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

// A plain Unix socket watched from the event loop: Qt's local-socket classes would map Qt
// Network and, through it, Kerberos and the proxy resolver into every start of the tool.
class LocalListener final : public SecondStartListener {
  public:
    explicit LocalListener(std::function<void()> bringToFront)
        : bringToFront_(std::move(bringToFront)) {
        const std::string path = RequestSocketPath();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) {
            return;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) {
            return;
        }
        // Left by a copy that did not end cleanly; the lock says no copy uses it now.
        (void)::unlink(path.c_str());
        // Only this user may ask: the socket is made without group or other access.
        const mode_t previous = ::umask(0077);
        const bool bound =
            ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        (void)::umask(previous);
        if (!bound || ::listen(fd_, kBacklog) != 0) {
            (void)::close(fd_);
            fd_ = -1;
            return;
        }
        path_ = path;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { AcceptAll(); });
    }

    ~LocalListener() override {
        notifier_.reset();
        if (fd_ >= 0) {
            (void)::close(fd_);
            (void)::unlink(path_.c_str());  // nobody is listening there any more
        }
    }

    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

  private:
    static constexpr int kBacklog = 4;

    void AcceptAll() {
        for (;;) {
            const int asker = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (asker < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;  // EAGAIN: every waiting start has been answered
            }
            (void)::close(asker);
            bringToFront_();
        }
    }

    std::function<void()> bringToFront_;
    std::string path_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
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
