// The demo's stand-in for the user's hand and the USB port: a small plain Qt window beside
// the main window that touches and lifts fingers on the in-process virtual key, unplugs and
// plugs it, swaps it for a key of another model or firmware, and shows what the key is
// doing. It keeps taking clicks while the main window or one of its dialogs is modal: those
// block only the windows they belong to.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kelvora {

class CMainWnd;
class KeySetup;
namespace vkey {
class VirtualKey;
}

// One line: plugged or not, model with product id, firmware, PIN, templates, and whether
// the key waits for a finger.
QString VirtualKeyStatusLine(const vkey::VirtualKey& key);

class VirtualKeyPanel final : public QWidget {
  public:
    // How long a touch keeps the finger on the sensor before lifting it: long enough for
    // the legacy models' enrolment, which polls the sensor every 100 ms.
    static constexpr int kDefaultTouchHoldMs = 300;
    static constexpr int kRefreshMs = 250;

    // `keys` must have an in-process key and outlive the panel.
    explicit VirtualKeyPanel(KeySetup& keys, int touchHoldMs = kDefaultTouchHoldMs);

    // Puts the panel to the right of `mainWindow`, moving the pair to fit the screen.
    void PlaceBeside(QWidget& mainWindow);

    // The finger that "Touch with enrolled finger" lays on: the first template's, or the
    // finger an enrolment in progress takes when the key has none yet.
    static int EnrolledFinger(const vkey::VirtualKey& key);
    // A finger that matches no template.
    static int OtherFinger(const vkey::VirtualKey& key);

    void Refresh();

  private:
    void Touch(bool enrolled);
    void Lift();
    void TogglePlug();
    void Apply();

    KeySetup& keys_;
    const int touchHoldMs_;
    QTimer refresh_;
    QTimer lift_;  // one for all touches, so a quick second touch gets its full hold
    QPushButton* plug_ = nullptr;
    QCheckBox* autoTouch_ = nullptr;
    QComboBox* model_ = nullptr;
    QComboBox* firmware_ = nullptr;
    QLabel* status_ = nullptr;
};

// Opens a panel for the in-process key of `keys` beside `mainWindow` (the factory that
// main() hands to SetVirtualKeyPanel).
std::unique_ptr<QWidget> OpenVirtualKeyPanel(KeySetup& keys, CMainWnd& mainWindow);

}  // namespace kelvora
