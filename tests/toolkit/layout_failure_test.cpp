// A window whose layout cannot be built shows the failure box and ends the process with 1.

#include <gtest/gtest.h>

#include "skin/embedded_package.h"
#include "toolkit/layout_failure.h"
#include "toolkit/test_window.h"

namespace kelvora::test {
namespace {

class LayoutFailureTest : public ::testing::Test {
  protected:
    void TearDown() override { SetLayoutFailureActions({}); }
};

TEST_F(LayoutFailureTest, MissingOrBrokenLayoutIsReportedWithExitCodeOne) {
    struct Seen {
        QString text, title;
        int code = -1;
    };
    for (const char* file : {"nothing.xml", "Pass.png"}) {
        Seen seen;
        SetLayoutFailureActions({[&](const QString& text, const QString& title) {
                                     seen.text = text;
                                     seen.title = title;
                                 },
                                 [&](int code) { seen.code = code; }});
        TestWindow window(QString::fromUtf8(file));
        EXPECT_FALSE(window.CreateDefault()) << file;
        EXPECT_EQ(seen.text, QStringLiteral("加载资源文件失败"));
        EXPECT_EQ(seen.title, QStringLiteral("Kelvora Fido2 管理ツール"));
        EXPECT_EQ(seen.code, 1);
        EXPECT_EQ(window.ShowModal(), -1);
        EXPECT_FALSE(PostWindowMessage(window.GetHWND(), kWmClose, 0, 0));
    }
}

TEST_F(LayoutFailureTest, ProcessEndsWithExitCodeOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetLayoutFailureActions({[](const QString&, const QString&) {}, nullptr});
            TestWindow window(QStringLiteral("missing.xml"));
            window.CreateDefault();
        },
        ::testing::ExitedWithCode(1), "");
}

TEST_F(LayoutFailureTest, WindowsLoadTheEmbeddedPackageWhenNoneIsInstalled) {
    CPaintManagerUI::ClearResourcePackage();
    int loads = 0;
    WindowImplBase::SetResourceLoader([&](int id) {
        ++loads;
        return LoadEmbeddedZipResource(id);
    });
    TestWindow window(QStringLiteral("main.xml"), ResourceType::kZipResource);
    EXPECT_TRUE(window.CreateDefault());
    TestWindow second(QStringLiteral("SetPIN.xml"));
    EXPECT_TRUE(second.CreateDefault());
    EXPECT_EQ(loads, 1) << "loaded once, used by every later window";
    WindowImplBase::SetResourceLoader(nullptr);
}

}  // namespace
}  // namespace kelvora::test
