#include "toolkit/container.h"

#include <algorithm>

namespace kelvora {

CContainerUI::~CContainerUI() {
    // The children die with the widget; they must not call back into a half-destroyed parent.
    for (CControlUI* item : items_) {
        item->SetParentContainer(nullptr);
    }
}

void CContainerUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("inset")) {
        SetInset(ParseFour(value).value_or(QMargins()));
    } else if (name == QLatin1String("childpadding")) {
        SetChildPadding(ParseInt(value, 0));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > GetCount() ||
        control->GetParentContainer() != nullptr) {
        return false;
    }
    control->setParent(ChildHost());
    control->SetParentContainer(this);
    items_.insert(items_.begin() + index, control);
    if (GetManager() != nullptr) {
        GetManager()->AttachControl(control);
    }
    control->SetShownByParent(true);
    OnItemAdded(control);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const auto it = std::find(items_.begin(), items_.end(), control);
    if (it == items_.end()) {
        return false;
    }
    items_.erase(it);
    control->SetParentContainer(nullptr);
    delete control;
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> doomed;
    doomed.swap(items_);
    for (CControlUI* item : doomed) {
        item->SetParentContainer(nullptr);
        delete item;
    }
    NeedUpdate();
}

void CContainerUI::ForgetItem(CControlUI* control) {
    items_.erase(std::remove(items_.begin(), items_.end(), control), items_.end());
    NeedUpdate();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    const auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

CControlUI* CContainerUI::FindSubControl(const QString& name) {
    for (CControlUI* item : items_) {
        if (CControlUI* found = item->FindByName(name)) {
            return found;
        }
    }
    return nullptr;
}

CControlUI* CContainerUI::FindByName(const QString& name) {
    if (CControlUI* self = CControlUI::FindByName(name)) {
        return self;
    }
    return FindSubControl(name);
}

void CContainerUI::CollectByName(const QString& name, std::vector<CControlUI*>& out) {
    CControlUI::CollectByName(name, out);
    for (CControlUI* item : items_) {
        item->CollectByName(name, out);
    }
}

void CContainerUI::SetManager(CPaintManagerUI* manager) {
    CControlUI::SetManager(manager);
    for (CControlUI* item : items_) {
        item->SetManager(manager);
    }
}

void CContainerUI::SetInset(const QMargins& inset) {
    inset_ = inset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = padding;
    NeedUpdate();
}

void CContainerUI::NeedUpdate() {
    LayoutChildren();
    update();
}

QRect CContainerUI::ClientArea() const {
    return rect().marginsRemoved(inset_);
}

void CContainerUI::LayoutChildren() {
    // A plain container stacks its children on top of each other over the client area.
    const QRect area = ClientArea();
    for (CControlUI* child : items_) {
        if (child->IsFloat()) {
            PlaceFloat(child);
        } else {
            child->setGeometry(area.marginsRemoved(child->GetPadding()));
        }
    }
}

void CContainerUI::resizeEvent(QResizeEvent* event) {
    CControlUI::resizeEvent(event);
    LayoutChildren();
}

void CContainerUI::showEvent(QShowEvent* event) {
    CControlUI::showEvent(event);
    LayoutChildren();
}

namespace {
// Shared placement of vertical and horizontal layouts, written along one axis: `along` picks
// the main axis extent of a size, the other axis is filled unless the child fixes it.
struct Axis {
    bool vertical;
    int Fixed(const CControlUI* c) const {
        return vertical ? c->GetFixedHeight() : c->GetFixedWidth();
    }
    int Cross(const CControlUI* c) const {
        return vertical ? c->GetFixedWidth() : c->GetFixedHeight();
    }
    int Lead(const QMargins& m) const { return vertical ? m.top() : m.left(); }
    int Trail(const QMargins& m) const { return vertical ? m.bottom() : m.right(); }
    int CrossLead(const QMargins& m) const { return vertical ? m.left() : m.top(); }
    int CrossTrail(const QMargins& m) const { return vertical ? m.right() : m.bottom(); }
};

void LayoutLine(const std::vector<CControlUI*>& items, const QRect& area, int childPadding,
                Axis axis, void (*placeFloat)(CControlUI*)) {
    // In 64 bits: a long line of large children adds up past an int.
    const std::int64_t extent = axis.vertical ? area.height() : area.width();
    const std::int64_t crossExtent = axis.vertical ? area.width() : area.height();
    std::int64_t used = 0;
    std::int64_t flexible = 0;
    std::int64_t placed = 0;
    for (const CControlUI* child : items) {
        if (!child->IsVisible() || child->IsFloat()) {
            continue;
        }
        used += std::int64_t{axis.Lead(child->GetPadding())} + axis.Trail(child->GetPadding());
        if (axis.Fixed(child) >= 0) {
            used += axis.Fixed(child);
        } else {
            ++flexible;
        }
        ++placed;
    }
    used += std::max<std::int64_t>(0, placed - 1) * childPadding;
    const std::int64_t share =
        flexible > 0 ? std::max<std::int64_t>(0, extent - used) / flexible : 0;

    std::int64_t cursor = axis.vertical ? area.top() : area.left();
    for (CControlUI* child : items) {
        if (child->IsFloat()) {
            placeFloat(child);
            continue;
        }
        if (!child->IsVisible()) {
            continue;
        }
        const QMargins pad = child->GetPadding();
        cursor += axis.Lead(pad);
        const std::int64_t length = axis.Fixed(child) >= 0 ? axis.Fixed(child) : share;
        const std::int64_t room = crossExtent - axis.CrossLead(pad) - axis.CrossTrail(pad);
        const std::int64_t cross =
            axis.Cross(child) >= 0
                ? std::min<std::int64_t>(axis.Cross(child), std::max<std::int64_t>(0, room))
                : std::max<std::int64_t>(0, room);
        const std::int64_t crossStart =
            std::int64_t{axis.vertical ? area.left() : area.top()} + axis.CrossLead(pad);
        const int at = CContainerUI::ToWidgetCoordinate(cursor);
        const int across = CContainerUI::ToWidgetCoordinate(crossStart);
        const int size = CContainerUI::ToWidgetCoordinate(length);
        const int crossSize = CContainerUI::ToWidgetCoordinate(cross);
        if (axis.vertical) {
            child->setGeometry(across, at, crossSize, size);
        } else {
            child->setGeometry(at, across, size, crossSize);
        }
        cursor += length + axis.Trail(pad) + childPadding;
    }
}

}  // namespace

int CContainerUI::ToWidgetCoordinate(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void CContainerUI::PlaceFloat(CControlUI* child) {
    const QRect pos = child->GetFloatPos();
    const int width = child->GetFixedWidth() >= 0 ? child->GetFixedWidth() : pos.width();
    const int height = child->GetFixedHeight() >= 0 ? child->GetFixedHeight() : pos.height();
    child->setGeometry(pos.x(), pos.y(), std::max(0, width), std::max(0, height));
}

void CVerticalLayoutUI::LayoutChildren() {
    LayoutLine(items_, ClientArea(), childPadding_, Axis{true}, &CContainerUI::PlaceFloat);
}

void CHorizontalLayoutUI::LayoutChildren() {
    LayoutLine(items_, ClientArea(), childPadding_, Axis{false}, &CContainerUI::PlaceFloat);
}

void CTabLayoutUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("selectedid")) {
        curSel_ = ParseInt(value, 0);
        for (int i = 0; i < GetCount(); ++i) {
            GetItemAt(i)->SetShownByParent(i == curSel_);
        }
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    curSel_ = index;
    for (int i = 0; i < GetCount(); ++i) {
        GetItemAt(i)->SetShownByParent(i == curSel_);
    }
    NeedUpdate();
    return true;
}

void CTabLayoutUI::OnItemAdded(CControlUI* /*control*/) {
    for (int i = 0; i < GetCount(); ++i) {
        GetItemAt(i)->SetShownByParent(i == curSel_);
    }
}

void CTabLayoutUI::LayoutChildren() {
    const QRect area = ClientArea();
    for (CControlUI* child : items_) {
        if (child->IsFloat()) {
            PlaceFloat(child);
        } else {
            child->setGeometry(area.marginsRemoved(child->GetPadding()));
        }
    }
}

}  // namespace kelvora
