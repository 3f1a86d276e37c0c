#include "resources/resourceimage.h"
#include "resources/usermanual.h"

#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using folioset::resourceImage;
using folioset::userManualPath;

namespace {

int visiblePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

// Mean saturation of the drawn pixels, weighted by how opaque they are.
double saturation(const QImage &image)
{
    double sum = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = QColor::fromRgba(image.pixel(x, y));
            sum += colour.hsvSaturationF() * colour.alphaF();
            weight += colour.alphaF();
        }
    return weight > 0 ? sum / weight : 0;
}

QString pdfText(const QByteArray &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-"), QStringLiteral("-")});
    process.write(pdf);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void artworkRenders_data();
    void artworkRenders();
    void activeHintIsTheSameArtInAStrongerColour();
    void manualIsALaidOutPdf_data();
    void manualIsALaidOutPdf();
    void manualSourceKeepsItsPlaceholders();
    void manualCopyIsWrittenOnceAndReused_data();
    void manualCopyIsWrittenOnceAndReused();
    void manualCopyFailsWithAReason();
};

void TestResources::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
}

void TestResources::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("folioset2"));
    QDir(cacheFolder()).removeRecursively();
}

void TestResources::artworkRenders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("drawnOnNothing"); // artwork of ours: the corners stay transparent

    const std::pair<const char *, bool> names[] = {
        {"Drop.pdf", true}, {"Drop1.pdf", true},    {"LockTemplate.pdf", false},
        {"user.png", true}, {"folioset.png", true},
    };
    for (const auto &[name, ours] : names)
        for (const int side : {16, 256})
            QTest::addRow("%s at %d", name, side) << QString::fromLatin1(name) << side << ours;
}

void TestResources::artworkRenders()
{
    QFETCH(QString, name);
    QFETCH(int, side);
    QFETCH(bool, drawnOnNothing);

    const QImage image = resourceImage(name, QSize(side, side));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(side, side));
    // More than a stray pixel: a look-up name pointing at the wrong or an empty file draws
    // next to nothing.
    QVERIFY2(visiblePixels(image) >= side * side / 10, qPrintable(name));
    if (drawnOnNothing) {
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(side - 1, side - 1)), 0);
    }
}

void TestResources::activeHintIsTheSameArtInAStrongerColour()
{
    const QSize size(128, 128);
    const QImage normal = resourceImage(QStringLiteral("Drop.pdf"), size);
    const QImage active = resourceImage(QStringLiteral("Drop1.pdf"), size);

    int shapeDifferences = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            shapeDifferences += qAbs(qAlpha(normal.pixel(x, y)) - qAlpha(active.pixel(x, y))) > 32;
    QVERIFY2(shapeDifferences < size.width() * size.height() / 100,
             qPrintable(QString::number(shapeDifferences)));
    QVERIFY2(saturation(normal) < 0.2, qPrintable(QString::number(saturation(normal))));
    QVERIFY2(saturation(active) > saturation(normal) + 0.2,
             qPrintable(QString::number(saturation(active))));
}

void TestResources::manualIsALaidOutPdf_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("says");      // what this edition's window has
    QTest::addColumn<QStringList>("neverSays"); // what only the other edition's has

    const QStringList second{QStringLiteral("Output Settings..."), QStringLiteral("Recent Folders"),
                             QStringLiteral("Stop Adding")};
    const QStringList first{QStringLiteral("Include Subfolders"), QStringLiteral("Add Folder"),
                            QStringLiteral("Select First Only"), QStringLiteral("Ctrl+,")};
    QTest::newRow("folioset2") << ":/manual/MACFolioset2.pdf"
                               << "Folioset"
                               << "folioset2" << second << first;
    QTest::newRow("folioset1") << ":/manual/MACFolioset1.pdf"
                               << "Folioset Classic"
                               << "folioset1" << first << second;
}

void TestResources::manualIsALaidOutPdf()
{
    QFETCH(QString, resource);
    QFETCH(QString, title);
    QFETCH(QString, name);
    QFETCH(QStringList, says);
    QFETCH(QStringList, neverSays);

    const QByteArray bytes = fixtures::readBytes(resource);
    QVERIFY(bytes.startsWith("%PDF-1."));

    QPDF pdf;
    pdf.processMemoryFile(resource.toStdString().c_str(), bytes.constData(), bytes.size());
    const auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    QVERIFY2(pages.size() >= 4 && pages.size() <= 10, qPrintable(QString::number(pages.size())));
    auto info = pdf.getTrailer().getKey("/Info");
    QCOMPARE(QString::fromStdString(info.getKey("/Title").getUTF8Value()),
             title + QStringLiteral(" User Manual"));

    const QString text = pdfText(bytes);
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
    QVERIFY(!text.contains(QStringLiteral("##")));
    QVERIFY(!text.contains(QStringLiteral("<!--")));
    // Each manual describes its own window, and only that.
    const QString flowing = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    for (const QString &phrase : says)
        QVERIFY2(flowing.contains(phrase), qPrintable(phrase));
    for (const QString &phrase : neverSays)
        QVERIFY2(!flowing.contains(phrase), qPrintable(phrase));
    QVERIFY(text.contains(QStringLiteral("What %1 does").arg(title)));
    QVERIFY(text.contains(QStringLiteral("~/.config/Quillmark/%1.conf").arg(name)));
    QVERIFY(text.contains(QStringLiteral("Page 2 of %1").arg(pages.size())));
    QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages.size())));
}

void TestResources::manualSourceKeepsItsPlaceholders()
{
    QFile source(QStringLiteral(FOLIOSET_MANUAL_SOURCE));
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray html = source.readAll();
    QVERIFY(html.contains("<title>##APPTITLE## User Manual</title>"));
    QVERIFY(html.contains("~/.config/Quillmark/##APPNAME##.conf"));
    // An edition's own name written out would be wrong in the other edition's manual.
    QVERIFY(!html.contains("Folioset Classic") && !html.contains("folioset1"));
}

void TestResources::manualCopyIsWrittenOnceAndReused_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<QString>("resource");

    QTest::newRow("folioset2") << "folioset2"
                               << ":/manual/MACFolioset2.pdf";
    QTest::newRow("folioset1") << "folioset1"
                               << ":/manual/MACFolioset1.pdf";
}

void TestResources::manualCopyIsWrittenOnceAndReused()
{
    QFETCH(QString, edition);
    QFETCH(QString, resource);
    QCoreApplication::setApplicationName(edition);
    const QByteArray manual = fixtures::readBytes(resource);

    QString reason;
    const QString path = userManualPath(&reason);
    QVERIFY2(!path.isEmpty(), qPrintable(reason));
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(cacheFolder()).absolutePath());
    QVERIFY(path.endsWith(QStringLiteral(".pdf")));
    QCOMPARE(fixtures::readBytes(path), manual);

    // An identical copy is used as it is: the file keeps its time stamp.
    const QDateTime longAgo(QDate(2001, 1, 1), QTime(12, 0));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    QCOMPARE(userManualPath(&reason), path);
    QCOMPARE(QFileInfo(path).lastModified(), longAgo);

    // A copy left by an earlier version is replaced whole.
    QVERIFY(fixtures::writeBytes(path, manual.left(manual.size() / 2)));
    QCOMPARE(userManualPath(&reason), path);
    QCOMPARE(fixtures::readBytes(path), manual);
}

void TestResources::manualCopyFailsWithAReason()
{
    QString reason;
    const QString path = userManualPath(&reason);
    QVERIFY2(!path.isEmpty(), qPrintable(reason));

    // A folder where the copy should go cannot be replaced by it.
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkpath(path));
    reason.clear();
    QVERIFY(userManualPath(&reason).isEmpty());
    QVERIFY2(reason.contains(path), qPrintable(reason));
    QVERIFY(QFileInfo(path).isDir());

    // A file where the cache folder should be.
    QDir(cacheFolder()).removeRecursively();
    QVERIFY(QDir().mkpath(QFileInfo(cacheFolder()).absolutePath()));
    QVERIFY(fixtures::writeBytes(cacheFolder(), "not a folder"));
    reason.clear();
    QVERIFY(userManualPath(&reason).isEmpty());
    QVERIFY2(reason.contains(cacheFolder()), qPrintable(reason));
    QVERIFY(QFile::remove(cacheFolder()));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
