#include "cbor/tools/hex_input.h"

namespace kelvora {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool appendHexBytes(std::string_view text, std::vector<std::uint8_t>& out, std::string& error) {
    int high = -1;  // the first digit of a pair, while waiting for the second
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isBlank(c)) {
            if (high >= 0) {
                error = "a hex digit pair is split at position " + std::to_string(i + 1);
                return false;
            }
            continue;
        }
        const int value = hexValue(c);
        if (value < 0) {
            error = "'" + std::string(1, c) + "' at position " + std::to_string(i + 1) +
                    " is not a hex digit";
            return false;
        }
        if (high < 0) {
            high = value;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    if (high >= 0) {
        error = "odd number of hex digits";
        return false;
    }
    return true;
}

}  // namespace kelvora
