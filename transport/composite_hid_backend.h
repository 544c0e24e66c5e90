// Several backends behind one: the interfaces of each, in the order the backends were
// given, and Open() handed to the backend that listed the interface.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "transport/hid_backend.h"

namespace kelvora {

class CompositeHidBackend final : public HidBackend {
  public:
    explicit CompositeHidBackend(std::vector<std::unique_ptr<HidBackend>> backends);

    std::vector<HidInterfaceInfo> Enumerate() override;
    HidOpenResult Open(const HidInterfaceInfo& info) override;

  private:
    std::vector<std::unique_ptr<HidBackend>> backends_;
    // Who listed each interface of the latest Enumerate(), by path.
    std::vector<std::pair<std::string, HidBackend*>> listedBy_;
};

}  // namespace kelvora
