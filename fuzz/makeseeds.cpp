// Writes the fuzzers' seed corpora: small images in the forms the readers tell apart, made with
// the test suite's own encoders (libjpeg, libpng, libtiff, a GIF and a BMP writer of its own)
// and Qt, and texts in the shapes the program reads. Nothing is downloaded.
//
//   folioset_fuzzseeds FOLDER      (one subfolder per fuzz target)

#include "image/iccfixture.h"
#include "pdf/bmpwriter.h"
#include "pdf/tiffwriter.h"
#include "platform/inifile.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QColorSpace>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>
#include <functional>


using namespace fixtures;
using folioset::iniText;

namespace {

QString g_root;
int g_failures = 0;

QString seedPath(const char *target, const QString &name)
{
    QDir().mkpath(g_root + QLatin1Char('/') + QLatin1String(target));
    return g_root + QLatin1Char('/') + QLatin1String(target) + QLatin1Char('/') + name;
}

void check(bool written, const QString &what)
{
    if (!written) {
        std::fprintf(stderr, "folioset_fuzzseeds: cannot write %s\n", qPrintable(what));
        ++g_failures;
    }
}

void bytesSeed(const char *target, const QString &name, const QByteArray &bytes)
{
    check(writeBytes(seedPath(target, name), bytes), name);
}

QImage picture(int seed = 1)
{
    return patternImage(QSize(24, 16), seed);
}

QImage indexed(int colours)
{
    QImage image = picture().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QList<QRgb> table = image.colorTable();
    table.resize(colours);
    image.setColorTable(table);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, uint((x + y) % colours));
    }
    return image;
}

bool writeWithProfile(const QString &path, const char *format)
{
    QImage image = picture();
    image.setColorSpace(QColorSpace::SRgb);
    return QImageWriter(path, format).write(image);
}

void jpegSeeds()
{
    const struct
    {
        const char *name;
        JpegOptions options;
    } forms[] = {
        {"ycbcr.jpg", {}},
        {"gray.jpg", {.color = JpegColor::Gray}},
        {"rgb.jpg", {.color = JpegColor::Rgb}},
        {"rgb-by-ids.jpg", {.color = JpegColor::Rgb, .rgbWithoutAdobeMarker = true}},
        {"adobe-cmyk.jpg", {.color = JpegColor::AdobeCmyk}},
        {"progressive.jpg", {.progressive = true}},
        {"jfif-300dpi.jpg", {.jfifDpi = 300}},
        {"exif-rotated-200dpi.jpg", {.exifOrientation = 6, .exifDpi = 200}},
    };
    for (const auto &form : forms) {
        const QString path = seedPath("jpeg", QLatin1String(form.name));
        check(writeJpegWith(path, picture(), form.options), path);
    }
    // libjpeg can code with arithmetic coding, which the program decodes rather than carries.
    check(fixtures::writeJpegWith(seedPath("jpeg", QStringLiteral("arithmetic.jpg")), picture(),
                                  {.arithmetic = true}),
          "arithmetic");
    check(writeWithProfile(seedPath("jpeg", QStringLiteral("icc.jpg")), "jpeg"), "icc.jpg");
}

void pngSeeds()
{
    const struct
    {
        const char *name;
        PngOptions options;
        QImage image;
    } forms[] = {
        {"gray1.png", {.colorType = 0, .bitDepth = 1}, picture()},
        {"gray4.png", {.colorType = 0, .bitDepth = 4}, picture()},
        {"gray16.png", {.colorType = 0, .bitDepth = 16}, picture()},
        {"rgb.png", {.dotsPerMetre = 11811}, picture()},
        {"rgb16.png", {.bitDepth = 16}, picture()},
        {"palette.png", {.colorType = 3}, indexed(20)},
        {"palette2-trns.png", {.colorType = 3, .bitDepth = 2, .transparentIndex = 1}, indexed(4)},
        {"gray-alpha.png", {.colorType = 4}, picture()},
        {"rgba16.png",
         {.colorType = 6, .bitDepth = 16},
         picture().convertToFormat(QImage::Format_ARGB32)},
        {"interlaced-rgba.png",
         {.colorType = 6, .interlaced = true},
         picture().convertToFormat(QImage::Format_ARGB32)},
        {"interlaced-gray2.png", {.colorType = 0, .bitDepth = 2, .interlaced = true}, picture()},
    };
    for (const auto &form : forms) {
        const QString path = seedPath("png", QLatin1String(form.name));
        check(writePngWith(path, form.image, form.options), path);
    }
    check(writeWithProfile(seedPath("png", QStringLiteral("icc.png")), "png"), "icc.png");
}

void bmpSeeds()
{
    const QList<QRgb> grays{qRgb(0, 0, 0), qRgb(85, 85, 85), qRgb(170, 170, 170),
                            qRgb(255, 255, 255)};
    const QList<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)};
    const auto pattern = [](int x, int y) { return std::uint32_t((x * 7 + y * 3) % 4); };
    const auto rgb = [](int x, int y) { return std::uint32_t(x * 0x0A0B0C + y * 0x030201); };
    const struct
    {
        const char *name;
        BmpForm form;
        BmpPixels pixels;
    } forms[] = {
        {"core24.bmp", {.headerSize = 12}, rgb},
        {"info24-topdown.bmp", {.topDown = true}, rgb},
        {"info1.bmp",
         {.bits = 1, .palette = {qRgb(255, 255, 255), qRgb(0, 0, 0)}},
         [](int x, int y) { return std::uint32_t((x + y) % 2); }},
        {"info4-gray.bmp", {.bits = 4, .palette = grays}, pattern},
        {"info8.bmp", {.bits = 8, .palette = colours}, pattern},
        {"rle8.bmp", {.bits = 8, .compression = 1, .palette = colours}, pattern},
        {"rle4-deltas.bmp",
         {.bits = 4, .compression = 2, .palette = colours, .deltas = true},
         pattern},
        {"bitfields565.bmp",
         {.bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F, 0}},
         rgb},
        {"v5-alpha.bmp",
         {.headerSize = 124,
          .bits = 32,
          .compression = 3,
          .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
         [](int x, int y) { return std::uint32_t(x * 0x01020304 + y * 0x10000000); }},
        {"os2-64.bmp", {.headerSize = 64, .bits = 8, .palette = colours}, pattern},
        {"v3-32-unused.bmp", {.headerSize = 56, .bits = 32, .unusedByte = 0x7F}, rgb},
    };
    for (const auto &f : forms)
        bytesSeed("bmp", QLatin1String(f.name), bmpBytes(f.form, 13, 7, f.pixels));
}

void gifSeeds()
{
    check(writeGif(seedPath("gif", QStringLiteral("one.gif")), {indexed(16)}), "one.gif");
    QList<QImage> frames;
    for (int i = 0; i < 3; ++i) {
        QImage frame = indexed(8);
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixel(x, i * 3, 7);
        frames << frame;
    }
    check(writeGif(seedPath("gif", QStringLiteral("three-transparent.gif")), frames, 7),
          "three.gif");
}

TiffPage samplesPage(int bits, int samples, int photometric, int compression)
{
    TiffPage p;
    p.width = 9;
    p.height = 6;
    p.bitsPerSample = bits;
    p.samplesPerPixel = samples;
    p.photometric = photometric;
    p.compression = compression;
    p.samples = QByteArray(qsizetype(p.rowBytes()) * p.height, '\0');
    for (qsizetype i = 0; i < p.samples.size(); ++i)
        p.samples[i] = char(i * 37);
    return p;
}

void tiffSeeds()
{
    const auto seed = [](const char *name, const QList<TiffPage> &pages) {
        const QString path = seedPath("tiff", QLatin1String(name));
        check(writeTiffPages(path, pages), path);
    };
    seed("gray-deflate.tif",
         {samplesPage(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE)});
    seed("g4-one-strip.tif",
         {bilevelPage(40, 20, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0)});
    seed("g3-strips.tif",
         {bilevelPage(40, 20, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX3, 8, true)});
    seed("rgb16-lzw.tif", {samplesPage(16, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW)});
    seed("cmyk-packbits.tif", {samplesPage(8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_PACKBITS)});
    TiffPage planar = samplesPage(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE);
    planar.planar = PLANARCONFIG_SEPARATE;
    planar.rowsPerStrip = 2;
    seed("rgb-planar.tif", {planar});
    TiffPage tiled = samplesPage(8, 4, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE);
    tiled.width = 20;
    tiled.height = 20;
    tiled.samples = QByteArray(qsizetype(tiled.rowBytes()) * 20, 'x');
    tiled.tileSize = 16;
    tiled.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    seed("rgba-tiled.tif", {tiled});
    TiffPage palette = samplesPage(4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE);
    for (int channel = 0; channel < 3; ++channel) {
        for (int i = 0; i < 16; ++i)
            palette.colormap.push_back(std::uint16_t(i * 4096 + channel * 100));
    }
    palette.orientation = 6;
    palette.dpi = 150;
    seed("palette-rotated.tif", {palette});
    TiffPage jpeg = samplesPage(8, 3, PHOTOMETRIC_RGB, COMPRESSION_JPEG);
    jpeg.width = 16;
    jpeg.height = 16;
    jpeg.samples = QByteArray(qsizetype(jpeg.rowBytes()) * 16, 'j');
    jpeg.jpegQuality = 80;
    seed("jpeg-ycbcr.tif", {jpeg});
    TiffPage profiled = samplesPage(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE);
    profiled.iccProfile = iccProfile();
    seed("two-pages-icc.tif",
         {profiled, samplesPage(2, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_LZW)});
    const QString lab = seedPath("tiff", QStringLiteral("rgb-lzw-qt.tif"));
    check(writeTiff(lab, {picture(), picture(2)}, TiffCompression::Lzw, 300), lab);
}

void textSeeds()
{
    const QByteArray exif = exifBlock(6, 300);
    bytesSeed("exif", QStringLiteral("rotated-300dpi"), exif.mid(6));
    bytesSeed("exif", QStringLiteral("upright"), exifBlock(1, 0).mid(6));
    for (const auto &[space, first] : {std::pair{"GRAY", '\0'}, {"RGB ", '\1'}, {"CMYK", '\2'}}) {
        IccShape shape;
        shape.space = space;
        const QByteArray profile = iccProfile(shape);
        bytesSeed("icc", QStringLiteral("profile-%1").arg(QLatin1String(space).trimmed()),
                  first + profile);
        // The same as a PNG iCCP chunk's data: name, its end, method 0, zlib data.
        bytesSeed("icc", QStringLiteral("iccp-%1").arg(QLatin1String(space).trimmed()),
                  first + QByteArray("ICC Profile\0\0", 13) + qCompress(profile).mid(4));
    }
    const struct
    {
        const char *name;
        QByteArray bytes;
    } rules[] = {
        {"ranges", QByteArray("\x01\x01\x01\x01"
                              "1-3,12-9,5-5,2-2",
                              20)},
        {"ranges-large", QByteArray("\x01\x02\x01\x01"
                                    "990-1000,3-1,1-2147483647",
                                    29)},
        {"steps", QByteArray("\x02\x01\x03\x01", 4)},
        {"reversed-steps", QByteArray("\x03\x02\x01\x07", 4)},
        {"all", QByteArray("\x00\x00\x01\x01", 4)},
    };
    for (const auto &rule : rules)
        bytesSeed("pageranges", QLatin1String(rule.name), rule.bytes);
    bytesSeed("pathlist", QStringLiteral("lines"),
              QByteArray("\x00/photos/a.jpg\nscans/b.PNG\n/x/c.tif\r\n/d.txt\n\n/a/名.TIFF\n", 56));
    bytesSeed("pathlist", QStringLiteral("nul"),
              QByteArray("\x01/a/b.jpg\0/c\nd.png\0\0/e.tif", 27));
    bytesSeed("usagerecord", QStringLiteral("record.xml"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!-- Folioset 2.0.0 Usages Reporting File -->\n"
              "<usagesreporting xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
              "  <productname>Folioset</productname>\n  <productversion>2.0.0</productversion>\n"
              "  <builddate>2026-01-08T10:45:28.123000+01:00</builddate>\n"
              "  <hardwareUUID>0f3c</hardwareUUID>\n  <enabled>true</enabled>\n"
              "  <lastreportsenton>2026-01-08T10:45:28Z</lastreportsenton>\n"
              "  <lastReviewAskDate>2026-01-08T10:45:28+0100</lastReviewAskDate>\n"
              "  <neverAskForReview>false</neverAskForReview>\n"
              "  <nextReviewTargetValue>1000</nextReviewTargetValue>\n  <features>\n"
              "    <featureusages><name>Single</name><usagescount>3</usagescount>"
              "<filescount>12</filescount></featureusages>\n"
              "    <featureusages><name>Merge</name><usagescount>-1</usagescount>"
              "<filescount>99999999999</filescount></featureusages>\n"
              "  </features>\n</usagesreporting>\n");
    const QVariantMap pdfSettings{
        {QStringLiteral("encryptionStrength"), 1},
        {QStringLiteral("bookmarkType"), 2},
        {QStringLiteral("canCopy"), false},
        {QStringLiteral("canPrint"), true},
        {QStringLiteral("title"), QStringLiteral("A, \"title\"; é\n")},
        {QStringLiteral("pdfOpenPassword"), QStringLiteral("@secret\\")},
    };
    const QVariantMap settings{
        {QStringLiteral("combineOptionIndex"), 2},
        {QStringLiteral("groupMultiPagePDFCount"), 5},
        {QStringLiteral("outputFolderPath"), QStringLiteral("/home/u/PDF files")},
        {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
        {QStringLiteral("pdfSettings"), pdfSettings},
    };
    const QVariantMap recent{
        {QStringLiteral("RECENTITEMS"),
         QVariantList{QVariantMap{{QStringLiteral("path"), QStringLiteral("/a,b")}}}}};
    bytesSeed("settings", QStringLiteral("stored.conf"),
              iniText({{QStringLiteral("SETTINGS"), settings},
                       {QStringLiteral("RECENTITEMS"), recent.first()},
                       {QStringLiteral("includeSubfolders"), QStringList{"a", "b"}}}));
    bytesSeed("settings", QStringLiteral("hand-edited.conf"),
              "[SETTINGS]\ncombineOptionIndex=two\npdfSettings\\canCopy=yes\n"
              "pdfSettings\\title=@Invalid()\n; comment\n[%General]\nkey=\"a\\x41\"\n");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv); // Qt's image writers need one
    if (argc != 2) {
        std::fprintf(stderr, "usage: folioset_fuzzseeds FOLDER\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    jpegSeeds();
    pngSeeds();
    bmpSeeds();
    gifSeeds();
    tiffSeeds();
    textSeeds();
    return g_failures == 0 ? 0 : 1;
}
