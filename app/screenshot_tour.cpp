#include "app/screenshot_tour.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

#include "app/main_wnd.h"
#include "ctap/fingerprint_name.h"
#include "platform/text.h"
#include "toolkit/test_driver.h"
#include "vkey/virtual_key.h"

namespace kelvora {
namespace {

constexpr int kStateTimeoutMs = 5000;

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kStateTimeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Three names, one of each stored form: an enrolment stamp, a renamed fingerprint, and a
// name given by another tool.
void EnrolSampleFingerprints(vkey::VirtualKey& key) {
    key.EditState([](vkey::State& state) {
        state.templates.clear();
        state.templates[0] = {"20240315013000" + text::Utf8ToAnsi("指紋0"), 1};
        state.templates[1] = {std::string(kNoStampPrefix) + text::Utf8ToAnsi("右手の人差し指"), 2};
        state.templates[2] = {"Fingerprint 2", 3};
    });
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

    UiDriver& Ui() { return ui_; }
    CMainWnd& Window() { return window_; }

  private:
    CMainWnd& window_;
    UiDriver ui_;
    QString folder_;
};

}  // namespace

int RunScreenshotTour(CMainWnd& window, vkey::VirtualKey& key, const QString& folder) {
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

    window.Close(1);
    UiDriver::ProcessEvents();
    return ok ? 0 : 1;
}

}  // namespace kelvora
