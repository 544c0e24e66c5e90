#include "toolkit/list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "toolkit/accessibility.h"

namespace kelvora {

namespace {
constexpr int kDefaultRowHeight = 30;
constexpr int kDefaultHeaderHeight = 24;
}  // namespace

CListContainerElementUI::CListContainerElementUI() {
    SetFixedHeight(kDefaultRowHeight);
}

void CListContainerElementUI::SetSelectedState(bool selected) {
    selected_ = selected;
    update();
}

void CListContainerElementUI::PaintBackground(QPainter& painter) {
    CHorizontalLayoutUI::PaintBackground(painter);
    if (owner_ == nullptr) {
        return;
    }
    if (selected_) {
        painter.fillRect(rect(), owner_->SelectedBkColor());
    } else if (hot_ && IsEnabled()) {
        painter.fillRect(rect(), owner_->HotBkColor());
    }
}

bool CListContainerElementUI::ShowsFocusCue() const {
    return owner_ != nullptr && selected_ && owner_->hasFocus() && WindowShowsFocusCues();
}

void CListContainerElementUI::mousePressEvent(QMouseEvent* event) {
    if (owner_ == nullptr || event->button() != Qt::LeftButton || !IsEnabled()) {
        event->ignore();
        return;
    }
    owner_->SelectItem(owner_->GetItemIndex(this), true);
}

void CListContainerElementUI::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    CHorizontalLayoutUI::enterEvent(event);
}

void CListContainerElementUI::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    CHorizontalLayoutUI::leaveEvent(event);
}

CListUI::CListUI()
    : header_(new CListHeaderUI), scroll_(new QScrollArea(this)), body_(new QWidget) {
    header_->setParent(this);
    header_->SetParentContainer(nullptr);
    header_->SetFixedHeight(kDefaultHeaderHeight);
    scroll_->setFrameShape(QFrame::NoFrame);
    // The list takes the focus and the keys itself; the scroll area is no stop of its own.
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(false);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(body_);
    // setWidget turns background filling on; rows show the list's own background instead.
    body_->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
}

CListUI::~CListUI() {
    // Rows live in the scroll body; destroy them while this list is still whole.
    CListUI::RemoveAll();
}

void CListUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("header")) {
        headerHidden_ = value == QLatin1String("hidden");
        NeedUpdate();
    } else if (name == QLatin1String("itemselectedbkcolor")) {
        selectedBkColor_ = ParseColor(value).value_or(selectedBkColor_);
    } else if (name == QLatin1String("itemhotbkcolor")) {
        hotBkColor_ = ParseColor(value).value_or(hotBkColor_);
    } else if (name == QLatin1String("vscrollbar")) {
        scroll_->setVerticalScrollBarPolicy(ParseBool(value) ? Qt::ScrollBarAsNeeded
                                                             : Qt::ScrollBarAlwaysOff);
    } else if (name == QLatin1String("headerbkimage")) {
        header_->SetBkImage(value);
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

void CListUI::SetHeader(CListHeaderUI* header) {
    if (header == nullptr || header == header_) {
        return;
    }
    const QString image = header_->GetBkImage();
    delete header_;
    header_ = header;
    header_->setParent(this);
    if (header_->GetBkImage().isEmpty()) {
        header_->SetBkImage(image);
    }
    if (header_->GetFixedHeight() < 0) {
        header_->SetFixedHeight(kDefaultHeaderHeight);
    }
    if (GetManager() != nullptr) {
        header_->SetManager(GetManager());
    }
    header_->SetShownByParent(!headerHidden_);
    NeedUpdate();
}

QWidget* CListUI::ChildHost() {
    return body_;
}

bool CListUI::AddAt(CControlUI* control, int index) {
    auto* row = dynamic_cast<CListContainerElementUI*>(control);
    if (row == nullptr) {
        return false;
    }
    if (!CVerticalLayoutUI::AddAt(control, index)) {
        return false;
    }
    row->SetOwner(this);
    if (curSel_ >= index) {
        ++curSel_;
    }
    return true;
}

void CListUI::ForgetSelection() {
    curSel_ = -1;
}

bool CListUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) {
        return false;
    }
    if (index == curSel_) {
        ForgetSelection();
    } else if (index < curSel_) {
        --curSel_;
    }
    return CVerticalLayoutUI::Remove(control);
}

void CListUI::RemoveAll() {
    ForgetSelection();
    CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SelectItem(int index, bool takeFocus) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    if (takeFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    if (index == curSel_) {
        return true;
    }
    const int old = curSel_;
    if (auto* previous = dynamic_cast<CListContainerElementUI*>(GetItemAt(old))) {
        previous->SetSelectedState(false);
    }
    curSel_ = index;
    auto* row = dynamic_cast<CListContainerElementUI*>(GetItemAt(index));
    row->SetSelectedState(true);
    scroll_->ensureWidgetVisible(row, 0, 0);
    AnnounceSelection(*this, *row);
    SendNotify(QStringLiteral("itemselect"), static_cast<WPARAM>(index), old);
    return true;
}

void CListUI::keyPressEvent(QKeyEvent* event) {
    const int last = GetCount() - 1;
    const int rowHeight = std::max(1, last >= 0 ? GetItemAt(0)->height() : kDefaultRowHeight);
    const int page = std::max(1, scroll_->viewport()->height() / rowHeight);
    const int from = curSel_;
    int to = -1;
    switch (event->key()) {
        case Qt::Key_Up:
            to = from < 0 ? 0 : from - 1;
            break;
        case Qt::Key_Down:
            to = from < 0 ? 0 : from + 1;
            break;
        case Qt::Key_PageUp:
            to = from < 0 ? 0 : from - page;
            break;
        case Qt::Key_PageDown:
            to = from < 0 ? 0 : from + page;
            break;
        case Qt::Key_Home:
            to = 0;
            break;
        case Qt::Key_End:
            to = last;
            break;
        default:
            CVerticalLayoutUI::keyPressEvent(event);
            return;
    }
    if (last >= 0) {
        SelectItem(std::clamp(to, 0, last), true);
    }
    event->accept();
}

CControlUI* CListUI::FindByName(const QString& name) {
    if (CControlUI* found = CVerticalLayoutUI::FindByName(name)) {
        return found;
    }
    return header_->FindByName(name);
}

void CListUI::CollectByName(const QString& name, std::vector<CControlUI*>& out) {
    CVerticalLayoutUI::CollectByName(name, out);
    header_->CollectByName(name, out);
}

void CListUI::SetManager(CPaintManagerUI* manager) {
    CVerticalLayoutUI::SetManager(manager);
    header_->SetManager(manager);
}

void CListUI::LayoutChildren() {
    QRect area = ClientArea();
    header_->SetShownByParent(!headerHidden_);
    if (!headerHidden_) {
        const int h = std::min(std::max(0, header_->GetFixedHeight()), area.height());
        header_->setGeometry(area.x(), area.y(), area.width(), h);
        area.setTop(area.top() + h);
    }
    scroll_->setGeometry(area);
    // In 64 bits: many tall rows add up past an int.
    std::int64_t bottom = 0;
    for (CControlUI* row : items_) {
        if (!row->IsVisible()) {
            continue;
        }
        const int h = row->GetFixedHeight() >= 0 ? row->GetFixedHeight() : kDefaultRowHeight;
        // The width is set below, once the scroll bar is known.
        row->setGeometry(0, ToWidgetCoordinate(bottom), 0, h);
        bottom += h;
    }
    const int y = ToWidgetCoordinate(bottom);
    const bool scrolls =
        y > area.height() && scroll_->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const int width =
        area.width() - (scrolls ? scroll_->verticalScrollBar()->sizeHint().width() : 0);
    body_->resize(std::max(0, width), y);
    for (CControlUI* row : items_) {
        row->resize(std::max(0, width), row->height());
    }
}

}  // namespace kelvora
