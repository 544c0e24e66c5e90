// The offscreen demonstration: the main window's states on the in-process virtual key,
// each written as a picture, for machines without a display (QT_QPA_PLATFORM=offscreen).
#pragma once

#include <QString>

namespace kelvora {

class CMainWnd;
class KeySetup;

// Shows `window` and walks it through on the in-process key of `keys`: no key, a new key, a
// key with fingerprints (also beside the virtual key's panel), the help box, the passkey
// window (the key is given a PIN and passkeys for it); writes main_no_key.png,
// main_with_key.png, main_with_rows.png, virtual_key_panel.png, msgbox_help.png and
// passkeys.png into `folder` (created if needed). Returns 0 when every picture was
// written, else 1. The key's fingerprints are replaced on the way.
int RunScreenshotTour(CMainWnd& window, KeySetup& keys, const QString& folder);

// The window's first frame alone: shows `window` on the in-process key of `keys`, given the
// tour's three sample fingerprints beforehand, and writes the picture of the key found with
// its list to `path` (its folder is created if needed). Returns 0 when it was written, else 1.
// What a start-up time is measured to, and a picture for a report without the whole walk.
int RunFirstFrameScreenshot(CMainWnd& window, KeySetup& keys, const QString& path);

}  // namespace kelvora
