#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include "engine/pdf/rowcompression.h"
#include "engine/pdf/spillfile.h"

#include <QRandomGenerator>
#include <QTest>

#include <zlib.h>

#include <cstring>
#include <vector>

using namespace folioset::pdf;

namespace {

enum class Content
{
    Noise,  // nothing repeats: every filter and level loses to none
    Photo,  // smooth gradients with a little noise
    Paper,  // runs of one value with a few dark marks
    Stripes // a period that only a long match finds
};

std::vector<unsigned char> makeRows(int height, std::size_t rowBytes, Content content, int seed)
{
    std::vector<unsigned char> data(std::size_t(height) * rowBytes);
    QRandomGenerator random{quint32(seed)};
    for (int y = 0; y < height; ++y) {
        unsigned char *row = data.data() + std::size_t(y) * rowBytes;
        for (std::size_t x = 0; x < rowBytes; ++x) {
            switch (content) {
            case Content::Noise:
                row[x] = static_cast<unsigned char>(random.bounded(256));
                break;
            case Content::Photo:
                row[x] = static_cast<unsigned char>((x / 3 + std::size_t(y) * 2 + x % 3 * 40) +
                                                    random.bounded(5));
                break;
            case Content::Paper:
                row[x] =
                    random.bounded(50) == 0 ? static_cast<unsigned char>(random.bounded(60)) : 250;
                break;
            case Content::Stripes:
                row[x] = static_cast<unsigned char>((x * 7 + std::size_t(y) * 13) % 251);
                break;
            }
        }
    }
    return data;
}

// The stream inflated with zlib, which checks the adler32 trailer; empty when it fails.
QByteArray inflateAll(const QByteArray &stream, std::size_t expected)
{
    QByteArray out(qsizetype(expected + 1), '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.constData()));
    z.avail_in = uInt(stream.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    const std::size_t produced = std::size_t(out.size()) - z.avail_out;
    const bool whole = z.avail_in == 0;
    inflateEnd(&z);
    if (status != Z_STREAM_END || !whole)
        return {};
    out.truncate(qsizetype(produced));
    return out;
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Undoes PNG row filters the way a PDF reader does for /Predictor 15.
std::vector<unsigned char> unfilter(const QByteArray &data, int height, std::size_t rowBytes,
                                    std::size_t bpp, bool *ok)
{
    std::vector<unsigned char> rows(std::size_t(height) * rowBytes);
    *ok = std::size_t(data.size()) == std::size_t(height) * (rowBytes + 1);
    if (!*ok)
        return rows;
    std::vector<unsigned char> zero(rowBytes, 0);
    for (int y = 0; y < height; ++y) {
        const auto *in = reinterpret_cast<const unsigned char *>(data.constData()) +
                         std::size_t(y) * (rowBytes + 1);
        unsigned char *row = rows.data() + std::size_t(y) * rowBytes;
        const unsigned char *up = y > 0 ? row - rowBytes : zero.data();
        const int type = in[0];
        for (std::size_t x = 0; x < rowBytes; ++x) {
            const int a = x >= bpp ? row[x - bpp] : 0;
            const int b = up[x];
            const int c = x >= bpp ? up[x - bpp] : 0;
            int predicted = 0;
            switch (type) {
            case 0:
                break;
            case 1:
                predicted = a;
                break;
            case 2:
                predicted = b;
                break;
            case 3:
                predicted = (a + b) / 2;
                break;
            case 4:
                predicted = paeth(a, b, c);
                break;
            default:
                *ok = false;
                return rows;
            }
            row[x] = static_cast<unsigned char>(in[1 + x] + predicted);
        }
    }
    return rows;
}

} // namespace

class RowCompressionTest : public QObject
{
    Q_OBJECT

private slots:
    void rowsComeBackExactly_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("rowBytes");
        QTest::addColumn<int>("bytesPerPixel");
        QTest::addColumn<int>("content");
        QTest::addColumn<int>("threads");

        QTest::newRow("one row, one byte") << 1 << 1 << 1 << int(Content::Noise) << 4;
        QTest::newRow("one wide row") << 1 << 60001 << 3 << int(Content::Photo) << 4;
        QTest::newRow("odd RGB, one thread") << 7 << 21 << 3 << int(Content::Photo) << 1;
        QTest::newRow("packed, odd") << 13 << 5 << 0 << int(Content::Stripes) << 2;
        // Large enough to be cut into slices; odd heights leave unequal ones.
        QTest::newRow("photo in 3 slices") << 1203 << 3003 << 3 << int(Content::Photo) << 3;
        QTest::newRow("noise in 2 slices") << 1001 << 2401 << 3 << int(Content::Noise) << 2;
        QTest::newRow("paper in 4 slices") << 3507 << 2481 << 1 << int(Content::Paper) << 4;
        QTest::newRow("16-bit in 2 slices") << 701 << 6006 << 6 << int(Content::Photo) << 2;
        QTest::newRow("packed in 3 slices") << 3507 << 1001 << 0 << int(Content::Stripes) << 3;
        QTest::newRow("short rows in 2 slices") << 200001 << 11 << 1 << int(Content::Photo) << 2;
    }
    void rowsComeBackExactly()
    {
        QFETCH(int, height);
        QFETCH(int, rowBytes);
        QFETCH(int, bytesPerPixel);
        QFETCH(int, content);
        QFETCH(int, threads);
        const std::size_t n = std::size_t(rowBytes);
        const std::vector<unsigned char> source = makeRows(height, n, Content(content), height);
        QString reason;
        const auto spill = SpillFile::create(&reason);
        QVERIFY2(spill, qPrintable(reason));
        QVERIFY(spill->append("before", 6, &reason)); // the stream need not start the file
        const RowSource rows = [&](int y, unsigned char *row) {
            std::memcpy(row, source.data() + std::size_t(y) * n, n);
        };
        const auto result =
            compressRows({height, n, bytesPerPixel}, rows, *spill, &reason, threads);
        QVERIFY2(result, qPrintable(reason));
        QCOMPARE(result->range.offset, std::uint64_t(6));
        QCOMPARE(result->range.offset + result->range.length, spill->size());
        if (bytesPerPixel == 0)
            QVERIFY(!result->predicted);

        QByteArray stream(qsizetype(result->range.length), '\0');
        QVERIFY(spill->read(result->range.offset, stream.data(), std::size_t(stream.size())));
        const std::size_t stride = n + (result->predicted ? 1 : 0);
        const QByteArray inflated = inflateAll(stream, std::size_t(height) * stride);
        QCOMPARE(std::size_t(inflated.size()), std::size_t(height) * stride);
        if (result->predicted) {
            bool ok = false;
            const auto restored =
                unfilter(inflated, height, n, std::size_t(std::max(1, bytesPerPixel)), &ok);
            QVERIFY(ok);
            QVERIFY(restored == source);
        } else {
            QVERIFY(std::memcmp(inflated.constData(), source.data(), source.size()) == 0);
        }
    }

    void slicesMakeTheSameDataAsOneThread()
    {
        const int height = 1501;
        const std::size_t n = 6000;
        const auto source = makeRows(height, n, Content::Photo, 5);
        const RowSource rows = [&](int y, unsigned char *row) {
            std::memcpy(row, source.data() + std::size_t(y) * n, n);
        };
        QString reason;
        const auto spill = SpillFile::create(&reason);
        QVERIFY(spill);
        const auto one = compressRows({height, n, 3}, rows, *spill, &reason, 1);
        const auto four = compressRows({height, n, 3}, rows, *spill, &reason, 4);
        QVERIFY(one && four);
        QCOMPARE(one->predicted, four->predicted);
        QByteArray a(qsizetype(one->range.length), '\0'), b(qsizetype(four->range.length), '\0');
        QVERIFY(spill->read(one->range.offset, a.data(), std::size_t(a.size())));
        QVERIFY(spill->read(four->range.offset, b.data(), std::size_t(b.size())));
        const std::size_t expected = std::size_t(height) * (n + (one->predicted ? 1 : 0));
        QCOMPARE(inflateAll(b, expected), inflateAll(a, expected));
        // Each slice starts from the previous one's last 32 KiB, so cutting costs almost nothing.
        QVERIFY2(double(b.size()) < double(a.size()) * 1.01,
                 qPrintable(QStringLiteral("%1 vs %2").arg(b.size()).arg(a.size())));
    }

    void theFilterFollowsTheContent()
    {
        QString reason;
        const auto spill = SpillFile::create(&reason);
        QVERIFY(spill);
        const auto compress = [&](Content content, int bytesPerPixel) {
            const int height = 300;
            const std::size_t n = 1800;
            const auto source = makeRows(height, n, content, 9);
            return compressRows(
                {height, n, bytesPerPixel},
                [&](int y, unsigned char *row) {
                    std::memcpy(row, source.data() + std::size_t(y) * n, n);
                },
                *spill, &reason);
        };
        const auto photo = compress(Content::Photo, 3);
        QVERIFY(photo);
        QVERIFY(photo->predicted);
        // Uncorrelated samples gain nothing from a predictor and are stored without row tags.
        const auto noise = compress(Content::Noise, 3);
        QVERIFY(noise);
        QVERIFY(!noise->predicted);
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
};

int helpers::runRowCompressionTests(int argc, char **argv)
{
    RowCompressionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rowcompression.moc"
