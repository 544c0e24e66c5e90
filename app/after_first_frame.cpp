#include "app/after_first_frame.h"

#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <utility>

namespace kelvora {
namespace {

// Lives as a child of the window, so it goes with it.
class FirstPaintWatch final : public QObject {
  public:
    FirstPaintWatch(QWidget& window, std::function<void()> action)
        : QObject(&window), window_(window), action_(std::move(action)) {
        window_.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint) {
            window_.removeEventFilter(this);
            // Queued: the paint and its flush end first.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    action_();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

  private:
    QWidget& window_;
    std::function<void()> action_;
};

}  // namespace

void AfterFirstFrame(QWidget& window, std::function<void()> action) {
    new FirstPaintWatch(window, std::move(action));  // owned by `window`
}

}  // namespace kelvora
