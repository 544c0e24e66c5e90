// One emulated key on one usbredir connection to QEMU. The key's CTAPHID reports go to and
// come from a kelvora-vkey daemon: each OUT report is one message on the daemon's socket,
// each message back one IN report. A plug is a new daemon connection (the daemon counts its
// reset window from it); an unplug closes it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tests/linux/usb_rig/usb_key_descriptors.h"

struct usbredirparser;

namespace kelvora::usbrig {

class UsbKeyDevice {
  public:
    // `qemuFd` is the connected usbredir socket (non-blocking), owned by the caller.
    UsbKeyDevice(int qemuFd, KeyIdentity identity, std::string vkeySocket, bool plugged);
    ~UsbKeyDevice();
    UsbKeyDevice(const UsbKeyDevice&) = delete;
    UsbKeyDevice& operator=(const UsbKeyDevice&) = delete;

    // Feeds what QEMU sent. False once QEMU has closed the connection or sent garbage.
    bool OnQemuReadable();
    // Sends what is queued for QEMU; true while more is waiting.
    bool FlushToQemu();
    bool WantsToWrite() const;
    // Reads the daemon's answers. False when the daemon went away (the key is then pulled).
    bool OnVkeyReadable();
    int vkeyFd() const { return vkeyFd_; }

    void Plug();
    void Unplug();
    bool plugged() const { return wantPlugged_; }

    // The parser's callbacks.
    void OnHello();
    void OnControl(std::uint64_t id, const void* header, const std::uint8_t* data, int length);
    void OnSetConfiguration(std::uint64_t id, std::uint8_t configuration);
    void OnGetConfiguration(std::uint64_t id);
    void OnSetAltSetting(std::uint64_t id, std::uint8_t interface, std::uint8_t alt);
    void OnGetAltSetting(std::uint64_t id, std::uint8_t interface);
    void OnInterruptReceiving(std::uint64_t id, std::uint8_t endpoint, bool start);
    void OnInterruptOut(std::uint64_t id, std::uint8_t endpoint, const std::uint8_t* data,
                        int length);
    void FreePacketData(std::uint8_t* data);
    int ReadQemu(std::uint8_t* data, int count);
    int WriteQemu(const std::uint8_t* data, int count);

  private:
    void Announce();
    void SendQueuedReports();
    bool ConnectVkey();
    void CloseVkey();

    int qemuFd_;
    KeyIdentity identity_;
    std::string vkeySocket_;
    usbredirparser* parser_ = nullptr;
    bool helloSeen_ = false;
    bool wantPlugged_;
    bool announced_ = false;
    bool qemuGone_ = false;
    bool receiving_ = false;
    std::uint8_t configuration_ = 0;
    int vkeyFd_ = -1;
    std::uint64_t nextInId_ = 0;
    std::deque<std::vector<std::uint8_t>> pendingIn_;
};

}  // namespace kelvora::usbrig
