#include "toolkit/text_shaping.h"

#include <QChar>
#include <QTextDocumentFragment>
#include <utility>

namespace kelvora {

namespace {
bool StandsAlone(QChar c) {
    switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Other_Format:  // joiners, bidi controls, soft hyphens
        case QChar::Other_Surrogate:
            return false;
        default:
            break;
    }
    switch (c.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            return true;
        default:
            return false;
    }
}
}  // namespace

bool NeedsShaping(QStringView text) {
    // A surrogate is a character beyond the first plane (emoji and their sequences, rare
    // kanji): shaping is never wrong, only slower, so those texts keep it.
    for (const QChar c : text) {
        if (!StandsAlone(c)) {
            return true;
        }
    }
    return false;
}

QFont FontForText(QFont font, QStringView text) {
    if (!NeedsShaping(text)) {
        font.setStyleStrategy(
            static_cast<QFont::StyleStrategy>(font.styleStrategy() | QFont::PreferNoShaping));
    }
    return font;
}

QFont FontForRichText(QFont font, const QString& html) {
    if (!html.contains(QLatin1Char('&'))) {
        return FontForText(std::move(font), html);
    }
    return FontForText(std::move(font), QTextDocumentFragment::fromHtml(html).toPlainText());
}

}  // namespace kelvora
