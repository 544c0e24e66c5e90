#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/single_instance.h"

namespace kelvora {
namespace {

class FileLock final : public SingleInstanceLock {
  public:
    explicit FileLock(int fd) : fd_(fd) {}
    ~FileLock() override { (void)::close(fd_); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

// The runtime directory is private to the user; /tmp is shared, so the uid keeps users'
// locks apart there.
std::string LockPath(std::string_view name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");  // NOLINT(concurrency-mt-unsafe)
    if (runtime != nullptr && *runtime == '/') {
        return std::string(runtime) + "/" + std::string(name) + ".lock";
    }
    return "/tmp/" + std::string(name) + "-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace

SingleInstanceResult AcquireSingleInstance(std::string_view name) {
    const std::string path = LockPath(name);
    // O_CLOEXEC: a program the tool might start must not inherit the lock.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return {InstanceCheck::kUnavailable, nullptr};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        (void)::close(fd);
        return {error == EWOULDBLOCK ? InstanceCheck::kAlreadyRunning : InstanceCheck::kUnavailable,
                nullptr};
    }
    return {InstanceCheck::kFirst, std::make_unique<FileLock>(fd)};
}

}  // namespace kelvora
