// Feeds arbitrary bytes to the layout loader the way a window does: the document is parsed,
// its controls are built with their attributes, given the window's fonts and size, laid out
// and painted. Nothing a layout says may crash the toolkit, hang it or make it allocate
// without bound.
#include <QApplication>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "skin/embedded_package.h"
#include "toolkit/control.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/paint_manager.h"
#include "toolkit/window_impl_base.h"

namespace {
// A window no larger than a screen, so that one huge size does not make every run slow.
constexpr QSize kLargestWindow(1600, 1200);
constexpr QSize kCanvas(320, 240);
}  // namespace

// Font configuration keeps caches that LeakSanitizer cannot see the roots of; they are the
// library's, not ours, and would otherwise stop the run at the first font lookup.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_skin_layout";
    static char* argv[] = {name, nullptr};
    // Lives for the whole process: the controls are widgets.
    static QApplication app(argc, argv);
    // Background images then resolve against the real package.
    kelvora::CPaintManagerUI::SetResourceZip(
        kelvora::LoadEmbeddedZipResource(kelvora::kSkinResourceId));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvora;
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CPaintManagerUI manager(nullptr, nullptr);
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.CreateFromXml(xml, nullptr, &manager));
    if (!root) {
        return 0;
    }
    const WindowAttributes& attrs = builder.GetWindowAttributes();
    manager.SetFonts(attrs.fonts);
    manager.SetRoot(root.get());
    root->resize(attrs.size.value_or(QSize(400, 300)).boundedTo(kLargestWindow));
    root->show();
    QImage canvas(kCanvas, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    root->render(&painter);
    painter.end();
    manager.SetRoot(nullptr);
    return 0;
}
