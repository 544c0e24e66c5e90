#include "toolkit/gui_test_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <memory>

#include "skin/embedded_package.h"
#include "toolkit/paint_manager.h"
#include "toolkit/window_impl_base.h"

namespace kelvora::test {

namespace {
class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "kelvora_gui_test";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QApplication>(argc, argv);
        ASSERT_TRUE(CPaintManagerUI::SetResourceZip(LoadEmbeddedZipResource(kSkinResourceId)));
    }
    void TearDown() override {
        CPaintManagerUI::ClearResourcePackage();
        app_.reset();
    }

  private:
    std::unique_ptr<QApplication> app_;
};

// Registered before main runs; gtest owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
}  // namespace

QString ScreenshotFolder() {
    const QString folder = QStringLiteral(KELVORA_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    return folder;
}

}  // namespace kelvora::test
