#include <QDesktopServices>
#include <QUrl>

#include "dialogs/fingerprint/link_opener.h"

namespace kelvora {

namespace {
class DesktopLinkOpener final : public LinkOpener {
  public:
    bool Open(const std::string& url) override {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    }
};
}  // namespace

LinkOpener& SystemLinkOpener() {
    static DesktopLinkOpener opener;
    return opener;
}

}  // namespace kelvora
