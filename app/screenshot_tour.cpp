#include "app/screenshot_tour.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/key_setup.h"
#include "app/main_wnd.h"
#include "app/virtual_key_panel.h"
#include "ctap/fingerprint_name.h"
#include "dialogs/passkeys/passkey_wnd.h"
#include "platform/text.h"
#include "toolkit/test_driver.h"
#include "vkey/key_crypto.h"
#include "vkey/sample_passkeys.h"
#include "vkey/virtual_key.h"

namespace kelvora {
namespace {

constexpr int kStateTimeoutMs = 5000;
constexpr int kWaitTickMs = 50;
constexpr int kPanelGapPx = 12;
const QColor kDesktop(0xD8, 0xDC, 0xE0);
constexpr const char* kTourPin = "1234";
constexpr std::size_t kTourPasskeys = 4;
// The key keeps the first half of the PIN's SHA-256.
constexpr std::size_t kPinHashSize = 16;

// Sleeps in the event loop, as the tool's own loop does, so that the key's answer is taken the
// moment it is posted; the tick only bounds how late the time limit is noticed.
bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(kWaitTickMs);
    while (!done()) {
        if (timer.elapsed() > kStateTimeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Three names, one of each stored form: an enrolment stamp, a renamed fingerprint, and a
// name given by another tool.
void EnrolSampleFingerprints(vkey::VirtualKey& key) {
    key.EditState([](vkey::State& state) {
        state.templates.clear();
        state.templates[0] = {"20240315013000" + text::Utf8ToAnsi("指紋0").value_or(""), 1};
        state.templates[1] = {
            std::string(kNoStampPrefix) + text::Utf8ToAnsi("右手の人差し指").value_or(""), 2};
        state.templates[2] = {"Fingerprint 2", 3};
    });
}

// A PIN, so the passkey window can be reached, and passkeys for it to list.
bool GivePinAndPasskeys(vkey::VirtualKey& key) {
    bool added = false;
    key.EditState([&](vkey::State& state) {
        const std::string pin = kTourPin;
        vkey::Bytes hash = vkey::Sha256(vkey::Bytes(pin.begin(), pin.end()));
        hash.resize(kPinHashSize);
        state.pinHash = hash;
        added = vkey::AddSamplePasskeys(state, kTourPasskeys);
    });
    return added;
}

class Tour {
  public:
    Tour(CMainWnd& window, QString folder)
        : window_(window), ui_(window), folder_(std::move(folder)) {}

    bool Shoot(const QString& name) {
        UiDriver::ProcessEvents();
        const QString path = QDir(folder_).filePath(name);
        const bool saved = ui_.SaveScreenshot(path);
        (void)std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write",
                           qPrintable(path));
        return saved;
    }

    bool StatusIs(const char* text) const {
        return ui_.Text(QStringLiteral("label_status")) == QString::fromUtf8(text);
    }

    // The main window with the virtual key's panel to its right, as the demo shows them
    // (offscreen windows have no desktop to be placed on, so the picture is put together).
    bool ShootBesidePanel(KeySetup& keys, const QString& name) {
        VirtualKeyPanel panel(keys);
        panel.show();
        UiDriver::ProcessEvents();
        const QImage main = ui_.Grab();
        const QImage side = panel.grab().toImage();
        bool saved = false;
        if (!main.isNull() && !side.isNull()) {
            QImage pair(main.width() + kPanelGapPx + side.width(),
                        std::max(main.height(), side.height()), QImage::Format_RGB32);
            pair.fill(kDesktop);
            QPainter painter(&pair);
            painter.drawImage(0, 0, main);
            painter.drawImage(main.width() + kPanelGapPx, 0, side);
            painter.end();
            saved = pair.save(QDir(folder_).filePath(name), "PNG");
        }
        (void)std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write",
                           qPrintable(QDir(folder_).filePath(name)));
        return saved;
    }

    UiDriver& Ui() { return ui_; }
    CMainWnd& Window() { return window_; }

  private:
    CMainWnd& window_;
    UiDriver ui_;
    QString folder_;
};

}  // namespace

int RunScreenshotTour(CMainWnd& window, KeySetup& keys, const QString& folder) {
    vkey::VirtualKey& key = *keys.InProcessKey();
    if (!QDir().mkpath(folder)) {
        (void)std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    Tour tour(window, folder);
    window.ShowWindow(true);
    bool ok = true;

    key.Unplug();
    ok &= WaitUntil([&] { return tour.StatusIs("デバイスが見つかりません"); }) &&
          tour.Shoot(QStringLiteral("main_no_key.png"));

    key.EditState([](vkey::State& state) { state.templates.clear(); });
    key.Plug();
    ok &= WaitUntil([&] { return tour.StatusIs("デバイスが見つかりました"); }) &&
          tour.Shoot(QStringLiteral("main_with_key.png"));

    EnrolSampleFingerprints(key);
    window.RefreshFingerprintList(true);
    window.UpdateDeviceState(true);
    ok &= tour.Shoot(QStringLiteral("main_with_rows.png"));
    ok &= tour.ShootBesidePanel(keys, QStringLiteral("virtual_key_panel.png"));

    bool helpShot = false;
    {
        ScopedModalHook hook([&](WindowImplBase& box) {
            helpShot = UiDriver(box).SaveScreenshot(
                QDir(folder).filePath(QStringLiteral("msgbox_help.png")));
            box.Close(1);
        });
        tour.Ui().Click(QStringLiteral("btn_help"));
    }
    ok &= helpShot;

    // The passkey window, reached as a person would: the button, then the PIN.
    bool passkeyShot = false;
    if (GivePinAndPasskeys(key)) {
        window.UpdateDeviceState(true);
        ScopedModalHook hook([&](WindowImplBase& shown) {
            UiDriver ui(shown);
            if (shown.GetSkinFile() == QLatin1String("verifyPIN.xml")) {
                ui.Type(QStringLiteral("edit_pin"), QString::fromLatin1(kTourPin));
                ui.Click(QStringLiteral("btn_ok"));
                return;
            }
            if (auto* passkeys = dynamic_cast<CPasskeyWnd*>(&shown)) {
                passkeyShot =
                    WaitUntil([&] { return !passkeys->Busy(); }) &&
                    ui.SaveScreenshot(QDir(folder).filePath(QStringLiteral("passkeys.png")));
            }
            shown.Close(1);
        });
        tour.Ui().Click(QStringLiteral("btn_passkeys"));
    }
    ok &= passkeyShot;

    window.Close(1);
    UiDriver::ProcessEvents();
    return ok ? 0 : 1;
}

int RunFirstFrameScreenshot(CMainWnd& window, KeySetup& keys, const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        (void)std::fprintf(stderr, "cannot create the folder of %s\n", qPrintable(path));
        return 1;
    }
    EnrolSampleFingerprints(*keys.InProcessKey());
    const QFileInfo file(path);
    Tour tour(window, file.absolutePath());
    window.ShowWindow(true);
    const bool ok = WaitUntil([&] { return tour.StatusIs("デバイスが見つかりました"); }) &&
                    tour.Shoot(file.fileName());
    window.Close(1);
    UiDriver::ProcessEvents();
    return ok ? 0 : 1;
}

}  // namespace kelvora
