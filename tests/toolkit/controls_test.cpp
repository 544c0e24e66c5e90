// Controls built from layouts: placement, notifications by name, the key filter, tabs,
// lists and edits.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "toolkit/container.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/list.h"
#include "toolkit/test_driver.h"
#include "toolkit/test_window.h"

namespace kelvora::test {
namespace {

std::unique_ptr<CControlUI> Build(const char* xml) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.CreateFromXml(QByteArray(xml)));
    EXPECT_NE(root, nullptr) << builder.GetError().toStdString();
    return root;
}

TEST(Placement, FixedFlexiblePaddedAndFloatingChildren) {
    auto root = Build(
        "<VerticalLayout inset=\"1,1,1,1\" childpadding=\"4\">"
        "  <Label name=\"top\" height=\"40\"/>"
        "  <Label name=\"flex1\"/>"
        "  <Label name=\"fixedw\" height=\"30\" width=\"120\" padding=\"10,5,0,5\"/>"
        "  <Label name=\"flex2\"/>"
        "  <Label name=\"gone\" height=\"50\" visible=\"false\"/>"
        "  <Label name=\"float\" float=\"true\" pos=\"65,25,375,57\"/>"
        "</VerticalLayout>");
    ASSERT_NE(root, nullptr);
    auto* container = dynamic_cast<CContainerUI*>(root.get());
    container->setGeometry(0, 0, 302, 302);
    container->NeedUpdate();  // a hidden widget gets its resize event only when shown
    auto at = [&](const char* name) {
        return root->FindByName(QString::fromUtf8(name))->geometry();
    };
    // 300 inside the inset: 40 + 30 fixed, 10 of padding, 3 gaps of 4 -> 208 for two.
    EXPECT_EQ(at("top"), QRect(1, 1, 300, 40));
    EXPECT_EQ(at("flex1"), QRect(1, 45, 300, 104));
    EXPECT_EQ(at("fixedw"), QRect(11, 158, 120, 30));
    EXPECT_EQ(at("flex2"), QRect(1, 197, 300, 104));
    EXPECT_EQ(at("float"), QRect(65, 25, 310, 32));

    auto row = Build(
        "<HorizontalLayout><Control name=\"a\" width=\"48\"/><Control name=\"b\"/>"
        "<Control name=\"c\" width=\"48\" height=\"32\"/></HorizontalLayout>");
    row->setGeometry(0, 0, 200, 40);
    dynamic_cast<CContainerUI*>(row.get())->NeedUpdate();
    EXPECT_EQ(row->FindByName(QStringLiteral("b"))->geometry(), QRect(48, 0, 104, 40));
    EXPECT_EQ(row->FindByName(QStringLiteral("c"))->geometry(), QRect(152, 0, 48, 32));
}

TEST(Placement, TabLayoutShowsOnlyTheSelectedPage) {
    auto root = Build(
        "<TabLayout name=\"t\"><Label name=\"p0\"/><Label name=\"p1\"/><Label "
        "name=\"p2\"/></TabLayout>");
    auto* tab = dynamic_cast<CTabLayoutUI*>(root.get());
    ASSERT_NE(tab, nullptr);
    tab->setGeometry(0, 0, 100, 100);
    tab->show();
    auto shown = [&](const char* name) {
        return tab->FindByName(QString::fromUtf8(name))->IsShown();
    };
    EXPECT_TRUE(shown("p0"));
    EXPECT_FALSE(shown("p1"));
    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_FALSE(shown("p0"));
    EXPECT_TRUE(shown("p1"));
    EXPECT_FALSE(tab->SelectItem(3));
    EXPECT_EQ(tab->GetCurSel(), 1);
    // A page keeps its own visibility flag while hidden by the tab.
    EXPECT_TRUE(tab->FindByName(QStringLiteral("p0"))->IsVisible());
}

// Enough of the largest children to pass what an int holds: each comes after the one
// before, never wrapped round to a negative position.
TEST(Placement, LongLinesOfHugeChildrenStayInOrder) {
    const QByteArray child = "<Control height=\"1000000\" padding=\"0,1000000,0,1000000\"/>";
    const QByteArray row = "<ListContainerElement height=\"1000000\"/>";
    const QByteArray layouts[] = {
        "<VerticalLayout childpadding=\"1000000\">" + child.repeated(600) + "</VerticalLayout>",
        "<List>" + row.repeated(2200) + "</List>",
    };
    for (const QByteArray& xml : layouts) {
        SCOPED_TRACE(xml.left(40).toStdString());
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(builder.CreateFromXml(xml));
        ASSERT_NE(root, nullptr);
        auto* container = dynamic_cast<CContainerUI*>(root.get());
        container->setGeometry(0, 0, 400, 300);
        container->NeedUpdate();
        ASSERT_GE(container->GetCount(), 600);
        int firstOutOfOrder = 0;
        for (int i = 1; i < container->GetCount() && firstOutOfOrder == 0; ++i) {
            if (container->GetItemAt(i)->y() < container->GetItemAt(i - 1)->y()) {
                firstOutOfOrder = i;
            }
        }
        EXPECT_EQ(firstOutOfOrder, 0);
    }
}

TEST(Builder, UnknownElementsAreLeftOutAndFragmentsBuildAlone) {
    auto root = Build(
        "<VerticalLayout><Gizmo name=\"g\"><Label name=\"inner\"/></Gizmo>"
        "<Label name=\"kept\"/></VerticalLayout>");
    EXPECT_EQ(root->FindByName(QStringLiteral("g")), nullptr);
    EXPECT_EQ(root->FindByName(QStringLiteral("inner")), nullptr);
    EXPECT_NE(root->FindByName(QStringLiteral("kept")), nullptr);
    CDialogBuilder builder;
    EXPECT_EQ(builder.CreateFromXml("<Window size=\"1,1\"><Font id=\"0\"/></Window>"), nullptr);
    EXPECT_EQ(builder.CreateFromXml("<Window><Gizmo/></Window>"), nullptr);
    EXPECT_EQ(builder.Create(QStringLiteral("absent.xml")), nullptr);
    EXPECT_FALSE(builder.GetError().isEmpty());
}

class WindowControlsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(window.CreateDefault()); }
    std::vector<QString> Notes(const QString& type, const QString& name) const {
        std::vector<QString> out;
        for (const auto& n : window.notes) {
            if (n.type == type && n.sender != nullptr && n.sender->GetName() == name) {
                out.push_back(n.sender->GetText());
            }
        }
        return out;
    }
    TestWindow window{QStringLiteral("VerifyOption.xml")};
    UiDriver ui{window};
};

TEST_F(WindowControlsTest, BothControlsSharingANameDeliverClick) {
    ASSERT_TRUE(ui.Click(QStringLiteral("btn_pin"), 0));
    ASSERT_TRUE(ui.Click(QStringLiteral("btn_pin"), 1));
    ASSERT_TRUE(ui.Click(QStringLiteral("btn_fp"), 1));
    const auto pins = Notes(QStringLiteral("click"), QStringLiteral("btn_pin"));
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0], QString());                   // the picture
    EXPECT_EQ(pins[1], QStringLiteral("     PIN"));  // the text
    EXPECT_EQ(Notes(QStringLiteral("click"), QStringLiteral("btn_fp")).size(), 1u);
    EXPECT_FALSE(ui.Click(QStringLiteral("btn_pin"), 2));
}

TEST_F(WindowControlsTest, DisabledOrHiddenButtonsCannotBeClicked) {
    auto* button = ui.FindAs<CButtonUI>(QStringLiteral("btn_fp"));
    ASSERT_NE(button, nullptr);
    button->SetEnabled(false);
    EXPECT_FALSE(ui.Click(QStringLiteral("btn_fp")));
    button->SetEnabled(true);
    button->SetVisible(false);
    EXPECT_FALSE(ui.Click(QStringLiteral("btn_fp")));
    EXPECT_TRUE(Notes(QStringLiteral("click"), QStringLiteral("btn_fp")).empty());
}

TEST_F(WindowControlsTest, BaseHandlingClosesOnCloseButtonWithOne) {
    ASSERT_TRUE(ui.Click(QStringLiteral("closebtn")));
    EXPECT_FALSE(window.IsClosed()) << "closing is a posted message";
    ui.ProcessEvents();
    EXPECT_TRUE(window.IsClosed());
    EXPECT_EQ(window.GetModalResult(), 1);
}

TEST_F(WindowControlsTest, SystemCloseCommandIsAPlainCloseTheWindowMayRefuse) {
    window.ShowWindow();
    window.refuseClose = true;
    window.GetWidget()->close();  // Alt+F4
    EXPECT_FALSE(window.IsClosed());
    window.refuseClose = false;
    window.GetWidget()->close();
    EXPECT_TRUE(window.IsClosed());
    EXPECT_EQ(window.GetModalResult(), 0);
}

// What windowinit shows belongs to the first frame: drawn with it, not once more after it.
TEST(WindowInit, ControlsItShowsArePaintedOnceWithTheFirstFrame) {
    struct ShowingWindow : TestWindow {
        using TestWindow::TestWindow;
        void Notify(TNotifyUI& msg) override {
            if (msg.sType == QLatin1String("windowinit")) {
                FindControl(QStringLiteral("btn_fp"))->SetVisible(true);
            }
            TestWindow::Notify(msg);
        }
    } window{QStringLiteral("VerifyOption.xml")};
    ASSERT_TRUE(window.CreateDefault());
    CControlUI* shown = window.FindControl(QStringLiteral("btn_fp"));
    ASSERT_NE(shown, nullptr);
    shown->SetVisible(false);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    shown->installEventFilter(&counter);
    window.ShowWindow();
    // As the application's own loop runs: a pass at a time.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 1);
}

TEST(KeyFilter, EnterAndEscapeReachTheWindowFirstAndCanBeSwallowed) {
    TestWindow window(QStringLiteral("verifyPIN.xml"));
    ASSERT_TRUE(window.CreateDefault());
    window.ShowWindow();
    UiDriver ui(window);
    ASSERT_TRUE(ui.Type(QStringLiteral("edit_pin"), QStringLiteral("1234")));
    EXPECT_EQ(window.keys.size(), 4u) << "each typed key passes the filter once";
    window.keys.clear();

    window.swallow = {kVkReturn, kVkEscape};
    ui.KeyDown(kVkReturn);
    ui.KeyDown(kVkEscape);
    ASSERT_EQ(window.keys, (std::vector<WPARAM>{kVkReturn, kVkEscape}));
    EXPECT_FALSE(window.IsClosed());

    // A key the window lets through reaches the focused edit.
    window.swallow.clear();
    window.keys.clear();
    ui.KeyDown('5');
    EXPECT_EQ(window.keys, (std::vector<WPARAM>{'5'}));
    // Swallowed printable keys never reach the edit.
    window.swallow = {'7'};
    QKeyEvent press(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
    QCoreApplication::sendEvent(ui.FindAs<CEditUI>(QStringLiteral("edit_pin"))->LineEdit(), &press);
    EXPECT_EQ(ui.FindAs<CEditUI>(QStringLiteral("edit_pin"))->GetText(), QStringLiteral("1234"));
}

TEST(Edit, TypingNotifiesButSettingTextDoesNot) {
    TestWindow window(QStringLiteral("SetPIN.xml"));
    ASSERT_TRUE(window.CreateDefault());
    window.ShowWindow();
    UiDriver ui(window);
    auto* edit = ui.FindAs<CEditUI>(QStringLiteral("edit_pin"));
    ASSERT_NE(edit, nullptr);
    auto count = [&](const char* type) {
        return std::count_if(window.notes.begin(), window.notes.end(), [&](const auto& n) {
            return n.type == QLatin1String(type) && n.sender == edit;
        });
    };
    edit->SetText(QStringLiteral("abc"));
    EXPECT_EQ(count("textchanged"), 0);
    edit->SetText(QString());
    ASSERT_TRUE(ui.Type(QStringLiteral("edit_pin"), QStringLiteral("ｐｉｎ日本")));
    EXPECT_EQ(count("textchanged"), 5);
    EXPECT_EQ(edit->GetText(), QStringLiteral("ｐｉｎ日本"));
    EXPECT_EQ(edit->LineEdit()->displayText().contains(QStringLiteral("日")), false)
        << "echo hidden";

    edit->SetSel(0, -1);
    EXPECT_EQ(edit->GetSelectedText(), QStringLiteral("ｐｉｎ日本"));
    edit->SetSel(3, 100);
    EXPECT_EQ(edit->GetSelectedText(), QStringLiteral("日本"));

    // Focus moves notify both edits.
    ui.FindAs<CEditUI>(QStringLiteral("edit_pin2"))->SetFocus();
    if (QApplication::focusWidget() != nullptr) {  // only when the platform gives focus
        EXPECT_GE(count("killfocus"), 1);
    }
    // Long input is cut at the edit's limit instead of growing without bound.
    edit->SetText(QString(400, QLatin1Char('1')));
    EXPECT_EQ(edit->GetText().size(), 255);
}

TEST(List, SelectionNotifiesAndSurvivesRowChanges) {
    TestWindow window(QStringLiteral("main.xml"));
    ASSERT_TRUE(window.CreateDefault());
    UiDriver ui(window);
    auto* list = ui.FindAs<CListUI>(QStringLiteral("list_Fingerprint"));
    ASSERT_NE(list, nullptr);
    auto itemSelects = [&] {
        return std::count_if(window.notes.begin(), window.notes.end(), [&](const auto& n) {
            return n.type == QLatin1String("itemselect") && n.sender == list;
        });
    };
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_FALSE(list->SelectItem(0));
    auto* label = new CLabelUI;
    EXPECT_FALSE(list->Add(label)) << "only rows go into a list";
    delete label;
    for (int i = 0; i < 20; ++i) {
        CDialogBuilder builder;
        ASSERT_TRUE(
            list->Add(builder.Create(QStringLiteral("sigle_list_item_column.xml"), &window)));
    }
    ASSERT_TRUE(list->SelectItem(0, false));
    ASSERT_TRUE(list->SelectItem(0, false));
    EXPECT_EQ(itemSelects(), 1) << "selecting the selected row changes nothing";
    ASSERT_TRUE(ui.SelectRow(QStringLiteral("list_Fingerprint"), 19));
    EXPECT_EQ(list->GetCurSel(), 19);
    EXPECT_EQ(itemSelects(), 2);

    EXPECT_TRUE(list->Remove(list->GetItemAt(3)));
    EXPECT_EQ(list->GetCurSel(), 18) << "the selection follows its row";
    EXPECT_TRUE(list->Remove(list->GetItemAt(18)));
    EXPECT_EQ(list->GetCurSel(), -1);
    delete list->GetItemAt(0);  // a row destroyed directly leaves the list consistent
    EXPECT_EQ(list->GetCount(), 17);
    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_EQ(list->GetItemAt(0), nullptr);
}

}  // namespace
}  // namespace kelvora::test
