#include "imagetests.h"

#include "engine/image/imageencoder.h"
#include "engine/image/qimagerowreader.h"
#include "engine/image/rowdeflater.h"
#include "engine/image/rowfilter.h"
#include "engine/image/spillfile.h"
#include "support/smalldisk.h"

#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>

#include <zlib.h>

#include <cstring>
#include <optional>
#include <vector>

using namespace folioset::image;

namespace {

enum class Content {
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

struct Deflated
{
    std::optional<EncodedRows> rows;
    QByteArray stream; // the pieces joined
    QString reason;
};

QByteArray joined(const SpillFile &spill, const std::vector<ByteRange> &ranges)
{
    QByteArray stream;
    for (const ByteRange &range : ranges) {
        QByteArray piece(qsizetype(range.length), '\0');
        if (!spill.read(range.offset, piece.data(), std::size_t(piece.size())))
            return {};
        stream += piece;
    }
    return stream;
}

// Hands `source` to a deflater a row at a time and reads the stream back.
Deflated deflate(SpillFile &spill, const RowLayout &layout,
                 const std::vector<unsigned char> &source, int threads = 0,
                 std::optional<DeflateMethod> method = std::nullopt)
{
    Deflated result;
    RowDeflater deflater(layout, spill, threads, method);
    for (int y = 0; y < layout.height; ++y) {
        std::memcpy(deflater.nextRow(), source.data() + std::size_t(y) * layout.rowBytes,
                    layout.rowBytes);
        if (!deflater.commitRow(&result.reason))
            return result;
    }
    result.rows = deflater.finish(&result.reason);
    if (result.rows)
        result.stream = joined(spill, result.rows->ranges);
    return result;
}

// The rows back from a stream, undoing the predictor when there is one.
std::vector<unsigned char> restore(const Deflated &deflated, const RowLayout &layout)
{
    const bool predicted = deflated.rows->filter == StreamFilter::FlatePredict;
    const std::size_t stride = layout.rowBytes + (predicted ? 1 : 0);
    const QByteArray inflated = inflateAll(deflated.stream, std::size_t(layout.height) * stride);
    if (!predicted)
        return {inflated.begin(), inflated.end()};
    bool ok = false;
    auto rows = unfilter(inflated, layout.height, layout.rowBytes,
                         std::size_t(std::max(1, layout.bytesPerPixel)), &ok);
    return ok ? rows : std::vector<unsigned char>();
}

// A row above and a row under it on which `filter` leaves the smallest sum of differences, by a
// clear margin: what each filter predicts is built into the row.
std::pair<std::vector<unsigned char>, std::vector<unsigned char>>
rowsMadeFor(RowFilter filter, std::size_t n, std::size_t bpp)
{
    std::vector<unsigned char> up(n), row(n);
    QRandomGenerator random(7);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t pixel = i / bpp;
        const auto left = [&] { return i >= bpp ? row[i - bpp] : 0; };
        switch (filter) {
        case RowFilter::None: // small values under a row far from them
            up[i] = 128;
            row[i] = static_cast<unsigned char>(pixel % 2 * 3);
            break;
        case RowFilter::Sub: // a ramp under noise
            up[i] = static_cast<unsigned char>(random.bounded(256));
            row[i] = static_cast<unsigned char>(pixel * 5);
            break;
        case RowFilter::Up: // the row above, which jumps, plus a little that jumps less
            up[i] = i < n / 2 ? (pixel % 2 ? 200 : 0) : 100;
            row[i] = static_cast<unsigned char>(up[i] + (pixel % 2 ? 40 : 0));
            break;
        case RowFilter::Average: // halfway between the left and the noise above, exactly
            up[i] = static_cast<unsigned char>(random.bounded(256));
            row[i] = static_cast<unsigned char>((left() + up[i]) / 2);
            break;
        case RowFilter::Paeth: // the row above, falling in uneven steps, moved one pixel right
            int value = 250;
            for (std::size_t j = 0; j <= pixel; ++j)
                value -= 3 + int(j % 2);
            up[i] = static_cast<unsigned char>(value);
            row[i] = i >= bpp ? up[i - bpp] : 252;
            break;
        }
    }
    return {up, row};
}

} // namespace

class RowDeflaterTest : public QObject
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
        QTest::addColumn<QString>("method");

        QTest::newRow("one row, one byte")
            << 1 << 1 << 1 << int(Content::Noise) << 4 << QString("auto");
        QTest::newRow("one wide row")
            << 1 << 60001 << 3 << int(Content::Photo) << 4 << QString("auto");
        QTest::newRow("odd RGB, one thread")
            << 7 << 21 << 3 << int(Content::Photo) << 1 << QString("auto");
        QTest::newRow("packed, odd")
            << 13 << 5 << 0 << int(Content::Stripes) << 2 << QString("auto");
        // Large enough to be cut into blocks of 2 MiB; odd sizes leave a short last one.
        QTest::newRow("photo in blocks")
            << 1203 << 3003 << 3 << int(Content::Photo) << 3 << QString("auto");
        QTest::newRow("noise in blocks")
            << 1001 << 2401 << 3 << int(Content::Noise) << 2 << QString("auto");
        QTest::newRow("paper in blocks")
            << 3507 << 2481 << 1 << int(Content::Paper) << 4 << QString("auto");
        QTest::newRow("16-bit in blocks")
            << 701 << 6006 << 6 << int(Content::Photo) << 2 << QString("auto");
        QTest::newRow("packed in blocks")
            << 3507 << 1001 << 0 << int(Content::Stripes) << 3 << QString("auto");
        QTest::newRow("short rows in blocks")
            << 200001 << 11 << 1 << int(Content::Photo) << 2 << QString("auto");
        // Rows longer than the deflate window: the next block looks back one row.
        QTest::newRow("wide rows in blocks")
            << 40 << 65535 * 8 << 8 << int(Content::Photo) << 2 << QString("auto");
        // Each method the trial may pick, on its own: libdeflate's blocks are joined after the
        // fact, zlib carries its window from block to block.
        QTest::newRow("libdeflate, paper in blocks")
            << 3507 << 2481 << 1 << int(Content::Paper) << 2 << QString("libdeflate");
        QTest::newRow("zlib, photo in blocks")
            << 1203 << 3003 << 3 << int(Content::Photo) << 3 << QString("zlib");
        QTest::newRow("zlib, packed in blocks")
            << 3507 << 1001 << 0 << int(Content::Stripes) << 2 << QString("zlib");
        QTest::newRow("zlib, wide rows in blocks")
            << 40 << 65535 * 8 << 8 << int(Content::Photo) << 2 << QString("zlib");
        QTest::newRow("run-length, photo in blocks")
            << 1203 << 3003 << 3 << int(Content::Photo) << 2 << QString("rle");
    }
    void rowsComeBackExactly()
    {
        QFETCH(int, height);
        QFETCH(int, rowBytes);
        QFETCH(int, bytesPerPixel);
        QFETCH(int, content);
        QFETCH(int, threads);
        QFETCH(QString, method);
        const RowLayout layout{height, std::size_t(rowBytes), bytesPerPixel};
        const auto source = makeRows(height, layout.rowBytes, Content(content), height);
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY2(spill, qPrintable(reason));
        QVERIFY(spill->append("before", 6, &reason)); // the stream need not start the file
        std::optional<DeflateMethod> fixed;
        if (method == QLatin1String("libdeflate"))
            fixed = DeflateMethod{DeflateMethod::Engine::Libdeflate, 6};
        else if (method == QLatin1String("zlib"))
            fixed = DeflateMethod{DeflateMethod::Engine::Zlib, 6};
        else if (method == QLatin1String("rle"))
            fixed = DeflateMethod{DeflateMethod::Engine::Zlib, 1, true};
        const Deflated deflated = deflate(*spill, layout, source, threads, fixed);
        QVERIFY2(deflated.rows, qPrintable(deflated.reason));
        const auto &ranges = deflated.rows->ranges;
        QCOMPARE(ranges.size(), std::size_t(1)); // nothing else wrote in between
        QCOMPARE(ranges.front().offset, std::uint64_t(6));
        QCOMPARE(ranges.front().offset + ranges.front().length, spill->size());
        if (bytesPerPixel == 0 || method == QLatin1String("rle"))
            QCOMPARE(deflated.rows->filter, StreamFilter::Flate);
        else if (method != QLatin1String("auto"))
            QCOMPARE(deflated.rows->filter, StreamFilter::FlatePredict);
        QVERIFY(restore(deflated, layout) == source);
    }

    void blocksMakeTheSameDataAsOneThread()
    {
        const RowLayout layout{1501, 6000, 3};
        const auto source = makeRows(layout.height, layout.rowBytes, Content::Photo, 5);
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        const Deflated one = deflate(*spill, layout, source, 1);
        const Deflated four = deflate(*spill, layout, source, 4);
        QVERIFY(one.rows && four.rows);
        QCOMPARE(one.rows->filter, four.rows->filter);
        QVERIFY(restore(four, layout) == source);
        // Each block starts from the previous one's last 32 KiB, so cutting costs almost nothing.
        QCOMPARE(four.stream.size(), one.stream.size());
        QCOMPARE(four.stream, one.stream);
    }

    // An image's colour and its alpha are compressed side by side into one spill file.
    void interleavedStreamsEachComeBackWhole()
    {
        const RowLayout colour{4500, 3000, 3};
        const RowLayout alpha{4500, 1000, 0};
        const auto photo = makeRows(colour.height, colour.rowBytes, Content::Photo, 3);
        const auto paper = makeRows(alpha.height, alpha.rowBytes, Content::Paper, 4);
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        // One thread each: every block is stored as it fills, so the two take turns.
        RowDeflater first(colour, *spill, 1), second(alpha, *spill, 1);
        for (int y = 0; y < colour.height; ++y) {
            std::memcpy(first.nextRow(), photo.data() + std::size_t(y) * colour.rowBytes,
                        colour.rowBytes);
            std::memcpy(second.nextRow(), paper.data() + std::size_t(y) * alpha.rowBytes,
                        alpha.rowBytes);
            QVERIFY(first.commitRow(&reason) && second.commitRow(&reason));
        }
        Deflated a, b;
        a.rows = first.finish(&reason);
        b.rows = second.finish(&reason);
        QVERIFY(a.rows && b.rows);
        QVERIFY(a.rows->ranges.size() > 1); // the two took turns
        a.stream = joined(*spill, a.rows->ranges);
        b.stream = joined(*spill, b.rows->ranges);
        QVERIFY(restore(a, colour) == photo);
        QVERIFY(restore(b, alpha) == paper);
    }

    void aMissingRowFailsTheStream()
    {
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        RowDeflater deflater({3, 10, 1}, *spill);
        for (int y = 0; y < 2; ++y) {
            std::memset(deflater.nextRow(), y, 10);
            QVERIFY(deflater.commitRow(&reason));
        }
        QVERIFY(!deflater.finish(&reason));
        QVERIFY(!reason.isEmpty());
    }

    // libdeflate has no level 13 and gives no compressor for it: a real failure of the first
    // block, seen while the rest of the page is still coming. The rows after it are refused
    // with the reason, the stream is never finished, and nothing of it reaches the scratch file.
    void aCompressionFailureMidPageFailsTheImage()
    {
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY2(spill, qPrintable(reason));
        QVERIFY(spill->append("kept", 4, &reason));
        const RowLayout layout{3000, 3000, 3}; // about 9 MB: several blocks
        const auto rows = makeRows(layout.height, layout.rowBytes, Content::Photo, 5);
        for (const int threads : {1, 2}) {
            RowDeflater deflater(layout, *spill, threads,
                                 DeflateMethod{DeflateMethod::Engine::Libdeflate, 13, false});
            int refusedAt = -1;
            for (int y = 0; y < layout.height && refusedAt < 0; ++y) {
                std::memcpy(deflater.nextRow(), rows.data() + std::size_t(y) * layout.rowBytes,
                            layout.rowBytes);
                if (!deflater.commitRow(&reason))
                    refusedAt = y;
            }
            QVERIFY2(refusedAt > 0 && refusedAt < layout.height - 1,
                     qPrintable(QString::number(refusedAt)));
            QCOMPARE(reason, QStringLiteral("Unable to compress the image"));
            QVERIFY(!deflater.finish(&reason));
            QCOMPARE(spill->size(), std::uint64_t(4));
        }
    }

    void theTrialFollowsTheContent()
    {
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        const auto filterOf = [&](Content content) {
            const RowLayout layout{300, 1800, 3};
            const auto rows = deflate(*spill, layout, makeRows(300, 1800, content, 9)).rows;
            return rows ? rows->filter : StreamFilter::Dct;
        };
        // Rows of a photo gain from filters; paper is runs that run-length matching codes best.
        QCOMPARE(filterOf(Content::Photo), StreamFilter::FlatePredict);
        QCOMPARE(filterOf(Content::Paper), StreamFilter::Flate);
    }

    void eachFilterWinsOnARowMadeForIt_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<int>("bytesPerPixel");
        const char *names[] = {"none", "sub", "up", "average", "paeth"};
        for (int filter = 0; filter < 5; ++filter) {
            for (const int bpp : {1, 3})
                QTest::addRow("%s, %d bytes a pixel", names[filter], bpp) << filter << bpp;
        }
    }
    void eachFilterWinsOnARowMadeForIt()
    {
        QFETCH(int, filter);
        QFETCH(int, bytesPerPixel);
        constexpr std::size_t n = 60;
        const auto bpp = std::size_t(bytesPerPixel);
        const auto [up, row] = rowsMadeFor(RowFilter(filter), n, bpp);
        std::vector<unsigned char> out(n + 1);
        QCOMPARE(int(filterRow(row.data(), up.data(), n, bpp, out.data())), filter);
        QCOMPARE(int(out[0]), filter);
        // The tagged row undoes to the row, as a reader undoes it.
        std::vector<unsigned char> both(up.size() + 1, 0); // the row above, untouched
        std::copy(up.begin(), up.end(), both.begin() + 1);
        both.insert(both.end(), out.begin(), out.end());
        bool ok = false;
        const auto undone = unfilter(
            QByteArray(reinterpret_cast<const char *>(both.data()), qsizetype(both.size())), 2, n,
            bpp, &ok);
        QVERIFY(ok);
        QVERIFY(std::equal(row.begin(), row.end(), undone.begin() + qsizetype(n)));
    }

    // Through the whole encoder, in one stream: every row keeps the filter that suits it.
    void everyRowOfAStreamHasItsOwnFilter()
    {
        constexpr std::size_t n = 3 * 400;
        std::vector<unsigned char> source;
        for (int filter = 0; filter < 5; ++filter) {
            const auto [up, row] = rowsMadeFor(RowFilter(filter), n, 3);
            source.insert(source.end(), up.begin(), up.end());
            source.insert(source.end(), row.begin(), row.end());
        }
        const RowLayout layout{10, n, 3};
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        const Deflated deflated = deflate(*spill, layout, source);
        QVERIFY2(deflated.rows, qPrintable(deflated.reason));
        QCOMPARE(deflated.rows->filter, StreamFilter::FlatePredict);
        const QByteArray inflated = inflateAll(deflated.stream, 10 * (n + 1));
        QCOMPARE(inflated.size(), qsizetype(10 * (n + 1)));
        for (int filter = 0; filter < 5; ++filter)
            QCOMPARE(int(inflated.at(qsizetype((2 * filter + 1) * (n + 1)))), filter);
        QVERIFY(restore(deflated, layout) == source);
    }

    // The scratch file's disk fills half-way through an image: the image fails with the reason
    // and gives back the bytes it had written, so the next one has the room.
    void aFullScratchDiskFailsTheImageCleanly()
    {
        const fixtures::SmallDisk disk(2 * 1024 * 1024);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.refusal()));
        QString reason;
        const auto spill = SpillFile::create(disk.path(), &reason);
        QVERIFY2(spill, qPrintable(reason));
        QVERIFY(spill->append("kept", 4, &reason));
        // Noise does not compress: 6 MB of it cannot fit.
        QImage noise(2000, 1000, QImage::Format_RGB888);
        QRandomGenerator random(1);
        for (int y = 0; y < noise.height(); ++y)
            random.fillRange(reinterpret_cast<quint32 *>(noise.scanLine(y)), 1500);
        QImageRowReader noiseRows(noise);
        QVERIFY(!encodeImage(noiseRows, *spill, &reason));
        QVERIFY2(reason.contains(QStringLiteral("scratch file")), qPrintable(reason));
        QCOMPARE(spill->size(), std::uint64_t(4));
        QVERIFY(disk.freeBytes() > 1024 * 1024);
        // Room again: the next image fits, and reads back whole.
        QImage photo(600, 200, QImage::Format_RGB888);
        photo.fill(QColor(200, 120, 40));
        QImageRowReader photoRows(photo);
        const auto encoded = encodeImage(photoRows, *spill, &reason);
        QVERIFY2(encoded, qPrintable(reason));
        const QByteArray stream = joined(*spill, encoded->origin.ranges);
        const QByteArray inflated = inflateAll(stream, 200 * (1800 + 1));
        QCOMPARE(inflated.size(), qsizetype(200 * (1800 + 1)));
        char kept[4];
        QVERIFY(spill->read(0, kept, 4));
        QCOMPARE(QByteArray(kept, 4), QByteArray("kept"));
    }
};

int imagetests::runRowDeflaterTests(int argc, char **argv)
{
    RowDeflaterTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rowdeflater.moc"
