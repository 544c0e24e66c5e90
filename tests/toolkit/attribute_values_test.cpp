// Attribute values and layout documents: malformed input is refused, never a crash.

#include <gtest/gtest.h>

#include "toolkit/attribute_values.h"
#include "toolkit/layout_xml.h"

namespace kelvora {
namespace {

TEST(AttributeValues, Colors) {
    struct Case {
        const char* text;
        bool ok;
        QRgb argb;
    };
    const Case cases[] = {
        {"#FF1883D7", true, 0xFF1883D7},
        {"#801883D7", true, 0x801883D7},
        {"#1883D7", true, 0xFF1883D7},
        {"0xFFE9F5FF", true, 0xFFE9F5FF},
        {"FF1883D7", false, 0},
        {"#FF1883D", false, 0},
        {"#GG000000", false, 0},
        {"", false, 0},
        {"#", false, 0},
    };
    for (const Case& c : cases) {
        const auto color = ParseColor(QString::fromUtf8(c.text));
        ASSERT_EQ(color.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(color->rgba(), c.argb) << c.text;
        }
    }
}

TEST(AttributeValues, RectanglesSizesAndImages) {
    EXPECT_EQ(ParseFour(QStringLiteral("10,5,5,0")), QMargins(10, 5, 5, 0));
    EXPECT_EQ(ParseRect(QStringLiteral("70,128,753,200")), QRect(70, 128, 683, 72));
    EXPECT_EQ(ParseSize(QStringLiteral("500, 250")), QSize(500, 250));
    EXPECT_FALSE(ParseFour(QStringLiteral("1,2,3")).has_value());
    EXPECT_FALSE(ParseRect(QStringLiteral("a,b,c,d")).has_value());
    EXPECT_FALSE(ParseSize(QStringLiteral("-1,5")).has_value());
    EXPECT_EQ(ParseInt(QStringLiteral("x"), -1), -1);
    EXPECT_EQ(ParseInt(QStringLiteral("-4"), 3), 3);

    const ImageRef plain = ParseImageRef(QStringLiteral("Pass.png"));
    EXPECT_EQ(plain.file, QStringLiteral("Pass.png"));
    EXPECT_FALSE(plain.dest.has_value());
    const ImageRef placed = ParseImageRef(QStringLiteral("file='logo_32.png' dest='2,2,34,34'"));
    EXPECT_EQ(placed.file, QStringLiteral("logo_32.png"));
    ASSERT_TRUE(placed.dest.has_value());
    EXPECT_EQ(*placed.dest, QRect(2, 2, 32, 32));
}

// Numbers past any real layout would overflow the sums of a placement.
TEST(AttributeValues, NumbersBeyondAnyLayoutAreMalformed) {
    EXPECT_EQ(ParseInt(QStringLiteral("1000000"), 7), 1000000);
    EXPECT_EQ(ParseRect(QStringLiteral("-1000000,0,1000000,1")), QRect(-1000000, 0, 2000000, 1));
    for (const char* number : {"1000001", "2147483647", "-2147483648", "99999999999"}) {
        SCOPED_TRACE(number);
        const QString n = QString::fromLatin1(number);
        EXPECT_EQ(ParseInt(n, 7), 7);
        EXPECT_FALSE(ParseFour(QStringLiteral("0,0,0,") + n).has_value());
        EXPECT_FALSE(ParseRect(n + QStringLiteral(",0,0,0")).has_value());
        EXPECT_FALSE(ParseSize(QStringLiteral("1,") + n).has_value());
    }
}

TEST(LayoutXml, ReadsElementsAndAttributesInOrder) {
    const auto doc = ParseLayoutXml(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<Window size=\"1,2\"><Font id=\"0\"/><VerticalLayout><Label name=\"a\" text=\"指紋\"/>"
        "</VerticalLayout></Window>");
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->tag, QStringLiteral("Window"));
    ASSERT_EQ(doc->children.size(), 2u);
    const LayoutNode& label = doc->children[1].children.at(0);
    EXPECT_EQ(label.Attribute(QStringLiteral("text")), QStringLiteral("指紋"));
    EXPECT_EQ(label.Attribute(QStringLiteral("missing")), QString());
}

TEST(LayoutXml, RefusesMalformedDocuments) {
    const char* bad[] = {
        "",
        "<Window>",
        "<Window></Other>",
        "<Window a=\"1\" a=\"2\"/>",
        "<Window/><Second/>",
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaa\">]><Window t=\"&a;\"/>",
        "\xff\xfe<Window/>",
        "<Window><Label text=\"&undefined;\"/></Window>",
    };
    for (const char* text : bad) {
        QString error;
        EXPECT_FALSE(ParseLayoutXml(QByteArray(text), &error).has_value()) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    QByteArray deep;
    for (int i = 0; i < 100; ++i) {
        deep += "<Container>";
    }
    for (int i = 0; i < 100; ++i) {
        deep += "</Container>";
    }
    EXPECT_FALSE(ParseLayoutXml(deep).has_value());
}

}  // namespace
}  // namespace kelvora
