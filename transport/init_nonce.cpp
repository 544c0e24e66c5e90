#include "transport/init_nonce.h"

#include <mbedtls/ctr_drbg.h>

#include <mutex>

#include "platform/os_entropy.h"

namespace kelvora {
namespace {

constexpr unsigned char kPersonalisation[] = "kelvora ctaphid init nonce";

// One generator for the process, seeded on first use; sessions on several threads share it.
class NonceGenerator {
  public:
    NonceGenerator() {
        mbedtls_ctr_drbg_init(&drbg_);
        seeded_ = mbedtls_ctr_drbg_seed(&drbg_, platform::OsEntropy, nullptr, kPersonalisation,
                                        sizeof(kPersonalisation)) == 0;
    }
    ~NonceGenerator() { mbedtls_ctr_drbg_free(&drbg_); }
    NonceGenerator(const NonceGenerator&) = delete;
    NonceGenerator& operator=(const NonceGenerator&) = delete;

    bool Fill(InitNonce& nonce) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return seeded_ && mbedtls_ctr_drbg_random(&drbg_, nonce.data(), nonce.size()) == 0;
    }

  private:
    std::mutex mutex_;
    mbedtls_ctr_drbg_context drbg_;
    bool seeded_ = false;
};

}  // namespace

bool FreshInitNonce(InitNonce& nonce) {
    static NonceGenerator generator;
    return generator.Fill(nonce);
}

}  // namespace kelvora
