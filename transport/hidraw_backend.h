// The Linux backend: hidraw device nodes, described from sysfs.
//
// Interfaces are found under <sysfs>/class/hidraw/hidrawN; the parent HID device's uevent
// gives HID_ID (bus:vendor:product) and HID_NAME, and its report_descriptor the report
// lengths. The node <dev>/hidrawN is opened with open(2). The interface path is the node
// followed by "#vid_xxxx&pid_XXXX" (for example "/dev/hidraw3#vid_4b56&pid_2B03"), so
// the vendor and product digits can be matched as on Windows; Open() uses the part before
// the last '#'. The product name is HID_NAME as the kernel reports it (UTF-8).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "transport/hid_backend.h"

namespace kelvora {

class HidrawBackend final : public HidBackend {
  public:
    // open(2) by default; a seam so that tests can hand out stand-in descriptors (socket
    // pairs) or refuse with EACCES even when running as root. Returns -1 and sets errno on
    // failure, as open(2) does.
    using OpenNode = int (*)(const char* path, int flags);

    explicit HidrawBackend(std::filesystem::path sysfsRoot = "/sys",
                           std::filesystem::path devRoot = "/dev", OpenNode openNode = nullptr);

    std::vector<HidInterfaceInfo> Enumerate() override;
    HidOpenResult Open(const HidInterfaceInfo& info) override;

  private:
    std::filesystem::path sysfsRoot_;
    std::filesystem::path devRoot_;
    OpenNode openNode_;
};

// A connection over an open hidraw descriptor (or a SOCK_SEQPACKET stand-in); takes
// ownership of `fd`.
std::unique_ptr<HidConnection> MakeHidrawConnection(int fd, HidReportLengths lengths);

}  // namespace kelvora
