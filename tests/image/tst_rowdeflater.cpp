#include "imagetests.h"

#include "engine/image/rowdeflater.h"
#include "engine/image/spillfile.h"

#include <QRandomGenerator>
#include <QTest>

#include <zlib.h>

#include <cstring>
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
                 const std::vector<unsigned char> &source, int threads = 0)
{
    Deflated result;
    RowDeflater deflater(layout, spill, threads);
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

        QTest::newRow("one row, one byte") << 1 << 1 << 1 << int(Content::Noise) << 4;
        QTest::newRow("one wide row") << 1 << 60001 << 3 << int(Content::Photo) << 4;
        QTest::newRow("odd RGB, one thread") << 7 << 21 << 3 << int(Content::Photo) << 1;
        QTest::newRow("packed, odd") << 13 << 5 << 0 << int(Content::Stripes) << 2;
        // Large enough to be cut into blocks of 2 MiB; odd sizes leave a short last one.
        QTest::newRow("photo in blocks") << 1203 << 3003 << 3 << int(Content::Photo) << 3;
        QTest::newRow("noise in blocks") << 1001 << 2401 << 3 << int(Content::Noise) << 2;
        QTest::newRow("paper in blocks") << 3507 << 2481 << 1 << int(Content::Paper) << 4;
        QTest::newRow("16-bit in blocks") << 701 << 6006 << 6 << int(Content::Photo) << 2;
        QTest::newRow("packed in blocks") << 3507 << 1001 << 0 << int(Content::Stripes) << 3;
        QTest::newRow("short rows in blocks") << 200001 << 11 << 1 << int(Content::Photo) << 2;
        // Rows longer than the deflate window: the next block looks back one row.
        QTest::newRow("wide rows in blocks") << 90 << 65535 * 8 << 8 << int(Content::Photo) << 2;
    }
    void rowsComeBackExactly()
    {
        QFETCH(int, height);
        QFETCH(int, rowBytes);
        QFETCH(int, bytesPerPixel);
        QFETCH(int, content);
        QFETCH(int, threads);
        const RowLayout layout{height, std::size_t(rowBytes), bytesPerPixel};
        const auto source = makeRows(height, layout.rowBytes, Content(content), height);
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY2(spill, qPrintable(reason));
        QVERIFY(spill->append("before", 6, &reason)); // the stream need not start the file
        const Deflated deflated = deflate(*spill, layout, source, threads);
        QVERIFY2(deflated.rows, qPrintable(deflated.reason));
        const auto &ranges = deflated.rows->ranges;
        QCOMPARE(ranges.size(), std::size_t(1)); // nothing else wrote in between
        QCOMPARE(ranges.front().offset, std::uint64_t(6));
        QCOMPARE(ranges.front().offset + ranges.front().length, spill->size());
        if (bytesPerPixel == 0)
            QCOMPARE(deflated.rows->filter, StreamFilter::Flate);
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

    void theFilterFollowsTheContent()
    {
        QString reason;
        const auto spill = SpillFile::create(QString(), &reason);
        QVERIFY(spill);
        const auto filterOf = [&](Content content) {
            const RowLayout layout{300, 1800, 3};
            const auto rows = deflate(*spill, layout, makeRows(300, 1800, content, 9)).rows;
            return rows ? rows->filter : StreamFilter::Dct;
        };
        QCOMPARE(filterOf(Content::Photo), StreamFilter::FlatePredict);
        // Uncorrelated samples gain nothing from a predictor and are stored without row tags.
        QCOMPARE(filterOf(Content::Noise), StreamFilter::Flate);
    }
};

int imagetests::runRowDeflaterTests(int argc, char **argv)
{
    RowDeflaterTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rowdeflater.moc"
