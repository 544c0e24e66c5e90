// A person without a mouse: the list's selection moves with the keys, and the focused control
// shows a focus frame once the keyboard is in use.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>

#include "tests/common/window_script.h"
#include "toolkit/container.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/gui_test_environment.h"
#include "toolkit/list.h"
#include "toolkit/test_driver.h"
#include "toolkit/test_window.h"

namespace kelvora::test {
namespace {

constexpr unsigned kVkTab = 0x09;
constexpr unsigned kVkPageUp = 0x21;
constexpr unsigned kVkPageDown = 0x22;
constexpr unsigned kVkEnd = 0x23;
constexpr unsigned kVkHome = 0x24;
constexpr unsigned kVkUp = 0x26;
constexpr unsigned kVkDown = 0x28;

// The main window's layout on its page with the list and the buttons.
void OpenKeyPage(TestWindow& window) {
    ASSERT_TRUE(window.CreateDefault());
    window.ShowWindow();
    UiDriver(window).FindAs<CTabLayoutUI>(QStringLiteral("switch"))->SelectItem(1);
    UiDriver::ProcessEvents();
}

TEST(KeyboardUse, KeysMoveTheListSelectionWithinItsRows) {
    TestWindow window(QStringLiteral("main.xml"));
    OpenKeyPage(window);
    auto* list = UiDriver(window).FindAs<CListUI>(QStringLiteral("list_Fingerprint"));
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 20; ++i) {
        CDialogBuilder builder;
        ASSERT_TRUE(
            list->Add(builder.Create(QStringLiteral("sigle_list_item_column.xml"), &window)));
    }
    QWidget* body = list->GetItemAt(0)->parentWidget();
    const int page = body->parentWidget()->height() / list->GetItemAt(0)->height();
    ASSERT_GT(page, 1);
    struct Step {
        unsigned key;
        int selected;
    };
    const Step steps[] = {
        {kVkDown, 0},                               // nothing selected yet: the first row
        {kVkDown, 1},   {kVkUp, 0},    {kVkUp, 0},  // stays on the first row
        {kVkEnd, 19},   {kVkDown, 19}, {kVkHome, 0},      {kVkPageDown, page},
        {kVkPageUp, 0}, {kVkEnd, 19},  {kVkPageDown, 19},
    };
    PlayInFront(window, [&](UiDriver& ui) {
        list->SetFocus();
        for (const Step& step : steps) {
            ui.KeyDown(step.key);
            EXPECT_EQ(list->GetCurSel(), step.selected) << "after key " << step.key;
        }
    });
    const auto selects = std::count_if(window.notes.begin(), window.notes.end(),
                                       [](const auto& n) { return n.type == "itemselect"; });
    EXPECT_EQ(selects, 8) << "every move notifies, staying put does not";
    EXPECT_TRUE(std::find(window.keys.begin(), window.keys.end(), kVkDown) != window.keys.end())
        << "the window saw the keys first";
}

TEST(KeyboardUse, FocusFrameShowsWhereTheFocusIsOnceKeysAreUsed) {
    TestWindow window(QStringLiteral("main.xml"));
    OpenKeyPage(window);
    PlayInFront(window, [&](UiDriver& ui) {
        const auto shot = [&](const char* name) {
            const QImage image = ui.Grab();
            image.save(QDir(ScreenshotFolder()).filePath(QString::fromLatin1(name)));
            return image;
        };
        ui.Find(QStringLiteral("btn_Enroll"))->SetFocus();
        const QImage clickedFirst = shot("focus_clicked_enroll.png");
        ui.Find(QStringLiteral("btn_Verify"))->SetFocus();
        EXPECT_EQ(shot("focus_clicked_verify.png"), clickedFirst)
            << "without the keyboard, the window looks as it always did";

        ui.Find(QStringLiteral("btn_Enroll"))->SetFocus();
        ui.KeyDown(kVkTab);
        ASSERT_TRUE(ui.Find(QStringLiteral("btn_Verify"))->hasFocus());
        const QImage onVerify = shot("focus_key_verify.png");
        EXPECT_NE(onVerify, clickedFirst);
        ui.KeyDown(kVkTab);
        ASSERT_TRUE(ui.Find(QStringLiteral("btn_Delete"))->hasFocus());
        EXPECT_NE(shot("focus_key_delete.png"), onVerify);
    });
}

}  // namespace
}  // namespace kelvora::test
