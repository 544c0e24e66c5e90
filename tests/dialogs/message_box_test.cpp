// The skinned message box: sizing to the text, icons and buttons by type, results of clicks
// and keys, and closing the current box from outside.

#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <thread>

#include "dialogs/message_box/message_box.h"
#include "toolkit/container.h"
#include "toolkit/gui_test_environment.h"
#include "toolkit/label.h"
#include "toolkit/test_driver.h"

namespace kelvora::test {
namespace {

TEST(MessageBoxMetrics, WidthIsClampedAndLongLinesTakeMoreRows) {
    constexpr int kTitle = 40;
    constexpr int kLine = 19;
    struct Case {
        std::vector<int> widths;
        int textWidth;
        int rows;
    };
    const Case cases[] = {
        {{120}, 250, 1},  // narrow: the column stays 250 wide, the window 350
        {{300}, 300, 1},
        {{350}, 350, 1},
        {{351}, 350, 2},
        {{700}, 350, 2},            // exactly two column widths
        {{701}, 350, 3},            // one pixel more takes a third row
        {{100, 200, 340}, 340, 3},  // three short lines
        {{100, 0, 100}, 250, 2},    // an empty line adds nothing
        {{}, 250, 0},
    };
    for (const Case& c : cases) {
        const MessageBoxMetrics m = ComputeMessageBoxMetrics(c.widths, kLine, kTitle);
        EXPECT_EQ(m.textWidth, c.textWidth);
        EXPECT_EQ(m.rows, c.rows);
        EXPECT_EQ(m.window, QSize(c.textWidth + 100, kTitle + c.rows * kLine + 114));
    }
}

TEST(MessageBoxMetrics, LinesSplitAtLineFeedsWithoutATrailingEmptyLine) {
    EXPECT_EQ(SplitMessageLines(QStringLiteral("a\nb\n")), QStringList({"a", "b"}));
    EXPECT_EQ(SplitMessageLines(QStringLiteral("a\n\nb")), QStringList({"a", "", "b"}));
    EXPECT_EQ(SplitMessageLines(QStringLiteral("a")), QStringList({"a"}));
    EXPECT_EQ(SplitMessageLines(QStringLiteral("\n")), QStringList({""}));
}

// Shows a box and answers it from the modal hook with `answer`, returning ShowMessageBox's
// result and what the box looked like.
struct Shown {
    int result = -1;
    QString icon;
    QStringList buttons;  // in creation order
    std::vector<QRect> buttonRects;
    QSize size;
    int titleHeight = 0;
    bool topmost = false;
    QString caption;
    QString windowText;
};

Shown ShowAndAnswer(const QString& text, std::uint32_t type,
                    const std::function<void(UiDriver&)>& answer, const QString& shot = {}) {
    Shown shown;
    ScopedModalHook hook([&](WindowImplBase& w) {
        auto& box = dynamic_cast<CDuiMessageBox&>(w);
        shown.icon = box.GetIconFile();
        for (CButtonUI* b : box.GetButtons()) {
            shown.buttons << b->GetName();
            shown.buttonRects.push_back(b->GetFloatPos());
        }
        shown.size = w.GetWidget()->size();
        shown.titleHeight = box.GetTitleHeight();
        shown.topmost = box.IsTopmost();
        shown.windowText = w.GetWindowText();
        UiDriver ui(w);
        shown.caption = ui.Text(QStringLiteral("QvTitle"));
        if (!shot.isEmpty()) {
            ui.SaveScreenshot(QDir(ScreenshotFolder()).filePath(shot));
        }
        answer(ui);
    });
    shown.result = ShowMessageBox({}, QStringLiteral("Kelvora Fido2 管理ツール"), text, type);
    return shown;
}

auto ClickOn(const char* name) {
    return [name](UiDriver& ui) { ASSERT_TRUE(ui.Click(QString::fromUtf8(name))); };
}
auto Press(unsigned vk) {
    return [vk](UiDriver& ui) { ui.KeyDown(vk); };
}

TEST(MessageBox, ButtonsIconsAndResultsByType) {
    struct Case {
        std::uint32_t type;
        const char* icon;
        QStringList buttons;
        const char* click;
        int result;
    };
    const Case cases[] = {
        {0x00, "logo_32.png", {"OK"}, "OK", 1},
        {0x10, "Png_Msg_error.png", {"OK"}, "closebtn", 2},
        {0x31, "Png_Msg_warning.png", {"OK", "Cancel"}, "OK", 1},
        {0x31, "Png_Msg_warning.png", {"OK", "Cancel"}, "Cancel", 2},
        {0x24, "Png_Msg_info.png", {"Yes", "No"}, "Yes", 6},
        {0x44, "Png_Msg_info.png", {"Yes", "No"}, "No", 7},
        {0x03, "logo_32.png", {"OK"}, "OK", 1},
    };
    for (const Case& c : cases) {
        const Shown s =
            ShowAndAnswer(QStringLiteral("PINの設定に成功しました。"), c.type, ClickOn(c.click));
        EXPECT_EQ(s.icon, QString::fromUtf8(c.icon)) << c.type;
        EXPECT_EQ(s.buttons, c.buttons) << c.type;
        EXPECT_EQ(s.result, c.result) << c.type << " " << c.click;
        EXPECT_FALSE(s.topmost);
        EXPECT_EQ(s.caption, QStringLiteral("Kelvora Fido2 管理ツール"));
        EXPECT_EQ(s.windowText, QStringLiteral("Kelvora Fido2 管理ツール"));
    }
}

TEST(MessageBox, EnterIsOkAndEscapeIsCancelWhateverTheButtons) {
    EXPECT_EQ(ShowAndAnswer(QStringLiteral("x"), 0x24, Press(kVkReturn)).result, 1);
    EXPECT_EQ(ShowAndAnswer(QStringLiteral("x"), 0x24, Press(kVkEscape)).result, 2);
    EXPECT_EQ(ShowAndAnswer(QStringLiteral("x"), 0x00, Press(kVkEscape)).result, 2);
}

TEST(MessageBox, SizedToItsTextWithButtonsAtTheBottomRight) {
    const QString narrow = QStringLiteral("OK");
    const Shown one =
        ShowAndAnswer(narrow, 0x31, ClickOn("OK"), QStringLiteral("msgbox_warning.png"));
    const QFontMetrics fm(MakeLayoutFont(QStringLiteral("微软雅黑"), 14, false, false, false));
    const int h = fm.height();
    EXPECT_EQ(one.titleHeight, 40);
    EXPECT_EQ(one.size, QSize(350, 40 + h + 114));
    // Last button in the bottom-right slot, the first one step to its left (container
    // coordinates: the container starts under the title bar).
    ASSERT_EQ(one.buttonRects.size(), 2u);
    EXPECT_EQ(one.buttonRects[1], QRect(350 - 108, one.size.height() - 40 - 46, 90, 28));
    EXPECT_EQ(one.buttonRects[0], one.buttonRects[1].translated(-108, 0));

    const Shown three = ShowAndAnswer(QStringLiteral("一行目\n二行目\n三行目\n"), 0, ClickOn("OK"));
    EXPECT_EQ(three.size, QSize(350, 40 + 3 * h + 114));

    const QString help = QStringLiteral(
        "提示:\n\t\t\t\t① "
        "各指紋テンプレートでは、4回の指紋サンプリングが必要です。正しく指紋が登録されるように指の"
        "位置を調整します。\n"
        "\t\t\t\t \n\t\t\t\t② "
        "1本の指を繰り返し登録することで、指紋認証の成功率を上げることができます。\n");
    const Shown tall = ShowAndAnswer(help, 0, ClickOn("OK"), QStringLiteral("msgbox_help.png"));
    EXPECT_EQ(tall.size.width(), 450);
    EXPECT_GT(tall.size.height(), 40 + 4 * h + 114);
}

TEST(MessageBox, TopmostFlagMakesTheWindowStayOnTop) {
    EXPECT_TRUE(ShowAndAnswer(QStringLiteral("x"), 0x40010, ClickOn("OK")).topmost);
}

TEST(MessageBox, CloseCurrentMessageBoxClosesWithZeroAndForgetsIt) {
    const Shown closed = ShowAndAnswer(QStringLiteral("x"), 0x31, [](UiDriver&) {
        std::thread other([] { CloseCurrentMessageBox(); });  // e.g. the removal handler
        other.join();
    });
    EXPECT_EQ(closed.result, 0);
    CloseCurrentMessageBox();  // nothing is shown now: a no-op
    UiDriver::ProcessEvents();
}

TEST(MessageBox, LinkAndUnknownNotificationsDoNotClose) {
    int result = -1;
    ScopedModalHook hook([&](WindowImplBase& w) {
        UiDriver ui(w);
        auto* text = dynamic_cast<CContainerUI*>(ui.Find(QStringLiteral("MsgBox")))->GetItemAt(0);
        w.GetPaintManager().SendNotify(text, QStringLiteral("link"));
        w.GetPaintManager().SendNotify(text, QStringLiteral("setfocus"));
        UiDriver::ProcessEvents();
        EXPECT_FALSE(w.IsClosed());
        ui.Click(QStringLiteral("OK"));
    });
    result = ShowMessageBox({}, QStringLiteral("t"), QStringLiteral("<a href=\"x\">link</a>"), 0);
    EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace kelvora::test
