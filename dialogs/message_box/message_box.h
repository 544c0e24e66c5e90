#pragma once

// The tool's own modal message box, drawn with the skin. Type flags and results follow the
// Windows message box: 0 information, 0x10 error, 0x31 warning with OK and Cancel.

#include <QString>
#include <cstdint>
#include <vector>

#include "dialogs/message_box/message_box_layout.h"
#include "toolkit/window_impl_base.h"

namespace kelvora {

class CButtonUI;

// Type flags (the Windows values).
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbOkCancel = 0x1;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbButtonMask = 0xF;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbIconMask = 0xF0;
inline constexpr std::uint32_t kMbTopmost = 0x40000;

// Results.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class CDuiMessageBox : public WindowImplBase {
  public:
    CDuiMessageBox(QString text, QString caption, std::uint32_t type);

    QString GetSkinFile() override { return QStringLiteral("MsgBox.xml"); }
    void InitWindow() override;
    WindowRole GetWindowRole() const override { return WindowRole::kAlert; }
    void Notify(TNotifyUI& msg) override;
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    int GetResult() const { return result_; }
    QString GetIconFile() const { return iconFile_; }
    int GetTitleHeight() const { return titleHeight_; }
    const MessageBoxMetrics& GetMetrics() const { return metrics_; }
    const std::vector<CButtonUI*>& GetButtons() const { return buttons_; }

    // The icon a type shows, and the button captions in creation order.
    static QString IconFor(std::uint32_t type);
    static QStringList ButtonsFor(std::uint32_t type);

  private:
    void Fill();

    QString text_;
    QString caption_;
    std::uint32_t type_;
    int titleHeight_ = 0;
    QString iconFile_;
    MessageBoxMetrics metrics_;
    std::vector<CButtonUI*> buttons_;
    int result_ = 0;
};

// Shows a box owned by `owner`, modally, and returns its result: kIdOk, kIdCancel (also the
// close button and Escape), kIdYes, kIdNo, or 0 when it was closed by a plain kWmClose.
int ShowMessageBox(WindowHandle owner, const QString& caption, const QString& text,
                   std::uint32_t type);

// Closes the box that is showing, if any, as if by a plain kWmClose. Safe from any thread.
void CloseCurrentMessageBox();

}  // namespace kelvora
