// kelvora-cbor-dump: prints the diagnostic dump of CBOR bytes.
//
//   kelvora-cbor-dump                 dumps a sample authenticatorGetInfo response
//   kelvora-cbor-dump a2 01 02 ...    dumps these bytes (hex, any case, blanks allowed)
//
// Exit status: 0 dumped, 1 the bytes are not one well-formed item, 2 bad arguments.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cbor/cbor_view.h"
#include "cbor/tools/hex_input.h"
#include "cbor/tools/sample_get_info.h"

namespace {

constexpr int kExitDumped = 0;
constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

void printUsage(std::FILE* out) {
    static_cast<void>(std::fputs(
        "usage: kelvora-cbor-dump [HEX...]\n"
        "Prints the diagnostic dump of one CBOR item given as hex digits (any case, blanks\n"
        "allowed). Without arguments, dumps a sample authenticatorGetInfo response.\n",
        out));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint8_t> bytes;
    if (argc < 2) {
        bytes = kelvora::sampleGetInfoResponse();
    } else {
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
                printUsage(stdout);
                return kExitDumped;
            }
            std::string error;
            if (!kelvora::appendHexBytes(argv[i], bytes, error)) {
                static_cast<void>(
                    std::fprintf(stderr, "kelvora-cbor-dump: argument %d: %s\n", i, error.c_str()));
                printUsage(stderr);
                return kExitUsage;
            }
        }
        if (bytes.empty()) {
            static_cast<void>(std::fputs("kelvora-cbor-dump: no bytes given\n", stderr));
            return kExitUsage;
        }
        if (bytes.size() > UINT32_MAX) {
            static_cast<void>(std::fputs("kelvora-cbor-dump: too many bytes\n", stderr));
            return kExitUsage;
        }
    }

    const kelvora::CborView view(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    view.dump();
    static_cast<void>(std::fflush(stdout));
    const std::uint32_t size = view.itemSize();
    if (size == 0) {
        static_cast<void>(
            std::fputs("kelvora-cbor-dump: the bytes are not one well-formed CBOR item\n", stderr));
        return kExitMalformed;
    }
    if (size < bytes.size()) {
        static_cast<void>(
            std::fprintf(stderr, "kelvora-cbor-dump: %zu trailing bytes after the item not shown\n",
                         bytes.size() - size));
    }
    return kExitDumped;
}
