// Which device-interface notifications concern a supported key.
#pragma once

#include <string_view>

namespace kelvora {

// True when `path` contains the four upper-case hex digits of any supported product
// ("2B03"), case-sensitively and anywhere. The vendor digits are not looked at, so another
// maker's device that happens to carry such digits counts too; the worst that does is one
// needless look for keys.
bool PathNamesSupportedProduct(std::wstring_view path);

}  // namespace kelvora
