#include "toolkit/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>

#include "toolkit/accessible_tree.h"
#include "toolkit/control.h"
#include "toolkit/edit.h"
#include "toolkit/host_widget.h"
#include "toolkit/label.h"
#include "toolkit/list.h"
#include "toolkit/window_impl_base.h"

namespace kelvora {

namespace {
QAccessibleInterface* InterfaceOf(QObject* object) {
    return object == nullptr ? nullptr : QAccessible::queryAccessibleInterface(object);
}

int IndexIn(const std::vector<QWidget*>& children, const QAccessibleInterface* child) {
    if (child == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i] == child->object()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Key>
struct RoleRow {
    Key key;
    QAccessible::Role role;
};

template <typename Key, size_t N>
QAccessible::Role Lookup(const RoleRow<Key> (&rows)[N], Key key, QAccessible::Role otherwise) {
    for (const RoleRow<Key>& row : rows) {
        if (row.key == key) {
            return row.role;
        }
    }
    return otherwise;
}

constexpr RoleRow<AccessibleKind> kControlRoles[] = {
    {AccessibleKind::kButton, QAccessible::Button},
    {AccessibleKind::kLabel, QAccessible::StaticText},
    {AccessibleKind::kPicture, QAccessible::Graphic},
    {AccessibleKind::kList, QAccessible::List},
    {AccessibleKind::kListRow, QAccessible::ListItem},
};

constexpr RoleRow<WindowRole> kWindowRoles[] = {
    {WindowRole::kDialog, QAccessible::Dialog},
    {WindowRole::kAlert, QAccessible::AlertMessage},
};

QAccessible::Role RoleFor(AccessibleKind kind) {
    // A field's frame around the text field, or a layout asked for directly, is a grouping.
    return Lookup(kControlRoles, kind, QAccessible::Grouping);
}

QAccessible::Role RoleFor(WindowRole role) {
    return Lookup(kWindowRoles, role, QAccessible::Window);
}

// A widget whose accessible children are worked out afresh on every question: rows come and
// go, labels fill in, so a cached list would soon point at widgets that are gone.
class ListedChildrenAccessible : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QWidget*> children = Children();
        return index >= 0 && index < static_cast<int>(children.size())
                   ? InterfaceOf(children[static_cast<size_t>(index)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return IndexIn(Children(), child);
    }

  protected:
    virtual std::vector<QWidget*> Children() const = 0;
};

class ControlAccessible : public ListedChildrenAccessible {
  public:
    explicit ControlAccessible(CControlUI* control)
        : ListedChildrenAccessible(control, RoleFor(KindOf(*control))) {}

    QAccessible::Role role() const override { return RoleFor(Kind()); }

    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return Kind() == AccessibleKind::kEdit ? QString() : AccessibleNameOf(*Control());
            case QAccessible::Description:
                return Control()->GetToolTip() != AccessibleNameOf(*Control())
                           ? Control()->GetToolTip()
                           : QString();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        const AccessibleKind kind = Kind();
        if (kind == AccessibleKind::kLabel && Control()->GetText().isEmpty()) {
            s.invisible = true;  // a message slot with nothing in it yet
        }
        if (kind == AccessibleKind::kListRow) {
            auto* row = static_cast<CListContainerElementUI*>(Control());
            const CListUI* list = row->GetOwner();
            s.selectable = true;
            s.selected = row->IsSelected();
            s.focusable = list != nullptr && list->focusPolicy() != Qt::NoFocus;
            s.focused = s.selected && list != nullptr && list->hasFocus();
        }
        if (kind == AccessibleKind::kEdit) {
            s.focusable = false;  // the text field inside takes the focus
        }
        return s;
    }

    QAccessibleInterface* parent() const override {
        if (CControlUI* parent = ShownParent(*Control())) {
            return InterfaceOf(parent);
        }
        // The window, once the control is in one.
        QWidget* top = Control()->window();
        return top == Control() ? QAccessibleWidget::parent() : InterfaceOf(top);
    }

    QAccessibleInterface* focusChild() const override {
        if (Kind() == AccessibleKind::kList) {
            const auto* list = static_cast<CListUI*>(Control());
            if (list->hasFocus() && list->GetCurSel() >= 0) {
                return InterfaceOf(list->GetItemAt(list->GetCurSel()));
            }
        }
        return QAccessibleWidget::focusChild();
    }

    QStringList actionNames() const override {
        QStringList names;
        const AccessibleKind kind = Kind();
        if (kind == AccessibleKind::kButton || kind == AccessibleKind::kListRow) {
            names << pressAction();
        }
        if (kind == AccessibleKind::kButton || kind == AccessibleKind::kList) {
            names << QAccessibleWidget::actionNames();  // take the focus
        }
        return names;
    }

    void doAction(const QString& action) override {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // Later, from the event loop: a press may open a modal window, and the caller (a
        // reader on the accessibility bus) waits for this call to return.
        QPointer<CControlUI> control(Control());
        const AccessibleKind kind = Kind();
        QMetaObject::invokeMethod(
            control.data(),
            [control, kind] {
                if (control == nullptr) {
                    return;
                }
                if (kind == AccessibleKind::kButton) {
                    static_cast<CButtonUI*>(control.data())->Activate();
                } else if (auto* row = dynamic_cast<CListContainerElementUI*>(control.data());
                           row != nullptr && row->GetOwner() != nullptr && row->IsEnabled()) {
                    row->GetOwner()->SelectItem(row->GetOwner()->GetItemIndex(row), true);
                }
            },
            Qt::QueuedConnection);
    }

  private:
    CControlUI* Control() const { return static_cast<CControlUI*>(widget()); }
    AccessibleKind Kind() const { return KindOf(*Control()); }
    std::vector<QWidget*> Children() const override {
        if (Kind() == AccessibleKind::kEdit) {
            return {static_cast<CEditUI*>(Control())->LineEdit()};
        }
        return ShownChildren(*Control());
    }
};

class WindowAccessible : public ListedChildrenAccessible {
  public:
    explicit WindowAccessible(HostWidget* host)
        : ListedChildrenAccessible(host, RoleFor(host->Window()->GetWindowRole())) {}

    QAccessible::Role role() const override { return RoleFor(Window()->GetWindowRole()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return Window()->GetCaption();
        }
        return QAccessibleWidget::text(t);
    }

  private:
    WindowImplBase* Window() const { return static_cast<HostWidget*>(widget())->Window(); }
    std::vector<QWidget*> Children() const override {
        CControlUI* root = Window()->GetPaintManager().GetRoot();
        if (root == nullptr) {
            return {};
        }
        if (KindOf(*root) != AccessibleKind::kHidden) {
            return {root};
        }
        return ShownChildren(*root);
    }
};

QAccessibleInterface* ToolkitFactory(const QString& /*className*/, QObject* object) {
    if (auto* host = dynamic_cast<HostWidget*>(object)) {
        return new WindowAccessible(host);
    }
    if (auto* control = dynamic_cast<CControlUI*>(object)) {
        return new ControlAccessible(control);
    }
    return nullptr;
}

void Send(QAccessibleEvent& event) {
    QAccessible::updateAccessibility(&event);
}
}  // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ToolkitFactory);
        return true;
    }();
    (void)installed;
}

void AnnounceTextChange(CControlUI& control, bool wasEmpty) {
    if (!QAccessible::isActive()) {
        return;
    }
    CControlUI* speaker = Speaker(control);
    if (speaker == nullptr) {
        return;
    }
    if (speaker == &control && wasEmpty != control.GetText().isEmpty() &&
        KindOf(control) == AccessibleKind::kLabel) {
        QAccessible::State changed;
        changed.invisible = true;
        QAccessibleStateChangeEvent shown(speaker, changed);
        Send(shown);
    }
    QAccessibleEvent named(speaker, QAccessible::NameChanged);
    Send(named);
}

void AnnounceSelection(CListUI& list, CControlUI& row) {
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleEvent selected(&row, QAccessible::Selection);
    Send(selected);
    if (list.hasFocus()) {
        QAccessibleEvent focused(&row, QAccessible::Focus);
        Send(focused);
    }
}

}  // namespace kelvora
