// The process: one copy per user, the toolkit and the skin package, the command line, the
// main window shown modally until the user closes it.
#pragma once

#include <functional>

namespace kelvora {

class CMainWnd;
namespace vkey {
class VirtualKey;
}

// Runs the tool and returns the process's exit code: 0, also when another copy is already
// running (which this one leaves untouched); 2 for a demo option without a usable value.
int RunApplication(int argc, char** argv);

// Called once the main window exists, when an in-process virtual key is in use, so that a
// control panel for the key can open beside the window. Set before RunApplication.
using VirtualKeyPanel = std::function<void(vkey::VirtualKey& key, CMainWnd& mainWindow)>;
void SetVirtualKeyPanel(VirtualKeyPanel panel);

}  // namespace kelvora
