// What the window tests do with every window they drive: play a script in it as a person
// would, and read the message a message box shows.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

#include "toolkit/container.h"
#include "toolkit/test_driver.h"
#include "toolkit/window_impl_base.h"

namespace kelvora::test {

// The offscreen platform leaves new windows inactive; a person would have the window in
// front, with the keyboard focus in it.
inline void PlayInFront(WindowImplBase& window, const std::function<void(UiDriver&)>& script) {
    QApplication::setActiveWindow(window.GetWidget());
    UiDriver::ProcessEvents();
    UiDriver ui(window);
    script(ui);
    UiDriver::ProcessEvents();
}

inline QString MessageBoxText(UiDriver& box) {
    if (auto* area = box.FindAs<CContainerUI>(QStringLiteral("MsgBox"));
        area != nullptr && area->GetCount() > 0) {
        return area->GetItemAt(0)->GetText();
    }
    return {};
}

}  // namespace kelvora::test
