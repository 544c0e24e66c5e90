// The receiver of logind's PrepareForSleep signal; the D-Bus connection needs an object
// with a slot to deliver it to.
#pragma once

#include <QObject>

#include "app/power_monitor.h"

namespace kelvora {

class SleepSignalReceiver : public QObject {
    Q_OBJECT

  public:
    explicit SleepSignalReceiver(PowerChangeHandler handler) : handler_(std::move(handler)) {}

  public slots:
    // true before the system sleeps, false after it woke up.
    void PrepareForSleep(bool start) {
        handler_(start ? PowerChange::kSuspend : PowerChange::kResume);
    }

  private:
    PowerChangeHandler handler_;
};

}  // namespace kelvora
