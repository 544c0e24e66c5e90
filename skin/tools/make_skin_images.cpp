// Draws every picture of the skin package: a flat icon set in two colours (the accent blue
// and a neutral grey), with green and red only for outcomes. Run it to regenerate the PNG
// files under skin/package; the output is committed, so a build never depends on it.
//
//   make_skin_images <output folder>
//   make_skin_images --app-icon <size> <file>   the program icon alone, <size> pixels square,
//                                               for the desktop's icon theme

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kAccent(0x18, 0x83, 0xD7);
const QColor kAccentLight(0xE3, 0xF1, 0xFC);
const QColor kGrey(0xA7, 0xA6, 0xAA);
const QColor kDark(0x28, 0x28, 0x28);
const QColor kGreen(0x2E, 0xA0, 0x43);
const QColor kRed(0xD9, 0x3B, 0x3B);
const QColor kAmber(0xF2, 0xA9, 0x00);

using Painter = std::function<void(QPainter&, const QRectF&)>;

constexpr int kMinAppIconSize = 16;
constexpr int kMaxAppIconSize = 1024;

QString g_outDir;
int g_written = 0;

void Save(const QString& name, int w, int h, const Painter& paint) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        paint(p, QRectF(0, 0, w, h));
    }
    const QString path = QDir(g_outDir).filePath(name);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++g_written;
}

QPen Stroke(const QColor& c, qreal width) {
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A fingerprint: nested arcs around the lower centre. `done` of the ridges (from the inside)
// are drawn in `on`, the rest in `off`.
void Fingerprint(QPainter& p, const QRectF& r, const QColor& on, const QColor& off, int done,
                 int ridges = 4) {
    const QPointF c(r.center().x(), r.top() + r.height() * 0.58);
    const qreal step = std::min(r.width(), r.height()) * 0.105;
    const qreal width = std::max<qreal>(1.2, step * 0.42);
    for (int i = 0; i < ridges; ++i) {
        const qreal rx = step * (i + 1) * 0.95;
        const qreal ry = step * (i + 1) * 1.25;
        QRectF arc(c.x() - rx, c.y() - ry, rx * 2, ry * 2);
        p.setPen(Stroke(i < done ? on : off, width));
        // Open at the bottom, a little lopsided like a real print.
        const int start = (i % 2 == 0) ? -40 : -25;
        const int span = 260 - i * 8;
        p.drawArc(arc, start * 16, span * 16);
    }
    p.setPen(Stroke(done > 0 ? on : off, width));
    p.drawLine(QPointF(c.x(), c.y() - step * 0.4), QPointF(c.x(), c.y() + step * 0.5));
}

void Badge(QPainter& p, const QPointF& centre, qreal radius, const QColor& fill,
           const std::function<void(QPainter&, const QPointF&, qreal)>& mark) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
    mark(p, centre, radius);
}

void PlusMark(QPainter& p, const QPointF& c, qreal r) {
    p.setPen(Stroke(Qt::white, r * 0.3));
    p.drawLine(QPointF(c.x() - r * 0.5, c.y()), QPointF(c.x() + r * 0.5, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r * 0.5), QPointF(c.x(), c.y() + r * 0.5));
}

void MinusMark(QPainter& p, const QPointF& c, qreal r) {
    p.setPen(Stroke(Qt::white, r * 0.3));
    p.drawLine(QPointF(c.x() - r * 0.5, c.y()), QPointF(c.x() + r * 0.5, c.y()));
}

void CheckMark(QPainter& p, const QPointF& c, qreal r) {
    p.setPen(Stroke(Qt::white, r * 0.28));
    QPainterPath path(QPointF(c.x() - r * 0.5, c.y() + r * 0.02));
    path.lineTo(c.x() - r * 0.12, c.y() + r * 0.4);
    path.lineTo(c.x() + r * 0.52, c.y() - r * 0.38);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void CrossMark(QPainter& p, const QPointF& c, qreal r) {
    p.setPen(Stroke(Qt::white, r * 0.28));
    const qreal d = r * 0.42;
    p.drawLine(QPointF(c.x() - d, c.y() - d), QPointF(c.x() + d, c.y() + d));
    p.drawLine(QPointF(c.x() + d, c.y() - d), QPointF(c.x() - d, c.y() + d));
}

void Glyph(QPainter& p, const QRectF& r, const QString& text, const QColor& color, qreal size,
           bool bold = true) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(size));
    font.setBold(bold);
    p.setFont(font);
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter, text);
}

void Keypad(QPainter& p, const QRectF& r, const QColor& c) {
    const qreal cell = std::min(r.width(), r.height()) / 4.2;
    const QPointF origin(r.center().x() - cell * 1.5, r.center().y() - cell * 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRoundedRect(QRectF(origin.x() + col * cell * 1.1, origin.y() + row * cell * 1.1,
                                     cell * 0.85, cell * 0.85),
                              cell * 0.2, cell * 0.2);
        }
    }
}

void Pencil(QPainter& p, const QRectF& r, const QColor& c) {
    p.save();
    p.translate(r.center());
    p.rotate(-45);
    const qreal len = std::min(r.width(), r.height()) * 0.8;
    const qreal w = len * 0.22;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(-len / 2 + w * 0.9, -w / 2, len - w * 0.9, w), w * 0.15, w * 0.15);
    QPainterPath tip(QPointF(-len / 2, 0));
    tip.lineTo(-len / 2 + w * 0.8, -w / 2);
    tip.lineTo(-len / 2 + w * 0.8, w / 2);
    tip.closeSubpath();
    p.drawPath(tip);
    p.restore();
}

void ResetArrow(QPainter& p, const QRectF& r, const QColor& c) {
    const qreal s = std::min(r.width(), r.height());
    const QRectF ring(r.center().x() - s * 0.32, r.center().y() - s * 0.32, s * 0.64, s * 0.64);
    p.setPen(Stroke(c, s * 0.11));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 60 * 16, 290 * 16);
    const QPointF tip(ring.center().x() + ring.width() / 2 * std::cos(M_PI / 3),
                      ring.center().y() - ring.height() / 2 * std::sin(M_PI / 3));
    QPainterPath head(tip + QPointF(s * 0.16, -s * 0.02));
    head.lineTo(tip + QPointF(-s * 0.06, -s * 0.16));
    head.lineTo(tip + QPointF(-s * 0.02, s * 0.12));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(head);
}

void Key(QPainter& p, const QRectF& r, const QColor& c) {
    // A USB security key seen from above: body, connector and sensor.
    const qreal h = r.height() * 0.42;
    const QRectF body(r.left() + r.width() * 0.08, r.center().y() - h / 2, r.width() * 0.62, h);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(body, h * 0.3, h * 0.3);
    p.drawRect(QRectF(body.right(), r.center().y() - h * 0.3, r.width() * 0.22, h * 0.6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(body.left() + body.width() * 0.38, body.center().y()), h * 0.28,
                  h * 0.28);
}

// A passkey: the person it signs in, with a small key at the lower right.
void Passkey(QPainter& p, const QRectF& r, const QColor& c) {
    const qreal s = std::min(r.width(), r.height());
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(r.left() + s * 0.36, r.top() + s * 0.28), s * 0.18, s * 0.18);
    QPainterPath body(QPointF(r.left() + s * 0.04, r.top() + s * 0.86));
    body.cubicTo(QPointF(r.left() + s * 0.04, r.top() + s * 0.5),
                 QPointF(r.left() + s * 0.68, r.top() + s * 0.5),
                 QPointF(r.left() + s * 0.68, r.top() + s * 0.86));
    body.closeSubpath();
    p.drawPath(body);
    const QPointF ring(r.left() + s * 0.72, r.top() + s * 0.62);
    p.setPen(Stroke(c, s * 0.08));
    p.setBrush(Qt::white);
    p.drawEllipse(ring, s * 0.12, s * 0.12);
    p.drawLine(ring + QPointF(s * 0.06, s * 0.1), ring + QPointF(s * 0.2, s * 0.34));
    p.drawLine(ring + QPointF(s * 0.15, s * 0.25), ring + QPointF(s * 0.24, s * 0.2));
}

// The 190 x 40 main window buttons: an icon at the left, the text is drawn by the window.
enum class ButtonState { kActive, kHighlight, kInactive };

void MainButton(const QString& stem,
                const std::function<void(QPainter&, const QRectF&, const QColor&)>& icon) {
    const struct {
        const char* suffix;
        ButtonState state;
    } states[] = {{"_Active", ButtonState::kActive},
                  {"_Highlight", ButtonState::kHighlight},
                  {"_Inactive", ButtonState::kInactive}};
    for (const auto& s : states) {
        Save(stem + QLatin1String(s.suffix) + QStringLiteral(".png"), 190, 40,
             [&](QPainter& p, const QRectF& r) {
                 const QRectF box = r.adjusted(0.5, 0.5, -0.5, -0.5);
                 QColor fill = QColor(0xF6, 0xF9, 0xFC);
                 QColor border = QColor(0xDE, 0xE6, 0xEE);
                 QColor ink = kAccent;
                 if (s.state == ButtonState::kHighlight) {
                     fill = kAccentLight;
                     border = kAccent;
                 } else if (s.state == ButtonState::kInactive) {
                     fill = QColor(0xF3, 0xF3, 0xF3);
                     border = QColor(0xE4, 0xE4, 0xE4);
                     ink = kGrey;
                 }
                 p.setPen(QPen(border, 1));
                 p.setBrush(fill);
                 p.drawRoundedRect(box, 6, 6);
                 icon(p, QRectF(10, 6, 28, 28), ink);
             });
    }
}

void TitleButton(const QString& stem, bool close) {
    const struct {
        const char* suffix;
        QColor bg;
        QColor ink;
    } states[] = {{"_Active", Qt::transparent, kDark},
                  {"_MouseOver", close ? QColor(0xE8, 0x11, 0x23) : QColor(0xE5, 0xE5, 0xE5),
                   close ? QColor(Qt::white) : kDark},
                  {"_Click", close ? QColor(0xF1, 0x70, 0x7A) : QColor(0xCC, 0xCC, 0xCC),
                   close ? QColor(Qt::white) : kDark}};
    for (const auto& s : states) {
        Save(stem + QLatin1String(s.suffix) + QStringLiteral(".png"), 48, 32,
             [&](QPainter& p, const QRectF& r) {
                 p.fillRect(r, s.bg);
                 p.setPen(Stroke(s.ink, 1.4));
                 const QPointF c = r.center();
                 if (close) {
                     p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
                     p.drawLine(c + QPointF(5, -5), c + QPointF(-5, 5));
                 } else {
                     p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
                 }
             });
    }
}

void MessageIcon(const QString& name, const QColor& fill, const QString& glyph) {
    Save(name, 32, 32, [&](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        Glyph(p, r, glyph, Qt::white, 20);
    });
}

void Warning(QPainter& p, const QRectF& r) {
    QPainterPath tri(QPointF(r.center().x(), r.top() + 1.5));
    tri.lineTo(r.right() - 1, r.bottom() - 2);
    tri.lineTo(r.left() + 1, r.bottom() - 2);
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawPath(tri);
    Glyph(p, r.adjusted(0, r.height() * 0.18, 0, 0), QStringLiteral("!"), Qt::white,
          r.height() * 0.55);
}

void Logo(QPainter& p, const QRectF& r) {
    const qreal s = std::min(r.width(), r.height());
    const QRectF box(r.center().x() - s / 2 + 1, r.center().y() - s / 2 + 1, s - 2, s - 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(box, s * 0.22, s * 0.22);
    Fingerprint(p, box.adjusted(s * 0.12, s * 0.08, -s * 0.12, -s * 0.16), Qt::white, Qt::white, 4);
}

void Quality(const QString& name, int bars, const QColor& ink, const QColor& bg) {
    Save(name, 32, 32, [&](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(bg);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 6, 6);
        for (int i = 0; i < 3; ++i) {
            p.setBrush(i < bars ? ink : QColor(ink.red(), ink.green(), ink.blue(), 60));
            const qreal h = 6 + i * 6;
            p.drawRect(QRectF(7 + i * 7, 25 - h, 5, h));
        }
    });
}

// The logo drawn at any size; the build renders the icon theme's sizes with it.
int WriteAppIcon(const char* sizeText, const char* file) {
    const int size = QByteArray(sizeText).toInt();
    if (size < kMinAppIconSize || size > kMaxAppIconSize) {
        (void)std::fprintf(stderr, "make_skin_images: icon size %s is not %d to %d\n", sizeText,
                           kMinAppIconSize, kMaxAppIconSize);
        return 2;
    }
    const QFileInfo target(QString::fromLocal8Bit(file));
    QDir().mkpath(target.absolutePath());
    g_outDir = target.absolutePath();
    Save(target.fileName(), size, size, [](QPainter& p, const QRectF& r) { Logo(p, r); });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--app-icon") {
        return WriteAppIcon(argv[2], argv[3]);
    }
    if (argc != 2) {
        (void)std::fprintf(stderr,
                           "usage: make_skin_images <output folder>\n"
                           "       make_skin_images --app-icon <size> <file>\n");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);

    // Title bar.
    Save(QStringLiteral("about.png"), 32, 32, [](QPainter& p, const QRectF& r) {
        p.setPen(Stroke(kGrey, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(6, 6, -6, -6));
        Glyph(p, r, QStringLiteral("i"), kGrey, 13);
    });
    TitleButton(QStringLiteral("Minimize"), false);
    TitleButton(QStringLiteral("Close"), true);
    Save(QStringLiteral("UI_Logo-01.png"), 90, 22, [](QPainter& p, const QRectF& r) {
        Logo(p, QRectF(0, 0, 22, 22));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(kAccent);
        p.drawText(r.adjusted(26, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("KELVORA"));
    });

    // Key state.
    Save(QStringLiteral("Kelvora-FIDO-UI-Elements-14.png"), 63, 54,
         [](QPainter& p, const QRectF& r) {
             Key(p, r.adjusted(2, 4, -8, -4), kAccent);
             Badge(p, QPointF(r.right() - 12, r.bottom() - 12), 10, kGreen, CheckMark);
         });
    Save(QStringLiteral("Kelvora-FIDO-UI-Elements-15.png"), 63, 54,
         [](QPainter& p, const QRectF& r) {
             Key(p, r.adjusted(2, 4, -8, -4), kGrey);
             Badge(p, QPointF(r.right() - 12, r.bottom() - 12), 10, kRed, CrossMark);
         });
    Save(QStringLiteral("Inserted.png"), 32, 32,
         [](QPainter& p, const QRectF& r) { Key(p, r, kAccent); });
    Save(QStringLiteral("Inserted_Not.png"), 32, 32,
         [](QPainter& p, const QRectF& r) { Key(p, r, kGrey); });

    // Main window buttons.
    auto fingerWith = [](void (*mark)(QPainter&, const QPointF&, qreal)) {
        return [mark](QPainter& p, const QRectF& r, const QColor& c) {
            Fingerprint(p, r.adjusted(0, 0, -5, 0), c, c, 4);
            Badge(p, QPointF(r.right() - 5, r.bottom() - 5), 6.5, c, mark);
        };
    };
    MainButton(QStringLiteral("Add"), fingerWith(PlusMark));
    MainButton(QStringLiteral("Test"), fingerWith(CheckMark));
    MainButton(QStringLiteral("Remove"), fingerWith(MinusMark));
    MainButton(QStringLiteral("PIN"),
               [](QPainter& p, const QRectF& r, const QColor& c) { Keypad(p, r, c); });
    MainButton(QStringLiteral("Reset"),
               [](QPainter& p, const QRectF& r, const QColor& c) { ResetArrow(p, r, c); });
    MainButton(QStringLiteral("FingerName"), [](QPainter& p, const QRectF& r, const QColor& c) {
        Fingerprint(p, r.adjusted(0, 0, -8, 0), c, c, 4);
        Pencil(p, QRectF(r.right() - 16, r.bottom() - 16, 16, 16), c);
    });
    MainButton(QStringLiteral("Help"), [](QPainter& p, const QRectF& r, const QColor& c) {
        p.setPen(Stroke(c, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(3, 3, -3, -3));
        Glyph(p, r, QStringLiteral("?"), c, 16);
    });
    MainButton(QStringLiteral("Passkey"),
               [](QPainter& p, const QRectF& r, const QColor& c) { Passkey(p, r, c); });
    MainButton(QStringLiteral("Finger"),
               [](QPainter& p, const QRectF& r, const QColor& c) { Fingerprint(p, r, c, c, 4); });
    Save(QStringLiteral("Improve_Active.png"), 190, 40, [](QPainter& p, const QRectF& r) {
        p.setPen(QPen(QColor(0xDE, 0xE6, 0xEE), 1));
        p.setBrush(QColor(0xF6, 0xF9, 0xFC));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        Fingerprint(p, QRectF(10, 6, 28, 28), kAccent, kAccentLight, 2);
    });
    Save(QStringLiteral("Improve_Inactive.png"), 190, 40, [](QPainter& p, const QRectF& r) {
        p.setPen(QPen(QColor(0xE4, 0xE4, 0xE4), 1));
        p.setBrush(QColor(0xF3, 0xF3, 0xF3));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        Fingerprint(p, QRectF(10, 6, 28, 28), kGrey, kGrey, 4);
    });
    auto exportIcon = [](QPainter& p, const QRectF& r, const QColor& c) {
        p.setPen(Stroke(c, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(3, 6, -9, -3), 3, 3);
        p.drawLine(QPointF(r.center().x(), r.center().y()), QPointF(r.right() - 2, r.top() + 3));
        p.drawLine(QPointF(r.right() - 2, r.top() + 3), QPointF(r.right() - 10, r.top() + 3));
        p.drawLine(QPointF(r.right() - 2, r.top() + 3), QPointF(r.right() - 2, r.top() + 11));
    };
    MainButton(QStringLiteral("FingerNameExport"), exportIcon);
    Save(QStringLiteral("FingerNameExport.png"), 32, 32,
         [&](QPainter& p, const QRectF& r) { exportIcon(p, r, kAccent); });

    // List.
    Save(QStringLiteral("list_header_bg.png"), 10, 24, [](QPainter& p, const QRectF& r) {
        p.fillRect(r, QColor(0xF4, 0xF6, 0xF8));
        p.setPen(QColor(0xDE, 0xDE, 0xDE));
        p.drawLine(QPointF(0, r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));
    });
    Save(QStringLiteral("scroll.png"), 16, 64, [](QPainter& p, const QRectF& r) {
        p.fillRect(QRectF(0, 0, 16, 32), QColor(0xF0, 0xF0, 0xF0));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xC8, 0xC8, 0xC8));
        p.drawRoundedRect(QRectF(4, 34, 8, 28), 4, 4);
        (void)r;
    });
    Save(QStringLiteral("Menu.png"), 32, 32, [](QPainter& p, const QRectF& r) {
        p.setPen(Stroke(kGrey, 2));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(8, 10 + i * 6), QPointF(r.right() - 8, 10 + i * 6));
        }
    });

    // Dialog pictures.
    Save(QStringLiteral("PIN_Button.png"), 48, 48, [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccentLight);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 10, 10);
        Keypad(p, r.adjusted(6, 6, -6, -6), kAccent);
    });
    Save(QStringLiteral("Finger_Button.png"), 48, 48, [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccentLight);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 10, 10);
        Fingerprint(p, r.adjusted(6, 6, -6, -6), kAccent, kAccent, 4);
    });
    Save(QStringLiteral("PIN+Finger_Button.png"), 48, 48, [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccentLight);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 10, 10);
        Keypad(p, QRectF(4, 4, 22, 22), kAccent);
        Fingerprint(p, QRectF(20, 18, 26, 26), kAccent, kAccent, 4);
    });
    Save(QStringLiteral("Passkey.png"), 32, 32,
         [](QPainter& p, const QRectF& r) { Passkey(p, r, kAccent); });
    Save(QStringLiteral("FingerName.png"), 32, 32, [](QPainter& p, const QRectF& r) {
        Fingerprint(p, r.adjusted(0, 0, -8, 0), kAccent, kAccent, 4);
        Pencil(p, QRectF(r.right() - 16, r.bottom() - 16, 16, 16), kAccent);
    });
    auto bigFinger = [](int done, const QColor& on) {
        return [done, on](QPainter& p, const QRectF& r) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xF4, 0xF8, 0xFC));
            p.drawEllipse(r.adjusted(4, 4, -4, -4));
            Fingerprint(p, r.adjusted(28, 22, -28, -30), on, QColor(0xC9, 0xD3, 0xDD), done, 5);
        };
    };
    Save(QStringLiteral("Rec_Finger_Add.png"), 160, 160, bigFinger(0, kAccent));
    for (int i = 1; i <= 4; ++i) {
        // Five ridges: the picture fills a ridge per sample and the last one at the end.
        Save(QStringLiteral("Rec_Finger_%1.png").arg(i), 160, 160,
             bigFinger(i == 4 ? 5 : i, kAccent));
    }
    Save(QStringLiteral("Rec_Finger_Improve.png"), 160, 160, bigFinger(3, kAmber));
    Save(QStringLiteral("Pass.png"), 160, 160,
         [](QPainter& p, const QRectF& r) { Badge(p, r.center(), 56, kGreen, CheckMark); });
    Save(QStringLiteral("Fail.png"), 160, 160,
         [](QPainter& p, const QRectF& r) { Badge(p, r.center(), 56, kRed, CrossMark); });

    // Message box icons.
    MessageIcon(QStringLiteral("Png_Msg_error.png"), kRed, QStringLiteral("×"));
    MessageIcon(QStringLiteral("Png_Msg_info.png"), kAccent, QStringLiteral("i"));
    Save(QStringLiteral("Png_Msg_warning.png"), 32, 32,
         [](QPainter& p, const QRectF& r) { Warning(p, r); });
    Save(QStringLiteral("Warning.png"), 32, 32,
         [](QPainter& p, const QRectF& r) { Warning(p, r); });
    Save(QStringLiteral("logo_32.png"), 32, 32, [](QPainter& p, const QRectF& r) { Logo(p, r); });
    Save(QStringLiteral("logo.png"), 128, 128, [](QPainter& p, const QRectF& r) { Logo(p, r); });

    // Quality indicators.
    Quality(QStringLiteral("Quality_Good_Dark.png"), 3, Qt::white, kGreen);
    Quality(QStringLiteral("Quality_Good_Light.png"), 3, kGreen, QColor(0xE8, 0xF6, 0xEA));
    Quality(QStringLiteral("Quality_Med_Dark.png"), 2, Qt::white, kAmber);
    Quality(QStringLiteral("Quality_Med_Light.png"), 2, kAmber, QColor(0xFD, 0xF4, 0xDF));
    Quality(QStringLiteral("Quality_Poor_Dark.png"), 1, Qt::white, kRed);
    Quality(QStringLiteral("Quality_Poor_Light.png"), 1, kRed, QColor(0xFB, 0xE9, 0xE9));

    // The program icon.
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        Logo(p, QRectF(0, 0, 64, 64));
    }
    if (!icon.convertToFormat(QImage::Format_ARGB32)
             .save(QDir(g_outDir).filePath(QStringLiteral("logo.ico")), "ICO")) {
        std::fprintf(stderr, "cannot write logo.ico\n");
        return 1;
    }
    std::printf("make_skin_images: %d PNG files and logo.ico in %s\n", g_written,
                qPrintable(g_outDir));
    return 0;
}
