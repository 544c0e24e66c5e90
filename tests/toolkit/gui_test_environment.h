#pragma once

// Shared by the GUI tests: one QApplication for the whole test program, with the skin
// package embedded in the executable installed.

#include <QString>

namespace kelvora::test {

// A folder in the build tree for pictures the tests write.
QString ScreenshotFolder();

}  // namespace kelvora::test
