// What the tool does around its first frame: the font list filled on a thread of its own,
// and work held back until the window has been painted.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QWidget>

#include "app/after_first_frame.h"
#include "app/startup_warmup.h"
#include "tests/common/ui_wait.h"

namespace kelvora {
namespace {

TEST(StartupWarmup, FillsTheFontListAndEndsWhetherOrNotTheApplicationCame) {
    {
        StartupWarmup fonts;
        fonts.ApplicationReady();
        fonts.WaitForPlatformFonts();
        fonts.Finish();
        fonts.Finish();  // twice is harmless
    }
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
    // A start that ends before its application object (an early error) must not hang.
    StartupWarmup unused;
}

TEST(AfterFirstFrame, RunsOnceAfterTheFirstPaintAndNeverForAnUnpaintedWindow) {
    int runs = 0;
    {
        QWidget gone;
        AfterFirstFrame(gone, [&runs] { ++runs; });
    }
    QWidget window;
    window.resize(60, 40);
    AfterFirstFrame(window, [&runs] { runs += 10; });
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0) << "nothing painted yet";

    window.show();
    EXPECT_TRUE(KELVORA_WAIT_FOR_UI(runs == 10));
    window.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 10) << "once only";
}

}  // namespace
}  // namespace kelvora
