// Seeds for the process's random generators, straight from the operating system's own
// generator (getrandom or /dev/urandom, BCryptGenRandom) through mbed TLS's portable poll.
//
// mbed TLS's entropy collector would add the sources its build enables; Debian's enables
// HAVEGE, whose set-up alone costs about a million instructions, a third of a short command's
// whole run, for no strength the system's generator does not already give.
#pragma once

#include <cstddef>

namespace kelvora::platform {

// An `f_entropy` for mbedtls_ctr_drbg_seed (its context argument is unused): fills `out`
// wholly or returns MBEDTLS_ERR_ENTROPY_SOURCE_FAILED.
int OsEntropy(void* unused, unsigned char* out, std::size_t length);

}  // namespace kelvora::platform
