#pragma once

// What happens when a window's layout cannot be built: a system message box, then the
// process ends with exit code 1. Both steps can be replaced, so tests can watch them.

#include <QString>
#include <functional>

namespace kelvora {

inline constexpr int kLayoutFailureExitCode = 1;

struct LayoutFailureActions {
    std::function<void(const QString& text, const QString& title)> showMessage;
    std::function<void(int exitCode)> exit;
};

// Replaces the actions; an empty member keeps the default (QMessageBox, immediate exit).
void SetLayoutFailureActions(LayoutFailureActions actions);

// Shows "加载资源文件失败" and ends the process. Returns only when an injected exit returns.
void ReportLayoutFailure();

}  // namespace kelvora
