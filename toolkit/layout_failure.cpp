#include "toolkit/layout_failure.h"

#include <QMessageBox>
#include <cstdlib>

#include "toolkit/window_impl_base.h"

namespace kelvora {

namespace {
LayoutFailureActions& Actions() {
    static LayoutFailureActions actions;
    return actions;
}
}  // namespace

void SetLayoutFailureActions(LayoutFailureActions actions) { Actions() = std::move(actions); }

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
        std::exit(kLayoutFailureExitCode);
    }
}

}  // namespace kelvora
