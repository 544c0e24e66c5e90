#include "app/device_path_match.h"

#include <cstdio>
#include <string>

#include "transport/device_ids.h"

namespace kelvora {

bool PathNamesSupportedProduct(std::wstring_view path) {
    for (const std::uint16_t productId : kSupportedProducts) {
        char digits[8] = {};
        (void)std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(productId));
        const std::wstring wide(digits, digits + 4);
        if (path.find(wide) != std::wstring_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvora
