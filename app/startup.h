// The process: one copy per user, the toolkit and the skin package, the command line, the
// main window shown modally until the user closes it.
#pragma once

#include <functional>
#include <memory>

class QWidget;

namespace kelvora {

class CMainWnd;
class KeySetup;

// Runs the tool and returns the process's exit code: 0, also when another copy is already
// running (which this one leaves untouched); 2 for a demo option without a usable value.
// --help and --version print and return 0 at once, whether or not another copy runs.
int RunApplication(int argc, char** argv);

// Called once the main window exists, when an in-process virtual key is in use and the tool
// is not taking screenshots, so that a control panel for the key can open beside the
// window. The panel returned lives until the main window has closed. Set before
// RunApplication.
using VirtualKeyPanelFactory =
    std::function<std::unique_ptr<QWidget>(KeySetup& keys, CMainWnd& mainWindow)>;
void SetVirtualKeyPanel(VirtualKeyPanelFactory factory);

}  // namespace kelvora
