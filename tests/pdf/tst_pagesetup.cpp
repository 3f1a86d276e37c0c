// The page layout's arithmetic and its text forms, without writing a file.

#include "engine/pdf/pagelayout.h"
#include "engine/pdf/pagesetup.h"

#include <QTest>

#include <array>

using namespace folioset::pdf;
using folioset::image::Resolution;

Q_DECLARE_METATYPE(PageOrientation)
Q_DECLARE_METATYPE(ImageFit)

namespace {

// The test paper: 600 x 800 points, so that every expected number can be worked out by hand.
PageSetup testPaper(PageOrientation orientation, ImageFit fit, double margin)
{
    PageSetup setup;
    setup.paper = PaperSize::Custom;
    setup.customSize = QSizeF(600, 800);
    setup.customUnit = LengthUnit::Point;
    setup.orientation = orientation;
    setup.fit = fit;
    setup.margins = Margins{margin, margin, margin, margin};
    return setup;
}

bool same(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

bool same(const QRectF &a, const QRectF &b)
{
    return same(a.x(), b.x()) && same(a.y(), b.y()) && same(a.width(), b.width()) &&
           same(a.height(), b.height());
}

QString text(const QRectF &r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Images of 72 dpi, so that a pixel is a point.
struct Shape
{
    const char *name;
    QSize pixels;
    bool wide;
};
constexpr std::array<Shape, 3> kShapes{{
    {"wide", {400, 200}, true},
    {"tall", {200, 400}, false},
    {"square", {300, 300}, false},
}};

// Worked out by hand: the image's rectangle for each fit (into, fill, exact, shrink) on the
// test paper turned each way, without margins and with 50 points all round.
struct Expected
{
    const char *shape;
    bool landscape;
    bool margins;
    std::array<QRectF, 4> byFit;
};
const Expected kExpected[] = {
    {"wide",
     false,
     false,
     {{{0, 250, 600, 300}, {-500, 0, 1600, 800}, {0, 0, 600, 800}, {100, 300, 400, 200}}}},
    {"tall",
     false,
     false,
     {{{100, 0, 400, 800}, {0, -200, 600, 1200}, {0, 0, 600, 800}, {200, 200, 200, 400}}}},
    {"square",
     false,
     false,
     {{{0, 100, 600, 600}, {-100, 0, 800, 800}, {0, 0, 600, 800}, {150, 250, 300, 300}}}},
    {"wide",
     true,
     false,
     {{{0, 100, 800, 400}, {-200, 0, 1200, 600}, {0, 0, 800, 600}, {200, 200, 400, 200}}}},
    {"tall",
     true,
     false,
     {{{250, 0, 300, 600}, {0, -500, 800, 1600}, {0, 0, 800, 600}, {300, 100, 200, 400}}}},
    {"square",
     true,
     false,
     {{{100, 0, 600, 600}, {0, -100, 800, 800}, {0, 0, 800, 600}, {250, 150, 300, 300}}}},
    {"wide",
     false,
     true,
     {{{50, 275, 500, 250}, {-400, 50, 1400, 700}, {50, 50, 500, 700}, {100, 300, 400, 200}}}},
    {"tall",
     false,
     true,
     {{{125, 50, 350, 700}, {50, -100, 500, 1000}, {50, 50, 500, 700}, {200, 200, 200, 400}}}},
    {"square",
     false,
     true,
     {{{50, 150, 500, 500}, {-50, 50, 700, 700}, {50, 50, 500, 700}, {150, 250, 300, 300}}}},
    {"wide",
     true,
     true,
     {{{50, 125, 700, 350}, {-100, 50, 1000, 500}, {50, 50, 700, 500}, {200, 200, 400, 200}}}},
    {"tall",
     true,
     true,
     {{{275, 50, 250, 500}, {50, -400, 700, 1400}, {50, 50, 700, 500}, {300, 100, 200, 400}}}},
    {"square",
     true,
     true,
     {{{150, 50, 500, 500}, {50, -50, 700, 700}, {50, 50, 700, 500}, {250, 150, 300, 300}}}},
};

QRectF expectedPlacement(const char *shape, bool landscape, bool margins, ImageFit fit)
{
    for (const Expected &e : kExpected) {
        if (qstrcmp(e.shape, shape) == 0 && e.landscape == landscape && e.margins == margins)
            return e.byFit[std::size_t(fit)];
    }
    return {};
}

} // namespace

class PageSetupTest : public QObject
{
    Q_OBJECT

private slots:
    void placesEveryFitOnPaperTurnedEachWay_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<PageOrientation>("orientation");
        QTest::addColumn<ImageFit>("fit");
        QTest::addColumn<double>("margin");
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QRectF>("placement");
        const std::pair<PageOrientation, const char *> turns[] = {
            {PageOrientation::Portrait, "portrait"},
            {PageOrientation::Landscape, "landscape"},
            {PageOrientation::Automatic, "auto"}};
        const std::pair<ImageFit, const char *> fits[] = {{ImageFit::Into, "into"},
                                                          {ImageFit::Fill, "fill"},
                                                          {ImageFit::Exact, "exact"},
                                                          {ImageFit::ShrinkOnly, "shrink"}};
        for (const auto &[turn, turnName] : turns) {
            for (const Shape &shape : kShapes) {
                // Automatic orientation turns the paper for wide images only.
                const bool landscape = turn == PageOrientation::Landscape ||
                                       (turn == PageOrientation::Automatic && shape.wide);
                for (const double margin : {0.0, 50.0}) {
                    for (const auto &[fit, fitName] : fits) {
                        QTest::addRow("%s %s %s margin %g", turnName, shape.name, fitName, margin)
                            << shape.pixels << turn << fit << margin
                            << (landscape ? QSizeF(800, 600) : QSizeF(600, 800))
                            << expectedPlacement(shape.name, landscape, margin > 0, fit);
                    }
                }
            }
        }
    }
    void placesEveryFitOnPaperTurnedEachWay()
    {
        QFETCH(QSize, pixels);
        QFETCH(PageOrientation, orientation);
        QFETCH(ImageFit, fit);
        QFETCH(double, margin);
        QFETCH(QSizeF, page);
        QFETCH(QRectF, placement);
        const PageLayout layout = layoutPage(pixels.width(), pixels.height(), Resolution{72, 72}, 1,
                                             testPaper(orientation, fit, margin));
        QCOMPARE(QSizeF(layout.mediaWidth, layout.mediaHeight), page);
        QCOMPARE(layout.rotate, 0);
        QVERIFY2(same(layout.placement, placement), qPrintable(text(layout.placement)));
        // An upright image is drawn by scaling the unit square onto its rectangle.
        const std::array<double, 6> matrix{
            placement.width(), 0, 0, placement.height(), placement.x(), placement.y()};
        for (std::size_t i = 0; i < matrix.size(); ++i)
            QVERIFY2(same(layout.matrix[i], matrix[i]), qPrintable(QString::number(i)));
        // Only what fills the room overflows it, and is cut to the room inside the margins.
        const QRectF room(margin, margin, page.width() - 2 * margin, page.height() - 2 * margin);
        QCOMPARE(layout.clip, fit == ImageFit::Fill ? room : QRectF());
    }

    // A photo stored wide and shown tall (EXIF 5 to 8) is laid out as the tall picture it is,
    // and its matrix turns the stored pixels upright inside that rectangle.
    void placesEachExifOrientationUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QRectF>("placement");
        QTest::addColumn<QList<double>>("matrix");
        const QRectF wide(50, 125, 700, 350), tall(125, 50, 350, 700);
        const QSizeF landscape(800, 600), portrait(600, 800);
        QTest::newRow("1") << 1 << landscape << wide << QList<double>{700, 0, 0, 350, 50, 125};
        QTest::newRow("2") << 2 << landscape << wide << QList<double>{-700, 0, 0, 350, 750, 125};
        QTest::newRow("3") << 3 << landscape << wide << QList<double>{-700, 0, 0, -350, 750, 475};
        QTest::newRow("4") << 4 << landscape << wide << QList<double>{700, 0, 0, -350, 50, 475};
        QTest::newRow("5") << 5 << portrait << tall << QList<double>{0, -700, -350, 0, 475, 750};
        QTest::newRow("6") << 6 << portrait << tall << QList<double>{0, -700, 350, 0, 125, 750};
        QTest::newRow("7") << 7 << portrait << tall << QList<double>{0, 700, 350, 0, 125, 50};
        QTest::newRow("8") << 8 << portrait << tall << QList<double>{0, 700, -350, 0, 475, 50};
    }
    void placesEachExifOrientationUpright()
    {
        QFETCH(int, orientation);
        QFETCH(QSizeF, page);
        QFETCH(QRectF, placement);
        QFETCH(QList<double>, matrix);
        const PageLayout layout =
            layoutPage(400, 200, Resolution{72, 72}, orientation,
                       testPaper(PageOrientation::Automatic, ImageFit::Into, 50));
        QCOMPARE(QSizeF(layout.mediaWidth, layout.mediaHeight), page);
        QCOMPARE(layout.rotate, 0);
        QVERIFY2(same(layout.placement, placement), qPrintable(text(layout.placement)));
        for (qsizetype i = 0; i < matrix.size(); ++i)
            QVERIFY2(
                same(layout.matrix[std::size_t(i)], matrix.at(i)),
                qPrintable(
                    QStringLiteral("entry %1 is %2").arg(i).arg(layout.matrix[std::size_t(i)])));
    }

    // The default leaves pages as they always were: the image's size, turned by /Rotate.
    void theDefaultIsThePageOfTheImagesOwnSize_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSizeF>("media");
        QTest::addColumn<int>("rotate");
        QTest::addColumn<QList<double>>("matrix");
        QTest::newRow("1") << 1 << QSizeF(400, 200) << 0 << QList<double>{400, 0, 0, 200, 0, 0};
        QTest::newRow("2") << 2 << QSizeF(400, 200) << 0 << QList<double>{-400, 0, 0, 200, 400, 0};
        QTest::newRow("3") << 3 << QSizeF(400, 200) << 180 << QList<double>{400, 0, 0, 200, 0, 0};
        QTest::newRow("4") << 4 << QSizeF(400, 200) << 0 << QList<double>{400, 0, 0, -200, 0, 200};
        QTest::newRow("5") << 5 << QSizeF(200, 400) << 0
                           << QList<double>{0, -400, -200, 0, 200, 400};
        QTest::newRow("6") << 6 << QSizeF(400, 200) << 90 << QList<double>{400, 0, 0, 200, 0, 0};
        QTest::newRow("7") << 7 << QSizeF(200, 400) << 0 << QList<double>{0, 400, 200, 0, 0, 0};
        QTest::newRow("8") << 8 << QSizeF(400, 200) << 270 << QList<double>{400, 0, 0, 200, 0, 0};
    }
    void theDefaultIsThePageOfTheImagesOwnSize()
    {
        QFETCH(int, orientation);
        QFETCH(QSizeF, media);
        QFETCH(int, rotate);
        QFETCH(QList<double>, matrix);
        // 800 x 400 pixels at 144 dpi are 400 x 200 points.
        const PageLayout layout = layoutPage(800, 400, Resolution{144, 144}, orientation);
        QCOMPARE(QSizeF(layout.mediaWidth, layout.mediaHeight), media);
        QCOMPARE(layout.rotate, rotate);
        QCOMPARE(QList<double>(layout.matrix.begin(), layout.matrix.end()), matrix);
        QVERIFY(layout.clip.isEmpty());
    }

    void resolutionAndMarginsOnAPageOfTheImagesOwnSize_data()
    {
        QTest::addColumn<Resolution>("resolution");
        QTest::addColumn<double>("defaultDpi");
        QTest::addColumn<double>("margin");
        QTest::addColumn<QSizeF>("media");
        QTest::addColumn<QRectF>("placement");
        // A 300 dpi scan whose file states no resolution is a sheet of paper, not 3.5 metres.
        QTest::newRow("no resolution, 72 dpi assumed")
            << Resolution{} << 72.0 << 0.0 << QSizeF(2480, 3508) << QRectF(0, 0, 2480, 3508);
        QTest::newRow("no resolution, 300 dpi assumed")
            << Resolution{} << 300.0 << 0.0 << QSizeF(595.2, 841.92) << QRectF(0, 0, 595.2, 841.92);
        QTest::newRow("stated 150 dpi wins over the assumed 300")
            << Resolution{150, 150} << 300.0 << 0.0 << QSizeF(1190.4, 1683.84)
            << QRectF(0, 0, 1190.4, 1683.84);
        QTest::newRow("margins are added around")
            << Resolution{} << 300.0 << 36.0 << QSizeF(667.2, 913.92)
            << QRectF(36, 36, 595.2, 841.92);
    }
    void resolutionAndMarginsOnAPageOfTheImagesOwnSize()
    {
        QFETCH(Resolution, resolution);
        QFETCH(double, defaultDpi);
        QFETCH(double, margin);
        QFETCH(QSizeF, media);
        QFETCH(QRectF, placement);
        PageSetup setup;
        setup.defaultDpi = defaultDpi;
        setup.margins = Margins{margin, margin, margin, margin};
        const PageLayout layout = layoutPage(2480, 3508, resolution, 1, setup);
        QVERIFY(same(layout.mediaWidth, media.width()) && same(layout.mediaHeight, media.height()));
        QVERIFY2(same(layout.placement, placement), qPrintable(text(layout.placement)));
        QVERIFY(layout.clip.isEmpty());
    }

    void refusesMarginsThatLeaveNoRoom_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<PageOrientation>("orientation");
        QTest::addColumn<QString>("margins");
        QTest::addColumn<QString>("problem"); // empty: accepted
        QTest::newRow("A4 portrait, 104 mm")
            << "A4" << PageOrientation::Portrait << "104mm" << QString();
        QTest::newRow("A4 portrait, 105 mm: half the width")
            << "A4" << PageOrientation::Portrait << "105mm"
            << "a margin of 105 mm is half the page or more: A4 portrait is 210 mm wide";
        QTest::newRow("A4 portrait, 11 cm top and 200 mm bottom")
            << "A4" << PageOrientation::Portrait << "110mm,0,200mm,0"
            << "the top and bottom margins (110 mm + 200 mm) leave no room: A4 portrait is 297 "
               "mm high";
        QTest::newRow("A4 landscape, 4.2 in each side")
            << "A4" << PageOrientation::Landscape << "4.2in"
            << "a margin of 106.68 mm is half the page or more: A4 landscape is 210 mm high";
        // Automatic orientation may turn any page: margins must fit the paper both ways.
        QTest::newRow("A4 auto, 120 mm top and bottom")
            << "A4" << PageOrientation::Automatic << "120mm,0,120mm,0"
            << "a margin of 120 mm is half the page or more: A4 landscape is 210 mm high, and "
               "automatic orientation uses it for wide images";
        QTest::newRow("Letter landscape, 300 pt left and right")
            << "Letter" << PageOrientation::Landscape << "0,300pt,0,300pt" << QString();
        QTest::newRow("Letter landscape, 400 pt left and right")
            << "Letter" << PageOrientation::Landscape << "0,400pt,0,400pt"
            << "a margin of 141.11 mm is half the page or more: Letter landscape is 279.4 mm "
               "wide";
        QTest::newRow("image size, any margin")
            << "image" << PageOrientation::Automatic << "500mm" << QString();
    }
    void refusesMarginsThatLeaveNoRoom()
    {
        QFETCH(QString, paper);
        QFETCH(PageOrientation, orientation);
        QFETCH(QString, margins);
        QFETCH(QString, problem);
        PageSetup setup;
        setup.paper = parsePaperSize(paper)->paper;
        setup.orientation = orientation;
        setup.margins = *parseMargins(margins);
        QCOMPARE(setup.problem(), problem);
    }

    void readsAndWritesTheTextForms_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QVariantMap>("written"); // empty: refused
        QTest::addColumn<QString>("problem");
        const auto map = [](const char *size, const char *turn, const char *fit,
                            const char *margins, const char *dpi) {
            return QVariantMap{{"pageSize", size},
                               {"orientation", turn},
                               {"fit", fit},
                               {"margins", margins},
                               {"defaultDpi", dpi}};
        };
        const QVariantMap defaults = map("image", "auto", "into", "0mm", "72");
        QTest::newRow("nothing stored: defaults") << QVariantMap() << defaults << QString();
        QTest::newRow("A4, 10 mm") << QVariantMap{{"pageSize", "a4"}, {"margins", "10"}}
                                   << map("A4", "auto", "into", "10mm", "72") << QString();
        QTest::newRow("every field, four margins")
            << map("8.5x11in", "Landscape", "SHRINK", "1in,0.5in,36pt,0", "300dpi")
            << map("8.5x11in", "landscape", "shrink", "25.4mm,12.7mm,12.7mm,0mm", "300")
            << QString();
        QTest::newRow("unknown paper")
            << QVariantMap{{"pageSize", "B5"}} << QVariantMap() << "unknown pageSize 'B5'";
        QTest::newRow("size without unit") << QVariantMap{{"pageSize", "210x297"}} << QVariantMap()
                                           << "unknown pageSize '210x297'";
        QTest::newRow("three margins")
            << QVariantMap{{"margins", "1,2,3"}} << QVariantMap() << "unknown margins '1,2,3'";
        QTest::newRow("negative margin")
            << QVariantMap{{"margins", "-1mm"}} << QVariantMap() << "unknown margins '-1mm'";
        QTest::newRow("zero dpi") << QVariantMap{{"defaultDpi", "0"}} << QVariantMap()
                                  << "unknown defaultDpi '0'";
        QTest::newRow("unknown fit")
            << QVariantMap{{"fit", "zoom"}} << QVariantMap() << "unknown fit 'zoom'";
        QTest::newRow("margins that leave no room")
            << QVariantMap{{"pageSize", "A5"}, {"orientation", "portrait"}, {"margins", "80mm"}}
            << QVariantMap()
            << "a margin of 80 mm is half the page or more: A5 portrait is 148 "
               "mm wide";
        QTest::newRow("a page larger than readers show")
            << QVariantMap{{"pageSize", "300x1in"}} << QVariantMap()
            << "a page side must be from 3 pt to 14400 pt (200 in)";
    }
    void readsAndWritesTheTextForms()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QVariantMap, written);
        QFETCH(QString, problem);
        QString why;
        const std::optional<PageSetup> setup = pageSetupFromMap(stored, &why);
        QCOMPARE(why, problem);
        QCOMPARE(setup.has_value(), !written.isEmpty());
        if (!setup)
            return;
        QCOMPARE(pageSetupToMap(*setup), written);
        // What is written reads back as the same setup.
        QCOMPARE(pageSetupFromMap(written, &why), setup);
    }

    void aStoredValueThatIsNoGroupIsRefused()
    {
        QString why;
        QVERIFY(!pageSetupFromMap(QStringLiteral("A4"), &why));
        QCOMPARE(why, QStringLiteral("the stored page layout is not a group of entries"));
    }
};

QTEST_APPLESS_MAIN(PageSetupTest)
#include "tst_pagesetup.moc"
