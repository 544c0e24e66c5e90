// HidTransport::ExchangeReports: one CTAPHID_CBOR message out, one message back
// (CTAP 2.1 §11.2.4 framing, §11.2.9.1.3 channel allocation).
#include <algorithm>
#include <cstring>

#include "transport/hid_transport.h"

namespace kelvora {

using namespace ctaphid;

namespace {

bool ReportLengthsUsable(const HidReportLengths& lengths) {
    // The packet layout is fixed to 64-byte packets; larger reports would not fit the
    // packet buffer and smaller ones could not hold a packet.
    return lengths.input >= kReportLength && lengths.input <= kReportBufferSize &&
           lengths.output >= kReportLength && lengths.output <= kReportBufferSize;
}

std::uint16_t PayloadLength(const std::uint8_t* report) {
    return static_cast<std::uint16_t>((report[kLengthHighOffset] << 8) | report[kLengthLowOffset]);
}

}  // namespace

void HidTransport::ReportIoFailure(const char* operation, ExchangeLocation location,
                                   std::uint32_t errorCode) {
    DebugPrintf(debug_, "%s L:%d ERR: 0x%08X", operation, static_cast<int>(location),
                static_cast<unsigned>(errorCode));
}

int HidTransport::ExchangeReports(const std::uint8_t* request, std::int32_t requestLength,
                                  std::uint8_t* response, std::uint32_t* responseLength) {
    if (current_.productId == 0 || !current_.connection) {
        return -1;
    }
    // An empty request would send nothing and then wait for an answer forever; longer
    // than 7609 bytes would need sequence numbers beyond 0x7F.
    if (request == nullptr || requestLength <= 0 ||
        static_cast<std::size_t>(requestLength) > kMaxMessageSize || response == nullptr ||
        responseLength == nullptr) {
        return -1;
    }
    HidConnection& connection = *current_.connection;
    report_.fill(0);
    connection.FlushInput();
    HidReportLengths lengths;
    if (!connection.ReportLengths(lengths) || !ReportLengthsUsable(lengths)) {
        return -1;
    }
    if (needChannelInit_) {
        InitialiseChannel(connection, lengths);
    }
    if (!SendRequest(connection, lengths, request, static_cast<std::size_t>(requestLength))) {
        return -1;
    }
    std::uint32_t total = 0;
    if (!ReceiveResponse(connection, lengths, response, *responseLength, total)) {
        return -1;
    }
    *responseLength = total;
    return 0;
}

bool HidTransport::InitialiseChannel(HidConnection& connection, const HidReportLengths& lengths) {
    report_.fill(0);
    report_[0] = kReportId;
    std::copy(kBroadcastChannel.begin(), kBroadcastChannel.end(), &report_[kChannelOffset]);
    report_[kCommandOffset] = kInit;
    report_[kLengthHighOffset] = 0;
    report_[kLengthLowOffset] = kInitNonceSize;
    std::fill_n(&report_[kInitPayloadOffset], kInitNonceSize, kInitNonceByte);

    const HidIoResult written = connection.Write({report_.data(), lengths.output});
    if (!written.ok) {
        ReportIoFailure("WriteFile", ExchangeLocation::kInitWrite, written.errorCode);
    }
    // The answer is taken as it comes: a failed (or silent) read leaves the request in the
    // buffer, whose bytes at the channel position are zero, and the key then rejects the
    // channel.
    ReadBounded(connection, lengths, clock_.NowMs());
    std::copy_n(&report_[kInitResponseChannelOffset], kChannelSize, channelId_.begin());
    needChannelInit_ = false;
    return written.ok;
}

bool HidTransport::SendRequest(HidConnection& connection, const HidReportLengths& lengths,
                               const std::uint8_t* request, std::size_t requestLength) {
    std::size_t sent = 0;
    std::uint8_t sequence = 0;
    while (sent < requestLength) {
        // Unused packet bytes are zero (CTAP 2.1 §11.2.4), never left over from the last
        // packet.
        report_.fill(0);
        report_[0] = kReportId;
        std::copy(channelId_.begin(), channelId_.end(), &report_[kChannelOffset]);
        std::size_t chunk = 0;
        if (sent == 0) {
            report_[kCommandOffset] = kCbor;
            report_[kLengthHighOffset] = static_cast<std::uint8_t>(requestLength >> 8);
            report_[kLengthLowOffset] = static_cast<std::uint8_t>(requestLength & 0xFF);
            chunk = std::min(requestLength, kInitPayloadSize);
            std::memcpy(&report_[kInitPayloadOffset], request, chunk);
        } else {
            report_[kSequenceOffset] = sequence++;
            chunk = std::min(requestLength - sent, kContinuationPayloadSize);
            std::memcpy(&report_[kContinuationPayloadOffset], request + sent, chunk);
        }
        const HidIoResult written = connection.Write({report_.data(), lengths.output});
        if (!written.ok) {
            ReportIoFailure("WriteFile", ExchangeLocation::kRequestWrite, written.errorCode);
            return false;
        }
        if (written.bytes < lengths.output) {
            return false;
        }
        sent += chunk;
    }
    return true;
}

bool HidTransport::ReceiveResponse(HidConnection& connection, const HidReportLengths& lengths,
                                   std::uint8_t* response, std::uint32_t capacity,
                                   std::uint32_t& total) {
    // Keep-alives and empty packets come while the key waits for a finger or a touch;
    // the wait has no end of its own, but each packet must come within the silence limit.
    for (;;) {
        report_.fill(0);
        const HidIoResult read = ReadBounded(connection, lengths, clock_.NowMs());
        if (!read.ok) {
            ReportIoFailure("ReadFile", ExchangeLocation::kFirstResponseRead, read.errorCode);
            return false;
        }
        if (report_[kCommandOffset] != kKeepAlive && PayloadLength(report_.data()) != 0) {
            break;
        }
    }
    total = PayloadLength(report_.data());
    if (total > capacity) {
        return false;
    }
    std::size_t received = std::min<std::size_t>(total, kInitPayloadSize);
    std::memcpy(response, &report_[kInitPayloadOffset], received);
    std::uint8_t sequence = 0;
    while (received < total) {
        report_.fill(0);
        const HidIoResult read = ReadBounded(connection, lengths, clock_.NowMs());
        if (!read.ok) {
            ReportIoFailure("ReadFile", ExchangeLocation::kContinuationRead, read.errorCode);
            return false;
        }
        // Anything but the next continuation packet (an error or keep-alive packet, a
        // lost or repeated one) would splice foreign bytes into the message.
        if (report_[kSequenceOffset] != sequence++) {
            return false;
        }
        const std::size_t chunk = std::min<std::size_t>(total - received, kContinuationPayloadSize);
        std::memcpy(response + received, &report_[kContinuationPayloadOffset], chunk);
        received += chunk;
    }
    return true;
}

HidIoResult HidTransport::ReadBounded(HidConnection& connection, const HidReportLengths& lengths,
                                      std::uint64_t lastPacketMs) {
    for (;;) {
        const HidIoResult read =
            connection.ReadWithin({report_.data(), lengths.input}, kSilencePollMs);
        if (read.ok || read.errorCode != kHidReadTimedOut) {
            return read;
        }
        const std::uint64_t now = clock_.NowMs();
        if (now >= lastPacketMs && now - lastPacketMs >= kKeySilenceLimitMs) {
            return read;
        }
    }
}

}  // namespace kelvora
