// Work that need not hold up the window's first picture, such as listening for the system's
// sleep notices: it runs from the event loop once the window has been painted.
#pragma once

#include <functional>

class QWidget;

namespace kelvora {

// Runs `action` once, from the event loop, right after `window`'s first paint; never if the
// window goes before it is painted.
void AfterFirstFrame(QWidget& window, std::function<void()> action);

}  // namespace kelvora
