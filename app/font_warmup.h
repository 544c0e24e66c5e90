// The font database, filled on a thread of its own while the tool sets itself up. On Linux,
// fontconfig reading its configuration and caches is a good part of a start-up's work and
// needs nothing from the window: it begins before the application object exists, and Qt
// lists the installed families on the same thread once it does. Qt's font database is
// thread-safe: a font the window asks for meanwhile waits on Qt's own lock. On Windows the
// font list comes from the system with the first font, as before: the calls do nothing.
#pragma once

#include <memory>

namespace kelvora {

class FontWarmup {
  public:
    FontWarmup();
    ~FontWarmup();
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    // The application object exists: Qt's part may begin.
    void ApplicationReady();
    // Returns once fontconfig has loaded. Called before the window's first font: two loads
    // at once would each do the whole work.
    void WaitForPlatformFonts();
    // Ends the thread; before the application object goes.
    void Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kelvora
