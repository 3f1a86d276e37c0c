#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "tiffwriter.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <QTest>

using fixtures::TiffPage;

namespace {

// Deterministic samples, with edges and gradients, for `bits` of 1 to 16 (host order at 16).
QByteArray pattern(int width, int height, int samples, int bits, int seed)
{
    TiffPage p;
    p.width = width;
    p.samplesPerPixel = samples;
    p.bitsPerSample = bits;
    const std::size_t rowBytes = p.rowBytes();
    QByteArray data(qsizetype(rowBytes) * height, '\0');
    const unsigned max = (1u << bits) - 1;
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width * samples; ++i) {
            const unsigned v =
                unsigned(i * 37 + y * 101 + seed * 7919 + (i / 5 + y / 3) % 7 * 999) % (max + 1);
            char *row = data.data() + std::size_t(y) * rowBytes;
            if (bits == 16) {
                const quint16 wide = quint16(v);
                std::memcpy(row + 2 * i, &wide, 2);
            } else if (bits == 8) {
                row[i] = char(v);
            } else {
                const int bit = i * bits;
                row[bit / 8] = char(row[bit / 8] | (v << (8 - bits - bit % 8)));
            }
        }
    }
    return data;
}

// Host-order 16-bit samples as a PDF holds them.
QByteArray bigEndian(QByteArray samples)
{
    for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
        qToBigEndian(qFromUnaligned<quint16>(samples.constData() + i), samples.data() + i);
    return samples;
}

TiffPage page(int width, int height, int photometric, int samples, int bits, int seed = 1)
{
    TiffPage p;
    p.width = width;
    p.height = height;
    p.photometric = photometric;
    p.samplesPerPixel = samples;
    p.bitsPerSample = bits;
    p.samples = pattern(width, height, samples, bits, seed);
    return p;
}

// The colour and the alpha samples of interleaved 8-bit pixels whose last sample is alpha.
std::pair<QByteArray, QByteArray> split(const QByteArray &pixels, int samples)
{
    QByteArray colour, alpha;
    for (qsizetype i = 0; i < pixels.size(); i += samples) {
        colour.append(pixels.mid(i, samples - 1));
        alpha.append(pixels[i + samples - 1]);
    }
    return {colour, alpha};
}

QImage blackAndWhite(const TiffPage &p)
{
    QImage image(p.width, p.height, QImage::Format_RGBA64);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const char byte = p.samples[qsizetype(std::size_t(y) * p.rowBytes()) + x / 8];
            const bool set = byte & (0x80 >> (x % 8));
            const bool black = set == (p.photometric == PHOTOMETRIC_MINISWHITE);
            image.setPixelColor(x, y, black ? Qt::black : Qt::white);
        }
    }
    return image;
}

} // namespace

class TiffPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString tagged(const char *extension) const
    {
        return file(QString::fromLatin1(QTest::currentDataTag()) + QLatin1String(extension));
    }
    // `source` written to a file named after the data row and made a page: its image, or a null
    // handle and the reason.
    QPDFObjectHandle converted(const TiffPage &source, std::shared_ptr<QPDF> *keep, QString *reason)
    {
        const QString path = tagged(".tif");
        if (!fixtures::writeTiffPages(path, {source})) {
            *reason = QStringLiteral("Unable to write ") + path;
            return {};
        }
        return helpers::writtenImage(path, 0, keep, reason);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void samplesAreKeptAsStored_data()
    {
        QTest::addColumn<TiffPage>("source");
        QTest::addColumn<QByteArray>("space");
        TiffPage cmyk = page(41, 23, PHOTOMETRIC_SEPARATED, 4, 8);
        cmyk.rowsPerStrip = 7;
        QTest::newRow("CMYK") << cmyk << QByteArray("/DeviceCMYK");
        QTest::newRow("CMYK 16-bit")
            << page(41, 23, PHOTOMETRIC_SEPARATED, 4, 16) << QByteArray("/DeviceCMYK");
        TiffPage planes = cmyk;
        planes.planar = PLANARCONFIG_SEPARATE;
        QTest::newRow("CMYK in planes") << planes << QByteArray("/DeviceCMYK");
        TiffPage tiles = page(40, 37, PHOTOMETRIC_SEPARATED, 4, 8);
        tiles.tileSize = 16;
        QTest::newRow("CMYK in tiles") << tiles << QByteArray("/DeviceCMYK");
        TiffPage rgbTiles = page(50, 20, PHOTOMETRIC_RGB, 3, 16);
        rgbTiles.tileSize = 16;
        rgbTiles.planar = PLANARCONFIG_SEPARATE;
        QTest::newRow("RGB 16-bit in planes of tiles") << rgbTiles << QByteArray("/DeviceRGB");
        TiffPage lzw = page(77, 31, PHOTOMETRIC_MINISBLACK, 1, 8);
        lzw.compression = COMPRESSION_LZW;
        QTest::newRow("gray LZW") << lzw << QByteArray("/DeviceGray");
        QTest::newRow("gray 4-bit")
            << page(77, 31, PHOTOMETRIC_MINISBLACK, 1, 4) << QByteArray("/DeviceGray");
        QTest::newRow("gray 2-bit, 0 is white")
            << page(77, 31, PHOTOMETRIC_MINISWHITE, 1, 2) << QByteArray("/DeviceGray");
        TiffPage palette = page(77, 31, PHOTOMETRIC_PALETTE, 1, 4);
        for (int c = 0; c < 3; ++c) {
            for (int i = 0; i < 16; ++i)
                palette.colormap.push_back(std::uint16_t(((i * 40 + c * 90) % 256) * 257));
        }
        QTest::newRow("palette 4-bit") << palette << QByteArray("/Indexed");
    }
    void samplesAreKeptAsStored()
    {
        QFETCH(TiffPage, source);
        QFETCH(QByteArray, space);
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = converted(source, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        auto dict = image.getDict();
        QCOMPARE(readback::colourSpaceName(image), space);
        QCOMPARE(dict.getKey("/BitsPerComponent").getIntValueAsInt(), source.bitsPerSample);
        QCOMPARE(dict.getKey("/Decode").isArray(), source.photometric == PHOTOMETRIC_MINISWHITE);
        const QByteArray expected =
            source.bitsPerSample == 16 ? bigEndian(source.samples) : source.samples;
        QCOMPARE(readback::samples(image), expected);
        if (space == "/Indexed") {
            const std::string lookup = dict.getKey("/ColorSpace").getArrayItem(3).getStringValue();
            QCOMPARE(int(lookup.size()), 48);
            QCOMPARE(static_cast<unsigned char>(lookup[3 * 5 + 1]), (5 * 40 + 90) % 256);
        }
    }

    void alphaKeepsTheColourExactly_data()
    {
        QTest::addColumn<TiffPage>("source");
        QTest::addColumn<bool>("associated");
        // Colours in steps of 5 and alphas in steps of 51: premultiplied, every value divides
        // back exactly.
        const auto withAlpha = [](int photometric, int colours, std::uint16_t kind) {
            TiffPage p = page(29, 17, photometric, colours + 1, 8);
            p.extraSamples = {kind};
            for (qsizetype i = 0; i < p.samples.size(); ++i) {
                const bool alpha = i % (colours + 1) == colours;
                const int v = static_cast<unsigned char>(p.samples[i]);
                p.samples[i] = char(alpha ? v % 6 * 51 : v % 52 * 5);
            }
            return p;
        };
        QTest::newRow("RGBA") << withAlpha(PHOTOMETRIC_RGB, 3, EXTRASAMPLE_UNASSALPHA) << false;
        QTest::newRow("gray and alpha")
            << withAlpha(PHOTOMETRIC_MINISBLACK, 1, EXTRASAMPLE_UNASSALPHA) << false;
        QTest::newRow("CMYK and alpha")
            << withAlpha(PHOTOMETRIC_SEPARATED, 4, EXTRASAMPLE_UNASSALPHA) << false;
        TiffPage planes = withAlpha(PHOTOMETRIC_RGB, 3, EXTRASAMPLE_UNASSALPHA);
        planes.planar = PLANARCONFIG_SEPARATE;
        planes.rowsPerStrip = 4;
        QTest::newRow("RGBA in planes") << planes << false;
        QTest::newRow("RGBA, alpha of no stated kind")
            << withAlpha(PHOTOMETRIC_RGB, 3, EXTRASAMPLE_UNSPECIFIED) << false;
        TiffPage premultiplied = withAlpha(PHOTOMETRIC_RGB, 3, EXTRASAMPLE_ASSOCALPHA);
        QTest::newRow("RGBA premultiplied") << premultiplied << true;
    }
    void alphaKeepsTheColourExactly()
    {
        QFETCH(TiffPage, source);
        QFETCH(bool, associated);
        const int samples = source.samplesPerPixel;
        auto [colour, alpha] = split(source.samples, samples);
        if (associated) {
            QByteArray stored = source.samples;
            for (qsizetype i = 0; i < stored.size(); ++i) {
                const int a = static_cast<unsigned char>(stored[i - i % samples + samples - 1]);
                if (i % samples != samples - 1)
                    stored[i] = char(static_cast<unsigned char>(stored[i]) * a / 255);
            }
            source.samples = stored;
            for (qsizetype i = 0; i < colour.size(); ++i) {
                if (alpha[i / (samples - 1)] == 0)
                    colour[i] = 0; // nothing to divide back: the colour is lost in the file
            }
        }
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = converted(source, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        QCOMPARE(readback::samples(image), colour);
        auto mask = image.getDict().getKey("/SMask");
        QVERIFY(mask.isStream());
        QCOMPARE(readback::samples(mask), alpha);
    }

    void bilevelPagesAreStoredAsGroup4_data()
    {
        QTest::addColumn<TiffPage>("source");
        QTest::addColumn<bool>("carried");
        QTest::newRow("G4 in one strip, 0 is white")
            << fixtures::bilevelPage(1728, 301, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0)
            << true;
        QTest::newRow("G4 in one strip, 0 is black")
            << fixtures::bilevelPage(999, 120, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX4, 0)
            << true;
        QTest::newRow("G4 in strips")
            << fixtures::bilevelPage(1001, 211, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 64)
            << false;
        QTest::newRow("G3") << fixtures::bilevelPage(640, 99, PHOTOMETRIC_MINISWHITE,
                                                     COMPRESSION_CCITTFAX3, 0)
                            << false;
        QTest::newRow("LZW") << fixtures::bilevelPage(2480, 200, PHOTOMETRIC_MINISWHITE,
                                                      COMPRESSION_LZW, 16)
                             << false;
        QTest::newRow("uncompressed noise, 0 is black")
            << fixtures::bilevelPage(333, 77, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0, true)
            << false;
    }
    void bilevelPagesAreStoredAsGroup4()
    {
        QFETCH(TiffPage, source);
        QFETCH(bool, carried);
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = converted(source, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        auto dict = image.getDict();
        QCOMPARE(dict.getKey("/Filter").getName(), std::string("/CCITTFaxDecode"));
        QCOMPARE(dict.getKey("/DecodeParms").getKey("/Rows").getIntValueAsInt(), source.height);
        if (carried)
            QCOMPARE(readback::rawData(image), fixtures::rawStrip(tagged(".tif")));
        QCOMPARE(readback::pixels(image), blackAndWhite(source));
    }

    // What a real reader draws. Poppler smooths images even at their own size, so the page is
    // drawn four times larger and each pixel read at the middle of its square.
    void groupFourPagesShowBlackWhereTheSourceIsBlack_data()
    {
        QTest::addColumn<TiffPage>("source");
        QTest::newRow("carried, 0 is white")
            << fixtures::bilevelPage(203, 97, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0);
        QTest::newRow("carried, 0 is black")
            << fixtures::bilevelPage(203, 97, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX4, 0);
        QTest::newRow("encoded, 0 is black")
            << fixtures::bilevelPage(203, 97, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 8);
    }
    void groupFourPagesShowBlackWhereTheSourceIsBlack()
    {
        QFETCH(TiffPage, source);
        const QString renderer = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (renderer.isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed");
        const QString path = tagged(".tif");
        QVERIFY(fixtures::writeTiffPages(path, {source}));
        std::shared_ptr<QPDF> pdf;
        QVERIFY(helpers::writtenImage(path, 0, &pdf).isStream());
        const QString rendered = tagged("");
        QCOMPARE(QProcess::execute(renderer, {QStringLiteral("-gray"), QStringLiteral("-r"),
                                              QStringLiteral("288"), QStringLiteral("-singlefile"),
                                              path + QStringLiteral(".pdf"), rendered}),
                 0);
        const QImage drawn(rendered + QStringLiteral(".pgm"));
        QCOMPARE(drawn.size(), QSize(source.width, source.height) * 4);
        QImage shown(source.width, source.height, QImage::Format_RGBA64);
        for (int y = 0; y < source.height; ++y) {
            for (int x = 0; x < source.width; ++x)
                shown.setPixelColor(
                    x, y, qGray(drawn.pixel(4 * x + 2, 4 * y + 2)) < 128 ? Qt::black : Qt::white);
        }
        QCOMPARE(shown, blackAndWhite(source));
    }

    void aDamagedGroup4StripIsRefusedBeforeTheWrite()
    {
        TiffPage source =
            fixtures::bilevelPage(640, 200, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0);
        const QString path = file(QStringLiteral("damaged-g4.tif"));
        QVERIFY(fixtures::writeTiffPages(path, {source}));
        const QByteArray strip = fixtures::rawStrip(path);
        QByteArray bytes = fixtures::readBytes(path);
        const qsizetype at = bytes.indexOf(strip);
        QVERIFY(at >= 0);
        for (qsizetype i = strip.size() / 3; i < strip.size() / 2; ++i)
            bytes[at + i] = '\0'; // a run of end-of-line codes where lines should be
        QVERIFY(fixtures::writeBytes(path, bytes));
        folioset::pdf::Document document;
        QString reason;
        QVERIFY(!helpers::appendPage(document, path, 0, &reason));
        QVERIFY(!reason.isEmpty());
    }

    void wholeJpegStripsAreCarried_data()
    {
        QTest::addColumn<int>("rowsPerStrip");
        QTest::addColumn<int>("photometric");
        QTest::addColumn<QByteArray>("filter");
        QTest::newRow("one strip") << 0 << PHOTOMETRIC_YCBCR << QByteArray("/DCTDecode");
        QTest::newRow("strips") << 16 << PHOTOMETRIC_YCBCR << QByteArray("/FlateDecode");
        QTest::newRow("one strip, RGB") << 0 << PHOTOMETRIC_RGB << QByteArray("/DCTDecode");
    }
    void wholeJpegStripsAreCarried()
    {
        QFETCH(int, rowsPerStrip);
        QFETCH(int, photometric);
        QFETCH(QByteArray, filter);
        TiffPage source = page(96, 64, photometric, 3, 8);
        source.compression = COMPRESSION_JPEG;
        source.jpegQuality = 90;
        source.rowsPerStrip = rowsPerStrip;
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = converted(source, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        QCOMPARE(QByteArray::fromStdString(image.getDict().getKey("/Filter").getName()), filter);
        const QByteArray decoded = fixtures::readTiffSamples(tagged(".tif"), 0);
        if (filter == "/FlateDecode") {
            QCOMPARE(readback::samples(image), decoded);
            return;
        }
        // The file's tables and its strip make one JPEG, decoded as libtiff decodes the page;
        // RGB components say so with an Adobe segment (transform 0) after the start marker.
        const QByteArray stream = readback::rawData(image);
        QCOMPARE(stream.mid(2, 16).startsWith("\xFF\xEE\x00\x0E"
                                              "Adobe"),
                 photometric == PHOTOMETRIC_RGB);
        if (photometric == PHOTOMETRIC_RGB)
            QCOMPARE(stream.at(17), '\0');
        const QImage jpeg = QImage::fromData(stream, "JPEG").convertToFormat(QImage::Format_RGB888);
        QCOMPARE(jpeg.size(), QSize(96, 64));
        QByteArray pixels;
        for (int y = 0; y < jpeg.height(); ++y)
            pixels.append(reinterpret_cast<const char *>(jpeg.constScanLine(y)), 96 * 3);
        QCOMPARE(pixels, decoded);
    }

    void everyPageHasItsOwnSizeAndResolution()
    {
        TiffPage bilevel =
            fixtures::bilevelPage(600, 300, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0);
        bilevel.dpi = 300;
        TiffPage rgb = page(30, 60, PHOTOMETRIC_RGB, 3, 8);
        TiffPage gray = page(200, 100, PHOTOMETRIC_MINISBLACK, 1, 16);
        gray.dpi = 100;
        TiffPage turned = page(50, 20, PHOTOMETRIC_SEPARATED, 4, 8);
        turned.dpi = 144;
        turned.orientation = ORIENTATION_RIGHTTOP; // shown turned a quarter clockwise
        const QString path = file(QStringLiteral("mixed.tif"));
        QVERIFY(fixtures::writeTiffPages(path, {bilevel, rgb, gray, turned}));
        const auto source = folioset::pdf::ImageSource::open(path);
        QVERIFY(source);
        QCOMPARE(source->frameCount(), 4);
        folioset::pdf::Document document;
        for (int i = 0; i < 4; ++i)
            QVERIFY(document.appendImagePage(*source, i));
        QCOMPARE(document.mediaBoxSize(1), QSizeF(144, 72));
        QCOMPARE(document.mediaBoxSize(2), QSizeF(30, 60));
        QCOMPARE(document.mediaBoxSize(3), QSizeF(144, 72));
        QCOMPARE(document.mediaBoxSize(4), QSizeF(25, 10));
        QCOMPARE(document.displaySize(4), QSizeF(10, 25));
        const QString out = path + QStringLiteral(".pdf");
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        const auto pdf = readback::open(out);
        const auto pages = readback::pages(*pdf);
        const QList<QSize> pixels = {{600, 300}, {30, 60}, {200, 100}, {50, 20}};
        for (int i = 0; i < 4; ++i) {
            auto dict = readback::image(pages[std::size_t(i)]).getDict();
            QCOMPARE(QSize(dict.getKey("/Width").getIntValueAsInt(),
                           dict.getKey("/Height").getIntValueAsInt()),
                     pixels[i]);
        }
    }

    // A 1 MB scan of 400 million pixels: what is held while reading it is a strip, not the page.
    void aBilevelPageOf20000By20000PixelsConverts()
    {
        TiffPage huge;
        huge.width = huge.height = 20000;
        huge.bitsPerSample = 1;
        huge.photometric = PHOTOMETRIC_MINISWHITE;
        huge.compression = COMPRESSION_CCITTFAX4;
        huge.samples = QByteArray(qsizetype(huge.rowBytes()) * huge.height, '\0');
        for (int y = 0; y < huge.height; y += 50)
            std::memset(huge.samples.data() + std::size_t(y) * huge.rowBytes(), 0x0F,
                        huge.rowBytes() / 2);
        const QString path = file(QStringLiteral("huge.tif"));
        QVERIFY(fixtures::writeTiffPages(path, {huge}));
        huge.samples.clear();
        folioset::pdf::Document document;
        QString reason;
        QVERIFY2(helpers::appendPage(document, path, 0, &reason), qPrintable(reason));
        QCOMPARE(document.mediaBoxSize(1), QSizeF(20000, 20000));
        QFile::remove(path);
    }
};

int helpers::runTiffPageTests(int argc, char **argv)
{
    TiffPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tiffpages.moc"
