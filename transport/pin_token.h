// The decrypted PIN token of the attached key. Written by the PIN dialogs on the UI thread,
// read by the fingerprint workers, emptied when the key goes away: every access takes the
// lock, and a copy handed out is a wiping buffer so the token never lingers in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include <mbedtls/platform_util.h>

namespace kelvora {

// A byte vector that zeroes its contents before releasing them.
class SecretBytes {
  public:
    SecretBytes() = default;
    explicit SecretBytes(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.begin(), bytes.end()) {}
    SecretBytes(const SecretBytes& other) = default;
    SecretBytes& operator=(const SecretBytes& other) {
        if (this != &other) {
            Clear();
            bytes_ = other.bytes_;
        }
        return *this;
    }
    ~SecretBytes() { Clear(); }

    void Clear() {
        mbedtls_platform_zeroize(bytes_.data(), bytes_.size());
        bytes_.clear();
    }
    bool empty() const { return bytes_.empty(); }
    std::size_t size() const { return bytes_.size(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::span<const std::uint8_t> span() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

class PinToken {
  public:
    // Replaces the token; an empty span empties it.
    void Set(std::span<const std::uint8_t> token) {
        std::lock_guard lock(mutex_);
        token_ = SecretBytes(token);
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        token_.Clear();
    }
    bool Empty() const {
        std::lock_guard lock(mutex_);
        return token_.empty();
    }
    SecretBytes Copy() const {
        std::lock_guard lock(mutex_);
        return token_;
    }

  private:
    mutable std::mutex mutex_;
    SecretBytes token_;
};

}  // namespace kelvora
