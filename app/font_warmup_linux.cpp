#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <future>
#include <system_error>
#include <thread>

#include "app/font_warmup.h"

namespace kelvora {

struct FontWarmup::State {
    std::promise<void> platformLoaded;
    std::future<void> platformLoadedSeen = platformLoaded.get_future();
    std::promise<bool> applicationReady;  // false: the application never came
    bool readinessTold = false;
    std::thread thread;
};

FontWarmup::FontWarmup() : state_(std::make_unique<State>()) {
    std::future<bool> ready = state_->applicationReady.get_future();
    try {
        state_->thread = std::thread([state = state_.get(), ready = std::move(ready)]() mutable {
            FcInit();
            state->platformLoaded.set_value();
            if (ready.get()) {
                (void)QFontDatabase::families();
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first font loads everything on the UI thread, as it would.
        state_->platformLoaded.set_value();
    }
}

FontWarmup::~FontWarmup() {
    Finish();
}

void FontWarmup::ApplicationReady() {
    if (!state_->readinessTold) {
        state_->readinessTold = true;
        state_->applicationReady.set_value(true);
    }
}

void FontWarmup::WaitForPlatformFonts() {
    state_->platformLoadedSeen.wait();
}

void FontWarmup::Finish() {
    if (!state_->readinessTold) {
        state_->readinessTold = true;
        state_->applicationReady.set_value(false);
    }
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

}  // namespace kelvora
