#pragma once

// The skin package built into the executable.

#include <cstddef>
#include <span>

namespace kelvora {

// The resource type under which the package is stored.
inline constexpr const wchar_t* kSkinResourceType = L"ZIPRES";

// The bytes of ZIP resource `id` of the running executable (the skin package is id 109), or
// an empty span when there is no such resource.
std::span<const std::byte> LoadEmbeddedZipResource(int id);

}  // namespace kelvora
