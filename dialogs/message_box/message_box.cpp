#include "dialogs/message_box/message_box.h"

#include <QFontMetrics>
#include <atomic>

#include "toolkit/container.h"
#include "toolkit/label.h"
#include "toolkit/text_shaping.h"

namespace kelvora {

namespace {
// Where the box puts its icon and text inside "MsgBox", and its buttons from the bottom
// right corner of the window.
constexpr QPoint kIconPos(25, 25);
constexpr int kIconSize = 32;
constexpr QPoint kTextPos(65, 25);
constexpr int kTextExtraWidth = 10;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
constexpr int kButtonRightMargin = 18;
constexpr int kButtonBottomMargin = 18;
constexpr int kButtonStep = 108;

std::atomic<std::uint64_t> g_currentBox{0};
}  // namespace

CDuiMessageBox::CDuiMessageBox(QString text, QString caption, std::uint32_t type)
    : text_(std::move(text)), caption_(std::move(caption)), type_(type) {}

QString CDuiMessageBox::IconFor(std::uint32_t type) {
    switch (type & kMbIconMask) {
        case 0x00:
            return QStringLiteral("logo_32.png");
        case kMbIconError:
            return QStringLiteral("Png_Msg_error.png");
        case kMbIconWarning:
            return QStringLiteral("Png_Msg_warning.png");
        default:
            return QStringLiteral("Png_Msg_info.png");
    }
}

QStringList CDuiMessageBox::ButtonsFor(std::uint32_t type) {
    switch (type & kMbButtonMask) {
        case kMbOkCancel:
            return {QStringLiteral("OK"), QStringLiteral("Cancel")};
        case kMbYesNo:
            return {QStringLiteral("Yes"), QStringLiteral("No")};
        default:
            return {QStringLiteral("OK")};
    }
}

void CDuiMessageBox::InitWindow() {
    SetWindowText(caption_);
    if (CControlUI* title = FindControl(QStringLiteral("QvTitle"))) {
        title->SetText(caption_);
    }
    if (CControlUI* bar = FindControl(QStringLiteral("MsgTitle"))) {
        titleHeight_ = std::max(0, bar->GetFixedHeight());
    }
    Fill();
}

void CDuiMessageBox::Fill() {
    auto* container = dynamic_cast<CContainerUI*>(FindControl(QStringLiteral("MsgBox")));
    if (container == nullptr) {
        return;
    }
    // The font the text control below (rich text) will set the message in.
    const QFontMetrics fm(FontForRichText(GetPaintManager().GetDefaultFont(), text_));
    std::vector<int> widths;
    for (const QString& line : SplitMessageLines(text_)) {
        widths.push_back(line.isEmpty() ? 0 : fm.horizontalAdvance(line));
    }
    metrics_ = ComputeMessageBoxMetrics(widths, fm.height(), titleHeight_);

    auto* text = new CTextUI;
    text->SetText(text_);
    text->SetFont(0);
    text->SetTextColor(QColor::fromRgba(0xFF000000));
    text->SetShowHtml(true);
    text->SetFloat(true);
    container->Add(text);  // measured in the box's font, which it has once added
    // Rows counted from the line widths miss the ones that wrapping at word boundaries
    // adds: the text gets the rows it takes as drawn, so its last line is not cut off.
    const int textWidth = metrics_.textWidth + kTextExtraWidth;
    // A line feed at the very end adds no row.
    const int trailingLineFeed = text_.endsWith(QLatin1Char('\n')) ? 1 : 0;
    metrics_ = GrowToRows(metrics_, text->TextLinesAt(textWidth) - trailingLineFeed);
    // Rich-text lines stand a little taller than the font's height: the text gets what its
    // lines take, out of the room above the buttons, so no descender is cut off.
    const int textHeight =
        std::max(metrics_.rows * metrics_.lineHeight, text->TextHeightAt(textWidth));
    text->SetFloatPos(QRect(kTextPos, QSize(textWidth, textHeight)));
    text->SetFixedWidth(textWidth);
    text->SetFixedHeight(textHeight);

    ResizeClient(metrics_.window.width(), metrics_.window.height());

    for (const QString& caption : ButtonsFor(type_)) {
        auto* button = new CButtonUI;
        button->SetName(caption);
        button->SetText(caption);
        button->SetFloat(true);
        button->SetBkColor(QColor::fromRgba(0xFFCCCCCC));
        button->SetTextColor(QColor::fromRgba(0xFF000000));
        button->SetBorderColor(QColor::fromRgba(0xFFD7D7D7));
        button->SetFocusBorderColor(QColor::fromRgba(0xFF0078D7));
        button->SetBorderSize(1);
        button->SetFont(0);
        buttons_.push_back(button);
    }
    iconFile_ = IconFor(type_);
    if ((type_ & kMbTopmost) != 0) {
        SetTopmost(true);
    }

    auto* icon = new CLabelUI;
    icon->SetFloat(true);
    icon->SetFloatPos(QRect(kIconPos, QSize(kIconSize, kIconSize)));
    icon->SetBkImage(iconFile_);
    container->Add(icon);

    // The last button sits at the bottom right, the others to its left in order.
    const QSize window = metrics_.window;
    QRect slot(QPoint(window.width() - kButtonRightMargin - kButtonWidth,
                      window.height() - titleHeight_ - kButtonBottomMargin - kButtonHeight),
               QSize(kButtonWidth, kButtonHeight));
    for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
        container->Add(*it);
        (*it)->SetFloatPos(slot);
        slot.translate(-kButtonStep, 0);
    }
}

void CDuiMessageBox::Notify(TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) {
        return;  // a link in the text, focus changes: nothing to do
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("closebtn") || name == QLatin1String("Cancel")) {
        result_ = kIdCancel;
    } else if (name == QLatin1String("OK")) {
        result_ = kIdOk;
    } else if (name == QLatin1String("Yes")) {
        result_ = kIdYes;
    } else if (name == QLatin1String("No")) {
        result_ = kIdNo;
    }
    Close(static_cast<UINT>(result_));
}

LRESULT CDuiMessageBox::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/, bool& handled) {
    if (msg != kWmKeyDown) {
        return 0;
    }
    if (wParam == kVkReturn) {
        result_ = kIdOk;
    } else if (wParam == kVkEscape) {
        result_ = kIdCancel;
    } else {
        return 0;
    }
    handled = true;
    Close(static_cast<UINT>(result_));
    return 0;
}

int ShowMessageBox(WindowHandle owner, const QString& caption, const QString& text,
                   std::uint32_t type) {
    CDuiMessageBox box(text, caption, type);
    const WindowHandle handle = box.Create(owner, QStringLiteral("Test"), kMessageBoxStyle, 0,
                                           kUseDefault, kUseDefault, kUseDefault, kUseDefault);
    if (!handle) {
        return 0;
    }
    box.CenterWindow();
    g_currentBox.store(handle.id);
    box.ShowModal();
    std::uint64_t expected = handle.id;
    g_currentBox.compare_exchange_strong(expected, 0);
    return box.GetResult();
}

void CloseCurrentMessageBox() {
    const std::uint64_t id = g_currentBox.load();
    if (id != 0) {
        PostWindowMessage(WindowHandle{id}, kWmClose, 0, 0);
    }
}

}  // namespace kelvora
