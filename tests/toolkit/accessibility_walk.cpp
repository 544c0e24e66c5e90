#include "toolkit/accessibility_walk.h"

#include <QMetaEnum>
#include <QWidget>

namespace kelvora::test {

namespace {
void Walk(QAccessibleInterface* iface, int depth, QAccessible::Role parentRole,
          std::vector<AccessibleNode>& out) {
    if (iface == nullptr || !iface->isValid() || depth > 64) {
        return;
    }
    const QAccessible::State state = iface->state();
    AccessibleNode node;
    node.iface = iface;
    node.role = iface->role();
    node.name = iface->text(QAccessible::Name);
    node.depth = depth;
    node.shown = !state.invisible;
    node.password = state.passwordEdit;
    node.selected = state.selected;
    node.parentRole = parentRole;
    if (QAccessibleActionInterface* actions = iface->actionInterface()) {
        node.actions = actions->actionNames();
    }
    out.push_back(node);
    for (int i = 0; i < iface->childCount(); ++i) {
        Walk(iface->child(i), depth + 1, node.role, out);
    }
}
}  // namespace

std::vector<AccessibleNode> WalkAccessible(QWidget* window) {
    std::vector<AccessibleNode> nodes;
    Walk(QAccessible::queryAccessibleInterface(window), 0, QAccessible::NoRole, nodes);
    return nodes;
}

std::string Describe(QAccessible::Role role, const QString& name) {
    const char* key = QMetaEnum::fromType<QAccessible::Role>().valueToKey(role);
    return std::string(key != nullptr ? key : "?") + " '" + name.toStdString() + "'";
}

std::vector<std::string> Describe(const std::vector<AccessibleNode>& nodes) {
    std::vector<std::string> out;
    for (const AccessibleNode& node : nodes) {
        if (node.shown) {
            out.push_back(Describe(node.role, node.name));
        }
    }
    return out;
}

std::vector<std::string> AccessibilityProblems(const std::vector<AccessibleNode>& nodes) {
    std::vector<std::string> problems;
    for (const AccessibleNode& node : nodes) {
        if (!node.shown) {
            continue;
        }
        const std::string what = Describe(node.role, node.name);
        if (node.role == QAccessible::Client || node.role == QAccessible::NoRole) {
            problems.push_back(what + ": no role");
        }
        if (node.name.trimmed().isEmpty()) {
            problems.push_back(what + ": no name");
        }
        if (node.role == QAccessible::Button &&
            !node.actions.contains(QAccessibleActionInterface::pressAction())) {
            problems.push_back(what + ": cannot be pressed");
        }
        if (node.parentRole == QAccessible::List && node.role != QAccessible::ListItem) {
            problems.push_back(what + ": in the list but not a row");
        }
    }
    return problems;
}

const AccessibleNode* FindNode(const std::vector<AccessibleNode>& nodes, QAccessible::Role role,
                               const QString& name) {
    for (const AccessibleNode& node : nodes) {
        if (node.shown && node.role == role && node.name == name) {
            return &node;
        }
    }
    return nullptr;
}

bool Press(const AccessibleNode* node) {
    if (node == nullptr || node->iface->actionInterface() == nullptr ||
        !node->actions.contains(QAccessibleActionInterface::pressAction())) {
        return false;
    }
    node->iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

bool TypeInto(const AccessibleNode* node, const QString& text) {
    if (node == nullptr || node->iface->editableTextInterface() == nullptr) {
        return false;
    }
    node->iface->editableTextInterface()->insertText(0, text);
    return true;
}

}  // namespace kelvora::test
