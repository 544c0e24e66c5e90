#pragma once

// The shape in which a window's controls are shown to assistive technology (screen readers,
// UI Automation): the controls a person works with, by what they show, without the layouts
// that merely place them. Layouts, spacers and pictures without a meaning are left out and
// their children hang from the nearest control that is shown; a list row speaks for the
// labels inside it.

#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace kelvora {

class CControlUI;

// What a control is to assistive technology.
enum class AccessibleKind {
    kHidden,   // decoration or a layout: not shown, its children are
    kButton,   // pressable
    kLabel,    // text to read
    kPicture,  // a picture with a meaning (it has a tooltip)
    kEdit,     // the text field inside is shown in its place
    kList,
    kListRow,  // named by the texts inside; nothing inside is shown separately
};

AccessibleKind KindOf(const CControlUI& control);

// The controls shown directly under `control`, in layout order: the children of a hidden
// control are lifted to its parent. A list shows its rows; a row and a leaf show nothing.
std::vector<QWidget*> ShownChildren(CControlUI& control);
// The control that shows `control` among its children, or nullptr for the window itself.
CControlUI* ShownParent(const CControlUI& control);
// The control that speaks for `control`: itself when shown, else the row it is inside.
CControlUI* Speaker(CControlUI& control);

// What a control is called: its own accessible name, else what it shows (text, or the texts
// of a row), else its tooltip, else for a picture button the text of the button of the same
// name beside it.
QString AccessibleNameOf(const CControlUI& control);
// The name of a text field: the label in front of it on the same line, else its tooltip.
QString EditNameOf(const CControlUI& edit);
// Gives every text field under `root` the name of the label beside it (UI thread, once the
// window's controls exist).
void NameTextFields(CControlUI& root);
// The window's own caption: the first text shown in its caption area (window coordinates).
QString CaptionText(CControlUI& root, const QRect& captionArea);

}  // namespace kelvora
