// A plugged-in virtual key on a manual clock, with a host channel open.
#pragma once

#include <gtest/gtest.h>

#include "host.h"

namespace kelvora::vkey::test {

class KeyFixture {
  public:
    explicit KeyFixture(Config config = {}) : key_(config, clock_), host_(key_) {
        key_.Plug();
        if (config.needsSettleDelay()) {
            clock_.Advance(config.settleDelayMs);
        }
        host_.Init();
    }

    // Moves the clock in 50 ms steps, letting the key run its timers at each step.
    void Advance(std::int64_t ms) {
        for (std::int64_t done = 0; done < ms; done += 50) {
            clock_.Advance(std::min<std::int64_t>(50, ms - done));
            key_.Service();
        }
    }

    // Sends a message that makes the key wait, performs `act`, and returns the reply.
    std::optional<Bytes> Waiting(const Bytes& message, const std::function<void()>& act) {
        EXPECT_FALSE(host_.Cbor(message)) << "the key answered without waiting";
        EXPECT_TRUE(key_.waitingForUser());
        act();
        std::optional<HidResponse> response = host_.Receive();
        if (!response) {
            return std::nullopt;
        }
        lastKeepalives_ = response->keepalives;
        return response->payload;
    }

    ManualClock clock_;
    VirtualKey key_;
    Host host_;
    int lastKeepalives_ = 0;
};

inline Bytes Message(std::uint8_t command, const std::optional<CborItem>& body = std::nullopt) {
    Bytes message = {command};
    if (body) {
        EncodeCbor(*body, message);
    }
    return message;
}

inline std::uint8_t StatusOf(const std::optional<Bytes>& reply) {
    return reply && !reply->empty() ? (*reply)[0] : 0xFF;
}

inline std::optional<CborItem> BodyOf(const std::optional<Bytes>& reply) {
    if (!reply || reply->size() < 2) {
        return std::nullopt;
    }
    return DecodeCbor(ByteView(*reply).subspan(1));
}

}  // namespace kelvora::vkey::test
