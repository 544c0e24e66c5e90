#include "platform/os_entropy.h"

#include <mbedtls/entropy.h>
#include <mbedtls/entropy_poll.h>

namespace kelvora::platform {

int OsEntropy(void* /*unused*/, unsigned char* out, std::size_t length) {
    std::size_t filled = 0;
    while (filled < length) {
        std::size_t got = 0;
        if (mbedtls_platform_entropy_poll(nullptr, out + filled, length - filled, &got) != 0 ||
            got == 0) {
            return MBEDTLS_ERR_ENTROPY_SOURCE_FAILED;
        }
        filled += got;
    }
    return 0;
}

}  // namespace kelvora::platform
