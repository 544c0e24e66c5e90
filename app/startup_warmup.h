// What a start loads that needs nothing from the window, on a thread of its own while the
// tool sets itself up. On Linux, fontconfig reading its configuration and caches is a good
// part of a start-up's work: it begins before the application object exists, and Qt lists
// the installed families on the same thread once it does (Qt's font database is
// thread-safe: a font the window asks for meanwhile waits on Qt's own lock). Then the
// converters for the names keys store in the ANSI code page are loaded, which the first
// fingerprint list would otherwise load on the UI thread. On Windows the font list comes
// from the system with the first font and the code pages are the system's: the calls do
// nothing.
#pragma once

#include <memory>

namespace kelvora {

class StartupWarmup {
  public:
    StartupWarmup();
    ~StartupWarmup();
    StartupWarmup(const StartupWarmup&) = delete;
    StartupWarmup& operator=(const StartupWarmup&) = delete;

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
