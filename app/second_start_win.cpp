#include "app/second_start.h"

namespace kelvora {

// A second start on Windows ends without a word and leaves the running copy as it is.
std::unique_ptr<SecondStartListener> ListenForSecondStarts(std::function<void()> /*bringToFront*/) {
    return nullptr;
}

std::string AnnounceSecondStart() {
    return {};
}

}  // namespace kelvora
