// The skin package is read from memory; broken archives are refused.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "skin/embedded_package.h"
#include "toolkit/image_prefetch.h"
#include "toolkit/resource_package.h"
#include "toolkit/skin_image.h"
#include "toolkit/window_impl_base.h"

namespace kelvora {
namespace {

std::span<const std::byte> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const std::byte*>(data.constData()), static_cast<size_t>(data.size())};
}

TEST(ResourcePackage, EmbeddedPackageHoldsLayoutsPicturesAndIcon) {
    const auto bytes = LoadEmbeddedZipResource(kSkinResourceId);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(LoadEmbeddedZipResource(110).empty());
    const auto package = ResourcePackage::Open(bytes);
    ASSERT_NE(package, nullptr);
    // The passkey window adds two layouts and four pictures.
    EXPECT_EQ(package->EntryCount(), (13 + 2) + (69 + 4) + 1);
    const auto main = package->Read(QStringLiteral("main.xml"));
    ASSERT_TRUE(main.has_value());
    EXPECT_TRUE(main->contains("list_Fingerprint"));
    EXPECT_FALSE(package->Read(QStringLiteral("Skins/main.xml")).has_value());
    EXPECT_FALSE(package->Read(QStringLiteral("nothing.png")).has_value());
}

TEST(ResourcePackage, FileOnDiskIsNeverRead) {
    // A "Skins.zip" next to us changes nothing: only the name is remembered.
    QTemporaryDir dir;
    QFile bogus(QDir(dir.path()).filePath(QStringLiteral("Skins.zip")));
    ASSERT_TRUE(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a zip");
    bogus.close();
    QDir::setCurrent(dir.path());
    CPaintManagerUI::SetResourceZipName(QStringLiteral("Skins.zip"));
    EXPECT_TRUE(CPaintManagerUI::LoadResourceFile(QStringLiteral("main.xml")).has_value());
    EXPECT_EQ(CPaintManagerUI::GetResourceZipName(), QStringLiteral("Skins.zip"));
}

TEST(ResourcePackage, RefusesBrokenArchives) {
    const auto good = LoadEmbeddedZipResource(kSkinResourceId);
    const QByteArray original(reinterpret_cast<const char*>(good.data()),
                              static_cast<qsizetype>(good.size()));
    EXPECT_EQ(ResourcePackage::Open({}), nullptr);
    EXPECT_EQ(ResourcePackage::Open(Bytes(QByteArray("PK\x03\x04 garbage"))), nullptr);
    EXPECT_EQ(ResourcePackage::Open(Bytes(original.left(original.size() / 2))), nullptr);

    // A flipped byte inside a member's compressed data: the archive opens, that member reads
    // as missing (its checksum), the process carries on.
    QByteArray corrupt = original;
    const qsizetype at = corrupt.indexOf("main.xml") + 200;
    corrupt[at] = static_cast<char>(corrupt[at] ^ 0x5A);
    auto package = ResourcePackage::Open(Bytes(corrupt));
    ASSERT_NE(package, nullptr);
    EXPECT_FALSE(package->Read(QStringLiteral("main.xml")).has_value());
    EXPECT_TRUE(package->Read(QStringLiteral("welcome.xml")).has_value());

    // A central directory that records 2 GiB for its first member: refused from the record,
    // before anything is allocated or inflated.
    QByteArray huge = original;
    const char* raw = huge.constData();
    const auto first =
        qFromLittleEndian<quint32>(raw + huge.lastIndexOf(QByteArray("PK\x05\x06")) + 16);
    const QString name =
        QString::fromUtf8(huge.mid(first + 46, qFromLittleEndian<quint16>(raw + first + 28)));
    huge[first + 27] = static_cast<char>(0x80);  // the uncompressed size's high byte
    package = ResourcePackage::Open(Bytes(huge));
    ASSERT_NE(package, nullptr);
    EXPECT_GT(package->SizeOf(name).value_or(0), ResourcePackage::kMaxMemberSize);
    EXPECT_FALSE(package->Read(name).has_value());
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return out;
}

QByteArray Encoded(QSize size, const char* format) {
    QImage image(size, QImage::Format_Mono);  // small to encode at any size
    image.fill(1);
    return Encoded(image, format);
}

TEST(SkinImage, PicturesAboveTheBoundsAreRefusedFromTheirHeader) {
    const QByteArray png = Encoded({kMaxSkinImageSide, 2}, "PNG");
    QByteArray lyingHeader = png;  // says 8 rows, holds 2: refused once the rows run out
    lyingHeader[23] = 8;
    const struct {
        const char* what;
        QByteArray bytes;
        bool decodes;
    } cases[] = {
        {"widest allowed", png, true},
        {"bitmap", Encoded({48, 48}, "BMP"), true},
        {"one pixel too wide", Encoded({kMaxSkinImageSide + 1, 1}, "PNG"), false},
        {"one pixel too tall", Encoded({1, kMaxSkinImageSide + 1}, "BMP"), false},
        {"too many pixels", Encoded({1025, 1024}, "PNG"), false},
        {"header only", png.left(33), false},
        {"header lies", lyingHeader, false},
        {"not a picture", QByteArray("GIF89a nonsense"), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& c : cases) {
        const auto image = DecodeSkinImage(c.bytes);
        EXPECT_EQ(image.has_value(), c.decodes) << c.what;
        if (image) {
            EXPECT_EQ(image->format(), QImage::Format_ARGB32_Premultiplied) << c.what;
        }
    }
}

TEST(SkinImage, PixelsArePremultipliedAsQtWouldForEveryStoredForm) {
    // One row: opaque, wholly clear, half clear, nearly clear.
    QImage argb(4, 1, QImage::Format_ARGB32);
    const QRgb pixels[] = {qRgba(10, 200, 30, 255), qRgba(90, 80, 70, 0), qRgba(255, 128, 2, 128),
                           qRgba(200, 100, 50, 1)};
    for (int x = 0; x < 4; ++x) {
        argb.setPixel(x, 0, pixels[x]);
    }
    const QImage sources[] = {argb, argb.convertToFormat(QImage::Format_RGB32),
                              argb.convertToFormat(QImage::Format_Indexed8)};
    for (const QImage& source : sources) {
        const QByteArray png = Encoded(source, "PNG");
        ASSERT_FALSE(png.isEmpty()) << source.format();
        const auto decoded = DecodeSkinImage(png);
        ASSERT_TRUE(decoded.has_value()) << source.format();
        QImage expected;
        ASSERT_TRUE(expected.loadFromData(png));
        expected.convertTo(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(*decoded, expected) << source.format();
    }
}

TEST(ImagePrefetch, HandsEachListedPictureOverOnceAsTheUiThreadWouldDecodeIt) {
    QImage picture(3, 2, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 100, 50, 128));
    const QByteArray png = Encoded(picture, "PNG");
    ImagePrefetch prefetch({{QStringLiteral("a.png"), png},
                            {QStringLiteral("junk.png"), QByteArray("not a picture")},
                            {QStringLiteral("b.png"), png}});

    const auto a = prefetch.Take(QStringLiteral("a.png"));
    ASSERT_TRUE(a && *a);
    EXPECT_EQ(**a, *DecodeSkinImage(png));
    EXPECT_FALSE(prefetch.Take(QStringLiteral("a.png"))) << "taken once";
    const auto junk = prefetch.Take(QStringLiteral("junk.png"));
    ASSERT_TRUE(junk) << "listed";
    EXPECT_FALSE(*junk) << "but no picture";
    EXPECT_FALSE(prefetch.Take(QStringLiteral("c.png"))) << "never listed";

    const auto rest = prefetch.TakeRest();
    ASSERT_EQ(rest.size(), 1U);
    EXPECT_EQ(rest[0].first, QStringLiteral("b.png"));
    EXPECT_TRUE(rest[0].second);
}

}  // namespace
}  // namespace kelvora
