#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTest>

#include <QtEndian>

using folioset::pdf::Document;

namespace {

QImage qtPage(const QString &path, int index)
{
    QImageReader reader(path);
    if (index > 0)
        reader.jumpToImage(index);
    return reader.read();
}

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

class OtherPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Writes frame `index` of `path` as a one-page PDF and returns its image read back.
    QPDFObjectHandle roundTrip(const QString &path, int index, std::shared_ptr<QPDF> *keep)
    {
        Document document;
        QString reason;
        if (!helpers::appendPage(document, path, index, &reason))
            qWarning() << reason;
        const QString out = path + QStringLiteral(".pdf");
        if (!document.write(out, {}, nullptr, &reason))
            qWarning() << reason;
        *keep = readback::open(out);
        return readback::image(readback::pages(**keep).at(0));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void pngDataIsCarriedWithoutDecoding_data()
    {
        QTest::addColumn<int>("colorType");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("colours");
        for (const int depth : {1, 2, 4, 8, 16})
            QTest::addRow("gray %d-bit", depth) << 0 << depth << 0;
        QTest::newRow("RGB 8-bit") << 2 << 8 << 0;
        QTest::newRow("RGB 16-bit") << 2 << 16 << 0;
        for (const int depth : {1, 2, 4, 8})
            QTest::addRow("palette %d-bit", depth)
                << 3 << depth << (1 << depth) - (depth > 1 ? 1 : 0);
    }
    void pngDataIsCarriedWithoutDecoding()
    {
        QFETCH(int, colorType);
        QFETCH(int, depth);
        QFETCH(int, colours);
        const QString path = file(QStringLiteral("carried-%1-%2.png").arg(colorType).arg(depth));
        const QImage source = colorType == 3
                                  ? helpers::indexedImage({77, 41}, colours)
                                  : fixtures::patternImage({77, 41}, 4, QImage::Format_RGBA64)
                                        .convertToFormat(QImage::Format_RGBX64);
        QVERIFY(fixtures::writePngWith(path, source, {colorType, depth, false, 0}));

        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(path, 0, &pdf);
        auto dict = image.getDict();
        auto parms = dict.getKey("/DecodeParms");
        QCOMPARE(parms.getKey("/Predictor").getIntValueAsInt(), 15);
        QCOMPARE(parms.getKey("/Columns").getIntValueAsInt(), 77);
        QCOMPARE(parms.getKey("/BitsPerComponent").getIntValueAsInt(), depth);
        QCOMPARE(parms.getKey("/Colors").getIntValueAsInt(), colorType == 2 ? 3 : 1);
        QCOMPARE(dict.getKey("/BitsPerComponent").getIntValueAsInt(), depth);
        QCOMPARE(dict.getKey("/ColorSpace").isArray(), colorType == 3);
        // The compressed data is the file's own: smaller than the file, never re-encoded.
        QVERIFY(readback::rawData(image).size() < fixtures::readBytes(path).size());
        QCOMPARE(readback::pixels(image), readback::comparable(QImage(path)));
    }

    void pngsThePdfCannotCarryAreDecodedLosslessly_data()
    {
        QTest::addColumn<int>("colorType");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("interlaced");
        QTest::addColumn<bool>("masked");
        QTest::newRow("interlaced RGB") << 2 << 8 << true << false;
        QTest::newRow("interlaced 16-bit gray") << 0 << 16 << true << false;
        QTest::newRow("RGBA") << 6 << 8 << false << true;
        QTest::newRow("RGBA 16-bit") << 6 << 16 << false << true;
        QTest::newRow("gray + alpha") << 4 << 8 << false << true;
        QTest::newRow("interlaced 2-bit gray") << 0 << 2 << true << false;
        QTest::newRow("interlaced gray + alpha") << 4 << 8 << true << true;
        QTest::newRow("interlaced RGBA 16-bit") << 6 << 16 << true << true;
    }
    void pngsThePdfCannotCarryAreDecodedLosslessly()
    {
        QFETCH(int, colorType);
        QFETCH(int, depth);
        QFETCH(bool, interlaced);
        QFETCH(bool, masked);
        const QString path = file(QStringLiteral("decoded-%1.png").arg(QTest::currentDataTag()));
        const QImage source = fixtures::patternImage({90, 61}, 6, QImage::Format_RGBA64);
        QVERIFY(fixtures::writePngWith(path, source, {colorType, depth, interlaced, 0}));
        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(path, 0, &pdf);
        QCOMPARE(image.getDict().getKey("/SMask").isStream(), masked);
        QCOMPARE(readback::pixels(image), readback::comparable(QImage(path)));
    }

    void aPaletteWithATransparentEntryGetsASoftMask()
    {
        const QString path = file(QStringLiteral("trns.png"));
        fixtures::PngOptions options;
        options.colorType = 3;
        options.transparentIndex = 2;
        QVERIFY(fixtures::writePngWith(path, helpers::indexedImage({45, 33}, 7), options));
        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(path, 0, &pdf);
        QVERIFY(image.getDict().getKey("/SMask").isStream());
        QCOMPARE(readback::pixels(image), readback::comparable(QImage(path)));
    }

    void appendingJpegPagesReadsNoImageData()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer holds freed memory back: the resident size tells nothing here");
#endif
        const QString path = file(QStringLiteral("heavy.jpg"));
        QVERIFY(fixtures::writeJpeg(path, {3000, 2000}, 9, 98));
        const qint64 fileSize = QFileInfo(path).size();
        const auto source = folioset::pdf::ImageSource::open(path);
        QVERIFY(source);
        Document document;
        const qint64 before = residentKilobytes();
        for (int i = 0; i < 300; ++i)
            QVERIFY(document.appendImagePage(*source, 0));
        const qint64 grown = residentKilobytes() - before;
        // Holding the bytes would take 300 x the file size; a page is a few small objects.
        QVERIFY2(grown * 1024 < 3 * fileSize,
                 qPrintable(QStringLiteral("grew by %1 kB for files of %2 kB")
                                .arg(grown)
                                .arg(fileSize / 1024)));
    }

    void decodedFormatsKeepEveryPixel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QByteArray>("space");
        QTest::addColumn<QByteArray>("filter");
        const QByteArray flate("/FlateDecode"), g4("/CCITTFaxDecode");

        const QImage photo = fixtures::patternImage({123, 77}, 7, QImage::Format_RGB32);
        QVERIFY(fixtures::writeImage(file("rgb.bmp"), photo, "bmp"));
        QTest::newRow("BMP 24-bit") << "rgb.bmp" << 8 << QByteArray("/DeviceRGB") << flate;
        QVERIFY(fixtures::writeImage(file("argb.bmp"), fixtures::patternImage({64, 40}, 2), "bmp"));
        QTest::newRow("BMP with alpha") << "argb.bmp" << 8 << QByteArray("/DeviceRGB") << flate;
        QVERIFY(fixtures::writeImage(file("palette.bmp"), helpers::indexedImage({123, 77}, 200),
                                     "bmp"));
        QTest::newRow("BMP palette") << "palette.bmp" << 8 << QByteArray("/Indexed") << flate;
        QVERIFY(fixtures::writeImage(
            file("mono.bmp"), fixtures::patternImage({123, 77}, 3, QImage::Format_Mono), "bmp"));
        QTest::newRow("BMP 1-bit") << "mono.bmp" << 1 << QByteArray("/DeviceGray") << g4;
        QVERIFY(fixtures::writeGif(file("still.gif"), {helpers::indexedImage({99, 51}, 256)}));
        QTest::newRow("GIF") << "still.gif" << 8 << QByteArray("/Indexed") << flate;
        QVERIFY(fixtures::writeGif(file("sixteen.gif"), {helpers::indexedImage({99, 51}, 16)}));
        QTest::newRow("GIF 16 colours") << "sixteen.gif" << 8 << QByteArray("/Indexed") << flate;
        QVERIFY(fixtures::writeGif(file("clear.gif"), {helpers::indexedImage({99, 51}, 64)}, 5));
        QTest::newRow("GIF transparent") << "clear.gif" << 8 << QByteArray("/Indexed") << flate;
        QVERIFY(fixtures::writeTiff(file("lzw.tif"), {photo}, fixtures::TiffCompression::Lzw));
        QTest::newRow("TIFF LZW") << "lzw.tif" << 8 << QByteArray("/DeviceRGB") << flate;
        QVERIFY(fixtures::writeTiff(file("g4.tif"), {photo}, fixtures::TiffCompression::Group4));
        QTest::newRow("TIFF G4") << "g4.tif" << 1 << QByteArray("/DeviceGray") << g4;
        QVERIFY(fixtures::writeTiff16(
            file("gray16.tif"), fixtures::patternImage({50, 30}, 1, QImage::Format_RGBA64), true));
        QTest::newRow("TIFF 16-bit gray")
            << "gray16.tif" << 16 << QByteArray("/DeviceGray") << flate;
        QVERIFY(fixtures::writeTiff16(
            file("rgb16.tif"), fixtures::patternImage({50, 30}, 1, QImage::Format_RGBA64), false));
        QTest::newRow("TIFF 16-bit RGB") << "rgb16.tif" << 16 << QByteArray("/DeviceRGB") << flate;
    }
    void decodedFormatsKeepEveryPixel()
    {
        QFETCH(QString, name);
        QFETCH(int, bits);
        QFETCH(QByteArray, space);
        QFETCH(QByteArray, filter);
        std::shared_ptr<QPDF> pdf;
        auto image = roundTrip(file(name), 0, &pdf);
        auto dict = image.getDict();
        QCOMPARE(QByteArray::fromStdString(dict.getKey("/Filter").getName()), filter);
        QCOMPARE(readback::colourSpaceName(image), space);
        if (space != "/Indexed") // palettes are packed to the fewest bits that hold them
            QCOMPARE(dict.getKey("/BitsPerComponent").getIntValueAsInt(), bits);
        QCOMPARE(readback::shown(readback::pixels(image)),
                 readback::shown(readback::comparable(QImage(file(name)))));
    }

    void everyTiffPageAndGifFrameCanBeAPage()
    {
        const QList<QImage> pages = {fixtures::patternImage({40, 30}, 1),
                                     fixtures::patternImage({50, 20}, 2),
                                     fixtures::patternImage({30, 60}, 3)};
        const QString tiff = file(QStringLiteral("three.tif"));
        QVERIFY(fixtures::writeTiff(tiff, pages, fixtures::TiffCompression::Deflate));
        const QString gif = file(QStringLiteral("animated.gif"));
        QVERIFY(fixtures::writeGif(gif, {helpers::indexedImage({40, 30}, 100, 1),
                                         helpers::indexedImage({40, 30}, 100, 2),
                                         helpers::indexedImage({40, 30}, 100, 3)}));
        for (const QString &path : {tiff, gif}) {
            const auto source = folioset::pdf::ImageSource::open(path);
            QVERIFY(source);
            QCOMPARE(source->frameCount(), 3);
            Document document;
            for (const int index : {2, 0})
                QVERIFY(document.appendImagePage(*source, index));
            QString reason;
            QVERIFY(!document.appendImagePage(*source, 3, &reason));
            QVERIFY(!reason.isEmpty());
            const QString out = path + QStringLiteral(".pdf");
            QVERIFY(document.write(out, {}, nullptr, nullptr));
            auto pdf = readback::open(out);
            const auto written = readback::pages(*pdf);
            QCOMPARE(written.size(), std::size_t(2));
            const bool isGif = path == gif;
            QCOMPARE(readback::pixels(readback::image(written[0])),
                     readback::comparable(isGif ? helpers::qtFrame(path, 2) : qtPage(path, 2)));
            QCOMPARE(readback::pixels(readback::image(written[1])),
                     readback::comparable(isGif ? helpers::qtFrame(path, 0) : qtPage(path, 0)));
        }
    }

    void pageSizeFollowsTheStoredResolution_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSizeF>("points");
        // A4 at 300 dpi as whole dots per metre, the way PNG and BMP store it.
        const QImage a4 = fixtures::patternImage({2480, 3508}, 1, QImage::Format_Grayscale8);
        QVERIFY(fixtures::writePngWith(file("a4.png"), a4, {0, 8, false, 11811}));
        QTest::newRow("PNG pHYs") << "a4.png" << QSizeF(595.2, 841.92);
        QImage bmp = fixtures::patternImage({300, 150}, 1, QImage::Format_RGB32);
        bmp.setDotsPerMeterX(5906); // 150 dpi
        bmp.setDotsPerMeterY(5906);
        QVERIFY(fixtures::writeImage(file("150.bmp"), bmp, "bmp"));
        QTest::newRow("BMP header") << "150.bmp" << QSizeF(144, 72);
        QVERIFY(fixtures::writeTiff(file("200.tif"), {bmp}, fixtures::TiffCompression::Lzw, 200));
        QTest::newRow("TIFF tags") << "200.tif" << QSizeF(108, 54);
        QVERIFY(fixtures::writePngWith(file("nodpi.png"), bmp, {2, 8, false, 0}));
        QTest::newRow("PNG without pHYs") << "nodpi.png" << QSizeF(300, 150);
        QVERIFY(fixtures::writeGif(file("nodpi.gif"), {helpers::indexedImage({300, 150}, 4)}));
        QTest::newRow("GIF") << "nodpi.gif" << QSizeF(300, 150);
    }
    void pageSizeFollowsTheStoredResolution()
    {
        QFETCH(QString, name);
        QFETCH(QSizeF, points);
        Document document;
        QVERIFY(helpers::appendPage(document, file(name)));
        QCOMPARE(document.mediaBoxSize(1), points);
        QCOMPARE(document.displaySize(1), points);
    }

    void refusesDamagedAndAbsurdFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QVERIFY(fixtures::writePngWith(file("base.png"), fixtures::patternImage({80, 60}),
                                       {2, 8, false, 0}));
        const QByteArray png = fixtures::readBytes(file("base.png"));
        QByteArray hugePng = png;
        qToBigEndian<quint32>(100000, hugePng.data() + 16);
        qToBigEndian<quint32>(100000, hugePng.data() + 20);
        QVERIFY(fixtures::writeImage(file("base.bmp"), fixtures::patternImage({80, 60}), "bmp"));
        const QByteArray bmp = fixtures::readBytes(file("base.bmp"));
        QByteArray hugeBmp = bmp;
        qToLittleEndian<qint32>(100000, hugeBmp.data() + 18);
        qToLittleEndian<qint32>(100000, hugeBmp.data() + 22);
        QVERIFY(fixtures::writeGif(file("base.gif"), {helpers::indexedImage({80, 60}, 8)}));
        const QByteArray gif = fixtures::readBytes(file("base.gif"));
        QByteArray hugeGif = gif;
        qToLittleEndian<quint16>(65535, hugeGif.data() + 6);
        qToLittleEndian<quint16>(65535, hugeGif.data() + 8);
        QVERIFY(fixtures::writeTiff(file("base.tif"), {fixtures::patternImage({80, 60})}));
        const QByteArray tiff = fixtures::readBytes(file("base.tif"));

        const QString limit = QStringLiteral("exceed the decoding limit");
        QTest::newRow("PNG 100000 x 100000") << "huge.png" << hugePng << limit;
        QTest::newRow("BMP 100000 x 100000") << "huge.bmp" << hugeBmp << limit;
        QTest::newRow("GIF 65535 x 65535") << "huge.gif" << hugeGif << limit;
        QTest::newRow("PNG cut short") << "cut.png" << png.left(png.size() - 30) << QString();
        QTest::newRow("PNG empty") << "empty.png" << QByteArray() << QString();
        QTest::newRow("BMP cut short") << "cut.bmp" << bmp.left(bmp.size() / 3) << QString();
        QTest::newRow("GIF cut short") << "cut.gif" << gif.left(gif.size() / 2) << QString();
        QTest::newRow("TIFF cut short") << "cut.tif" << tiff.left(tiff.size() / 3) << QString();
        QTest::newRow("not an image") << "text.bmp" << QByteArray("hello, world") << QString();
        QTest::newRow("BMP empty") << "empty.bmp" << QByteArray() << QString();
    }
    void refusesDamagedAndAbsurdFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(fixtures::writeBytes(file(name), bytes));
        Document document;
        QString why;
        QVERIFY(!helpers::appendPage(document, file(name), 0, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(document.pageCount(), 0);
    }

    // Inputs that once broke a reader under the fuzzer, each named for what must become of it:
    // NAME.page.EXT a page of a PDF that opens again, NAME.refused.EXT a refusal with a reason.
    void inputsFoundByFuzzing_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(FOLIOSET_TEST_DATA "/fuzz"));
        const QStringList names = folder.entryList(
            {QStringLiteral("*.page.*"), QStringLiteral("*.refused.*")}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }
    void inputsFoundByFuzzing()
    {
        QFETCH(QString, path);
        const bool page = QFileInfo(path).completeBaseName().endsWith(QLatin1String(".page"));
        Document document;
        QString why;
        QCOMPARE(helpers::appendPage(document, path, 0, &why), page);
        if (!page) {
            QVERIFY(!why.isEmpty());
            return;
        }
        const QString target = file(QFileInfo(path).fileName() + QStringLiteral(".pdf"));
        QVERIFY2(document.write(target, {}, nullptr, &why), qPrintable(why));
        QCOMPARE(readback::pages(*readback::open(target)).size(), 1);
    }

    void decodedImagesWaitInANamelessScratchFile()
    {
        QTemporaryDir scratch;
        const QByteArray previous = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(scratch.path()));
        Document document;
        const bool appended = helpers::appendPage(document, file("rgb.bmp"));
        if (previous.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", previous);
        QVERIFY(appended);
        QCOMPARE(helpers::entries(scratch.path()), QStringList());
    }

    void largeDecodedImagesKeepEveryPixel_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        QTest::newRow("RGB BMP") << "large-rgb.bmp" << QSize(2001, 1203)
                                 << int(QImage::Format_RGB32);
        QTest::newRow("gray BMP") << "large-gray.bmp" << QSize(2481, 1753)
                                  << int(QImage::Format_Grayscale8);
        QTest::newRow("1-bit TIFF")
            << "large-mono.tif" << QSize(6001, 3001) << int(QImage::Format_Mono);
    }
    void largeDecodedImagesKeepEveryPixel()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(int, format);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QImage image = fixtures::patternImage(size, 11, QImage::Format(format));
        const QString path = dir.filePath(name);
        if (name.endsWith(QLatin1String(".bmp")))
            QVERIFY(fixtures::writeImage(path, image, "bmp"));
        else
            QVERIFY(fixtures::writeTiff(path, {image}, fixtures::TiffCompression::Group4));
        Document document;
        QString reason;
        QVERIFY2(helpers::appendPage(document, path, 0, &reason), qPrintable(reason));
        const QString out = dir.filePath(QStringLiteral("out.pdf"));
        QVERIFY2(document.write(out, {}, nullptr, &reason), qPrintable(reason));
        const auto pdf = readback::open(out);
        const auto written = readback::image(readback::pages(*pdf).at(0));
        QCOMPARE(readback::pixels(written), readback::comparable(QImage(path)));
    }

    void convertsA108MegapixelImage()
    {
        QImage big(12000, 9000, QImage::Format_RGB888);
        big.fill(qRgb(40, 90, 160));
        for (int y = 0; y < big.height(); y += 97)
            memset(big.scanLine(y), 0xC8, size_t(big.bytesPerLine()));
        const QString path = file(QStringLiteral("big.bmp"));
        QVERIFY(fixtures::writeImage(path, big, "bmp"));
        big = QImage();
        Document document;
        QString reason;
        QVERIFY2(helpers::appendPage(document, path, 0, &reason), qPrintable(reason));
        // Qt's BMP writer stores 96 dpi.
        QCOMPARE(document.mediaBoxSize(1), QSizeF(9000, 6750));
        QFile::remove(path);
    }
};

int helpers::runOtherPageTests(int argc, char **argv)
{
    OtherPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_otherpages.moc"
