#include "tests/common/replay_backend.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "transport/hid_device_info.h"

namespace kelvora::test {
namespace {

using namespace ctaphid;

bool IsInitOnBroadcast(std::span<const std::uint8_t> report) {
    return report.size() >= kInitPayloadOffset + kInitNonceSize &&
           std::equal(kBroadcastChannel.begin(), kBroadcastChannel.end(),
                      report.begin() + kChannelOffset) &&
           report[kCommandOffset] == kInit;
}

// An INIT answer queued for the host's INIT gets the nonce of the INIT the host wrote last
// when it is read, so that an INIT sent again after a lost answer is answered too.
void EchoHostNonce(const std::vector<Bytes>& written, Bytes& answer) {
    const auto nonce = answer.begin() + kInitPayloadOffset;
    if (!IsInitOnBroadcast(answer) ||
        !std::all_of(nonce, nonce + kInitNonceSize, [](auto b) { return b == kHostNonce; })) {
        return;
    }
    for (auto report = written.rbegin(); report != written.rend(); ++report) {
        if (IsInitOnBroadcast(*report)) {
            std::copy_n(report->begin() + kInitPayloadOffset, kInitNonceSize, nonce);
            return;
        }
    }
}

class ReplayConnection final : public HidConnection {
  public:
    explicit ReplayConnection(std::shared_ptr<ReplayDevice> device) : device_(std::move(device)) {}
    ~ReplayConnection() override { Close(); }

    ReplayConnection(const ReplayConnection&) = delete;
    ReplayConnection& operator=(const ReplayConnection&) = delete;

    HidIoResult Write(std::span<const std::uint8_t> report) override {
        const int index = static_cast<int>(device_->written.size());
        device_->written.emplace_back(report.begin(), report.end());
        if (index == device_->failWriteAt) {
            return {false, 0, device_->writeError};
        }
        if (index == device_->shortWriteAt) {
            return {true, report.size() - 1, 0};
        }
        return {true, report.size(), 0};
    }

    HidIoResult Read(std::span<std::uint8_t> report) override {
        if (device_->reads.empty()) {
            return {false, 0, kReplayDeviceGone};
        }
        ReplayDevice::ReadStep step = std::move(device_->reads.front());
        device_->reads.pop_front();
        if (!step.ok) {
            return {false, 0, step.errorCode};
        }
        EchoHostNonce(device_->written, step.report);
        const std::size_t n = std::min(report.size(), step.report.size());
        std::copy_n(step.report.begin(), n, report.begin());
        return {true, n, 0};
    }

    void FlushInput() override { ++device_->flushes; }

    bool ReportLengths(HidReportLengths& lengths) override {
        if (!device_->capsAvailable) {
            return false;
        }
        lengths = device_->lengths;
        return true;
    }

    void Close() override {
        if (!closed_) {
            closed_ = true;
            ++device_->closes;
        }
    }

  private:
    std::shared_ptr<ReplayDevice> device_;
    bool closed_ = false;
};

}  // namespace

void ReplayDevice::QueuePacket(const Bytes& packet) {
    Bytes report(kReportLength, 0);
    std::copy_n(packet.begin(), std::min(packet.size(), kPacketSize), report.begin() + 1);
    reads.push_back({true, std::move(report), 0});
}

void ReplayDevice::QueueReadFailure(std::uint32_t errorCode) {
    reads.push_back({false, {}, errorCode});
}

void ReplayDevice::QueueMessage(const Bytes& channel, std::uint8_t command, const Bytes& message) {
    const std::size_t first = std::min(message.size(), kInitPayloadSize);
    QueuePacket(InitPacket(channel, command, static_cast<std::uint16_t>(message.size()),
                           Bytes(message.begin(), message.begin() + first)));
    std::uint8_t sequence = 0;
    for (std::size_t sent = first; sent < message.size(); sent += kContinuationPayloadSize) {
        const std::size_t chunk = std::min(message.size() - sent, kContinuationPayloadSize);
        QueuePacket(ContinuationPacket(channel, sequence++,
                                       Bytes(message.begin() + static_cast<long>(sent),
                                             message.begin() + static_cast<long>(sent + chunk))));
    }
}

void ReplayDevice::QueueInitResponse(const Bytes& channel, std::uint8_t nonceByte,
                                     std::uint16_t length) {
    // Nonce echoed, channel, protocol version 2, device version 1.0.0, capabilities.
    const std::array<std::uint8_t, 5> versions = {0x02, 0x01, 0x00, 0x00, 0x0D};
    Bytes payload(kInitNonceSize + kChannelSize + versions.size(), nonceByte);
    std::copy_n(channel.begin(), kChannelSize, payload.begin() + kInitNonceSize);
    std::copy(versions.begin(), versions.end(), payload.begin() + kInitNonceSize + kChannelSize);
    QueuePacket(InitPacket(Bytes(kBroadcastChannel.begin(), kBroadcastChannel.end()), kInit, length,
                           payload));
}

std::shared_ptr<ReplayDevice> ReplayBackend::AddKey(std::uint16_t vendorId, std::uint16_t productId,
                                                    const std::string& name) {
    HidInterfaceInfo info;
    info.path = "/dev/hidraw" + std::to_string(interfaces.size()) + "#" +
                InterfaceIdentity(vendorId, productId);
    info.vendorId = vendorId;
    info.productId = productId;
    info.productName = name;
    info.reportLengths = {kReportLength, kReportLength};
    return Add(info).device;
}

ReplayBackend::Interface& ReplayBackend::Add(HidInterfaceInfo info) {
    interfaces.push_back({std::move(info)});
    return interfaces.back();
}

std::vector<HidInterfaceInfo> ReplayBackend::Enumerate() {
    ++enumerations;
    std::vector<HidInterfaceInfo> infos;
    for (const Interface& entry : interfaces) {
        infos.push_back(entry.info);
    }
    return infos;
}

HidOpenResult ReplayBackend::Open(const HidInterfaceInfo& info) {
    for (Interface& entry : interfaces) {
        if (entry.info.path == info.path) {
            if (entry.openError != HidOpenError::kNone) {
                return {nullptr, entry.openError};
            }
            ++entry.device->opens;
            return {std::make_unique<ReplayConnection>(entry.device), HidOpenError::kNone};
        }
    }
    return {nullptr, HidOpenError::kUnavailable};
}

Bytes InitPacket(const Bytes& channel, std::uint8_t command, std::uint16_t length,
                 const Bytes& payload) {
    Bytes packet(kPacketSize, 0);
    std::copy(channel.begin(), channel.end(), packet.begin());
    packet[4] = command;
    packet[5] = static_cast<std::uint8_t>(length >> 8);
    packet[6] = static_cast<std::uint8_t>(length & 0xFF);
    std::copy_n(payload.begin(), std::min(payload.size(), kInitPayloadSize), packet.begin() + 7);
    return packet;
}

Bytes ContinuationPacket(const Bytes& channel, std::uint8_t sequence, const Bytes& payload) {
    Bytes packet(kPacketSize, 0);
    std::copy(channel.begin(), channel.end(), packet.begin());
    packet[4] = sequence;
    std::copy_n(payload.begin(), std::min(payload.size(), kContinuationPayloadSize),
                packet.begin() + 5);
    return packet;
}

Trace LoadTrace(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read trace " + path);
    }
    Trace trace;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            continue;
        }
        const char direction = line[start];
        Bytes bytes = Hex(line.substr(start + 1));
        if (direction == '>') {
            bytes.resize(kReportLength, 0);
            trace.hostWrites.push_back(std::move(bytes));
        } else if (direction == '<') {
            bytes.resize(kPacketSize, 0);
            trace.keyPackets.push_back(std::move(bytes));
        } else {
            throw std::runtime_error("bad trace line: " + line);
        }
    }
    return trace;
}

}  // namespace kelvora::test
