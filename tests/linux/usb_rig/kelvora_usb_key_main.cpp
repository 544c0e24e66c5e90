// kelvora-usb-key: one key of the maker as a full-speed USB HID device on QEMU's usb-redir
// socket, its reports carried to and from a kelvora-vkey daemon (scripts/linux-usb-rig.sh).
// SIGUSR1 pulls the key, SIGUSR2 plugs it in again; the guest's kernel sees a real removal
// and arrival. When QEMU drops the connection (its usb-redir device was deleted) the program
// connects again with a fresh session, and ends once QEMU is gone for good.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tests/linux/usb_rig/usb_key_device.h"

namespace {

using kelvora::usbrig::KeyIdentity;
using kelvora::usbrig::UsbKeyDevice;

constexpr const char* kUsage =
    "usage: kelvora-usb-key --qemu SOCKET --vkey SOCKET --product ID [--vendor ID]\n"
    "                       [--manufacturer TEXT] [--name TEXT] [--serial TEXT] [--unplugged]\n"
    "                       [--wait-ms MS]\n";
constexpr int kExitUsage = 2;
constexpr int kExitNoQemu = 1;
constexpr int kRetryStepMs = 50;

int gSignalPipe[2] = {-1, -1};

void OnSignal(int number) {
    const char code = number == SIGUSR1 ? 'u' : number == SIGUSR2 ? 'p' : 'q';
    const int saved = errno;
    (void)!::write(gSignalPipe[1], &code, 1);
    errno = saved;
}

bool ParseId(const char* text, std::uint16_t& value) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 16);
    if (*text == '\0' || *end != '\0' || parsed > 0xFFFF) {
        return false;
    }
    value = static_cast<std::uint16_t>(parsed);
    return true;
}

// QEMU is the server; it may still be starting, or be gone.
int ConnectQemu(const std::string& path, int waitMs) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (int waited = 0; waited <= waitMs; waited += kRetryStepMs) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            return fd;
        }
        ::close(fd);
        ::usleep(kRetryStepMs * 1000);
    }
    return -1;
}

// One usb-redir connection. Returns false when the program should end.
bool Serve(int qemuFd, const KeyIdentity& identity, const std::string& vkey, bool& plugged) {
    UsbKeyDevice device(qemuFd, identity, vkey, plugged);
    for (;;) {
        pollfd fds[3] = {{qemuFd, POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}, {-1, POLLIN, 0}};
        if (device.WantsToWrite()) {
            fds[0].events |= POLLOUT;
        }
        fds[2].fd = device.vkeyFd();
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char code = 0;
            if (::read(gSignalPipe[0], &code, 1) == 1) {
                if (code == 'q') {
                    device.Unplug();
                    (void)device.FlushToQemu();
                    return false;
                }
                if (code == 'u') {
                    device.Unplug();
                } else {
                    device.Plug();
                }
                plugged = device.plugged();
            }
        }
        if ((fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !device.OnVkeyReadable()) {
            (void)std::fprintf(stderr, "kelvora-usb-key: the key's daemon went away\n");
            device.Unplug();
            plugged = false;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !device.OnQemuReadable()) {
            return true;
        }
        (void)device.FlushToQemu();
    }
}

}  // namespace

int main(int argc, char** argv) {
    KeyIdentity identity;
    identity.vendorId = 0x4B56;
    identity.manufacturer = "Kelvora";
    std::string qemu;
    std::string vkey;
    bool plugged = true;
    bool haveProduct = false;
    int waitMs = 10000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--unplugged") {
            plugged = false;
            continue;
        }
        if (value == nullptr) {
            ok = false;
        } else if (arg == "--qemu") {
            qemu = value;
        } else if (arg == "--vkey") {
            vkey = value;
        } else if (arg == "--vendor") {
            ok = ParseId(value, identity.vendorId);
        } else if (arg == "--product") {
            ok = ParseId(value, identity.productId);
            haveProduct = ok;
        } else if (arg == "--manufacturer") {
            identity.manufacturer = value;
        } else if (arg == "--name") {
            identity.product = value;
        } else if (arg == "--serial") {
            identity.serial = value;
        } else if (arg == "--wait-ms") {
            waitMs = std::atoi(value);
        } else {
            ok = false;
        }
        if (!ok) {
            (void)std::fprintf(stderr, "kelvora-usb-key: bad argument %s\n%s", arg.c_str(), kUsage);
            return kExitUsage;
        }
        ++i;
    }
    if (qemu.empty() || vkey.empty() || !haveProduct) {
        (void)std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return kExitNoQemu;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) {
        (void)::sigaction(number, &action, nullptr);
    }
    int fd = ConnectQemu(qemu, waitMs);
    if (fd < 0) {
        (void)std::fprintf(stderr, "kelvora-usb-key: cannot connect to %s\n", qemu.c_str());
        return kExitNoQemu;
    }
    while (fd >= 0) {
        const bool again = Serve(fd, identity, vkey, plugged);
        ::close(fd);
        // A deleted usb-redir device takes its socket along; one added again brings a new one.
        fd = again ? ConnectQemu(qemu, waitMs) : -1;
    }
    return 0;
}
