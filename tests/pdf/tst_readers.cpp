// Renders one page of every kind of input with PDF readers that are not ours (MuPDF, Ghostscript,
// poppler's cairo backend) at the image's own resolution and compares the rendering with the
// source's pixels as Qt decodes them, alpha composed over white. Readers are known to disagree
// where a file leaves something to their judgement; these pages must leave them none.

#include "bmpwriter.h"
#include "pdfhelpers.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"
#include "tiffwriter.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Small pages: the readers' start-up is most of the cost, and one run renders every page.
constexpr int kWidth = 48;
constexpr int kHeight = 32;

QImage picture(int seed = 1, QImage::Format format = QImage::Format_RGB32)
{
    return fixtures::patternImage({kWidth, kHeight}, seed, format);
}

struct Kind
{
    QString name;
    QString file; // made in the test's folder
    std::function<bool(const QString &path)> make;
    int maxDifference = 0; // per channel; 0 for exact
    double maxMean = 0;    // mean difference per channel
    double dpi = 72;       // as the file states it: the page is rendered at it
    // The pixels where Qt's decoder is not the reference; null: Qt's.
    std::function<QImage()> reference;
};

// How far a decoder may stray: JPEG decoders may differ in their transforms and chroma
// upsampling (the three here match libjpeg exactly), compositing over white and reducing 16 bits
// to 8 in their rounding (by 1). A reader that takes RGB for YCbCr, or misses a /Decode, is off
// by far more: 85 on average.
constexpr int kJpegMax = 16;
constexpr double kJpegMean = 1.0;

// Interleaved samples of `image` for a TIFF page: gray or RGB, with alpha when `alpha`; 16-bit
// samples in host order, their low byte varied so that it counts.
QByteArray tiffSamples(const QImage &image, int samples, int bits, bool alpha)
{
    QByteArray out;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = line[x];
            QList<int> values = samples - (alpha ? 1 : 0) == 1
                                    ? QList<int>{qGray(p)}
                                    : QList<int>{qRed(p), qGreen(p), qBlue(p)};
            if (alpha)
                values.append(qAlpha(p));
            for (const int v : std::as_const(values)) {
                if (bits == 16) {
                    const quint16 wide = quint16(v << 8 | ((x * 37 + y * 11) & 0xFF));
                    out.append(reinterpret_cast<const char *>(&wide), 2);
                } else {
                    out.append(char(v));
                }
            }
        }
    }
    return out;
}

fixtures::TiffPage tiffPage(int photometric, int samples, int bits, bool alpha = false)
{
    fixtures::TiffPage page;
    page.width = kWidth;
    page.height = kHeight;
    page.photometric = photometric;
    page.samplesPerPixel = samples;
    page.bitsPerSample = bits;
    page.samples = tiffSamples(picture(2, QImage::Format_ARGB32), samples, bits, alpha);
    if (alpha)
        page.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    return page;
}

fixtures::TiffPage paletteTiff()
{
    fixtures::TiffPage page;
    page.width = kWidth;
    page.height = kHeight;
    page.photometric = PHOTOMETRIC_PALETTE;
    page.bitsPerSample = 8;
    for (int i = 0; i < 3 * 256; ++i)
        page.colormap.push_back(std::uint16_t(((i * 97) % 256) * 257));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            page.samples.append(char((x * 5 + y * 3) % 256));
    }
    return page;
}

std::function<bool(const QString &)> tiff(const fixtures::TiffPage &page)
{
    return [page](const QString &path) { return fixtures::writeTiffPages(path, {page}); };
}

std::function<bool(const QString &)> jpeg(const fixtures::JpegOptions &options)
{
    return [options](const QString &path) {
        return fixtures::writeJpegWith(path, picture(3), options);
    };
}

std::function<bool(const QString &)> png(const QImage &image, const fixtures::PngOptions &options)
{
    return [image, options](const QString &path) {
        return fixtures::writePngWith(path, image, options);
    };
}

QList<Kind> kinds()
{
    QList<Kind> list;
    const auto add = [&list](const QString &name, const char *suffix,
                             std::function<bool(const QString &)> make, int maxDifference = 0,
                             double maxMean = 0, double dpi = 72) {
        list.append({name,
                     QStringLiteral("kind-%1.%2").arg(list.size()).arg(suffix),
                     std::move(make),
                     maxDifference,
                     maxMean,
                     dpi,
                     {}});
    };
    using fixtures::JpegColor;
    using fixtures::JpegOptions;
    const auto jpegWith = [](JpegColor color, auto change) {
        JpegOptions options;
        options.color = color;
        change(options);
        return options;
    };
    const auto same = [](JpegOptions &) {};
    add("JPEG YCbCr", "jpg", jpeg(jpegWith(JpegColor::YCbCr, same)), kJpegMax, kJpegMean);
    add("JPEG gray", "jpg", jpeg(jpegWith(JpegColor::Gray, same)), kJpegMax, kJpegMean);
    add("JPEG RGB, Adobe marker", "jpg", jpeg(jpegWith(JpegColor::Rgb, same)), kJpegMax, kJpegMean);
    add("JPEG RGB, no Adobe marker", "jpg",
        jpeg(jpegWith(JpegColor::Rgb, [](JpegOptions &o) { o.rgbWithoutAdobeMarker = true; })),
        kJpegMax, kJpegMean);
    add("JPEG progressive", "jpg",
        jpeg(jpegWith(JpegColor::YCbCr, [](JpegOptions &o) { o.progressive = true; })), kJpegMax,
        kJpegMean);
    for (const int orientation : {3, 5, 6})
        add(QStringLiteral("JPEG EXIF orientation %1").arg(orientation), "jpg",
            jpeg(jpegWith(JpegColor::YCbCr,
                          [orientation](JpegOptions &o) { o.exifOrientation = orientation; })),
            kJpegMax, kJpegMean);

    const QImage rgb = picture(4);
    const QImage argb = picture(5, QImage::Format_ARGB32);
    for (const int depth : {1, 2, 4, 8, 16})
        add(QStringLiteral("PNG gray %1-bit").arg(depth), "png", png(rgb, {0, depth}),
            depth == 16 ? 1 : 0);
    add("PNG RGB 8-bit", "png", png(rgb, {2, 8}));
    add("PNG RGB 16-bit", "png", png(rgb, {2, 16}), 1);
    for (const int depth : {1, 2, 4, 8})
        add(QStringLiteral("PNG palette %1-bit").arg(depth), "png",
            png(helpers::indexedImage({kWidth, kHeight}, 1 << depth), {3, depth}));
    add("PNG palette with a transparent entry", "png",
        png(helpers::indexedImage({kWidth, kHeight}, 16), {3, 8, false, 0, 5}), 1);
    add("PNG gray and alpha", "png", png(argb, {4, 8}), 1);
    add("PNG RGBA 8-bit", "png", png(argb, {6, 8}), 1);
    add("PNG RGBA 16-bit", "png", png(argb, {6, 16}), 1);
    add("PNG interlaced", "png", png(rgb, {2, 8, true}));
    // 4000 dots per metre: 101.6 dpi, a page of 34.0157 points.
    add("PNG at 101.6 dpi", "png", png(rgb, {2, 8, false, 4000}), 0, 0, 101.6);

    add("GIF", "gif", [](const QString &path) {
        return fixtures::writeGif(path, {helpers::indexedImage({kWidth, kHeight}, 200, 2)});
    });
    // Two colours that are not black and white: Indexed samples coded as Group 4.
    add("GIF of two colours", "gif", [](const QString &path) {
        QImage image = helpers::indexedImage({kWidth, kHeight}, 2, 4);
        image.setColorTable({qRgb(200, 30, 90), qRgb(250, 240, 120)});
        return fixtures::writeGif(path, {image});
    });
    add(
        "GIF with a transparent colour", "gif",
        [](const QString &path) {
            return fixtures::writeGif(path, {helpers::indexedImage({kWidth, kHeight}, 64, 3)}, 7);
        },
        1);

    // Qt and our BMP writer store 3780 dots per metre: 96 dpi.
    add(
        "BMP 24-bit", "bmp",
        [rgb](const QString &path) { return fixtures::writeImage(path, rgb, "bmp"); }, 0, 0, 96);
    add(
        "BMP 8-bit palette, run-length", "bmp",
        [](const QString &path) {
            fixtures::BmpForm form;
            form.bits = 8;
            form.compression = 1;
            for (int i = 0; i < 256; ++i)
                form.palette.append(qRgb(i, (i * 7) % 256, 255 - i));
            return fixtures::writeBytes(
                path, fixtures::bmpBytes(form, kWidth, kHeight, [](int x, int y) {
                    return std::uint32_t(y % 4 == 0 ? 9 : (x / 4 + y) % 256);
                }));
        },
        0, 0, 96);
    add(
        "BMP 1-bit palette of two colours", "bmp",
        [](const QString &path) {
            fixtures::BmpForm form;
            form.bits = 1;
            form.palette = {qRgb(20, 60, 200), qRgb(240, 200, 10)};
            return fixtures::writeBytes(path,
                                        fixtures::bmpBytes(form, kWidth, kHeight, [](int x, int y) {
                                            return std::uint32_t((x / 3 + y / 2) % 2);
                                        }));
        },
        0, 0, 96);
    const auto pixel565 = [](int x, int y) { return std::uint32_t((x * 1361 + y * 977) & 0xFFFF); };
    add(
        "BMP 16-bit 5-6-5", "bmp",
        [pixel565](const QString &path) {
            fixtures::BmpForm form;
            form.bits = 16;
            form.compression = 3;
            form.masks = {0xF800, 0x07E0, 0x001F, 0};
            return fixtures::writeBytes(path, fixtures::bmpBytes(form, kWidth, kHeight, pixel565));
        },
        0, 0, 96);
    // Qt widens 5 and 6 bits by shifting them up, so 31 becomes 248; full scale is 255.
    list.last().reference = [pixel565] {
        QImage image(kWidth, kHeight, QImage::Format_RGB888);
        const auto scaled = [](std::uint32_t v, int bits) {
            return int(std::lround(double(v) * 255 / ((1 << bits) - 1)));
        };
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t v = pixel565(x, y);
                image.setPixel(x, y,
                               qRgb(scaled(v >> 11, 5), scaled(v >> 5 & 63, 6), scaled(v & 31, 5)));
            }
        }
        return image;
    };

    add("TIFF gray 8-bit", "tif", tiff(tiffPage(PHOTOMETRIC_MINISBLACK, 1, 8)));
    add("TIFF gray 16-bit", "tif", tiff(tiffPage(PHOTOMETRIC_MINISBLACK, 1, 16)), 1);
    add("TIFF RGB 8-bit", "tif", tiff(tiffPage(PHOTOMETRIC_RGB, 3, 8)));
    add("TIFF RGB 16-bit", "tif", tiff(tiffPage(PHOTOMETRIC_RGB, 3, 16)), 1);
    add("TIFF RGBA", "tif", tiff(tiffPage(PHOTOMETRIC_RGB, 4, 8, true)), 1);
    add("TIFF palette", "tif", tiff(paletteTiff()));
    auto fine = tiffPage(PHOTOMETRIC_MINISBLACK, 1, 8);
    fine.dpi = 150.5;
    add("TIFF gray at 150.5 dpi", "tif", tiff(fine), 0, 0, 150.5);
    auto tiled = tiffPage(PHOTOMETRIC_RGB, 3, 8);
    tiled.tileSize = 16;
    add("TIFF RGB in tiles", "tif", tiff(tiled));
    auto turned = tiffPage(PHOTOMETRIC_RGB, 3, 8);
    turned.orientation = 8;
    add("TIFF turned (orientation 8)", "tif", tiff(turned));
    for (const int photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        const QString white = photometric == PHOTOMETRIC_MINISWHITE ? QStringLiteral("white")
                                                                    : QStringLiteral("black");
        add(QStringLiteral("TIFF bilevel Group 4, 0 is %1").arg(white), "tif",
            tiff(fixtures::bilevelPage(kWidth, kHeight, photometric, COMPRESSION_CCITTFAX4, 0)));
        add(QStringLiteral("TIFF bilevel uncompressed, 0 is %1").arg(white), "tif",
            tiff(fixtures::bilevelPage(kWidth, kHeight, photometric, COMPRESSION_NONE, 0)));
    }
    auto ycbcr = tiffPage(PHOTOMETRIC_YCBCR, 3, 8);
    ycbcr.compression = COMPRESSION_JPEG;
    ycbcr.jpegQuality = 90;
    add("TIFF JPEG YCbCr", "tif", tiff(ycbcr), kJpegMax, kJpegMean);
    auto jpegRgb = tiffPage(PHOTOMETRIC_RGB, 3, 8);
    jpegRgb.compression = COMPRESSION_JPEG;
    jpegRgb.jpegQuality = 90;
    add("TIFF JPEG RGB", "tif", tiff(jpegRgb), kJpegMax, kJpegMean);
    return list;
}

// The source as a viewer shows it: upright, alpha composed over white.
QImage expected(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage source = reader.read();
    if (source.isNull())
        return {};
    QImage shown(source.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter painter(&shown);
    painter.drawImage(0, 0, source);
    painter.end();
    return shown.convertToFormat(QImage::Format_RGB888);
}

struct Reader
{
    QString name;
    QString program;
    QString package;
    // Renders pages [first, last] of `pdf` at `dpi` into PNG files in `folder`, named so that
    // they sort in page order.
    std::function<QStringList(const QString &pdf, const QString &folder, const QString &dpi,
                              int first, int last)>
        arguments;
};

QList<Reader> readers()
{
    using Pages = QStringList;
    return {
        {"MuPDF", "mutool", "mupdf-tools",
         [](const QString &pdf, const QString &folder, const QString &dpi, int first, int last) {
             return Pages{"draw", "-q",
                          "-r",   dpi,
                          "-c",   "rgb",
                          "-o",   folder + "/page-%04d.png",
                          pdf,    QStringLiteral("%1-%2").arg(first).arg(last)};
         }},
        {"Ghostscript", "gs", "ghostscript",
         [](const QString &pdf, const QString &folder, const QString &dpi, int first, int last) {
             return Pages{"-q",
                          "-dSAFER",
                          "-dBATCH",
                          "-dNOPAUSE",
                          "-sDEVICE=png16m",
                          "-r" + dpi,
                          QStringLiteral("-dFirstPage=%1").arg(first),
                          QStringLiteral("-dLastPage=%1").arg(last),
                          "-sOutputFile=" + folder + "/page-%04d.png",
                          pdf};
         }},
        {"poppler (cairo)", "pdftocairo", "poppler-utils",
         [](const QString &pdf, const QString &folder, const QString &dpi, int first, int last) {
             return Pages{"-png",
                          "-r",
                          dpi,
                          "-f",
                          QString::number(first),
                          "-l",
                          QString::number(last),
                          pdf,
                          folder + "/page"};
         }},
    };
}

// Runs `reader` on pages [first, last] at `dpi`: the PNG files it made, in page order, or the
// reason it failed.
QStringList render(const QString &program, const Reader &reader, const QString &pdf,
                   const QString &folder, double dpi, int first, int last, QString *failure)
{
    QProcess process;
    process.start(program, reader.arguments(pdf, folder, QString::number(dpi), first, last));
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *failure = QStringLiteral("%1 failed: %2")
                       .arg(reader.name, QString::fromLocal8Bit(process.readAllStandardError()));
        return {};
    }
    QStringList files;
    for (const QString &name :
         QDir(folder).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name))
        files << QDir(folder).filePath(name);
    return files;
}

struct Difference
{
    int largest = 0;
    double mean = 0;
};

Difference compare(const QImage &a, const QImage &b)
{
    Difference d;
    std::uint64_t total = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar *p = a.constScanLine(y), *q = b.constScanLine(y);
        for (int i = 0; i < 3 * a.width(); ++i) {
            const int delta = std::abs(int(p[i]) - int(q[i]));
            d.largest = std::max(d.largest, delta);
            total += std::uint64_t(delta);
        }
    }
    d.mean = double(total) / double(3 * a.width() * a.height());
    return d;
}

} // namespace

class ReadersTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<Kind> m_kinds = kinds();
    QString m_pdf;
    QString m_failure; // why the document could not be made

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Pages of one resolution next to each other, so that one run of a reader renders them.
        std::stable_sort(m_kinds.begin(), m_kinds.end(),
                         [](const Kind &a, const Kind &b) { return a.dpi < b.dpi; });
        folioset::pdf::Document document;
        for (const Kind &kind : std::as_const(m_kinds)) {
            const QString path = m_dir.filePath(kind.file);
            QString reason;
            if (!kind.make(path))
                m_failure += kind.name + QStringLiteral(": the fixture was not written\n");
            else if (!helpers::appendPage(document, path, 0, &reason))
                m_failure += kind.name + QStringLiteral(": ") + reason + QLatin1Char('\n');
        }
        m_pdf = m_dir.filePath(QStringLiteral("every-kind.pdf"));
        QString reason;
        if (m_failure.isEmpty() && !document.write(m_pdf, {}, nullptr, &reason))
            m_failure = reason;
    }

    void everyReaderShowsTheSourcesPixels_data()
    {
        QTest::addColumn<int>("reader");
        for (int i = 0; i < readers().size(); ++i)
            QTest::newRow(qPrintable(readers().at(i).name)) << i;
    }
    void everyReaderShowsTheSourcesPixels()
    {
        QFETCH(int, reader);
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
        const Reader r = readers().at(reader);
        const QString program = QStandardPaths::findExecutable(r.program);
        if (program.isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (%2, Debian package %3): "
                                            "its rendering is not checked")
                                 .arg(r.name, r.program, r.package)));
        QStringList pages;
        for (int first = 0; first < m_kinds.size();) {
            int last = first;
            while (last + 1 < m_kinds.size() && m_kinds.at(last + 1).dpi == m_kinds.at(first).dpi)
                ++last;
            const QString folder =
                m_dir.filePath(QStringLiteral("%1-%2").arg(r.program).arg(first));
            QVERIFY(QDir().mkpath(folder));
            QString failure;
            const QStringList run = render(program, r, m_pdf, folder, m_kinds.at(first).dpi,
                                           first + 1, last + 1, &failure);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            QCOMPARE(run.size(), last - first + 1);
            pages += run;
            first = last + 1;
        }
        QStringList wrong;
        for (int i = 0; i < m_kinds.size(); ++i) {
            const Kind &kind = m_kinds.at(i);
            const QImage want =
                kind.reference ? kind.reference() : expected(m_dir.filePath(kind.file));
            const QImage got = QImage(pages.at(i)).convertToFormat(QImage::Format_RGB888);
            if (want.isNull() || got.size() != want.size()) {
                wrong << QStringLiteral("%1: %2x%3 rendered, %4x%5 expected")
                             .arg(kind.name)
                             .arg(got.width())
                             .arg(got.height())
                             .arg(want.width())
                             .arg(want.height());
                continue;
            }
            const Difference d = compare(got, want);
            if (d.largest > kind.maxDifference || (kind.maxMean > 0 && d.mean > kind.maxMean))
                wrong << QStringLiteral("%1: differs by up to %2, %3 on average")
                             .arg(kind.name)
                             .arg(d.largest)
                             .arg(d.mean, 0, 'f', 2);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(ReadersTest)
#include "tst_readers.moc"
