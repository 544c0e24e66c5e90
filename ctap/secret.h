// Fixed-size storage for secrets (PIN bytes, hashes, shared secrets, token copies) that is
// wiped when it goes out of scope, so no secret outlives the operation that needed it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include <mbedtls/platform_util.h>

namespace kelvora {

template <std::size_t N>
class Secret {
  public:
    Secret() = default;
    Secret(const Secret& other) = default;
    Secret& operator=(const Secret& other) = default;
    ~Secret() { Wipe(); }

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return N; }
    std::span<std::uint8_t, N> span() { return bytes_; }
    std::span<const std::uint8_t, N> span() const { return bytes_; }
    std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return bytes_[i]; }

    void Wipe() { mbedtls_platform_zeroize(bytes_.data(), N); }

  private:
    std::array<std::uint8_t, N> bytes_{};
};

}  // namespace kelvora
