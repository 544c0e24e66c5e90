#pragma once

// Per-window state shared by its controls: fonts, notification delivery and the control tree,
// plus the process-wide skin package that every window reads its layout and images from.

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "toolkit/window_messages.h"

class QObject;
class QWidget;

namespace kelvora {

class CControlUI;
class ResourcePackage;

struct TNotifyUI {
    QString sType;
    CControlUI* pSender = nullptr;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
  public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// The fonts a layout declares, by id. The default font is the one marked default, else id 0.
struct FontTable {
    std::map<int, QFont> fonts;
    int defaultId = 0;
    const QFont* Find(int id) const;
};

class CPaintManagerUI {
  public:
    // The skin package, for every window of the process (UI thread only). The bytes must
    // outlive the package; an unreadable archive leaves no package installed.
    static bool SetResourceZip(std::span<const std::byte> bytes);
    // Names the package by file name. Only remembered: packages are never read from disk,
    // the bytes come from the executable's resources (see SetResourceZip above).
    static void SetResourceZipName(const QString& name);
    static QString GetResourceZipName();
    static bool HasResourcePackage();
    static void ClearResourcePackage();
    static std::optional<QByteArray> LoadResourceFile(const QString& name);
    // A decoded image of the package, or nullptr when it is missing or undecodable (such an
    // image is simply not drawn). Cached until the package changes.
    static const QImage* GetImage(const QString& name);
    // Starts decoding, on a thread of its own, the pictures of `names` not decoded yet: those
    // a window is about to show. GetImage takes them from there.
    static void PrefetchImages(const std::vector<QString>& names);

    CPaintManagerUI(INotifyUI* sink, QObject* keyFilter);

    void SetFonts(std::shared_ptr<const FontTable> fonts) { fonts_ = std::move(fonts); }
    // Font `id` of the window's layout; the default font for -1 or an unknown id.
    QFont GetFont(int id) const;
    QFont GetDefaultFont() const { return GetFont(-1); }

    void SetRoot(CControlUI* root);
    CControlUI* GetRoot() const { return root_; }
    // The first control named `name`, depth first in layout order, or nullptr.
    CControlUI* FindControl(const QString& name) const;
    std::vector<CControlUI*> FindControls(const QString& name) const;

    // Makes `control` and its descendants belong to this window.
    void AttachControl(CControlUI* control);
    // The widget that key events of a control are filtered through.
    QObject* KeyFilter() const { return keyFilter_; }

    // Delivers a notification synchronously to the window.
    void SendNotify(CControlUI* sender, const QString& type, WPARAM wParam = 0, LPARAM lParam = 0);

  private:
    INotifyUI* sink_;
    QObject* keyFilter_;
    std::shared_ptr<const FontTable> fonts_;
    CControlUI* root_ = nullptr;
};

// Makes a QFont from a layout's font declaration; families without the glyphs fall back to
// the installed CJK fonts so that Japanese text renders everywhere.
QFont MakeLayoutFont(const QString& family, int pixelSize, bool bold, bool italic, bool underline);
// `wait` runs once, on the UI thread, right before the first layout font is made: a start
// that loads the platform's fonts elsewhere holds the first font there, while what comes
// before it in a layout is built meanwhile. Empty: nothing to wait for.
void SetBeforeFirstLayoutFont(std::function<void()> wait);

}  // namespace kelvora
