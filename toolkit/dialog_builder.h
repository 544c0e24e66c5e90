#pragma once

// Builds control trees from layout files of the skin package: whole windows (a <Window>
// element with fonts and a root control) and fragments such as list row templates.

#include <QMargins>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

#include "toolkit/layout_xml.h"
#include "toolkit/paint_manager.h"

namespace kelvora {

class CControlUI;

// Lets a window supply controls for element names the builder does not know.
class IDialogBuilderCallback {
  public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const QString& className) = 0;
};

// What the <Window> element of a layout says about the window itself.
struct WindowAttributes {
    std::optional<QSize> size;
    std::optional<QSize> minInfo;
    std::optional<QSize> maxInfo;
    // The caption area: the left, top and right insets and the height of the strip from the
    // top that drags the window.
    QMargins caption;
    QMargins sizeBox;
    std::shared_ptr<const FontTable> fonts;
};

class CDialogBuilder {
  public:
    // Builds the tree of `xmlFile` from the skin package. Returns the root control, owned by
    // the caller (or by `parent`, when given, which the root is added to), or nullptr when
    // the file is missing, malformed or holds no control; GetError() then says why.
    CControlUI* Create(const QString& xmlFile, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // The same from a document already in memory.
    CControlUI* CreateFromXml(const QByteArray& xml, IDialogBuilderCallback* callback = nullptr,
                              CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    const WindowAttributes& GetWindowAttributes() const { return window_; }
    const QString& GetError() const { return error_; }

  private:
    CControlUI* Build(const LayoutNode& node, IDialogBuilderCallback* callback);
    void ReadWindowElement(const LayoutNode& node);

    WindowAttributes window_;
    std::shared_ptr<FontTable> fonts_;
    QString error_;
};

// The control class for a layout element name, or nullptr for a name we do not build.
CControlUI* CreateBuiltinControl(const QString& className);

}  // namespace kelvora
