#pragma once

// Which texts are set glyph by glyph. The layouts were drawn for the Windows text calls,
// which put a simple script's glyphs side by side from the font's character map, without
// OpenType layout: no kerning, no substitutions. Setting those texts the same way looks as
// the layouts meant and spares a face's shaping tables, most of a CJK font's first use.
// Scripts that join, reorder or stack (Arabic, Indic, Thai, ...), combining marks and
// emoji sequences are shaped as ever: names on a key may be written in any of them.

#include <QFont>
#include <QString>
#include <QStringView>

namespace kelvora {

// True when `text` holds anything that only OpenType layout draws correctly.
bool NeedsShaping(QStringView text);

// `font` as it should set `text`: told not to shape when the text does not need it.
QFont FontForText(QFont font, QStringView text);
// The same for rich text, judged by the text it shows: an entity can stand for any character.
QFont FontForRichText(QFont font, const QString& html);

}  // namespace kelvora
