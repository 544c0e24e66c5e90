#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "transport/device_ids.h"
#include "transport/hid_device_info.h"
#include "transport/vkey_socket_backend.h"

namespace kelvora {
namespace {

constexpr std::size_t kPacketSize = 64;
constexpr std::size_t kReportSize = kPacketSize + 1;  // report id byte, then the packet
constexpr std::uint8_t kReportId = 0x00;
constexpr HidReportLengths kReportLengths{kReportSize, kReportSize};
constexpr char kPathSeparator = '#';
// A flush drops at most this many packets, so a daemon that keeps sending cannot hold it up.
constexpr int kMaxFlushedPackets = 256;
constexpr char kProductName[] = "Kelvora Virtual Key (socket)";

HidIoResult Failure(int error) {
    return {false, 0, static_cast<std::uint32_t>(error)};
}

class VkeySocketConnection final : public HidConnection {
  public:
    explicit VkeySocketConnection(int fd) : fd_(fd) {}
    ~VkeySocketConnection() override { Close(); }
    VkeySocketConnection(const VkeySocketConnection&) = delete;
    VkeySocketConnection& operator=(const VkeySocketConnection&) = delete;

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        if (fd_ < 0) {
            return Failure(EBADF);
        }
        if (report.size() != kReportSize || report[0] != kReportId) {
            return Failure(EINVAL);
        }
        ssize_t sent = 0;
        do {
            sent = ::send(fd_, report.data() + 1, kPacketSize, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            return Failure(errno);
        }
        if (static_cast<std::size_t>(sent) != kPacketSize) {
            return Failure(EIO);
        }
        return {true, kReportSize, 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        if (fd_ < 0) {
            return Failure(EBADF);
        }
        if (report.size() < kReportSize) {
            return Failure(EINVAL);
        }
        std::uint8_t packet[kPacketSize];
        ssize_t received = 0;
        do {
            // MSG_TRUNC reports the whole message's length, so a message of another size
            // is recognised even though only a packet's worth is kept.
            received = ::recv(fd_, packet, sizeof packet, MSG_TRUNC);
        } while (received < 0 && errno == EINTR);
        if (received < 0) {
            return Failure(errno);
        }
        if (received == 0) {
            return Failure(ENODEV);  // the daemon closed the connection: unplugged
        }
        if (static_cast<std::size_t>(received) != kPacketSize) {
            return Failure(EPROTO);
        }
        report[0] = kReportId;
        std::copy(packet, packet + kPacketSize, report.begin() + 1);
        return {true, kReportSize, 0};
    }

    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        if (fd_ < 0) {
            return Failure(EBADF);
        }
        pollfd waiting{fd_, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&waiting, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            return Failure(errno);
        }
        if (ready == 0) {
            return {false, 0, kHidReadTimedOut};
        }
        return Read(report);
    }

    void FlushInput() override {
        std::uint8_t discard[kPacketSize];
        for (int i = 0; fd_ >= 0 && i < kMaxFlushedPackets; ++i) {
            if (::recv(fd_, discard, sizeof discard, MSG_DONTWAIT) <= 0) {
                return;
            }
        }
    }

    bool ReportLengths(HidReportLengths& lengths) override {
        if (fd_ < 0) {
            return false;
        }
        lengths = kReportLengths;
        return true;
    }

    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

class VkeySocketBackend final : public HidBackend {
  public:
    explicit VkeySocketBackend(VkeySocketSetting setting)
        : setting_(std::move(setting)),
          path_(setting_.socketPath + kPathSeparator +
                InterfaceIdentity(kMakerVendorId, setting_.productId())) {}

    std::vector<HidInterfaceInfo> Enumerate() override {
        struct stat status {};
        if (::stat(setting_.socketPath.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) {
            return {};  // no daemon there: nothing is attached
        }
        HidInterfaceInfo info;
        info.path = path_;
        info.vendorId = kMakerVendorId;
        info.productId = setting_.productId();
        info.productName = kProductName;
        info.reportLengths = kReportLengths;
        return {info};
    }

    HidOpenResult Open(const HidInterfaceInfo& info) override {
        if (info.path != path_) {
            return {nullptr, HidOpenError::kUnavailable};
        }
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return {nullptr, HidOpenError::kUnavailable};
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, setting_.socketPath.c_str(), setting_.socketPath.size() + 1);
        // Non-blocking, so that a daemon whose queue of waiting connections is full makes
        // the interface unavailable instead of hanging discovery.
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const bool denied = errno == EACCES || errno == EPERM;
            ::close(fd);
            return {nullptr, denied ? HidOpenError::kAccessDenied : HidOpenError::kUnavailable};
        }
        // A socket of another user's is no key of ours: it could answer anything.
        ucred peer{};
        socklen_t peerLength = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 ||
            peer.uid != ::geteuid()) {
            ::close(fd);
            return {nullptr, HidOpenError::kAccessDenied};
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return {nullptr, HidOpenError::kUnavailable};
        }
        return {std::make_unique<VkeySocketConnection>(fd), HidOpenError::kNone};
    }

  private:
    VkeySocketSetting setting_;
    std::string path_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeVkeySocketBackend(const VkeySocketSetting& setting,
                                                  std::string& error) {
    if (setting.model < 1 || setting.model > static_cast<int>(kSupportedProducts.size())) {
        error = std::string(kVkeyEnvironmentVariable) + ": no such model " +
                std::to_string(setting.model);
        return nullptr;
    }
    if (setting.socketPath.empty() || setting.socketPath.find('\0') != std::string::npos) {
        error = std::string(kVkeyEnvironmentVariable) + ": not a socket path";
        return nullptr;
    }
    if (setting.socketPath.size() >= sizeof(sockaddr_un::sun_path)) {
        error = std::string(kVkeyEnvironmentVariable) + ": the socket path is longer than " +
                std::to_string(sizeof(sockaddr_un::sun_path) - 1) + " bytes";
        return nullptr;
    }
    return std::make_unique<VkeySocketBackend>(setting);
}

}  // namespace kelvora
