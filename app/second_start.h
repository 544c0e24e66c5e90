// What happens when the tool is started while a copy of it runs. On Linux the new start says
// so on one line and asks the running copy to bring its window to the front; on Windows it
// leaves quietly, as it always has.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kelvora {

class SecondStartListener {
  public:
    virtual ~SecondStartListener() = default;
};

// The running copy: calls `bringToFront` on the UI thread whenever a later start asks. Only
// once the application object exists; null where later starts cannot ask.
std::unique_ptr<SecondStartListener> ListenForSecondStarts(std::function<void()> bringToFront);

// A later start: asks the running copy to come to the front and returns the line to print
// (empty where nothing is printed).
std::string AnnounceSecondStart();

}  // namespace kelvora
