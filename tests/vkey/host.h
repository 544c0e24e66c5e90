// A minimal host for driving a VirtualKey packet by packet in tests: CTAPHID framing on the
// host side, plus the host half of PIN protocol one.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "vkey/ctap_defs.h"
#include "vkey/ctaphid_defs.h"
#include "vkey/key_cbor.h"
#include "vkey/key_crypto.h"
#include "vkey/virtual_key.h"

namespace kelvora::vkey::test {

struct HidResponse {
    std::uint32_t channel = 0;
    std::uint8_t command = 0;
    Bytes payload;
    int keepalives = 0;
};

inline void PutChannel(std::uint8_t* out, std::uint32_t channel) {
    out[0] = static_cast<std::uint8_t>(channel >> 24);
    out[1] = static_cast<std::uint8_t>(channel >> 16);
    out[2] = static_cast<std::uint8_t>(channel >> 8);
    out[3] = static_cast<std::uint8_t>(channel);
}

inline std::uint32_t GetChannel(const std::uint8_t* in) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) |
           (std::uint32_t{in[2]} << 8) | in[3];
}

// Splits a message into packets the way a host does (CTAP 2.1 §11.2.4).
inline std::vector<Packet> Frame(std::uint32_t channel, std::uint8_t command, ByteView payload) {
    std::vector<Packet> packets;
    Packet first{};
    PutChannel(first.data(), channel);
    first[4] = command;
    first[5] = static_cast<std::uint8_t>(payload.size() >> 8);
    first[6] = static_cast<std::uint8_t>(payload.size());
    std::size_t sent = std::min<std::size_t>(payload.size(), kInitPayloadSize);
    if (sent > 0) {
        std::memcpy(first.data() + 7, payload.data(), sent);
    }
    packets.push_back(first);
    for (std::uint8_t seq = 0; sent < payload.size(); ++seq) {
        Packet cont{};
        PutChannel(cont.data(), channel);
        cont[4] = seq;
        const std::size_t take = std::min<std::size_t>(payload.size() - sent, kContPayloadSize);
        std::memcpy(cont.data() + 5, payload.data() + sent, take);
        sent += take;
        packets.push_back(cont);
    }
    return packets;
}

class Host {
  public:
    explicit Host(VirtualKey& key) : key_(key) {}

    void Write(const Packet& packet) {
        std::uint8_t raw[kPacketSize];
        std::memcpy(raw, packet.data(), kPacketSize);
        ASSERT_TRUE(key_.WritePacket(raw));
    }

    void Send(std::uint32_t channel, std::uint8_t command, ByteView payload) {
        for (const Packet& packet : Frame(channel, command, payload)) {
            Write(packet);
        }
    }

    // Reassembles the next message without blocking; keep-alives are counted and skipped.
    std::optional<HidResponse> Receive() {
        HidResponse response;
        while (true) {
            std::optional<Packet> packet = key_.TryReadPacket();
            if (!packet) {
                return std::nullopt;
            }
            if ((*packet)[4] == static_cast<std::uint8_t>(HidCommand::kKeepalive)) {
                ++pendingKeepalives_;
                continue;
            }
            response.channel = GetChannel(packet->data());
            response.command = (*packet)[4];
            const std::size_t total = (std::size_t{(*packet)[5]} << 8) | (*packet)[6];
            response.payload.assign(packet->begin() + 7,
                                    packet->begin() + 7 + std::min(total, kInitPayloadSize));
            while (response.payload.size() < total) {
                std::optional<Packet> cont = key_.TryReadPacket();
                if (!cont) {
                    ADD_FAILURE() << "response cut short";
                    return std::nullopt;
                }
                const std::size_t take =
                    std::min(total - response.payload.size(), kContPayloadSize);
                response.payload.insert(response.payload.end(), cont->begin() + 5,
                                        cont->begin() + 5 + static_cast<std::ptrdiff_t>(take));
            }
            response.keepalives = pendingKeepalives_;
            pendingKeepalives_ = 0;
            return response;
        }
    }

    std::uint32_t Init() {
        const Bytes nonce = {1, 2, 3, 4, 5, 6, 7, 8};
        Send(kBroadcastChannel, static_cast<std::uint8_t>(HidCommand::kInit), nonce);
        std::optional<HidResponse> response = Receive();
        EXPECT_TRUE(response);
        if (!response || response->payload.size() < 12) {
            return 0;
        }
        channel_ = GetChannel(response->payload.data() + 8);
        return channel_;
    }

    // Sends a CBOR message and returns the reply that is ready at once (nullopt if the key
    // is waiting).
    std::optional<Bytes> Cbor(ByteView message) {
        Send(channel_, static_cast<std::uint8_t>(HidCommand::kCbor), message);
        std::optional<HidResponse> response = Receive();
        if (!response) {
            return std::nullopt;
        }
        EXPECT_EQ(response->command, static_cast<std::uint8_t>(HidCommand::kCbor));
        return response->payload;
    }

    std::optional<Bytes> Command(std::uint8_t command, const std::optional<CborItem>& body) {
        Bytes message = {command};
        if (body) {
            EncodeCbor(*body, message);
        }
        return Cbor(message);
    }

    std::uint32_t channel() const { return channel_; }
    int pendingKeepalives() const { return pendingKeepalives_; }

  private:
    VirtualKey& key_;
    std::uint32_t channel_ = 0;
    int pendingKeepalives_ = 0;
};

inline CborItem::Pair IntPair(std::int64_t key, CborItem value) {
    return {CborItem::Int(key), std::move(value)};
}

// The host half of PIN protocol one (CTAP 2.0 §5.5).
class PinHost {
  public:
    explicit PinHost(Host& host, std::uint8_t command = 0x06) : host_(host), command_(command) {}

    // Runs getKeyAgreement and derives the shared secret.
    bool Agree() {
        std::optional<Bytes> reply = host_.Command(
            command_, CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(2))}));
        if (!reply || reply->empty() || (*reply)[0] != 0) {
            return false;
        }
        std::optional<CborItem> body = DecodeCbor(ByteView(*reply).subspan(1));
        const CborItem* cose = body ? body->Find(1) : nullptr;
        if (cose == nullptr || cose->Find(-2) == nullptr || cose->Find(-3) == nullptr) {
            return false;
        }
        platform_ = std::make_unique<KeyAgreementKey>();
        std::optional<Bytes> secret =
            platform_->SharedSecret(cose->Find(-2)->bytes(), cose->Find(-3)->bytes());
        if (!secret) {
            return false;
        }
        secret_ = *secret;
        return true;
    }

    CborItem PlatformKey() const {
        return CborItem::Map({IntPair(1, CborItem::Int(2)), IntPair(3, CborItem::Int(-25)),
                              IntPair(-1, CborItem::Int(1)),
                              IntPair(-2, CborItem::ByteString(platform_->x())),
                              IntPair(-3, CborItem::ByteString(platform_->y()))});
    }

    Bytes PaddedPinEnc(std::string_view pin) const {
        Bytes padded(64, 0);
        std::memcpy(padded.data(), pin.data(), std::min<std::size_t>(pin.size(), 64));
        return *Aes256CbcEncrypt(secret_, padded);
    }

    Bytes PinHashEnc(std::string_view pin) const {
        Bytes hash =
            Sha256(ByteView(reinterpret_cast<const std::uint8_t*>(pin.data()), pin.size()));
        hash.resize(16);
        return *Aes256CbcEncrypt(secret_, hash);
    }

    Bytes Auth(ByteView message) const {
        Bytes mac = HmacSha256(secret_, message);
        mac.resize(16);
        return mac;
    }

    std::uint8_t SetPin(std::string_view pin) {
        if (!Agree()) {
            return 0xFF;
        }
        const Bytes enc = PaddedPinEnc(pin);
        return Status(host_.Command(
            command_,
            CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(3)),
                           IntPair(3, PlatformKey()), IntPair(4, CborItem::ByteString(Auth(enc))),
                           IntPair(5, CborItem::ByteString(enc))})));
    }

    std::uint8_t ChangePin(std::string_view current, std::string_view next) {
        if (!Agree()) {
            return 0xFF;
        }
        const Bytes enc = PaddedPinEnc(next);
        const Bytes hashEnc = PinHashEnc(current);
        Bytes message = enc;
        message.insert(message.end(), hashEnc.begin(), hashEnc.end());
        return Status(host_.Command(
            command_, CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(4)),
                                     IntPair(3, PlatformKey()),
                                     IntPair(4, CborItem::ByteString(Auth(message))),
                                     IntPair(5, CborItem::ByteString(enc)),
                                     IntPair(6, CborItem::ByteString(hashEnc))})));
    }

    // Status, and the decrypted token in `token` on success.
    std::uint8_t GetToken(std::string_view pin, Bytes& token) {
        if (!Agree()) {
            return 0xFF;
        }
        std::optional<Bytes> reply = host_.Command(
            command_, CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(5)),
                                     IntPair(3, PlatformKey()),
                                     IntPair(6, CborItem::ByteString(PinHashEnc(pin)))}));
        if (!reply || reply->empty()) {
            return 0xFF;
        }
        if ((*reply)[0] == 0) {
            std::optional<CborItem> body = DecodeCbor(ByteView(*reply).subspan(1));
            const CborItem* enc = body ? body->Find(2) : nullptr;
            if (enc == nullptr) {
                return 0xFE;
            }
            token = *Aes256CbcDecrypt(secret_, enc->bytes());
        }
        return (*reply)[0];
    }

    int Retries() {
        std::optional<Bytes> reply = host_.Command(
            command_, CborItem::Map({IntPair(1, CborItem::Int(1)), IntPair(2, CborItem::Int(1))}));
        std::optional<CborItem> body =
            reply && reply->size() > 1 ? DecodeCbor(ByteView(*reply).subspan(1)) : std::nullopt;
        const CborItem* retries = body ? body->Find(3) : nullptr;
        return retries != nullptr ? static_cast<int>(retries->integer()) : -1;
    }

    static std::uint8_t Status(const std::optional<Bytes>& reply) {
        return reply && !reply->empty() ? (*reply)[0] : 0xFF;
    }

  private:
    Host& host_;
    std::uint8_t command_;
    std::unique_ptr<KeyAgreementKey> platform_;
    Bytes secret_;
};

}  // namespace kelvora::vkey::test
