#pragma once

// A list: an optional header row over a vertically scrolling column of rows. Rows are
// CListContainerElementUI trees, usually built from a row template by CDialogBuilder.

#include <QColor>

#include "toolkit/container.h"
#include "toolkit/label.h"

class QScrollArea;

namespace kelvora {

class CListUI;

class IListCallbackUI {
  public:
    virtual ~IListCallbackUI() = default;
    virtual QString GetItemText(CControlUI* control, int item, int subItem) = 0;
};

class CListHeaderItemUI : public CLabelUI {
  public:
    QString GetClass() const override { return QStringLiteral("ListHeaderItem"); }
};

class CListHeaderUI : public CHorizontalLayoutUI {
  public:
    QString GetClass() const override { return QStringLiteral("ListHeader"); }
};

class CListContainerElementUI : public CHorizontalLayoutUI {
  public:
    CListContainerElementUI();
    QString GetClass() const override { return QStringLiteral("ListContainerElement"); }

    void SetOwner(CListUI* owner) { owner_ = owner; }
    CListUI* GetOwner() const { return owner_; }
    void SetHeader(CListHeaderUI* header) { header_ = header; }
    CListHeaderUI* GetHeader() const { return header_; }
    bool IsSelected() const { return selected_; }
    void SetSelectedState(bool selected);

  protected:
    void PaintBackground(QPainter& painter) override;
    // The selected row of a focused list carries the focus frame.
    bool ShowsFocusCue() const override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    CListUI* owner_ = nullptr;
    CListHeaderUI* header_ = nullptr;
    bool selected_ = false;
    bool hot_ = false;
};

class CListUI : public CVerticalLayoutUI {
  public:
    CListUI();
    ~CListUI() override;
    QString GetClass() const override { return QStringLiteral("List"); }
    void SetAttribute(const QString& name, const QString& value) override;

    // Only rows (CListContainerElementUI) are accepted; anything else is refused and stays
    // the caller's.
    bool AddAt(CControlUI* control, int index) override;
    void RemoveAll() override;
    bool Remove(CControlUI* control) override;

    int GetCurSel() const { return curSel_; }
    // Selects row `index` and delivers "itemselect" (wParam the new row, lParam the old one)
    // when the selection changed. False for an index that is not a row.
    bool SelectItem(int index, bool takeFocus = false);
    CListHeaderUI* GetHeader() const { return header_; }
    // Installs the header a layout declares, replacing the empty default one.
    void SetHeader(CListHeaderUI* header);
    void SetTextCallback(IListCallbackUI* callback) { textCallback_ = callback; }
    IListCallbackUI* GetTextCallback() const { return textCallback_; }

    QColor SelectedBkColor() const { return selectedBkColor_; }
    QColor HotBkColor() const { return hotBkColor_; }

    CControlUI* FindByName(const QString& name) override;
    void CollectByName(const QString& name, std::vector<CControlUI*>& out) override;
    void SetManager(CPaintManagerUI* manager) override;

  protected:
    QWidget* ChildHost() override;
    void LayoutChildren() override;
    // Up and Down move the selection by a row, Page Up and Page Down by a page, Home and End
    // to the first and the last row.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ForgetSelection();

    CListHeaderUI* header_;
    QScrollArea* scroll_;
    QWidget* body_;
    IListCallbackUI* textCallback_ = nullptr;
    int curSel_ = -1;
    QColor selectedBkColor_ = QColor(0xE9, 0xF5, 0xFF);
    QColor hotBkColor_ = QColor(0xEE, 0xEE, 0xEE);
    bool headerHidden_ = false;
};

}  // namespace kelvora
