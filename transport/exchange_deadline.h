// How long one exchange may take in all, keep-alives or not.
//
// A key that waits for a person sends keep-alives, and a faulty or hostile one can send them
// for ever; the PIN dialogs exchange on the user-interface thread, so an exchange without an
// end would freeze the window. The limit is the slowest wait a key of the maker's takes on
// purpose, a reset's 30 s touch, plus a margin, for the requests that wait for a finger or a
// touch, and 30 s for everything else, which a key answers at once.
#pragma once

#include <cstdint>
#include <span>

namespace kelvora {

inline constexpr std::uint64_t kExchangeDeadlineMs = 30000;
inline constexpr std::uint64_t kPersonWaitDeadlineMs = 40000;

// The deadline of a CTAP2 request (its command byte first): kPersonWaitDeadlineMs for
// makeCredential, reset and the bio enrollment commands of both command sets,
// kExchangeDeadlineMs otherwise.
std::uint64_t ExchangeDeadlineMs(std::span<const std::uint8_t> request);

}  // namespace kelvora
