// Reads arbitrary bytes as the answers of the bio enrollment command: a template list and
// an enrollment sample. Nothing may be read outside the data, and what is kept must obey
// the slot map: only slots 0 to 255, a name only for a marked slot.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ctap/bio_response.h"

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class NullDebugOutput final : public kelvora::DebugOutput {
  public:
    void Write(std::string_view /*line*/) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> body(data, size);
    NullDebugOutput debug;

    kelvora::SlotMap slots{};
    kelvora::TemplateNames names;
    kelvora::ReadTemplateInfos(body, slots, names, debug);
    for (const auto& [slot, name] : names) {
        check(slot < kelvora::kSlotCount);
        check(slots[slot] == 1);
        check(name.size() <= size);
    }
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        check(slots[slot] == 0 || names.count(static_cast<std::uint16_t>(slot)) == 1);
    }

    kelvora::EnrollSample sample;
    kelvora::ReadEnrollSample(body, true, sample);
    check(sample.templateId.size() <= size);
    check(sample.remainingSamples >= -1 && sample.lastSampleStatus >= -1);
    return 0;
}
