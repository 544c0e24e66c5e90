#include "transport/exchange_deadline.h"

namespace kelvora {
namespace {

// Command bytes of the requests a key answers only after a finger or a touch, in the
// standard and the newer command set.
constexpr std::uint8_t kPersonWaitCommands[] = {
    0x01, 0x48,  // makeCredential (the fingerprint check)
    0x07, 0x47,  // reset
    0x40, 0x50,  // bio enrollment (prototype)
};

}  // namespace

std::uint64_t ExchangeDeadlineMs(std::span<const std::uint8_t> request) {
    if (request.empty()) {
        return kExchangeDeadlineMs;
    }
    for (const std::uint8_t command : kPersonWaitCommands) {
        if (request[0] == command) {
            return kPersonWaitDeadlineMs;
        }
    }
    return kExchangeDeadlineMs;
}

}  // namespace kelvora
