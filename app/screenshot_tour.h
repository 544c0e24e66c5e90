// The offscreen demonstration: the main window's states on the in-process virtual key,
// each written as a picture, for machines without a display (QT_QPA_PLATFORM=offscreen).
#pragma once

#include <QString>

namespace kelvora {

class CMainWnd;
namespace vkey {
class VirtualKey;
}

// Shows `window` and walks it through: no key, a new key, a key with fingerprints, the help
// box; writes main_no_key.png, main_with_key.png, main_with_rows.png and msgbox_help.png
// into `folder` (created if needed). Returns 0 when every picture was written, else 1.
// The key's fingerprints are replaced on the way.
int RunScreenshotTour(CMainWnd& window, vkey::VirtualKey& key, const QString& folder);

}  // namespace kelvora
