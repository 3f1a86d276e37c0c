// Pages laid out on paper, written and read back: the image data untouched, the page box and
// bookmarks right, and what a reader draws inside the image's rectangle and white around it.

#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"
#include "tiffwriter.h"

#include "engine/pdf/pagelayout.h"

#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <QTest>

#include <qpdf/QPDFOutlineDocumentHelper.hh>

using namespace folioset::pdf;

Q_DECLARE_METATYPE(PageSetup)

namespace {

PageSetup setupOf(const char *paper, const char *turn, const char *fit, const char *margins,
                  double defaultDpi = 72)
{
    PageSetup setup;
    const PaperChoice choice = *parsePaperSize(QLatin1String(paper));
    setup.paper = choice.paper;
    setup.customSize = choice.customSize;
    setup.customUnit = choice.customUnit;
    setup.orientation = *parseOrientation(QLatin1String(turn));
    setup.fit = *parseFit(QLatin1String(fit));
    setup.margins = *parseMargins(QLatin1String(margins));
    setup.defaultDpi = defaultDpi;
    return setup;
}

// The layouts every kind of carried data is written under.
QList<std::pair<const char *, PageSetup>> layouts()
{
    return {
        {"image's own size", PageSetup{}},
        {"A4 into 10 mm", setupOf("A4", "auto", "into", "10mm")},
        {"Letter landscape fill", setupOf("Letter", "landscape", "fill", "0.5in")},
        {"custom exact", setupOf("100x150mm", "portrait", "exact", "0")},
        {"A5 shrink", setupOf("A5", "portrait", "shrink", "5mm,10mm,15mm,20mm")},
        {"Legal into", setupOf("Legal", "auto", "into", "0")},
        {"A3 fill", setupOf("A3", "auto", "fill", "0")},
        {"image size with margins", setupOf("image", "auto", "into", "20mm")},
        {"image size at 300 dpi", setupOf("image", "auto", "into", "0", 300)},
    };
}

QByteArray pngIdat(const QByteArray &png)
{
    QByteArray data;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const auto length = qsizetype(qFromBigEndian<quint32>(png.constData() + at));
        if (png.mid(at + 4, 4) == "IDAT")
            data += png.mid(at + 8, length);
        at += length + 12;
    }
    return data;
}

QImage quadrants(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(220, 20, 20), qRgb(20, 200, 20), qRgb(20, 20, 220),
                            qRgb(230, 230, 30)};
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, colours[(x >= size.width() / 2) + 2 * (y >= size.height() / 2)]);
    }
    return image;
}

bool near(QRgb a, QRgb b, int within)
{
    return std::abs(qRed(a) - qRed(b)) <= within && std::abs(qGreen(a) - qGreen(b)) <= within &&
           std::abs(qBlue(a) - qBlue(b)) <= within;
}

// The page drawn by poppler at `dpi`; a null image when it could not be.
QImage rendered(const QString &pdf, int dpi)
{
    const QString renderer = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    const QString base = pdf + QStringLiteral("-shown");
    if (QProcess::execute(renderer,
                          {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                           QStringLiteral("-singlefile"), pdf, base}) != 0)
        return {};
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// `r`, in points from the page's bottom-left corner, as pixels from the top-left corner of the
// page drawn at `dpi`.
QRectF inPixels(const QRectF &r, double pageHeight, int dpi)
{
    const double scale = dpi / 72.0;
    return QRectF(r.x() * scale, (pageHeight - r.y() - r.height()) * scale, r.width() * scale,
                  r.height() * scale);
}

} // namespace

class PageSetupPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // A one-page PDF of `image` laid out by `setup`, opened again.
    std::shared_ptr<QPDF> written(const QString &image, const PageSetup &setup, const QString &name,
                                  bool bookmark = false)
    {
        Document document;
        document.setPageSetup(setup);
        QString reason;
        if (!helpers::appendPage(document, image, 0, &reason)) {
            qWarning() << reason;
            return {};
        }
        if (bookmark)
            document.addOutlineEntry(QStringLiteral("first"), 1);
        const QString out = file(name);
        if (!document.write(out, {}, nullptr, &reason)) {
            qWarning() << reason;
            return {};
        }
        return readback::open(out);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void imageDataIsTheSourcesUnderEveryLayout_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<PageSetup>("setup");
        for (const char *kind : {"JPEG", "PNG", "G4"}) {
            for (const auto &[name, setup] : layouts())
                QTest::addRow("%s, %s", kind, name) << QString::fromLatin1(kind) << setup;
        }
    }
    void imageDataIsTheSourcesUnderEveryLayout()
    {
        QFETCH(QString, kind);
        QFETCH(PageSetup, setup);
        QString path;
        QByteArray expected;
        QByteArray filter;
        if (kind == QLatin1String("JPEG")) {
            path = file(QStringLiteral("photo.jpg"));
            fixtures::JpegOptions options;
            options.exifOrientation = 6;
            QVERIFY(fixtures::writeJpegWith(path, fixtures::patternImage({120, 80}), options));
            expected = fixtures::readBytes(path);
            filter = "/DCTDecode";
        } else if (kind == QLatin1String("PNG")) {
            path = file(QStringLiteral("drawing.png"));
            QVERIFY(fixtures::writePngWith(path, fixtures::patternImage({90, 130}, 3),
                                           {2, 8, false, 0}));
            expected = pngIdat(fixtures::readBytes(path));
            filter = "/FlateDecode";
        } else {
            path = file(QStringLiteral("fax.tif"));
            QVERIFY(fixtures::writeTiffPages(
                path, {fixtures::bilevelPage(1728, 400, PHOTOMETRIC_MINISWHITE,
                                             COMPRESSION_CCITTFAX4, 0)}));
            expected = fixtures::rawStrip(path);
            filter = "/CCITTFaxDecode";
        }
        QVERIFY(!expected.isEmpty());
        const auto pdf = written(path, setup, kind + QStringLiteral(".pdf"));
        QVERIFY(pdf);
        QPDFObjectHandle image = readback::image(readback::pages(*pdf).at(0));
        QCOMPARE(QByteArray::fromStdString(image.getDict().getKey("/Filter").getName()), filter);
        QCOMPARE(readback::rawData(image), expected);
    }

    void namedPapersGiveTheirPageBox_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("turn");
        QTest::addColumn<QSize>("points");
        const std::pair<const char *, QSize> papers[] = {{"A3", {842, 1191}},
                                                         {"A4", {595, 842}},
                                                         {"A5", {420, 595}},
                                                         {"Letter", {612, 792}},
                                                         {"Legal", {612, 1008}}};
        for (const auto &[paper, points] : papers) {
            QTest::addRow("%s portrait", paper) << paper << "portrait" << points;
            QTest::addRow("%s landscape", paper) << paper << "landscape" << points.transposed();
        }
        // A custom size is a sheet like any other: the orientation turns it.
        QTest::newRow("custom in mm, given landscape, portrait") << "297x210mm"
                                                                 << "portrait" << QSize(595, 842);
        QTest::newRow("custom in inches, landscape") << "4x6in"
                                                     << "landscape" << QSize(432, 288);
        QTest::newRow("custom in points, units twice") << "100ptx200pt"
                                                       << "portrait" << QSize(100, 200);
    }
    void namedPapersGiveTheirPageBox()
    {
        QFETCH(QString, paper);
        QFETCH(QString, turn);
        QFETCH(QSize, points);
        const QString path = file(QStringLiteral("small.png"));
        QVERIFY(fixtures::writePng(path, fixtures::patternImage({30, 20})));
        const auto pdf = written(path, setupOf(qPrintable(paper), qPrintable(turn), "into", "0"),
                                 QStringLiteral("paper.pdf"));
        QVERIFY(pdf);
        const auto page = readback::pages(*pdf).at(0);
        QCOMPARE(readback::mediaBox(page).toSize(), points);
        QCOMPARE(readback::rotation(page), 0);
    }

    // A bookmark shows the top of the page: one inch above the paper's upper edge.
    void bookmarksPointAboveThePapersTop()
    {
        const QString path = file(QStringLiteral("tall.jpg"));
        QVERIFY(fixtures::writeJpeg(path, {60, 200}));
        const auto pdf = written(path, setupOf("A4", "landscape", "into", "10mm"),
                                 QStringLiteral("bookmarked.pdf"), true);
        QVERIFY(pdf);
        auto outlines = QPDFOutlineDocumentHelper(*pdf).getTopLevelOutlines();
        QCOMPARE(outlines.size(), std::size_t(1));
        QPDFObjectHandle dest = outlines.front().getDest();
        QCOMPARE(dest.getArrayItem(0).getObjGen(), readback::pages(*pdf).at(0).getObjGen());
        QCOMPARE(dest.getArrayItem(1).getName(), std::string("/XYZ"));
        QVERIFY(std::abs(dest.getArrayItem(3).getNumericValue() - (210 * 72 / 25.4 + 72)) < 1e-3);
    }

    // What poppler draws: the image inside its rectangle (cut to the margins when it fills the
    // paper), white everywhere else. The photo is one colour so that scaling shows no edges.
    void aReaderDrawsTheImageInItsRectangleAndWhiteAround_data()
    {
        QTest::addColumn<PageSetup>("setup");
        QTest::addColumn<QRectF>("visible"); // points, from the bottom-left corner
        // 600 x 800 points with 50 round: the room is (50, 50) 500 x 700; the image 400 x 200.
        const auto paper = [](const char *fit, const char *turn) {
            return setupOf("600x800pt", turn, fit, "50pt");
        };
        QTest::newRow("into") << paper("into", "portrait") << QRectF(50, 275, 500, 250);
        QTest::newRow("fill, cut to the margins")
            << paper("fill", "portrait") << QRectF(50, 50, 500, 700);
        QTest::newRow("exact") << paper("exact", "portrait") << QRectF(50, 50, 500, 700);
        QTest::newRow("shrink") << paper("shrink", "portrait") << QRectF(100, 300, 400, 200);
        QTest::newRow("auto turns the paper") << paper("into", "auto") << QRectF(50, 125, 700, 350);
        QTest::newRow("image's own size with margins")
            << setupOf("image", "auto", "into", "50pt") << QRectF(50, 50, 400, 200);
    }
    void aReaderDrawsTheImageInItsRectangleAndWhiteAround()
    {
        QFETCH(PageSetup, setup);
        QFETCH(QRectF, visible);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed: the drawn page is not checked");
        const QRgb colour = qRgb(40, 90, 200);
        QImage plain(400, 200, QImage::Format_RGB32);
        plain.fill(colour);
        // No pHYs: 72 dpi, a pixel a point.
        const QString path = file(QStringLiteral("plain.png"));
        QVERIFY(fixtures::writePngWith(path, plain, {2, 8, false, 0}));
        const auto pdf = written(path, setup, QStringLiteral("drawn.pdf"));
        QVERIFY(pdf);
        const QSizeF page = readback::mediaBox(readback::pages(*pdf).at(0));
        constexpr int dpi = 36;
        const QImage shown = rendered(file(QStringLiteral("drawn.pdf")), dpi);
        QCOMPARE(shown.size(), (page * dpi / 72).toSize());

        // Readers round the edges of an image outwards or smooth them: pixels within one of the
        // rectangle's edge may be either. Every other one is the image's or white.
        const QRectF rectangle = inPixels(visible, page.height(), dpi);
        const QRectF inside = rectangle.adjusted(1, 1, -1, -1);
        const QRectF outside = rectangle.adjusted(-1, -1, 1, 1);
        int wrong = 0;
        QString first;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRectF pixel(x, y, 1, 1);
                const bool in = inside.contains(pixel);
                if (!in && outside.intersects(pixel))
                    continue;
                const QRgb want = in ? colour : qRgb(255, 255, 255);
                if (!near(shown.pixel(x, y), want, 2) && wrong++ == 0)
                    first = QStringLiteral("pixel %1,%2 is %3, not %4")
                                .arg(x)
                                .arg(y)
                                .arg(shown.pixel(x, y), 0, 16)
                                .arg(want, 0, 16);
            }
        }
        QVERIFY2(wrong == 0,
                 qPrintable(QStringLiteral("%1 pixels wrong; %2").arg(wrong).arg(first)));
    }

    // A photo turned by EXIF on paper: each quarter of the upright picture where it belongs.
    void aReaderShowsTurnedPhotosUprightOnPaper_data()
    {
        QTest::addColumn<int>("orientation");
        for (int o = 1; o <= 8; ++o)
            QTest::addRow("orientation %d", o) << o;
    }
    void aReaderShowsTurnedPhotosUprightOnPaper()
    {
        QFETCH(int, orientation);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed: the drawn page is not checked");
        const QString path = file(QStringLiteral("turned-%1.jpg").arg(orientation));
        fixtures::JpegOptions options;
        options.exifOrientation = orientation;
        QVERIFY(fixtures::writeJpegWith(path, quadrants({160, 80}), options));
        const PageSetup setup = setupOf("A4", "auto", "into", "10mm");
        const QString name = QStringLiteral("turned-%1.pdf").arg(orientation);
        const auto pdf = written(path, setup, name);
        QVERIFY(pdf);

        // Qt's own EXIF handling is the reference for what upright means.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage upright = reader.read();
        const PageLayout layout = layoutPage(160, 80, {}, orientation, setup);
        constexpr int dpi = 72;
        const QImage shown = rendered(file(name), dpi);
        QVERIFY(!shown.isNull());
        const QRectF r = inPixels(layout.placement, layout.mediaHeight, dpi);
        for (const QPointF at :
             {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75)}) {
            const QRgb want =
                upright.pixel(int(at.x() * upright.width()), int(at.y() * upright.height()));
            const QRgb seen =
                shown.pixel(int(r.x() + at.x() * r.width()), int(r.y() + at.y() * r.height()));
            QVERIFY2(near(seen, want, 48), qPrintable(QStringLiteral("at %1,%2: %3 shown, %4 "
                                                                     "expected")
                                                          .arg(at.x())
                                                          .arg(at.y())
                                                          .arg(seen, 0, 16)
                                                          .arg(want, 0, 16)));
        }
        // Outside the picture the paper is white.
        QCOMPARE(shown.pixel(2, 2), qRgb(255, 255, 255));
    }

    // Encryption covers the page's drawing like any stream; the layout survives it.
    void anEncryptedPageKeepsItsLayout()
    {
        const QString path = file(QStringLiteral("secret.jpg"));
        QVERIFY(fixtures::writeJpeg(path, {300, 100}));
        const PageSetup setup = setupOf("A4", "auto", "fill", "10mm");
        Document document;
        document.setPageSetup(setup);
        QVERIFY(helpers::appendPage(document, path));
        const QString out = file(QStringLiteral("secret.pdf"));
        WriteOptions options;
        options.security =
            Security{QStringLiteral("open"), QStringLiteral("owner"), true, true, 256};
        QString reason;
        QVERIFY2(document.write(out, options, nullptr, &reason), qPrintable(reason));
        const auto pdf = readback::open(out, QStringLiteral("open"));
        QVERIFY(pdf->isEncrypted());
        const auto page = readback::pages(*pdf).at(0);
        QCOMPARE(readback::mediaBox(page).toSize(), QSize(842, 595));
        const PageLayout layout = layoutPage(300, 100, {}, 1, setup);
        QVERIFY(!layout.clip.isEmpty());
        QVERIFY2(readback::contents(page).startsWith("q 28.3465 28.3465 785.1969 538.5827 re W n "),
                 readback::contents(page).constData());
        QCOMPARE(readback::rawData(readback::image(page)), fixtures::readBytes(path));
    }

    void aSetupWithoutRoomMakesNoPage()
    {
        const QString path = file(QStringLiteral("refused.png"));
        QVERIFY(fixtures::writePng(path, fixtures::patternImage({30, 20})));
        Document document;
        document.setPageSetup(setupOf("A5", "portrait", "into", "80mm"));
        QString reason;
        QVERIFY(!helpers::appendPage(document, path, 0, &reason));
        QCOMPARE(reason, QStringLiteral("The page layout cannot be used: a margin of 80 mm is "
                                        "half the page or more: A5 portrait is 148 mm wide"));
        QCOMPARE(document.pageCount(), 0);
    }
};

QTEST_MAIN(PageSetupPagesTest)
#include "tst_pagesetuppages.moc"
