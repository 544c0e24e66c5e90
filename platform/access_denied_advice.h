// What to tell the user when a key of the maker is attached but this process may not open
// it. Windows: the administrator-rights warning, shown only on a pre-release build of the
// system (the registry's "BuildBranch" is "rs_prerelease"), nothing otherwise. Linux: how to
// install the udev rule that grants the logged-in user access to the maker's keys.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

struct AccessDeniedAdvice {
    bool show = false;
    std::string title;  // UTF-8
    std::string text;   // UTF-8
    std::uint32_t messageBoxStyle = 0;
};

AccessDeniedAdvice AdviceForUnopenableKey();

}  // namespace kelvora
