#include "app/startup.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "app/after_first_frame.h"
#include "app/app_help.h"
#include "app/app_options.h"
#include "app/daemon_key_watch.h"
#include "app/key_setup.h"
#include "app/main_wnd.h"
#include "app/power_monitor.h"
#include "app/screenshot_tour.h"
#include "app/second_start.h"
#include "app/startup_warmup.h"
#include "platform/command_line.h"
#include "platform/device_notifications.h"
#include "platform/single_instance.h"
#include "toolkit/paint_manager.h"
#include "toolkit/window_registry.h"
#include "transport/vkey_socket_setting.h"

namespace kelvora {
namespace {

constexpr int kSleepNoticesDelayMs = 250;

VirtualKeyPanelFactory& Panel() {
    static VirtualKeyPanelFactory factory;
    return factory;
}

void BroadcastSystemDeviceChange(DeviceChangeKind kind, const std::string& path) {
    const QString wide = QString::fromStdString(path);
    BroadcastDeviceChange(
        kind == DeviceChangeKind::kArrival ? kDbtDeviceArrival : kDbtDeviceRemoveComplete,
        DeviceBroadcast{kDbtDevtypDeviceInterface, wide.toStdWString()});
}

// As far as the window system lets a program raise itself: the main window, and above it the
// dialog that is open now.
void BringToFront(CMainWnd& window) {
    QWidget* main = window.GetWidget();
    if (main == nullptr) {
        return;
    }
    main->showNormal();
    main->raise();
    main->activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != main) {
        modal->raise();
        modal->activateWindow();
    }
}

void BroadcastPowerChange(PowerChange change) {
    BroadcastPowerEvent(change == PowerChange::kSuspend ? kPbtApmSuspend : kPbtApmResumeSuspend);
}

}  // namespace

void SetVirtualKeyPanel(VirtualKeyPanelFactory factory) {
    Panel() = std::move(factory);
}

int RunApplication(int argc, char** argv) {
    // Read before the toolkit takes the options it knows out of argv.
    AppOptions options;
    std::string error;
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    const bool parsed = ParseAppOptions(arguments, options, error);
    // Answered before the single-instance check and before anything needs a display, so
    // that they print while the tool runs and on a machine without a screen.
    if (parsed && (options.showHelp || options.showVersion)) {
        const std::string text = options.showHelp ? AppHelpText() : AppVersionText();
        (void)std::fputs(text.c_str(), stdout);
        return 0;
    }
    // Held until the process ends, unless a copy with administrator rights takes over.
    SingleInstanceResult instance = AcquireSingleInstance(kSingleInstanceName);
    if (instance.check == InstanceCheck::kAlreadyRunning) {
        if (const std::string notice = AnnounceSecondStart(); !notice.empty()) {
            (void)std::printf("%s\n", notice.c_str());
        }
        return 0;
    }
    if (!parsed) {
        (void)std::fprintf(stderr, "kelvora-fido2-manager: %s\n", error.c_str());
        return 2;
    }

    // The walk draws its pictures without showing anything; it needs no display (Wine passes
    // no QT_* variable on, so the program chooses the platform itself).
    const bool screenshots = options.screenshotDir || options.screenshotFile;
    if (screenshots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    StartupWarmup warmup;
    QApplication application(argc, argv);
    warmup.ApplicationReady();
    // Only a name: the package itself comes from the executable's resources.
    CPaintManagerUI::SetResourceZipName(QStringLiteral("Skins.zip"));

    std::string warning;
    KeySetup keys(options, warning);
    if (!warning.empty()) {
        (void)std::fprintf(stderr, "kelvora-fido2-manager: %s\n", warning.c_str());
    }
    const std::unique_ptr<DeviceInterfaceWatcher> devices =
        WatchDeviceInterfaces(&BroadcastSystemDeviceChange);
    std::unique_ptr<PowerMonitor> power;
    const std::unique_ptr<DaemonKeyWatch> daemon =
        WatchDaemonKey(std::getenv(kVkeyEnvironmentVariable));  // NOLINT(concurrency-mt-unsafe)

    int exitCode = 0;
    {
        InstanceClaim claim{std::string(kSingleInstanceName), std::move(instance.lock)};
        MainWndOptions windowOptions;
        windowOptions.arguments = arguments;
        windowOptions.instance = &claim;
        CMainWnd window(keys.Backend(), std::move(windowOptions));
        window.State().resetAtStart = options.resetAtStart;
        SetBeforeFirstLayoutFont([&warmup] { warmup.WaitForPlatformFonts(); });
        // A layout that cannot be built ends the process inside Create.
        window.Create({}, QString::fromUtf8(kApplicationTitle), kDialogStyle);
        SetBeforeFirstLayoutFont(nullptr);
        window.CenterWindow();
        warmup.Finish();
        // Sleep and wake matter once the window is up: the system bus is asked a moment after
        // its first frame, not before it.
        QWidget* host = window.GetWidget();
        AfterFirstFrame(*host, [host, &power] {
            QTimer::singleShot(kSleepNoticesDelayMs, host,
                               [&power] { power = StartPowerMonitor(&BroadcastPowerChange); });
        });
        const std::unique_ptr<SecondStartListener> secondStarts =
            ListenForSecondStarts([&window] { BringToFront(window); });
        if (options.screenshotDir && keys.InProcessKey() != nullptr) {
            exitCode =
                RunScreenshotTour(window, keys, QString::fromStdString(*options.screenshotDir));
        } else if (options.screenshotFile && keys.InProcessKey() != nullptr) {
            exitCode = RunFirstFrameScreenshot(window, keys,
                                               QString::fromStdString(*options.screenshotFile));
        } else {
            std::unique_ptr<QWidget> panel;
            if (keys.InProcessKey() != nullptr && Panel()) {
                panel = Panel()(keys, window);
            }
            window.ShowModal();
        }
        // Nothing is sent to the key on the way out.
        window.Device().CloseAllDevices();
    }
    return exitCode;
}

}  // namespace kelvora
