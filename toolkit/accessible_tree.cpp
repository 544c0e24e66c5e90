#include "toolkit/accessible_tree.h"

#include <QLineEdit>
#include <QTextDocumentFragment>

#include "toolkit/container.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/list.h"

namespace kelvora {

namespace {
// A label proper: text to read, not a button or a field built on one.
const CLabelUI* AsPlainLabel(const CControlUI& control) {
    if (dynamic_cast<const CButtonUI*>(&control) != nullptr ||
        dynamic_cast<const CEditUI*>(&control) != nullptr) {
        return nullptr;
    }
    return dynamic_cast<const CLabelUI*>(&control);
}

// What a label shows, as a reader would say it: HTML texts without their markup, runs of
// spaces and line feeds as single spaces.
QString ShownText(const CControlUI& control) {
    QString text = control.GetText();
    if (const auto* label = dynamic_cast<const CLabelUI*>(&control);
        label != nullptr && label->IsShowHtml() && text.contains(QLatin1Char('<'))) {
        text = QTextDocumentFragment::fromHtml(text).toPlainText();
        // Line breaks come back as line and paragraph separators, which are no spaces.
        text.replace(QChar::LineSeparator, QLatin1Char(' '));
        text.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    }
    return text.simplified();
}

// A picture button beside a text button of the same name is one choice shown twice
// (a picture and its words); only the words are read.
bool IsPictureTwin(const CButtonUI& button) {
    if (!button.GetText().trimmed().isEmpty() || !button.GetToolTip().isEmpty() ||
        !button.accessibleName().isEmpty() || button.GetName().isEmpty() ||
        button.GetManager() == nullptr) {
        return false;
    }
    for (const CControlUI* other : button.GetManager()->FindControls(button.GetName())) {
        if (other != &button && !other->GetText().trimmed().isEmpty()) {
            return true;
        }
    }
    return false;
}

QString TwinText(const CControlUI& button) {
    if (button.GetManager() == nullptr || button.GetName().isEmpty()) {
        return {};
    }
    for (const CControlUI* other : button.GetManager()->FindControls(button.GetName())) {
        if (other != &button && !ShownText(*other).isEmpty()) {
            return ShownText(*other);
        }
    }
    return {};
}

void Collect(CControlUI& control, std::vector<QWidget*>& out) {
    switch (KindOf(control)) {
        case AccessibleKind::kHidden:
            if (auto* container = dynamic_cast<CContainerUI*>(&control)) {
                for (int i = 0; i < container->GetCount(); ++i) {
                    Collect(*container->GetItemAt(i), out);
                }
            }
            return;
        case AccessibleKind::kEdit:
            out.push_back(static_cast<CEditUI&>(control).LineEdit());
            return;
        default:
            out.push_back(&control);
            return;
    }
}

// The texts of a row's labels in layout order; a lone "-" marks an empty column.
void CollectTexts(const CControlUI& control, QStringList& out) {
    if (const auto* container = dynamic_cast<const CContainerUI*>(&control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            CollectTexts(*container->GetItemAt(i), out);
        }
        return;
    }
    const QString text = ShownText(control);
    if (!text.isEmpty() && text != QLatin1String("-")) {
        out << text;
    }
}

template <typename Visit>
void ForEachControl(CControlUI& control, const Visit& visit) {
    if (!visit(control)) {
        return;
    }
    if (auto* container = dynamic_cast<CContainerUI*>(&control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            ForEachControl(*container->GetItemAt(i), visit);
        }
    }
}
}  // namespace

AccessibleKind KindOf(const CControlUI& control) {
    if (dynamic_cast<const CEditUI*>(&control) != nullptr) {
        return AccessibleKind::kEdit;
    }
    if (const auto* button = dynamic_cast<const CButtonUI*>(&control)) {
        return IsPictureTwin(*button) ? AccessibleKind::kHidden : AccessibleKind::kButton;
    }
    if (dynamic_cast<const CListUI*>(&control) != nullptr) {
        return AccessibleKind::kList;
    }
    if (dynamic_cast<const CListContainerElementUI*>(&control) != nullptr) {
        return AccessibleKind::kListRow;
    }
    if (const CLabelUI* label = AsPlainLabel(control)) {
        if (!label->GetText().isEmpty()) {
            return AccessibleKind::kLabel;
        }
        if (!label->GetToolTip().isEmpty()) {
            return AccessibleKind::kPicture;
        }
        // A named label without a picture is a message the window fills in later.
        return label->GetName().isEmpty() || !label->GetBkImage().isEmpty()
                   ? AccessibleKind::kHidden
                   : AccessibleKind::kLabel;
    }
    return AccessibleKind::kHidden;
}

std::vector<QWidget*> ShownChildren(CControlUI& control) {
    std::vector<QWidget*> out;
    switch (KindOf(control)) {
        case AccessibleKind::kList: {
            auto& list = static_cast<CListUI&>(control);
            for (int i = 0; i < list.GetCount(); ++i) {
                out.push_back(list.GetItemAt(i));
            }
            break;
        }
        case AccessibleKind::kHidden:
            Collect(control, out);
            break;
        default:
            break;
    }
    return out;
}

CControlUI* ShownParent(const CControlUI& control) {
    CControlUI* parent = control.GetParentContainer();
    while (parent != nullptr && KindOf(*parent) == AccessibleKind::kHidden) {
        parent = parent->GetParentContainer();
    }
    return parent;
}

CControlUI* Speaker(CControlUI& control) {
    for (CControlUI* c = &control; c != nullptr; c = c->GetParentContainer()) {
        if (KindOf(*c) == AccessibleKind::kListRow) {
            return c;
        }
    }
    return KindOf(control) == AccessibleKind::kHidden ? nullptr : &control;
}

QString AccessibleNameOf(const CControlUI& control) {
    if (!control.accessibleName().isEmpty()) {
        return control.accessibleName();
    }
    const AccessibleKind kind = KindOf(control);
    if (kind == AccessibleKind::kEdit) {
        return EditNameOf(control);
    }
    if (kind == AccessibleKind::kListRow) {
        QStringList texts;
        CollectTexts(control, texts);
        return texts.join(QLatin1Char(' '));
    }
    if (kind == AccessibleKind::kList) {
        // Named by its columns, which its header declares even where it is hidden.
        QStringList columns;
        CollectTexts(*static_cast<const CListUI&>(control).GetHeader(), columns);
        if (!columns.isEmpty()) {
            return columns.join(QStringLiteral(", "));
        }
    } else if (const QString text = ShownText(control); !text.isEmpty()) {
        return text;
    }
    if (!control.GetToolTip().isEmpty()) {
        return control.GetToolTip();
    }
    return kind == AccessibleKind::kButton ? TwinText(control) : QString();
}

QString EditNameOf(const CControlUI& edit) {
    if (!edit.accessibleName().isEmpty()) {
        return edit.accessibleName();
    }
    if (auto* line = dynamic_cast<CHorizontalLayoutUI*>(edit.GetParentContainer())) {
        for (int i = line->GetItemIndex(const_cast<CControlUI*>(&edit)) - 1; i >= 0; --i) {
            const CControlUI* before = line->GetItemAt(i);
            if (AsPlainLabel(*before) != nullptr && !ShownText(*before).isEmpty()) {
                return ShownText(*before);
            }
        }
    }
    return edit.GetToolTip();
}

void NameTextFields(CControlUI& root) {
    ForEachControl(root, [](CControlUI& control) {
        if (auto* edit = dynamic_cast<CEditUI*>(&control)) {
            const QString name = EditNameOf(*edit);
            edit->LineEdit()->setAccessibleName(name);
            if (edit->GetToolTip() != name) {
                edit->LineEdit()->setAccessibleDescription(edit->GetToolTip());
            }
        }
        return true;
    });
}

QString CaptionText(CControlUI& root, const QRect& captionArea) {
    QString caption;
    QWidget* window = root.window();
    ForEachControl(root, [&](CControlUI& control) {
        if (!caption.isEmpty()) {
            return false;
        }
        if (AsPlainLabel(control) != nullptr && !ShownText(control).isEmpty()) {
            const QPoint at = control.mapTo(window, QPoint(0, 0));
            if (at.y() >= captionArea.top() && at.y() <= captionArea.bottom()) {
                caption = ShownText(control);
            }
        }
        return true;
    });
    return caption;
}

}  // namespace kelvora
