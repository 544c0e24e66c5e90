// kelvora-fido2-manager: the administration tool's window.
#include "app/startup.h"

int main(int argc, char** argv) {
    return kelvora::RunApplication(argc, argv);
}
