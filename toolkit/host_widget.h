#pragma once

// The top-level widget behind a WindowImplBase: frameless, dragged by the layout's caption
// area, routing key presses through the window's key filter and the system close command
// through its message handling.

#include <QPoint>
#include <QWidget>

namespace kelvora {

class WindowImplBase;

class HostWidget : public QWidget {
  public:
    explicit HostWidget(WindowImplBase* window);

    WindowImplBase* Window() const { return window_; }

    // Whether the focused control shows that it has the focus. As on Windows, a window shows
    // it once the keyboard was used in it (or in the window it was opened from), not after
    // mere clicks, which point at the control anyway.
    bool FocusCuesShown() const { return focusCues_; }
    void ShowFocusCues();

    // Maps a Qt key to its Windows virtual key code (0 when there is none).
    static unsigned MapVirtualKey(int qtKey);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool IsFirstReceiver(QObject* watched) const;

    WindowImplBase* window_;
    bool focusCues_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace kelvora
