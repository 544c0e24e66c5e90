#include "tests/linux/usb_rig/usb_key_device.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <usbredirparser.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kelvora::usbrig {
namespace {

constexpr std::uint8_t kRequestGetStatus = 0x00;
constexpr std::uint8_t kRequestGetDescriptor = 0x06;
constexpr std::uint8_t kRequestSetIdle = 0x0A;
constexpr std::uint8_t kDirectionIn = 0x80;
constexpr std::uint8_t kHidReportDescriptor = 0x22;
constexpr std::uint8_t kDeviceDescriptor = 0x01;
constexpr std::uint8_t kConfigurationDescriptor = 0x02;
constexpr std::uint8_t kStringDescriptor = 0x03;
constexpr std::uint8_t kNoEndpoint = 255;
// A real key NAKs when its host stops polling; this bounds what waits meanwhile.
constexpr std::size_t kMaxPendingReports = 1024;
constexpr std::uint8_t kInterfaceClassHid = 0x03;

UsbKeyDevice* Self(void* priv) {
    return static_cast<UsbKeyDevice*>(priv);
}

// The slot of an endpoint in usbredir's 32-entry tables: OUT endpoints first, then IN.
int EndpointSlot(std::uint8_t endpoint) {
    return ((endpoint & 0x80) >> 3) | (endpoint & 0x0F);
}

void Log(void*, int level, const char* message) {
    if (level <= usbredirparser_warning) {
        (void)std::fprintf(stderr, "kelvora-usb-key: usbredir: %s\n", message);
    }
}

int Read(void* priv, std::uint8_t* data, int count) {
    return Self(priv)->ReadQemu(data, count);
}

int Write(void* priv, std::uint8_t* data, int count) {
    return Self(priv)->WriteQemu(data, count);
}

void Hello(void* priv, usb_redir_hello_header*) {
    Self(priv)->OnHello();
}

void Control(void* priv, std::uint64_t id, usb_redir_control_packet_header* header,
             std::uint8_t* data, int length) {
    Self(priv)->OnControl(id, header, data, length);
    Self(priv)->FreePacketData(data);
}

void SetConfiguration(void* priv, std::uint64_t id, usb_redir_set_configuration_header* header) {
    Self(priv)->OnSetConfiguration(id, header->configuration);
}

void GetConfiguration(void* priv, std::uint64_t id) {
    Self(priv)->OnGetConfiguration(id);
}

void SetAltSetting(void* priv, std::uint64_t id, usb_redir_set_alt_setting_header* header) {
    Self(priv)->OnSetAltSetting(id, header->interface, header->alt);
}

void GetAltSetting(void* priv, std::uint64_t id, usb_redir_get_alt_setting_header* header) {
    Self(priv)->OnGetAltSetting(id, header->interface);
}

void StartInterrupt(void* priv, std::uint64_t id,
                    usb_redir_start_interrupt_receiving_header* header) {
    Self(priv)->OnInterruptReceiving(id, header->endpoint, true);
}

void StopInterrupt(void* priv, std::uint64_t id,
                   usb_redir_stop_interrupt_receiving_header* header) {
    Self(priv)->OnInterruptReceiving(id, header->endpoint, false);
}

void Interrupt(void* priv, std::uint64_t id, usb_redir_interrupt_packet_header* header,
               std::uint8_t* data, int length) {
    Self(priv)->OnInterruptOut(id, header->endpoint, data, length);
    Self(priv)->FreePacketData(data);
}

// Packets the key has nothing to do for (a reset is QEMU's own business, the filter and the
// acknowledgement of a disconnect need no answer).
void Reset(void*) {}
void Cancel(void*, std::uint64_t) {}
void FilterReject(void*) {}
void FilterFilter(void*, usbredirfilter_rule*, int) {}
void DisconnectAck(void*) {}

}  // namespace

UsbKeyDevice::UsbKeyDevice(int qemuFd, KeyIdentity identity, std::string vkeySocket, bool plugged)
    : qemuFd_(qemuFd),
      identity_(std::move(identity)),
      vkeySocket_(std::move(vkeySocket)),
      wantPlugged_(plugged) {
    parser_ = usbredirparser_create();
    parser_->priv = this;
    parser_->log_func = Log;
    parser_->read_func = Read;
    parser_->write_func = Write;
    parser_->hello_func = Hello;
    parser_->control_packet_func = Control;
    parser_->set_configuration_func = SetConfiguration;
    parser_->get_configuration_func = GetConfiguration;
    parser_->set_alt_setting_func = SetAltSetting;
    parser_->get_alt_setting_func = GetAltSetting;
    parser_->start_interrupt_receiving_func = StartInterrupt;
    parser_->stop_interrupt_receiving_func = StopInterrupt;
    parser_->interrupt_packet_func = Interrupt;
    parser_->reset_func = Reset;
    parser_->cancel_data_packet_func = Cancel;
    parser_->filter_reject_func = FilterReject;
    parser_->filter_filter_func = FilterFilter;
    parser_->device_disconnect_ack_func = DisconnectAck;
    std::uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    // Without these QEMU marks a full-speed device incompatible with its xHCI controller.
    for (const int cap :
         {usb_redir_cap_connect_device_version, usb_redir_cap_filter,
          usb_redir_cap_device_disconnect_ack, usb_redir_cap_ep_info_max_packet_size,
          usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length}) {
        usbredirparser_caps_set_cap(caps, cap);
    }
    // In usbredir's terms the side with the device is the "USB host".
    usbredirparser_init(parser_, "kelvora-usb-key", caps, USB_REDIR_CAPS_SIZE,
                        usbredirparser_fl_usb_host);
}

UsbKeyDevice::~UsbKeyDevice() {
    CloseVkey();
    usbredirparser_destroy(parser_);
}

int UsbKeyDevice::ReadQemu(std::uint8_t* data, int count) {
    const ssize_t got = ::read(qemuFd_, data, static_cast<std::size_t>(count));
    if (got > 0) {
        return static_cast<int>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return 0;
    }
    qemuGone_ = true;
    return -1;
}

int UsbKeyDevice::WriteQemu(const std::uint8_t* data, int count) {
    const ssize_t sent = ::send(qemuFd_, data, static_cast<std::size_t>(count), MSG_NOSIGNAL);
    if (sent >= 0) {
        return static_cast<int>(sent);
    }
    if (errno == EAGAIN || errno == EINTR) {
        return 0;
    }
    qemuGone_ = true;
    return -1;
}

bool UsbKeyDevice::OnQemuReadable() {
    const int result = usbredirparser_do_read(parser_);
    return !qemuGone_ && result != usbredirparser_read_parse_error;
}

bool UsbKeyDevice::WantsToWrite() const {
    return usbredirparser_has_data_to_write(parser_) > 0;
}

bool UsbKeyDevice::FlushToQemu() {
    if (WantsToWrite()) {
        (void)usbredirparser_do_write(parser_);
    }
    return WantsToWrite();
}

void UsbKeyDevice::OnHello() {
    helloSeen_ = true;
    if (wantPlugged_) {
        Announce();
    }
}

// QEMU takes a device only with its interfaces and endpoints already known, and only after
// it has told its own capabilities.
void UsbKeyDevice::Announce() {
    if (!helloSeen_ || announced_) {
        return;
    }
    usb_redir_interface_info_header interfaces{};
    interfaces.interface_count = 1;
    interfaces.interface_class[0] = kInterfaceClassHid;
    usbredirparser_send_interface_info(parser_, &interfaces);

    usb_redir_ep_info_header endpoints{};
    std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
    endpoints.type[EndpointSlot(0x00)] = usb_redir_type_control;
    endpoints.type[EndpointSlot(0x80)] = usb_redir_type_control;
    endpoints.max_packet_size[EndpointSlot(0x00)] = 64;
    endpoints.max_packet_size[EndpointSlot(0x80)] = 64;
    for (const std::uint8_t endpoint : {kInEndpoint, kOutEndpoint}) {
        const int slot = EndpointSlot(endpoint);
        endpoints.type[slot] = usb_redir_type_interrupt;
        endpoints.interval[slot] = kPollIntervalMs;
        endpoints.max_packet_size[slot] = kReportSize;
    }
    usbredirparser_send_ep_info(parser_, &endpoints);

    usb_redir_device_connect_header device{};
    device.speed = usb_redir_speed_full;
    device.vendor_id = identity_.vendorId;
    device.product_id = identity_.productId;
    device.device_version_bcd = identity_.deviceVersion;
    usbredirparser_send_device_connect(parser_, &device);
    announced_ = true;
    if (!ConnectVkey()) {
        (void)std::fprintf(stderr, "kelvora-usb-key: cannot reach the key at %s: %s\n",
                           vkeySocket_.c_str(), std::strerror(errno));
    }
    (void)std::fprintf(stderr, "kelvora-usb-key: plugged\n");
}

void UsbKeyDevice::Plug() {
    wantPlugged_ = true;
    Announce();
}

void UsbKeyDevice::Unplug() {
    wantPlugged_ = false;
    if (announced_) {
        usbredirparser_send_device_disconnect(parser_);
        announced_ = false;
        (void)std::fprintf(stderr, "kelvora-usb-key: unplugged\n");
    }
    receiving_ = false;
    configuration_ = 0;
    pendingIn_.clear();
    CloseVkey();
}

void UsbKeyDevice::OnControl(std::uint64_t id, const void* rawHeader, const std::uint8_t*, int) {
    usb_redir_control_packet_header header;
    std::memcpy(&header, rawHeader, sizeof header);
    std::vector<std::uint8_t> reply;
    bool stall = false;
    const auto kind = static_cast<std::uint8_t>(header.value >> 8);
    const auto index = static_cast<std::uint8_t>(header.value & 0xFF);
    if (header.request == kRequestGetDescriptor && header.requesttype == kDirectionIn) {
        if (kind == kDeviceDescriptor) {
            reply = DeviceDescriptor(identity_);
        } else if (kind == kConfigurationDescriptor) {
            reply = ConfigurationDescriptor();
        } else if (kind == kStringDescriptor) {
            reply = StringDescriptor(identity_, index);
        }
        stall = reply.empty();  // the device qualifier too: a full-speed device has none
    } else if (header.request == kRequestGetDescriptor && header.requesttype == 0x81 &&
               kind == kHidReportDescriptor && header.index == 0) {
        reply = ReportDescriptor();
    } else if (header.request == kRequestGetStatus && (header.requesttype & kDirectionIn)) {
        reply = {0, 0};
    } else if (header.request == kRequestSetIdle && header.requesttype == 0x21) {
        // Accepted: the key reports only when it has something to say anyway.
    } else {
        stall = true;
    }
    if (reply.size() > header.length) {
        reply.resize(header.length);
    }
    header.status = stall ? usb_redir_stall : usb_redir_success;
    header.length = static_cast<std::uint16_t>(reply.size());
    usbredirparser_send_control_packet(parser_, id, &header, reply.empty() ? nullptr : reply.data(),
                                       static_cast<int>(reply.size()));
}

void UsbKeyDevice::OnSetConfiguration(std::uint64_t id, std::uint8_t configuration) {
    usb_redir_configuration_status_header status{};
    status.status = configuration <= 1 ? usb_redir_success : usb_redir_stall;
    if (configuration <= 1) {
        configuration_ = configuration;
    }
    status.configuration = configuration_;
    usbredirparser_send_configuration_status(parser_, id, &status);
}

void UsbKeyDevice::OnGetConfiguration(std::uint64_t id) {
    usb_redir_configuration_status_header status{};
    status.status = usb_redir_success;
    status.configuration = configuration_;
    usbredirparser_send_configuration_status(parser_, id, &status);
}

void UsbKeyDevice::OnSetAltSetting(std::uint64_t id, std::uint8_t interface, std::uint8_t alt) {
    usb_redir_alt_setting_status_header status{};
    status.status = interface == 0 && alt == 0 ? usb_redir_success : usb_redir_stall;
    status.interface = interface;
    status.alt = 0;
    usbredirparser_send_alt_setting_status(parser_, id, &status);
}

void UsbKeyDevice::OnGetAltSetting(std::uint64_t id, std::uint8_t interface) {
    usb_redir_alt_setting_status_header status{};
    status.status = interface == 0 ? usb_redir_success : usb_redir_stall;
    status.interface = interface;
    status.alt = 0;
    usbredirparser_send_alt_setting_status(parser_, id, &status);
}

void UsbKeyDevice::OnInterruptReceiving(std::uint64_t id, std::uint8_t endpoint, bool start) {
    usb_redir_interrupt_receiving_status_header status{};
    status.endpoint = endpoint;
    status.status = endpoint == kInEndpoint ? usb_redir_success : usb_redir_inval;
    usbredirparser_send_interrupt_receiving_status(parser_, id, &status);
    if (endpoint == kInEndpoint) {
        receiving_ = start;
        SendQueuedReports();
    }
}

void UsbKeyDevice::OnInterruptOut(std::uint64_t id, std::uint8_t endpoint, const std::uint8_t* data,
                                  int length) {
    usb_redir_interrupt_packet_header header{};
    header.endpoint = endpoint;
    header.status = usb_redir_success;
    header.length = static_cast<std::uint16_t>(length < 0 ? 0 : length);
    if (endpoint != kOutEndpoint || length < 0 || length > kReportSize) {
        header.status = usb_redir_inval;
    } else if (vkeyFd_ >= 0) {
        std::uint8_t report[kReportSize] = {};
        std::memcpy(report, data, static_cast<std::size_t>(length));
        if (::send(vkeyFd_, report, sizeof report, MSG_NOSIGNAL) != sizeof report) {
            header.status = usb_redir_ioerror;
        }
    }
    usbredirparser_send_interrupt_packet(parser_, id, &header, nullptr, 0);
}

void UsbKeyDevice::FreePacketData(std::uint8_t* data) {
    if (data != nullptr) {
        usbredirparser_free_packet_data(parser_, data);
    }
}

bool UsbKeyDevice::OnVkeyReadable() {
    std::uint8_t report[kReportSize] = {};
    const ssize_t got = ::recv(vkeyFd_, report, sizeof report, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    if (pendingIn_.size() >= kMaxPendingReports) {
        pendingIn_.pop_front();
    }
    pendingIn_.emplace_back(report, report + kReportSize);
    SendQueuedReports();
    return true;
}

// QEMU drops an IN report that arrives while its host is not polling the endpoint, as a
// real key would never have sent it: the reports wait here until the host polls again.
void UsbKeyDevice::SendQueuedReports() {
    while (receiving_ && announced_ && !pendingIn_.empty()) {
        std::vector<std::uint8_t>& report = pendingIn_.front();
        usb_redir_interrupt_packet_header header{};
        header.endpoint = kInEndpoint;
        header.status = usb_redir_success;
        header.length = static_cast<std::uint16_t>(report.size());
        usbredirparser_send_interrupt_packet(parser_, nextInId_++, &header, report.data(),
                                             static_cast<int>(report.size()));
        pendingIn_.pop_front();
    }
}

bool UsbKeyDevice::ConnectVkey() {
    CloseVkey();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (vkeySocket_.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, vkeySocket_.c_str(), vkeySocket_.size() + 1);
    vkeyFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (vkeyFd_ < 0) {
        return false;
    }
    if (::connect(vkeyFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        CloseVkey();
        errno = error;
        return false;
    }
    return true;
}

void UsbKeyDevice::CloseVkey() {
    if (vkeyFd_ >= 0) {
        ::close(vkeyFd_);
        vkeyFd_ = -1;
    }
}

}  // namespace kelvora::usbrig
