// Opening image files ahead of the run gives what opening them in place gives, in any order
// the run asks for them.

#include "engine/openahead.h"
#include "support/fixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace folioset;

namespace {

// "name: ok" or "name: <reason>" for each path taken, in order.
QStringList takeAll(OpenAhead &ahead, const QStringList &paths)
{
    QStringList results;
    for (const QString &path : paths) {
        QString reason;
        const auto source = ahead.take(path, &reason);
        results << QFileInfo(path).fileName() + QStringLiteral(": ") +
                       (source ? QStringLiteral("ok %1").arg(source->frameCount()) : reason);
    }
    return results;
}

} // namespace

class TestOpenAhead : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void givesWhatOpeningInPlaceGives_data();
    void givesWhatOpeningInPlaceGives();

private:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    QTemporaryDir m_dir;
};

void TestOpenAhead::initTestCase()
{
    QVERIFY(fixtures::writeJpeg(path(QStringLiteral("a.jpg")), QSize(40, 30), 1));
    QVERIFY(fixtures::writeTiff(
        path(QStringLiteral("b.tif")),
        {fixtures::patternImage(QSize(20, 10), 1), fixtures::patternImage(QSize(20, 10), 2)}));
    QVERIFY(fixtures::writeBytes(path(QStringLiteral("c.jpg")), "not an image"));
    for (int i = 0; i < 30; ++i)
        QVERIFY(QFile::copy(path(QStringLiteral("a.jpg")),
                            path(QStringLiteral("many%1.jpg").arg(i, 2, 10, QLatin1Char('0')))));
}

void TestOpenAhead::givesWhatOpeningInPlaceGives_data()
{
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("asked");

    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << QStringLiteral("many%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("in order") << QStringList{"a.jpg", "b.tif", "c.jpg", "gone.jpg"}
                              << QStringList{"a.jpg", "b.tif", "c.jpg", "gone.jpg"};
    QTest::newRow("more than are opened ahead") << many << many;
    QTest::newRow("the rest of an output given up")
        << many << QStringList{many.first(), many.at(25), many.last()};
    QTest::newRow("the same file twice")
        << QStringList{"a.jpg", "b.tif", "a.jpg"} << QStringList{"a.jpg", "b.tif", "a.jpg"};
    QTest::newRow("a path never announced")
        << QStringList{"a.jpg", "b.tif"} << QStringList{"c.jpg", "a.jpg", "b.tif"};
    QTest::newRow("stopped early") << many << QStringList{many.first()};
    QTest::newRow("only one") << QStringList{"c.jpg"} << QStringList{"c.jpg"};
}

void TestOpenAhead::givesWhatOpeningInPlaceGives()
{
    QFETCH(QStringList, announced);
    QFETCH(QStringList, asked);
    QStringList announcedPaths, askedPaths;
    for (const QString &name : announced)
        announcedPaths << path(name);
    for (const QString &name : asked)
        askedPaths << path(name);

    QStringList expected;
    for (const QString &file : askedPaths) {
        QString reason;
        const auto source = image::ImageSource::open(file, &reason);
        expected << QFileInfo(file).fileName() + QStringLiteral(": ") +
                        (source ? QStringLiteral("ok %1").arg(source->frameCount()) : reason);
    }
    OpenAhead ahead(announcedPaths);
    QCOMPARE(takeAll(ahead, askedPaths), expected);
}

QTEST_GUILESS_MAIN(TestOpenAhead)
#include "tst_openahead.moc"
