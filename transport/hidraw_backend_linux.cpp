#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "transport/hid_device_info.h"
#include "transport/hid_report_descriptor.h"
#include "transport/hidraw_backend.h"

namespace kelvora {
namespace {

constexpr std::string_view kHidIdKey = "HID_ID=";
constexpr std::string_view kHidNameKey = "HID_NAME=";
constexpr std::string_view kHidrawPrefix = "hidraw";
constexpr char kPathSeparator = '#';
// Larger than any report descriptor a real device has (HID_MAX_DESCRIPTOR_SIZE is 4096).
constexpr std::size_t kMaxDescriptorSize = 4096;
// Reports dropped at most by one flush; a key that floods the input cannot hold it up.
constexpr int kMaxFlushedReports = 256;

int DefaultOpen(const char* path, int flags) {
    return ::open(path, flags);
}

class HidrawConnection final : public HidConnection {
  public:
    HidrawConnection(int fd, HidReportLengths lengths) : fd_(fd), lengths_(lengths) {}
    ~HidrawConnection() override { Close(); }

    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        if (fd_ < 0) {
            return {false, 0, static_cast<std::uint32_t>(EBADF)};
        }
        ssize_t written = 0;
        do {
            written = ::write(fd_, report.data(), report.size());
        } while (written < 0 && errno == EINTR);
        if (written < 0) {
            return {false, 0, static_cast<std::uint32_t>(errno)};
        }
        return {true, static_cast<std::size_t>(written), 0};
    }

    // hidraw leaves out the report id of a device without numbered reports; the seam's
    // reports always start with it.
    HidIoResult Read(std::span<std::uint8_t> report) override {
        if (fd_ < 0 || report.empty()) {
            return {false, 0, static_cast<std::uint32_t>(EBADF)};
        }
        ssize_t received = 0;
        do {
            received = ::read(fd_, report.data() + 1, report.size() - 1);
        } while (received < 0 && errno == EINTR);
        if (received < 0) {
            return {false, 0, static_cast<std::uint32_t>(errno)};
        }
        if (received == 0) {
            // End of file: the device (or the stand-in's peer) is gone.
            return {false, 0, static_cast<std::uint32_t>(ENODEV)};
        }
        report[0] = 0;
        // A short report must not leave bytes of the previous one behind it.
        std::fill(report.begin() + 1 + received, report.end(), std::uint8_t{0});
        return {true, static_cast<std::size_t>(received) + 1, 0};
    }

    HidIoResult ReadWithin(std::span<std::uint8_t> report, std::uint32_t timeoutMs) override {
        if (fd_ < 0 || report.empty()) {
            return {false, 0, static_cast<std::uint32_t>(EBADF)};
        }
        pollfd waiting{fd_, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&waiting, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            return {false, 0, static_cast<std::uint32_t>(errno)};
        }
        if (ready == 0) {
            return {false, 0, kHidReadTimedOut};
        }
        // POLLHUP or POLLERR: the read below reports the removal.
        return Read(report);
    }

    void FlushInput() override {
        if (fd_ < 0) {
            return;
        }
        std::uint8_t discard[kDiscardBufferSize] = {};
        for (int i = 0; i < kMaxFlushedReports; ++i) {
            pollfd waiting{fd_, POLLIN, 0};
            if (::poll(&waiting, 1, 0) <= 0 || (waiting.revents & POLLIN) == 0) {
                return;
            }
            if (::read(fd_, discard, sizeof discard) <= 0) {
                return;
            }
        }
    }

    bool ReportLengths(HidReportLengths& lengths) override {
        if (fd_ < 0) {
            return false;
        }
        lengths = lengths_;
        return true;
    }

    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    static constexpr std::size_t kDiscardBufferSize = 1024;
    int fd_;
    HidReportLengths lengths_;
};

std::string ReadWholeFile(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string data(limit + 1, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

// HID_ID=0003:00004B56:00002B03 -> vendor 0x4B56, product 0x2B03.
bool ParseHidId(std::string_view value, std::uint16_t& vendorId, std::uint16_t& productId) {
    const std::size_t first = value.find(':');
    const std::size_t second = first == std::string_view::npos ? first : value.find(':', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    const std::string vendor(value.substr(first + 1, second - first - 1));
    const std::string product(value.substr(second + 1));
    char* end = nullptr;
    const unsigned long v = std::strtoul(vendor.c_str(), &end, 16);
    if (vendor.empty() || *end != '\0' || v > 0xFFFF) {
        return false;
    }
    const unsigned long p = std::strtoul(product.c_str(), &end, 16);
    if (product.empty() || *end != '\0' || p > 0xFFFF) {
        return false;
    }
    vendorId = static_cast<std::uint16_t>(v);
    productId = static_cast<std::uint16_t>(p);
    return true;
}

// The numeric suffix of "hidrawN", so that hidraw10 sorts after hidraw9.
long NodeNumber(const std::string& name) {
    return std::strtol(name.c_str() + kHidrawPrefix.size(), nullptr, 10);
}

bool DescribeInterface(const std::filesystem::path& classEntry, HidInterfaceInfo& info) {
    std::istringstream uevent(ReadWholeFile(classEntry / "device" / "uevent", kMaxDescriptorSize));
    bool haveId = false;
    bool haveName = false;
    for (std::string line; std::getline(uevent, line);) {
        if (line.rfind(kHidIdKey, 0) == 0) {
            haveId = ParseHidId(std::string_view(line).substr(kHidIdKey.size()), info.vendorId,
                                info.productId);
        } else if (line.rfind(kHidNameKey, 0) == 0) {
            info.productName = line.substr(kHidNameKey.size());
            haveName = true;
        }
    }
    if (!haveId) {
        return false;
    }
    info.productNameAvailable = haveName;
    const std::string descriptor =
        ReadWholeFile(classEntry / "device" / "report_descriptor", kMaxDescriptorSize);
    if (descriptor.size() <= kMaxDescriptorSize) {
        info.reportLengths = ParseReportLengths(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(descriptor.data()), descriptor.size()));
    }
    return true;
}

}  // namespace

HidrawBackend::HidrawBackend(std::filesystem::path sysfsRoot, std::filesystem::path devRoot,
                             OpenNode openNode)
    : sysfsRoot_(std::move(sysfsRoot)),
      devRoot_(std::move(devRoot)),
      openNode_(openNode != nullptr ? openNode : DefaultOpen) {}

std::vector<HidInterfaceInfo> HidrawBackend::Enumerate() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(sysfsRoot_ / "class" / "hidraw", error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kHidrawPrefix, 0) == 0) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return NodeNumber(a) < NodeNumber(b);
    });

    std::vector<HidInterfaceInfo> interfaces;
    for (const std::string& name : names) {
        HidInterfaceInfo info;
        if (!DescribeInterface(sysfsRoot_ / "class" / "hidraw" / name, info)) {
            continue;
        }
        const std::filesystem::path node = devRoot_ / name;
        if (!std::filesystem::exists(node, error)) {
            continue;
        }
        info.path =
            node.string() + kPathSeparator + InterfaceIdentity(info.vendorId, info.productId);
        interfaces.push_back(std::move(info));
    }
    return interfaces;
}

HidOpenResult HidrawBackend::Open(const HidInterfaceInfo& info) {
    const std::size_t separator = info.path.rfind(kPathSeparator);
    const std::string node = info.path.substr(0, separator);
    const int fd = openNode_(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const bool denied = errno == EACCES || errno == EPERM;
        return {nullptr, denied ? HidOpenError::kAccessDenied : HidOpenError::kUnavailable};
    }
    return {MakeHidrawConnection(fd, info.reportLengths), HidOpenError::kNone};
}

std::unique_ptr<HidConnection> MakeHidrawConnection(int fd, HidReportLengths lengths) {
    return std::make_unique<HidrawConnection>(fd, lengths);
}

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
    return std::make_unique<HidrawBackend>();
}

}  // namespace kelvora
