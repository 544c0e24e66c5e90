#include "transport/composite_hid_backend.h"

#include <algorithm>

namespace kelvora {

CompositeHidBackend::CompositeHidBackend(std::vector<std::unique_ptr<HidBackend>> backends)
    : backends_(std::move(backends)) {
    std::erase(backends_, nullptr);
}

std::vector<HidInterfaceInfo> CompositeHidBackend::Enumerate() {
    listedBy_.clear();
    std::vector<HidInterfaceInfo> all;
    for (const std::unique_ptr<HidBackend>& backend : backends_) {
        for (HidInterfaceInfo& info : backend->Enumerate()) {
            listedBy_.emplace_back(info.path, backend.get());
            all.push_back(std::move(info));
        }
    }
    return all;
}

HidOpenResult CompositeHidBackend::Open(const HidInterfaceInfo& info) {
    const auto found = std::find_if(listedBy_.begin(), listedBy_.end(),
                                    [&](const auto& entry) { return entry.first == info.path; });
    if (found == listedBy_.end()) {
        return {nullptr, HidOpenError::kUnavailable};
    }
    return found->second->Open(info);
}

}  // namespace kelvora
