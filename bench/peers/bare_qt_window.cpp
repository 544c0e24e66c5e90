// The start-up the desktop tool is measured against: a plain Qt Widgets window with a label
// and six buttons, shown, its first frame grabbed and written to the file named on the
// command line, and the process ends, as the tool's --screenshot does with its main window.
// The window has the main window's size, so that both pictures have as many pixels to encode.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <cstdio>

namespace {

constexpr int kButtons = 6;
constexpr int kColumns = 3;
constexpr int kMainWindowSide = 500;

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        (void)std::fputs("usage: bare_qt_window FILE.png\n", stderr);
        return 2;
    }
    QWidget window;
    auto* layout = new QGridLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("No key found")), 0, 0, 1, kColumns);
    for (int i = 0; i < kButtons; ++i) {
        layout->addWidget(new QPushButton(QStringLiteral("Button %1").arg(i + 1)), 1 + i / kColumns,
                          i % kColumns);
    }
    window.resize(kMainWindowSide, kMainWindowSide);
    window.show();
    QApplication::processEvents();
    // Told as the tool's screenshot mode tells it: the harness times the first frame by it.
    const bool saved = window.grab().save(arguments[1], "PNG");
    (void)std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write",
                       qPrintable(arguments[1]));
    return saved ? 0 : 1;
}
