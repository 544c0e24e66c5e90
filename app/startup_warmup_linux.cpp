#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <future>
#include <system_error>
#include <thread>

#include "app/startup_warmup.h"
#include "platform/text.h"

namespace kelvora {

struct StartupWarmup::State {
    std::promise<void> platformLoaded;
    std::future<void> platformLoadedSeen = platformLoaded.get_future();
    std::promise<bool> applicationReady;  // false: the application never came
    bool readinessTold = false;
    std::thread thread;
};

StartupWarmup::StartupWarmup() : state_(std::make_unique<State>()) {
    std::future<bool> ready = state_->applicationReady.get_future();
    try {
        state_->thread = std::thread([state = state_.get(), ready = std::move(ready)]() mutable {
            FcInit();
            state->platformLoaded.set_value();
            if (ready.get()) {
                (void)QFontDatabase::families();
                // Both directions: names are read from keys and written to them.
                (void)text::ToUtf16Or(text::CodePage::Ansi, "?", u"");
                (void)text::FromUtf16Or(text::CodePage::Ansi, u"?", "");
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first font loads everything on the UI thread, as it would.
        state_->platformLoaded.set_value();
    }
}

StartupWarmup::~StartupWarmup() {
    Finish();
}

void StartupWarmup::ApplicationReady() {
    if (!state_->readinessTold) {
        state_->readinessTold = true;
        state_->applicationReady.set_value(true);
    }
}

void StartupWarmup::WaitForPlatformFonts() {
    state_->platformLoadedSeen.wait();
}

void StartupWarmup::Finish() {
    if (!state_->readinessTold) {
        state_->readinessTold = true;
        state_->applicationReady.set_value(false);
    }
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

}  // namespace kelvora
