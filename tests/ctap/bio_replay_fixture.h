// A session over the replay backend for the fingerprint operations: scripts key answers
// as whole CTAPHID messages and reads back the messages the host sent.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "transport/ctaphid.h"
#include "transport/session_fixture.h"

namespace kelvora::test {

inline const Bytes kToken = [] {
    Bytes token(32);
    for (std::size_t i = 0; i < token.size(); ++i) {
        token[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    return token;
}();

// Reassembles the CTAPHID messages in the reports a host wrote (report id first),
// leaving out CTAPHID_INIT.
inline std::vector<Bytes> SentMessages(const std::vector<Bytes>& reports) {
    using namespace ctaphid;
    std::vector<Bytes> messages;
    std::size_t expected = 0;
    bool skipping = false;
    for (const Bytes& report : reports) {
        if ((report[kCommandOffset] & 0x80) != 0) {
            expected = (report[kLengthHighOffset] << 8) | report[kLengthLowOffset];
            skipping = report[kCommandOffset] == kInit;
            if (!skipping) {
                messages.emplace_back();
            }
            const std::size_t n = std::min(expected, kInitPayloadSize);
            if (!skipping) {
                messages.back().assign(report.begin() + kInitPayloadOffset,
                                       report.begin() + kInitPayloadOffset + n);
            }
            continue;
        }
        if (skipping || messages.empty()) {
            continue;
        }
        Bytes& message = messages.back();
        const std::size_t n = std::min(expected - message.size(), kContinuationPayloadSize);
        message.insert(message.end(), report.begin() + kContinuationPayloadOffset,
                       report.begin() + kContinuationPayloadOffset + n);
    }
    return messages;
}

class BioReplayTest : public SessionTest {
  protected:
    // Attaches a key of `productId` with an allocated channel.
    void AttachKey(std::uint16_t productId = kCtapModel) { AttachWithChannel(productId); }

    // Queues one answer: status byte and CBOR data.
    void Answer(std::uint8_t status, const Bytes& data = {}) {
        Bytes message = {status};
        message.insert(message.end(), data.begin(), data.end());
        key->QueueMessage(kChannel, ctaphid::kCbor, message);
    }

    // Queues an APDU answer: data then status word.
    void AnswerApdu(std::uint16_t statusWord, const Bytes& data = {}) {
        Bytes message = data;
        message.push_back(static_cast<std::uint8_t>(statusWord >> 8));
        message.push_back(static_cast<std::uint8_t>(statusWord & 0xFF));
        key->QueueMessage(kChannel, ctaphid::kCbor, message);
    }

    // A challenge and the answer to the secure command that follows it.
    void AnswerSecure(std::uint16_t statusWord, const Bytes& data = {}) {
        AnswerApdu(0x9000, Hex("0102030405060708"));
        AnswerApdu(statusWord, data);
    }

    std::vector<Bytes> Sent() const { return SentMessages(key->written); }

    void HoldToken() { keyState.pinToken.Set(kToken); }
};

}  // namespace kelvora::test
