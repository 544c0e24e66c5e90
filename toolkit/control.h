#pragma once

// The base of every control built from a layout: a QWidget that carries the layout's
// attributes (name, fixed size, padding, floating position, colours, background image) and
// draws them. Containers place their children from these attributes (see container.h).

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/attribute_values.h"
#include "toolkit/paint_manager.h"

namespace kelvora {

class CContainerUI;

class CControlUI : public QWidget {
  public:
    CControlUI();
    ~CControlUI() override;

    virtual QString GetClass() const { return QStringLiteral("Control"); }

    QString GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    virtual QString GetText() const { return text_; }
    virtual void SetText(const QString& text);
    QString GetToolTip() const { return toolTip(); }
    virtual void SetToolTip(const QString& tip);
    QString GetBkImage() const { return bkImage_.file; }
    void SetBkImage(const QString& image);
    QColor GetBkColor() const { return bkColor_; }
    void SetBkColor(const QColor& color);
    void SetBorderColor(const QColor& color);
    void SetBorderSize(int size);
    void SetFocusBorderColor(const QColor& color);
    QString GetUserData() const { return userData_; }
    void SetUserData(const QString& data) { userData_ = data; }
    std::uintptr_t GetTag() const { return tag_; }
    void SetTag(std::uintptr_t tag) { tag_ = tag; }

    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    // The control's own visibility; a control on an unselected tab page keeps it. Not an
    // override of QWidget::setVisible, which the tab layouts drive separately.
    void SetVisible(bool visible);  // NOLINT(bugprone-virtual-near-miss)
    bool IsVisible() const { return visible_; }
    // Whether the control is actually shown (its own flag and every ancestor's).
    bool IsShown() const { return isVisible(); }
    virtual void SetFocus();

    // Layout attributes; -1 means "not fixed".
    int GetFixedWidth() const { return fixedWidth_; }
    void SetFixedWidth(int width);
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedHeight(int height);
    QMargins GetPadding() const { return padding_; }
    void SetPadding(const QMargins& padding);
    bool IsFloat() const { return float_; }
    void SetFloat(bool isFloat);
    // Position of a floating control in its container (corners x1,y1,x2,y2).
    QRect GetFloatPos() const { return floatPos_; }
    void SetFloatPos(const QRect& pos);
    int GetFont() const { return font_; }
    void SetFont(int index);

    virtual void SetAttribute(const QString& name, const QString& value);

    CPaintManagerUI* GetManager() const { return manager_; }
    virtual void SetManager(CPaintManagerUI* manager);
    CContainerUI* GetParentContainer() const { return parent_; }
    void SetParentContainer(CContainerUI* parent) { parent_ = parent; }
    // Fonts declared by the layout file that built this control; they take precedence over
    // the window's own.
    void SetLocalFonts(std::shared_ptr<const FontTable> fonts) { localFonts_ = std::move(fonts); }

    // Depth-first search of this control and its descendants.
    virtual CControlUI* FindByName(const QString& name);
    virtual void CollectByName(const QString& name, std::vector<CControlUI*>& out);

    // Whether the window this control is in shows where the focus is (host_widget.h).
    bool WindowShowsFocusCues() const;

    // Used by containers: whether the tab page this control is on is selected.
    void SetShownByParent(bool shown);

  protected:
    QFont ResolveFont(int index) const;
    void AskParentForLayout();
    void SendNotify(const QString& type, WPARAM wParam = 0, LPARAM lParam = 0);
    static void DrawImage(QPainter& painter, const ImageRef& ref, const QRect& rect);

    void paintEvent(QPaintEvent* event) override;
    virtual void PaintBackground(QPainter& painter);
    virtual void PaintStatusImage(QPainter& painter);
    virtual void PaintText(QPainter& painter);
    virtual void PaintBorder(QPainter& painter);
    // Whether the control draws the focus frame now: it has the keyboard focus, its window
    // shows focus cues, and the layout gives it no focus border of its own.
    virtual bool ShowsFocusCue() const;
    void PaintFocusCue(QPainter& painter);
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    QString text_;
    ImageRef bkImage_;
    QColor bkColor_;
    QColor borderColor_;
    QColor focusBorderColor_;
    int borderSize_ = 0;

  private:
    void ApplyVisibility();

    QString name_;
    QString userData_;
    std::uintptr_t tag_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool shownByParent_ = true;
    int fixedWidth_ = -1;
    int fixedHeight_ = -1;
    QMargins padding_;
    bool float_ = false;
    QRect floatPos_;
    int font_ = -1;
    CPaintManagerUI* manager_ = nullptr;
    CContainerUI* parent_ = nullptr;
    std::shared_ptr<const FontTable> localFonts_;
};

}  // namespace kelvora
