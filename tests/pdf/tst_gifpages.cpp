#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QTest>

namespace {

// The rows in the order an interlaced GIF stores them: every eighth from 0, every eighth from
// 4, every fourth from 2, every second from 1.
QImage interlacedOrder(const QImage &image)
{
    QImage stored = image;
    int next = 0;
    for (const auto &[first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = first; y < image.height(); y += step)
            std::memcpy(stored.scanLine(next++), image.constScanLine(y),
                        std::size_t(image.bytesPerLine()));
    }
    return stored;
}

// Byte offset of the first frame's descriptor flags in a file of fixtures::writeGif: header,
// screen, 256-entry table, graphic control extension, separator and position.
constexpr qsizetype kFirstFrameFlags = 13 + 768 + 8 + 9;

} // namespace

class GifPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void interlacedFramesComeOutInOrder_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("tall") << QSize(31, 53);
        QTest::newRow("fewer rows than passes") << QSize(9, 3);
        QTest::newRow("one row") << QSize(17, 1);
    }
    void interlacedFramesComeOutInOrder()
    {
        QFETCH(QSize, size);
        const QImage frame = helpers::indexedImage(size, 200, 4);
        const QString path = file(QString::fromLatin1(QTest::currentDataTag()) + ".gif");
        QVERIFY(fixtures::writeGif(path, {interlacedOrder(frame)}));
        QByteArray bytes = fixtures::readBytes(path);
        bytes[kFirstFrameFlags] = char(bytes[kFirstFrameFlags] | 0x40);
        QVERIFY(fixtures::writeBytes(path, bytes));
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = helpers::writtenImage(path, 0, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        QCOMPARE(readback::pixels(image), readback::comparable(frame));
    }

    // A later frame's transparent pixels show the frames before it, as a viewer composes them.
    void framesShowThroughTransparentPixels()
    {
        const QImage first = helpers::indexedImage({40, 30}, 60, 1);
        QImage second = helpers::indexedImage({40, 30}, 60, 2);
        second.setColorTable(first.colorTable());
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                if ((x / 4 + y / 3) % 2)
                    second.setPixel(x, y, 5);
            }
        }
        const QString path = file(QStringLiteral("layers.gif"));
        QVERIFY(fixtures::writeGif(path, {first, second}, 5));
        for (const int frame : {0, 1}) {
            std::shared_ptr<QPDF> pdf;
            QString reason;
            auto image = helpers::writtenImage(path, frame, &pdf, &reason);
            QVERIFY2(image.isStream(), qPrintable(reason));
            QCOMPARE(readback::shown(readback::pixels(image)),
                     readback::shown(readback::comparable(helpers::qtFrame(path, frame))));
        }
    }
};

int helpers::runGifPageTests(int argc, char **argv)
{
    GifPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gifpages.moc"
