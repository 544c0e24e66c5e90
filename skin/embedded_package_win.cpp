// On Windows the package is a resource of type "ZIPRES" in the executable (skin_win.rc).

#include <windows.h>

#include "skin/embedded_package.h"

namespace kelvora {

std::span<const std::byte> LoadEmbeddedZipResource(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), kSkinResourceType);
    if (info == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, info);
    const DWORD size = SizeofResource(module, info);
    if (loaded == nullptr || size == 0) {
        return {};
    }
    // Resources stay mapped for the life of the module; nothing to free.
    const auto* data = static_cast<const std::byte*>(LockResource(loaded));
    if (data == nullptr) {
        return {};
    }
    return {data, static_cast<size_t>(size)};
}

}  // namespace kelvora
