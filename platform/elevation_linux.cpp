#include <unistd.h>

#include "platform/elevation.h"

namespace kelvora {
namespace {

class LinuxElevation final : public Elevation {
  public:
    bool KeysNeedElevation() override { return false; }
    bool IsElevated() override { return ::geteuid() == 0; }
    ElevatedStart StartElevated(const std::vector<std::string>& /*arguments*/) override {
        return ElevatedStart::kFailed;
    }
};

}  // namespace

Elevation& SystemElevation() {
    static LinuxElevation elevation;
    return elevation;
}

}  // namespace kelvora
