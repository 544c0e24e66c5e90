#include <QDBusConnection>

#include "app/power_monitor.h"
#include "app/power_monitor_linux.h"

namespace kelvora {
namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSleepSignal = QStringLiteral("PrepareForSleep");

class LogindMonitor final : public PowerMonitor {
  public:
    explicit LogindMonitor(PowerChangeHandler handler) : receiver_(std::move(handler)) {}

    bool Connect() {
        QDBusConnection bus = QDBusConnection::systemBus();
        return bus.isConnected() &&
               bus.connect(kLogindService, kLogindPath, kLogindManager, kSleepSignal, &receiver_,
                           SLOT(PrepareForSleep(bool)));
    }

    ~LogindMonitor() override {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (bus.isConnected()) {
            bus.disconnect(kLogindService, kLogindPath, kLogindManager, kSleepSignal, &receiver_,
                           SLOT(PrepareForSleep(bool)));
        }
    }

    LogindMonitor(const LogindMonitor&) = delete;
    LogindMonitor& operator=(const LogindMonitor&) = delete;

  private:
    SleepSignalReceiver receiver_;
};

}  // namespace

std::unique_ptr<PowerMonitor> StartPowerMonitor(PowerChangeHandler handler) {
    auto monitor = std::make_unique<LogindMonitor>(std::move(handler));
    if (!monitor->Connect()) {
        return nullptr;
    }
    return monitor;
}

}  // namespace kelvora
