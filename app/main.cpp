// kelvora-fido2-manager: the administration tool's window.
#include "app/startup.h"
#include "app/virtual_key_panel.h"

int main(int argc, char** argv) {
    // With --virtual, the simulated key gets its panel beside the main window.
    kelvora::SetVirtualKeyPanel(&kelvora::OpenVirtualKeyPanel);
    return kelvora::RunApplication(argc, argv);
}
