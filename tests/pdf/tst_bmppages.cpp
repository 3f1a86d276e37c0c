#include "bmpwriter.h"
#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"

#include <QTest>

#include <bit>
#include <cmath>

using fixtures::BmpForm;

namespace {

constexpr int kWidth = 37;
constexpr int kHeight = 19;

QList<QRgb> colours(int count)
{
    QList<QRgb> table;
    for (int i = 0; i < count; ++i)
        table.append(qRgb((i * 71 + 13) % 256, (i * 151) % 256, (i * 43 + 200) % 256));
    return table;
}

// Runs of equal values, runs of index 0 and stretches where every pixel differs.
std::uint32_t patternValue(int x, int y, std::uint32_t modulus)
{
    if (y % 5 == 3 || (x > 20 && x < 30))
        return 0;
    if (x < 10)
        return std::uint32_t(y) % modulus;
    return std::uint32_t(x * 7 + y * 3) % modulus;
}

// A channel under `mask` scaled to `bits`, rounded.
unsigned channel(std::uint32_t pixel, std::uint32_t mask, int bits)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const double max = double(mask >> shift);
    return unsigned(std::lround(double((pixel & mask) >> shift) * ((1 << bits) - 1) / max));
}

struct Case
{
    BmpForm form;
    QString space;
    int bits = 8; // of the PDF's samples
};

} // namespace

Q_DECLARE_METATYPE(Case)

class BmpPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void everyHeaderFormGivesItsPixels_data()
    {
        QTest::addColumn<Case>("bmp");
        const auto palette = [](int headerSize, int bits, int count, int compression = 0) {
            BmpForm form;
            form.headerSize = headerSize;
            form.bits = bits;
            form.compression = compression;
            form.palette = colours(count);
            return form;
        };
        const auto masked = [](int headerSize, int bits, std::array<std::uint32_t, 4> masks,
                               int compression = 3) {
            BmpForm form;
            form.headerSize = headerSize;
            form.bits = bits;
            form.compression = compression;
            form.masks = masks;
            return form;
        };
        const auto plain = [](int headerSize, int bits, bool topDown = false) {
            BmpForm form;
            form.headerSize = headerSize;
            form.bits = bits;
            form.topDown = topDown;
            return form;
        };
        const QString rgb = QStringLiteral("/DeviceRGB"), indexed = QStringLiteral("/Indexed"),
                      gray = QStringLiteral("/DeviceGray");
        QTest::newRow("OS2 core, 24-bit") << Case{plain(12, 24), rgb};
        QTest::newRow("OS2 core, 8-bit palette") << Case{palette(12, 8, 256), indexed};
        QTest::newRow("OS2 2.x, 24-bit") << Case{plain(64, 24), rgb};
        QTest::newRow("info, 24-bit") << Case{plain(40, 24), rgb};
        QTest::newRow("info, 24-bit top-down") << Case{plain(40, 24, true), rgb};
        BmpForm blackWhite = palette(40, 1, 0);
        blackWhite.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        QTest::newRow("info, 1-bit black and white") << Case{blackWhite, gray, 1};
        QTest::newRow("info, 1-bit two colours") << Case{palette(40, 1, 2), indexed, 1};
        QTest::newRow("info, 2-bit") << Case{palette(40, 2, 4), indexed, 2};
        QTest::newRow("info, 4-bit") << Case{palette(40, 4, 16), indexed, 4};
        QTest::newRow("info, 8-bit, 100 colours used") << Case{palette(40, 8, 100), indexed};
        BmpForm ramp = palette(40, 8, 0);
        for (int i = 0; i < 256; ++i)
            ramp.palette.append(qRgb(i, i, i));
        QTest::newRow("info, 8-bit gray") << Case{ramp, gray};
        BmpForm unused = plain(40, 32);
        unused.unusedByte = 0x00;
        QTest::newRow("info, 32-bit, fourth byte 0") << Case{unused, rgb};
        unused.unusedByte = 0x7F;
        QTest::newRow("info, 32-bit, fourth byte 127") << Case{unused, rgb};
        QTest::newRow("info, 16-bit 5-5-5") << Case{plain(40, 16), rgb};
        QTest::newRow("info, 16-bit 5-6-5 masks")
            << Case{masked(40, 16, {0xF800, 0x07E0, 0x1F, 0}), rgb};
        QTest::newRow("v2, 16-bit 4-4-4") << Case{masked(52, 16, {0x0F00, 0x00F0, 0x000F, 0}), rgb};
        QTest::newRow("info, 32-bit alpha masks")
            << Case{masked(40, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 6), rgb};
        QTest::newRow("v3, 32-bit alpha")
            << Case{masked(56, 32, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}), rgb};
        QTest::newRow("v4, 16-bit 1-5-5-5 alpha")
            << Case{masked(108, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}), rgb};
        QTest::newRow("v5, 32-bit alpha")
            << Case{masked(124, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), rgb};
        QTest::newRow("v5, 10-bit channels")
            << Case{masked(124, 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}), rgb, 16};
        QTest::newRow("RLE8") << Case{palette(40, 8, 200, 1), indexed};
        BmpForm jumps = palette(40, 8, 200, 1);
        jumps.deltas = true;
        QTest::newRow("RLE8 with jumps") << Case{jumps, indexed};
        BmpForm topDownRuns = palette(40, 8, 200, 1);
        topDownRuns.topDown = true;
        QTest::newRow("RLE8 top-down") << Case{topDownRuns, indexed};
        QTest::newRow("RLE4") << Case{palette(40, 4, 16, 2), indexed, 4};
        BmpForm jumps4 = palette(108, 4, 16, 2);
        jumps4.deltas = true;
        QTest::newRow("v4, RLE4 with jumps") << Case{jumps4, indexed, 4};
    }
    void everyHeaderFormGivesItsPixels()
    {
        QFETCH(Case, bmp);
        const BmpForm &form = bmp.form;
        const bool masked = form.compression == 3 || form.compression == 6;
        const std::array<std::uint32_t, 4> masks =
            masked            ? form.masks
            : form.bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x1F, 0}
                              : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0};
        const std::uint32_t modulus = form.bits <= 8 ? std::uint32_t(1) << form.bits : 0;
        const fixtures::BmpPixels value = [&](int x, int y) -> std::uint32_t {
            if (modulus)
                return patternValue(x, y, std::min<std::uint32_t>(modulus, form.palette.size()));
            const std::uint32_t all = form.bits == 16 ? 0xFFFF : 0xFFFFFFFF;
            return std::uint32_t(x * 2654435761u + y * 40503u) & all;
        };
        QImage expected(kWidth, kHeight, QImage::Format_RGBA64);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t v = value(x, y);
                QRgba64 pixel;
                if (modulus) {
                    pixel = QRgba64::fromArgb32(form.palette.value(int(v), qRgb(0, 0, 0)));
                } else {
                    const int bits = bmp.bits;
                    const auto wide = [&](unsigned c) { return quint16(bits == 16 ? c : c * 257); };
                    const unsigned a = masks[3] ? channel(v, masks[3], 8) : 255;
                    pixel = QRgba64::fromRgba64(wide(channel(v, masks[0], bits)),
                                                wide(channel(v, masks[1], bits)),
                                                wide(channel(v, masks[2], bits)), quint16(a * 257));
                }
                expected.setPixelColor(x, y, QColor::fromRgba64(pixel));
            }
        }
        const QString path =
            m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".bmp"));
        QVERIFY(fixtures::writeBytes(path, fixtures::bmpBytes(form, kWidth, kHeight, value)));
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = helpers::writtenImage(path, 0, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        auto dict = image.getDict();
        QCOMPARE(QString::fromLatin1(readback::colourSpaceName(image)), bmp.space);
        QCOMPARE(dict.getKey("/BitsPerComponent").getIntValueAsInt(), bmp.bits);
        QCOMPARE(dict.getKey("/SMask").isStream(), masks[3] != 0);
        QCOMPARE(readback::shown(readback::pixels(image)), readback::shown(expected));
    }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        BmpForm runs;
        runs.bits = 8;
        runs.compression = 1;
        runs.palette = colours(200);
        const auto value = [](int x, int y) { return patternValue(x, y, 200); };
        const QByteArray rle = fixtures::bmpBytes(runs, kWidth, kHeight, value);
        QTest::newRow("run-length data cut short") << rle.left(rle.size() - 40);
        BmpForm jpeg;
        jpeg.compression = 4;
        QTest::newRow("embedded JPEG") << fixtures::bmpBytes(jpeg, 8, 8, value);
        BmpForm noPalette;
        noPalette.bits = 8;
        QTest::newRow("8-bit without a palette") << fixtures::bmpBytes(noPalette, 8, 8, value);
    }
    void damagedFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QStringLiteral("damaged.bmp"));
        QVERIFY(fixtures::writeBytes(path, bytes));
        folioset::pdf::Document document;
        QString reason;
        QVERIFY(!helpers::appendPage(document, path, 0, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(document.pageCount(), 0);
    }
};

int helpers::runBmpPageTests(int argc, char **argv)
{
    BmpPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bmppages.moc"
