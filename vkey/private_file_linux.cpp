#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "vkey/private_file.h"

namespace kelvora::vkey {
namespace {

constexpr mode_t kOthersMayWrite = S_IWGRP | S_IWOTH;

// Closes a descriptor on every path out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            (void)::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

}  // namespace

PrivateRead ReadPrivateFile(const std::string& path, std::string& contents) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        return errno == ENOENT  ? PrivateRead::kMissing
               : errno == ELOOP ? PrivateRead::kUnsafe
                                : PrivateRead::kFailed;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return PrivateRead::kFailed;
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & kOthersMayWrite) != 0) {
        return PrivateRead::kUnsafe;
    }
    contents.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return PrivateRead::kFailed;
        }
        if (n == 0) {
            return PrivateRead::kRead;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WritePrivateFile(const std::string& path, const std::string& contents) {
    const std::string folder = FolderOf(path);
    std::string pattern =
        folder + "/." + std::filesystem::path(path).filename().string() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkstemp creates the file with O_EXCL and mode 0600, whatever the umask.
    Descriptor fd(::mkstemp(name.data()));
    if (fd.get() < 0) {
        return false;
    }
    const bool written = WriteAll(fd.get(), contents) && ::fsync(fd.get()) == 0;
    if (!fd.Close() || !written || ::rename(name.data(), path.c_str()) != 0) {
        (void)::unlink(name.data());
        return false;
    }
    // The rename itself reaches the disk only with the folder.
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::fsync(dir.get()) == 0;
}

}  // namespace kelvora::vkey
