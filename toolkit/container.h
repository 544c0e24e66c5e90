#pragma once

// Containers place their children: vertical and horizontal layouts share the space left
// by fixed-size children among the others, a tab layout shows one child at a time, and a
// floating child sits at its own position inside its container.

#include <cstdint>
#include <vector>

#include "toolkit/control.h"

namespace kelvora {

class CContainerUI : public CControlUI {
  public:
    ~CContainerUI() override;
    QString GetClass() const override { return QStringLiteral("Container"); }
    void SetAttribute(const QString& name, const QString& value) override;

    // Takes ownership of `control`. Fails (and leaves the caller owning it) for nullptr.
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // Removes and destroys `control`.
    virtual bool Remove(CControlUI* control);
    virtual void RemoveAll();
    int GetCount() const { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;

    CControlUI* FindSubControl(const QString& name);
    CControlUI* FindByName(const QString& name) override;
    void CollectByName(const QString& name, std::vector<CControlUI*>& out) override;
    void SetManager(CPaintManagerUI* manager) override;

    void SetInset(const QMargins& inset);
    void SetChildPadding(int padding);

    // Re-places the children (called when one of them changes size or visibility).
    void NeedUpdate();
    // Called by a child that is being destroyed.
    void ForgetItem(CControlUI* control);

    // A position or length computed from many children, brought within what a widget can
    // take (and so far from overflowing an int when added to another).
    static int ToWidgetCoordinate(std::int64_t value);

  protected:
    // Where the children go: the container minus its inset.
    QRect ClientArea() const;
    virtual void LayoutChildren();
    static void PlaceFloat(CControlUI* child);
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Widget that children are parented to (a list puts its rows in a scrolling body).
    virtual QWidget* ChildHost() { return this; }
    // Called after a child was added; a tab layout hides pages that are not selected.
    virtual void OnItemAdded(CControlUI* /*control*/) {}

    std::vector<CControlUI*> items_;
    QMargins inset_;
    int childPadding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
  public:
    QString GetClass() const override { return QStringLiteral("VerticalLayout"); }

  protected:
    void LayoutChildren() override;
};

class CHorizontalLayoutUI : public CContainerUI {
  public:
    QString GetClass() const override { return QStringLiteral("HorizontalLayout"); }

  protected:
    void LayoutChildren() override;
};

class CTabLayoutUI : public CContainerUI {
  public:
    QString GetClass() const override { return QStringLiteral("TabLayout"); }
    void SetAttribute(const QString& name, const QString& value) override;
    // Shows page `index`; false when there is no such page.
    bool SelectItem(int index);
    int GetCurSel() const { return curSel_; }

  protected:
    void LayoutChildren() override;
    void OnItemAdded(CControlUI* control) override;

  private:
    int curSel_ = 0;
};

}  // namespace kelvora
