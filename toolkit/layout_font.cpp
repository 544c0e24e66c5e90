// The fonts the layouts declare. The layouts name a Windows family ("微软雅黑") that Linux
// systems rarely have; the Japanese texts then come from the CJK font.

#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <functional>
#include <utility>

#include "toolkit/paint_manager.h"

namespace kelvora {

namespace {
std::function<void()>& BeforeFirstFont() {
    static std::function<void()> wait;
    return wait;
}

const QString& CjkFamily() {
    static const QString family = QStringLiteral("Noto Sans CJK JP");
    return family;
}

// Decided once per family name and process (fonts are used on the UI thread only): the named
// family when it is installed, else the CJK font. A QFont that lists every candidate makes
// Qt match the whole list again for each size and weight it loads.
QStringList ResolvedFamilies(const QString& family) {
    static QHash<QString, QStringList> resolved;
    const auto it = resolved.constFind(family);
    if (it != resolved.constEnd()) {
        return *it;
    }
    // The installed families as they are, not as fontconfig's aliases would answer for a
    // family it does not have (QFontDatabase::hasFamily resolves those).
    static const QStringList installed = [] {
        if (const std::function<void()>& wait = BeforeFirstFont()) {
            wait();
        }
        return QFontDatabase::families();
    }();
    QStringList families;
    if (installed.contains(family, Qt::CaseInsensitive)) {
        families = {family};
    } else if (installed.contains(CjkFamily(), Qt::CaseInsensitive)) {
        families = {CjkFamily()};
    } else {
        // Neither is installed (a Windows without the CJK font): the system's own choice.
        families = {family, CjkFamily(), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("DejaVu Sans")};
    }
    resolved.insert(family, families);
    return families;
}
}  // namespace

void SetBeforeFirstLayoutFont(std::function<void()> wait) {
    BeforeFirstFont() = std::move(wait);
}

QFont MakeLayoutFont(const QString& family, int pixelSize, bool bold, bool italic, bool underline) {
    QFont font;
    font.setFamilies(ResolvedFamilies(family));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 12);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

}  // namespace kelvora
