// On Linux the package is linked into the executable as read-only data by the assembler.

#include "skin/embedded_package.h"

#ifndef KELVORA_SKIN_ZIP_PATH
#error "the build names the packed skin archive in KELVORA_SKIN_ZIP_PATH"
#endif

// clang-format off
asm(".section .rodata\n"
    ".balign 16\n"
    ".hidden kelvora_skin_zip_begin\n"
    ".hidden kelvora_skin_zip_end\n"
    "kelvora_skin_zip_begin:\n"
    ".incbin \"" KELVORA_SKIN_ZIP_PATH "\"\n"
    "kelvora_skin_zip_end:\n"
    ".previous\n");
// clang-format on

extern "C" const std::byte kelvora_skin_zip_begin[];
extern "C" const std::byte kelvora_skin_zip_end[];

namespace kelvora {

namespace {
constexpr int kSkinPackageId = 109;
}  // namespace

std::span<const std::byte> LoadEmbeddedZipResource(int id) {
    if (id != kSkinPackageId) {
        return {};
    }
    return {kelvora_skin_zip_begin, kelvora_skin_zip_end};
}

}  // namespace kelvora
