// The identity-choice windows and the welcome window: choices from either button of a row,
// keys, closing when the key goes away, and the links.
#include <QDir>
#include <QFontMetrics>
#include <memory>

#include "dialogs/fingerprint/choice_wnds.h"
#include "fp_dialog_fixture.h"
#include "toolkit/gui_test_environment.h"
#include "toolkit/label.h"

namespace kelvora::test {
namespace {

class RecordingOpener final : public LinkOpener {
  public:
    bool Open(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<std::string> opened;
};

class ChoiceTest : public FpDialogTest {
  protected:
    std::unique_ptr<CChoiceWnd> Make(bool option) {
        if (option) {
            return std::make_unique<CVerifyOptionWnd>(keyState.deviceAbsent, pacer);
        }
        return std::make_unique<CVerifyModeWnd>();
    }
};

// The two windows put a row's text as far from its picture: the option window's texts start
// with spaces, the mode window's are padded instead.
TEST_F(ChoiceTest, TextsStandAsFarFromTheirPicturesInBothWindows) {
    std::vector<int> gaps;
    for (const bool option : {true, false}) {
        auto window = Make(option);
        Run(*window, [&](UiDriver& ui) {
            for (const char* row : {"btn_pin", "btn_fp"}) {
                const std::vector<CControlUI*> pair = ui.FindAll(QString::fromUtf8(row));
                ASSERT_EQ(pair.size(), 2U);
                auto* text = dynamic_cast<CLabelUI*>(pair[1]);
                ASSERT_NE(text, nullptr);
                const QString label = text->GetText();
                const QString spaces = label.left(label.size() - label.trimmed().size());
                gaps.push_back(text->x() + text->GetTextPadding().left() +
                               QFontMetrics(text->font()).horizontalAdvance(spaces) -
                               (pair[0]->x() + pair[0]->width()));
            }
            ui.SaveScreenshot(QDir(ScreenshotFolder())
                                  .filePath(option ? QStringLiteral("VerifyOption.png")
                                                   : QStringLiteral("VerifyMode.png")));
            window->Close(2);
        });
    }
    ASSERT_EQ(gaps.size(), 4U);
    for (const int gap : gaps) {
        EXPECT_NEAR(gap, gaps.front(), 1) << "a text sits closer to its picture than another";
    }
}

TEST_F(ChoiceTest, EitherButtonOfARowChooses) {
    struct Case {
        const char* button;
        int index;  // 0: the picture, 1: the text
        int result;
        std::uint32_t choice;
    };
    const Case cases[] = {
        {"btn_pin", 0, 1, kChosePin},        {"btn_pin", 1, 1, kChosePin},
        {"btn_fp", 0, 1, kChoseFingerprint}, {"btn_fp", 1, 1, kChoseFingerprint},
        {"closebtn", 0, 2, kNoChoice},
    };
    for (const bool option : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << option << c.button << c.index);
            auto window = Make(option);
            const WindowRun run = Run(*window, [&](UiDriver& ui) {
                // Neither key closes these windows.
                ui.KeyDown(kVkEscape);
                ui.KeyDown(kVkReturn);
                UiDriver::ProcessEvents();
                EXPECT_FALSE(window->IsClosed());
                EXPECT_TRUE(ui.Click(QString::fromUtf8(c.button), c.index));
            });
            EXPECT_EQ(run.modalResult, c.result);
            EXPECT_EQ(window->GetResult(), c.choice);
        }
    }
}

TEST_F(ChoiceTest, KeyRemovalClosesWithoutAChoice) {
    // The option window watches the flag; the mode window the notifications of the first
    // five models only.
    struct Case {
        const char* name;
        bool option;
        int model;
        bool closes;
    };
    const Case cases[] = {
        {"option window", true, kCtapModel, true},
        {"mode window", false, kCtapModel, true},
        {"mode window, sixth model", false, kOwnBioModel, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartKey(c.model);
        auto window = Make(c.option);
        const WindowRun run = Run(*window, [&](UiDriver&) {
            if (c.option) {
                keyState.deviceAbsent = true;
            } else {
                key->Unplug();
            }
            // A window that rightly stays open is watched for a moment only.
            const auto limit = c.closes ? kWaitLimit : std::chrono::milliseconds(600);
            EXPECT_EQ(static_cast<bool>(WaitUntilClosed(*window, limit)), c.closes);
        });
        EXPECT_NE(run.modalResult, 1);
        EXPECT_EQ(window->GetResult(), kNoChoice);
    }
}

TEST_F(ChoiceTest, WelcomeOpensLinksAndEscapeCloses) {
    StartKey(kCtapModel);
    RecordingOpener opener;
    CWelcomeWnd window(opener);
    const WindowRun run = Run(window, [&](UiDriver& ui) {
        for (int i = 1; i <= 5; ++i) {
            EXPECT_TRUE(ui.Click(QStringLiteral("btn_%1").arg(i)));
        }
        ui.KeyDown(kVkReturn);
        UiDriver::ProcessEvents();
        EXPECT_FALSE(window.IsClosed());
        ui.KeyDown(kVkEscape);
    });
    EXPECT_EQ(run.modalResult, 1);
    ASSERT_EQ(opener.opened.size(), kWelcomeLinks.size());
    for (std::size_t i = 0; i < kWelcomeLinks.size(); ++i) {
        EXPECT_EQ(opener.opened[i], kWelcomeLinks[i]);
        EXPECT_EQ(opener.opened[i].rfind("https://", 0), 0u);
    }

    CWelcomeWnd second(opener);
    const WindowRun removed = Run(second, [&](UiDriver&) {
        key->Unplug();
        EXPECT_TRUE(WaitUntilClosed(second));
    });
    EXPECT_EQ(removed.modalResult, 0);
}

}  // namespace
}  // namespace kelvora::test
