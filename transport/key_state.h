// Process-wide facts about the attached key, shared between the user-interface thread and
// the workers. Written by one side and read by the others, hence atomics; the struct is
// passed explicitly to whoever needs it and grows as more of the tool needs shared state.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelvora {

struct KeyState {
    // Product identifier of the key in use, 0 while none is connected.
    std::atomic<std::uint16_t> selectedProductId{0};

    // The key's firmware takes the vendor command bytes. Set when connecting and never
    // cleared for the life of the process.
    std::atomic<bool> vendorCommandSet{false};

    // An interface of the maker was present but could not be opened for reading and
    // writing. Set by discovery; the main window reads and clears it.
    std::atomic<bool> deviceAccessDenied{false};
};

}  // namespace kelvora
