#include "app/font_warmup.h"

namespace kelvora {

struct FontWarmup::State {};

FontWarmup::FontWarmup() = default;
FontWarmup::~FontWarmup() = default;
void FontWarmup::ApplicationReady() {}
void FontWarmup::WaitForPlatformFonts() {}
void FontWarmup::Finish() {}

}  // namespace kelvora
