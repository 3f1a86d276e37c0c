#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QImageReader>
#include <QTest>

#include <cstdio>

#include <jpeglib.h>

using folioset::pdf::Document;
using folioset::pdf::WriteOptions;

namespace {

QImage quadrants(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(220, 20, 20), qRgb(20, 200, 20), qRgb(20, 20, 220),
                            qRgb(230, 230, 30)};
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int q = (x >= size.width() / 2 ? 1 : 0) + (y >= size.height() / 2 ? 2 : 0);
            image.setPixel(x, y, colours[q]);
        }
    }
    return image;
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) < 48 && std::abs(qGreen(a) - qGreen(b)) < 48 &&
           std::abs(qBlue(a) - qBlue(b)) < 48;
}

QByteArray patchedSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

// An arithmetic-coded JPEG of `components` (1 gray, 3 YCbCr, 4 CMYK) from the picture's
// colour channels; the decoded samples, as libjpeg gives them without colour conversion other
// than YCbCr to RGB, come back in `decoded`.
bool writeArithmeticJpeg(const QString &path, const QImage &picture, int components,
                         QByteArray *decoded)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct out;
    jpeg_error_mgr errors;
    out.err = jpeg_std_error(&errors);
    jpeg_create_compress(&out);
    jpeg_stdio_dest(&out, file);
    out.image_width = JDIMENSION(rgb.width());
    out.image_height = JDIMENSION(rgb.height());
    out.input_components = components;
    out.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&out);
    out.arith_code = TRUE;
    jpeg_start_compress(&out, TRUE);
    std::vector<JSAMPLE> row(std::size_t(rgb.width() * components));
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *line = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            for (int c = 0; c < components; ++c)
                row[std::size_t(x * components + c)] = line[3 * x + c % 3] ^ JSAMPLE(c * 40);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&out, rows, 1);
    }
    jpeg_finish_compress(&out);
    jpeg_destroy_compress(&out);
    std::fclose(file);

    file = std::fopen(QFile::encodeName(path).constData(), "rb");
    jpeg_decompress_struct in;
    in.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&in);
    jpeg_stdio_src(&in, file);
    jpeg_read_header(&in, TRUE);
    if (components == 3)
        in.out_color_space = JCS_RGB;
    jpeg_start_decompress(&in);
    decoded->clear();
    std::vector<JSAMPLE> back(std::size_t(rgb.width() * components));
    while (in.output_scanline < in.output_height) {
        JSAMPROW rows[] = {back.data()};
        jpeg_read_scanlines(&in, rows, 1);
        decoded->append(reinterpret_cast<const char *>(back.data()), qsizetype(back.size()));
    }
    jpeg_finish_decompress(&in);
    jpeg_destroy_decompress(&in);
    std::fclose(file);
    return true;
}

} // namespace

class JpegPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Writes a one-page PDF of `image` and returns the image XObject read back.
    QPDFObjectHandle roundTrip(const QString &image, std::shared_ptr<QPDF> *keep)
    {
        Document document;
        QString reason;
        if (!helpers::appendPage(document, image, 0, &reason))
            qWarning() << reason;
        const QString out = image + QStringLiteral(".pdf");
        if (!document.write(out, WriteOptions{}, nullptr, &reason))
            qWarning() << reason;
        *keep = readback::open(out);
        return readback::image(readback::pages(**keep).at(0));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void embedsTheFileByteForByte_data()
    {
        QTest::addColumn<int>("color");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<QByteArray>("space");
        QTest::newRow("gray") << int(fixtures::JpegColor::Gray) << false
                              << QByteArray("/DeviceGray");
        QTest::newRow("YCbCr") << int(fixtures::JpegColor::YCbCr) << false
                               << QByteArray("/DeviceRGB");
        QTest::newRow("progressive")
            << int(fixtures::JpegColor::YCbCr) << true << QByteArray("/DeviceRGB");
        QTest::newRow("RGB") << int(fixtures::JpegColor::Rgb) << false << QByteArray("/DeviceRGB");
        QTest::newRow("CMYK") << int(fixtures::JpegColor::AdobeCmyk) << false
                              << QByteArray("/DeviceCMYK");
        QTest::newRow("progressive CMYK")
            << int(fixtures::JpegColor::AdobeCmyk) << true << QByteArray("/DeviceCMYK");
    }
    void embedsTheFileByteForByte()
    {
        QFETCH(int, color);
        QFETCH(bool, progressive);
        QFETCH(QByteArray, space);
        const QString path = file(QStringLiteral("photo-%1.jpg").arg(QTest::currentDataTag()));
        fixtures::JpegOptions options;
        options.color = fixtures::JpegColor(color);
        options.progressive = progressive;
        QVERIFY(fixtures::writeJpegWith(path, fixtures::patternImage({321, 203}, 3), options));

        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(path, &pdf);
        auto dict = image.getDict();
        QCOMPARE(dict.getKey("/Filter").getName(), std::string("/DCTDecode"));
        QCOMPARE(readback::rawData(image), fixtures::readBytes(path));
        QCOMPARE(QByteArray::fromStdString(dict.getKey("/ColorSpace").getName()), space);
        QCOMPARE(dict.getKey("/Width").getIntValueAsInt(), 321);
        QCOMPARE(dict.getKey("/Height").getIntValueAsInt(), 203);
        QCOMPARE(dict.getKey("/BitsPerComponent").getIntValueAsInt(), 8);
        // Adobe applications store CMYK inverted; a reader must flip it back.
        QCOMPARE(dict.getKey("/Decode").unparse() == "[ 1 0 1 0 1 0 1 0 ]", space == "/DeviceCMYK");
    }

    // RGB that only its component ids tell from YCbCr: some readers go by the ids, some by
    // /ColorTransform, some by their own default. An Adobe segment settles it for all.
    void rgbJpegWithoutAdobeMarkerGetsOne()
    {
        const QString path = file(QStringLiteral("rgb-plain.jpg"));
        fixtures::JpegOptions options;
        options.color = fixtures::JpegColor::Rgb;
        options.rgbWithoutAdobeMarker = true;
        QVERIFY(fixtures::writeJpegWith(path, fixtures::patternImage({64, 48}), options));
        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(path, &pdf);
        QCOMPARE(
            image.getDict().getKey("/DecodeParms").getKey("/ColorTransform").getIntValueAsInt(), 0);
        const QByteArray source = fixtures::readBytes(path);
        const QByteArray stream = readback::rawData(image);
        // Start marker, APP14 "Adobe" version 100, no flags, transform 0; then the file as it is.
        const QByteArray adobe("\xFF\xEE\x00\x0E"
                               "Adobe\x00\x64\x00\x00\x00\x00\x00",
                               16);
        QCOMPARE(stream, source.left(2) + adobe + source.mid(2));
        const QImage fromFile = QImage::fromData(source, "JPEG");
        QVERIFY(!fromFile.isNull());
        QCOMPARE(QImage::fromData(stream, "JPEG"), fromFile);
    }

    void keepsShortTrailingBytesAndDropsALongTrailer()
    {
        const QString base = file(QStringLiteral("trailer-base.jpg"));
        QVERIFY(fixtures::writeJpeg(base, {200, 150}, 5));
        const QByteArray jpeg = fixtures::readBytes(base);

        const QString shortTail = file(QStringLiteral("short-tail.jpg"));
        const QByteArray padded = jpeg + QByteArray(100, '\0');
        QVERIFY(fixtures::writeBytes(shortTail, padded));
        std::shared_ptr<QPDF> pdf;
        QCOMPARE(readback::rawData(roundTrip(shortTail, &pdf)), padded);

        // A camera's appended preview or video: the image ends at its end-of-image marker,
        // whether the file is read whole at once (70 KiB of trailer) or not (300 KiB).
        for (const int trailer : {70 * 1024, 300 * 1024}) {
            const QString longTail = file(QStringLiteral("long-tail-%1.jpg").arg(trailer));
            QVERIFY(fixtures::writeBytes(longTail, jpeg + QByteArray(trailer, 'x')));
            QCOMPARE(readback::rawData(roundTrip(longTail, &pdf)), jpeg);
        }
    }

    void refusesIncompleteOrDamagedJpegs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString base = file(QStringLiteral("damage-base.jpg"));
        fixtures::JpegOptions progressive;
        progressive.progressive = true;
        QVERIFY(fixtures::writeJpegWith(base, fixtures::patternImage({300, 200}, 2), progressive));
        const QByteArray jpeg = fixtures::readBytes(base);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut in the header") << jpeg.left(100);
        QTest::newRow("cut in the scans") << jpeg.left(jpeg.size() / 2);
        QTest::newRow("missing its end marker") << jpeg.left(jpeg.size() - 2);
        QTest::newRow("noise after the start marker")
            << QByteArray("\xFF\xD8\xFF\x01garbage-garbage");
        QTest::newRow("huge declared size") << patchedSize(jpeg, 65000, 65000);
    }
    void refusesIncompleteOrDamagedJpegs()
    {
        QFETCH(QByteArray, bytes);
        const QString path = file(QStringLiteral("damaged.jpg"));
        QVERIFY(fixtures::writeBytes(path, bytes));
        Document document;
        QString reason;
        QVERIFY(!helpers::appendPage(document, path, 0, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(document.pageCount(), 0);
    }

    void statesWhyAnOversizedImageIsRefused()
    {
        const QString path = file(QStringLiteral("oversized.jpg"));
        QVERIFY(fixtures::writeJpeg(path, {64, 64}));
        QVERIFY(fixtures::writeBytes(path, patchedSize(fixtures::readBytes(path), 65000, 60000)));
        QString reason;
        QVERIFY(!folioset::pdf::ImageSource::open(path, &reason));
        QCOMPARE(reason,
                 QStringLiteral("Image dimensions 65000 x 60000 exceed the decoding limit"));
    }

    // PDF readers cannot be trusted with arithmetic coding: those files are decoded, their
    // colour model kept.
    void arithmeticCodedJpegsAreDecoded_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<QByteArray>("space");
        QTest::newRow("gray") << 1 << QByteArray("/DeviceGray");
        QTest::newRow("YCbCr") << 3 << QByteArray("/DeviceRGB");
        QTest::newRow("CMYK") << 4 << QByteArray("/DeviceCMYK");
    }
    void arithmeticCodedJpegsAreDecoded()
    {
        QFETCH(int, components);
        QFETCH(QByteArray, space);
        const QString path = file(QStringLiteral("arithmetic-%1.jpg").arg(components));
        QByteArray decoded;
        QVERIFY(
            writeArithmeticJpeg(path, fixtures::patternImage({67, 45}, 5), components, &decoded));
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = helpers::writtenImage(path, 0, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        QCOMPARE(image.getDict().getKey("/Filter").getName(), std::string("/FlateDecode"));
        QCOMPARE(readback::colourSpaceName(image), space);
        QCOMPARE(readback::samples(image), decoded);
    }

    void pageSizeFollowsTheStoredResolution_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<int>("jfifDpi");
        QTest::addColumn<int>("exifDpi");
        QTest::addColumn<QSizeF>("points");
        QTest::newRow("A4 at 300 dpi") << QSize(2480, 3508) << 300 << 0 << QSizeF(595.2, 841.92);
        QTest::newRow("EXIF 200 dpi") << QSize(400, 200) << 0 << 200 << QSizeF(144, 72);
        QTest::newRow("JFIF wins over EXIF") << QSize(400, 200) << 100 << 200 << QSizeF(288, 144);
        QTest::newRow("nothing stored") << QSize(400, 200) << 0 << 0 << QSizeF(400, 200);
    }
    void pageSizeFollowsTheStoredResolution()
    {
        QFETCH(QSize, pixels);
        QFETCH(int, jfifDpi);
        QFETCH(int, exifDpi);
        QFETCH(QSizeF, points);
        const QString path = file(QStringLiteral("dpi.jpg"));
        fixtures::JpegOptions options;
        options.jfifDpi = jfifDpi;
        options.exifOrientation = exifDpi > 0 ? 1 : 0;
        options.exifDpi = exifDpi;
        QVERIFY(fixtures::writeJpegWith(path, fixtures::patternImage(pixels), options));
        Document document;
        QVERIFY(helpers::appendPage(document, path));
        QCOMPARE(document.mediaBoxSize(1), points);
        const QString out = file(QStringLiteral("dpi.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        auto pdf = readback::open(out);
        QCOMPARE(readback::mediaBox(readback::pages(*pdf).at(0)), points);
    }

    void exifOrientationShowsThePhotoUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("rotate");
        for (const auto &[o, r] :
             {std::pair{1, 0}, {2, 0}, {3, 180}, {4, 0}, {5, 0}, {6, 90}, {7, 0}, {8, 270}})
            QTest::addRow("orientation %d", o) << o << r;
    }
    void exifOrientationShowsThePhotoUpright()
    {
        QFETCH(int, orientation);
        QFETCH(int, rotate);
        const QSize stored(96, 48);
        const QImage picture = quadrants(stored);
        const QString path = file(QStringLiteral("turned-%1.jpg").arg(orientation));
        fixtures::JpegOptions options;
        options.exifOrientation = orientation;
        QVERIFY(fixtures::writeJpegWith(path, picture, options));

        Document document;
        QVERIFY(helpers::appendPage(document, path));
        const QString out = file(QStringLiteral("turned-%1.pdf").arg(orientation));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        auto pdf = readback::open(out);
        const auto page = readback::pages(*pdf).at(0);
        QCOMPARE(readback::rotation(page), rotate);
        QCOMPARE(readback::rawData(readback::image(page)), fixtures::readBytes(path));

        // Qt's own EXIF handling is the reference for what upright means.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage upright = reader.read();
        QCOMPARE(document.displaySize(1), QSizeF(upright.size()));
        QCOMPARE(document.mediaBoxSize(1), readback::mediaBox(page));

        const QList<QByteArray> ops = readback::contents(page).simplified().split(' ');
        QCOMPARE(ops.value(7), QByteArray("cm"));
        double m[6];
        for (int i = 0; i < 6; ++i)
            m[i] = ops[i + 1].toDouble();
        const QSizeF box = readback::mediaBox(page);
        for (const QPoint pixel :
             {QPoint(10, 10), QPoint(86, 10), QPoint(10, 38), QPoint(86, 38)}) {
            const double u = (pixel.x() + 0.5) / stored.width();
            const double v = 1 - (pixel.y() + 0.5) / stored.height();
            const double px = m[0] * u + m[2] * v + m[4];
            const double py = m[1] * u + m[3] * v + m[5];
            const double x = px / box.width(), top = 1 - py / box.height();
            QPointF shown;
            switch (rotate) {
            case 90:
                shown = {1 - top, x};
                break;
            case 180:
                shown = {1 - x, 1 - top};
                break;
            case 270:
                shown = {top, 1 - x};
                break;
            default:
                shown = {x, top};
                break;
            }
            const QRgb seen =
                upright.pixel(int(shown.x() * upright.width()), int(shown.y() * upright.height()));
            QVERIFY2(near(seen, picture.pixel(pixel)),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(pixel.x()).arg(pixel.y())));
        }
    }
};

int helpers::runJpegPageTests(int argc, char **argv)
{
    JpegPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_jpegpages.moc"
