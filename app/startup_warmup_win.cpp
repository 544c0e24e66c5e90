#include "app/startup_warmup.h"

namespace kelvora {

struct StartupWarmup::State {};

StartupWarmup::StartupWarmup() = default;
StartupWarmup::~StartupWarmup() = default;
void StartupWarmup::ApplicationReady() {}
void StartupWarmup::WaitForPlatformFonts() {}
void StartupWarmup::Finish() {}

}  // namespace kelvora
