// Which texts are set without OpenType layout: the tool's own and most names, never a
// script that joins, reorders or stacks, nor marks or emoji.

#include <gtest/gtest.h>

#include "toolkit/label.h"
#include "toolkit/text_shaping.h"

namespace kelvora::test {
namespace {

TEST(TextShaping, OnlySimpleScriptsAreSetGlyphByGlyph) {
    const struct {
        const char* text;
        bool shaped;
    } cases[] = {
        {"Kelvora FIDO2 管理ツール", false},
        {"デバイスが見つかりました", false},
        {"2024/03/15 01:30:00\t- PINを変更。", false},
        {"Ελληνικά Кириллица", false},
        {"", false},
        {"مرحبا", true},     // joins
        {"שלום", true},      // right to left
        {"नमस्ते", true},      // reorders and stacks
        {"สวัสดี", true},      // marks above and below
        {"e\u0301", true},   // a combining accent
        {"a\u200db", true},  // a joiner
        {"指紋👍", true},     // beyond the first plane
        {"指紋\U00020B9F", true},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(NeedsShaping(text), c.shaped) << c.text;
        QFont font;
        font.setStyleStrategy(QFont::PreferAntialias);
        const QFont set = FontForText(font, text);
        EXPECT_EQ((set.styleStrategy() & QFont::PreferNoShaping) == 0, c.shaped) << c.text;
        EXPECT_TRUE(set.styleStrategy() & QFont::PreferAntialias) << c.text;
    }
}

// Arabic written with entities must join as the same letters written out do.
TEST(TextShaping, HtmlIsJudgedByTheTextItShows) {
    CTextUI written;
    CTextUI entities;
    for (CTextUI* label : {&written, &entities}) {
        label->SetShowHtml(true);
        label->resize(200, 40);
    }
    written.SetText(QStringLiteral("\u0645\u0631\u062D\u0628\u0627"));
    entities.SetText(QStringLiteral("&#x645;&#x631;&#x62D;&#x628;&#x627;"));
    EXPECT_EQ(written.grab().toImage(), entities.grab().toImage());
}

}  // namespace
}  // namespace kelvora::test
