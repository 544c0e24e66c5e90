// A window as assistive technology sees it: its accessible tree walked through Qt's
// accessibility interfaces, what is wrong with it, and the controls operated through those
// interfaces alone, as a screen reader's user would.
#pragma once

#include <QAccessible>
#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace kelvora::test {

struct AccessibleNode {
    QAccessibleInterface* iface = nullptr;
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    int depth = 0;
    bool shown = false;
    bool password = false;
    bool selected = false;
    QStringList actions;
    QAccessible::Role parentRole = QAccessible::NoRole;
};

// The window and everything below it, depth first.
std::vector<AccessibleNode> WalkAccessible(QWidget* window);
// One line per shown node that a reader could not present: no role (a filler), no name, a
// button that cannot be pressed, a list entry that is not a row.
std::vector<std::string> AccessibilityProblems(const std::vector<AccessibleNode>& nodes);
// "role 'name'" of each shown node, for comparing with what a window must expose.
std::vector<std::string> Describe(const std::vector<AccessibleNode>& nodes);
std::string Describe(QAccessible::Role role, const QString& name);

// The first shown node of `role` named `name`, or nullptr.
const AccessibleNode* FindNode(const std::vector<AccessibleNode>& nodes, QAccessible::Role role,
                               const QString& name);
// Presses through the press action (which runs from the event loop, as for a reader).
bool Press(const AccessibleNode* node);
// Types into a text field through its editable-text interface.
bool TypeInto(const AccessibleNode* node, const QString& text);

}  // namespace kelvora::test
