#include "toolkit/layout_failure.h"

#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "toolkit/window_impl_base.h"

namespace kelvora {

namespace {
LayoutFailureActions& Actions() {
    static LayoutFailureActions actions;
    return actions;
}
}  // namespace

void SetLayoutFailureActions(LayoutFailureActions actions) {
    Actions() = std::move(actions);
}

void ReportLayoutFailure() {
    const QString text = QStringLiteral("加载资源文件失败");
    const QString title = QString::fromUtf8(kApplicationTitle);
    if (Actions().showMessage) {
        Actions().showMessage(text, title);
    } else {
        QMessageBox::critical(nullptr, title, text);
    }
    if (Actions().exit) {
        Actions().exit(kLayoutFailureExitCode);
    } else {
        // Nothing is left to save, and running static destructors under a live QApplication
        // is not safe: leave at once.
        (void)std::fflush(nullptr);
        std::_Exit(kLayoutFailureExitCode);
    }
}

}  // namespace kelvora
