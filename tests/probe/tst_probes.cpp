#include "engine/probe/probes.h"
#include "platform/edition.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace folioset;

class TestProbes : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::writeJpeg(m_dir.filePath(QStringLiteral("photo.jpg")), QSize(120, 80)));
        QList<QImage> pages;
        for (int i = 0; i < 3; ++i)
            pages << fixtures::patternImage(QSize(50, 40), i);
        QVERIFY(fixtures::writeTiff(m_dir.filePath(QStringLiteral("three.tiff")), pages));
        QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("three.tiff")),
                            m_dir.filePath(QStringLiteral("tiff.jpg"))));
        QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("photo.jpg")),
                            m_dir.filePath(QStringLiteral("photo.png"))));
        QList<QImage> frames;
        for (int i = 0; i < 3; ++i)
            frames << fixtures::patternImage(QSize(20, 10), i)
                          .convertToFormat(QImage::Format_Indexed8);
        QVERIFY(fixtures::writeGif(m_dir.filePath(QStringLiteral("animated.gif")), frames));
        QVERIFY(fixtures::writePng(m_dir.filePath(QStringLiteral("drawing.png")),
                                   fixtures::patternImage(QSize(30, 20))));
        QVERIFY(
            fixtures::writeBytes(m_dir.filePath(QStringLiteral("broken.pdf")), "%PDF-1.4 nothing"));
        QVERIFY(fixtures::writeBytes(m_dir.filePath(QStringLiteral("text.txt")), "hello"));
        QVERIFY(fixtures::writeBytes(m_dir.filePath(QStringLiteral("empty.png")), QByteArray()));
        QVERIFY(fixtures::writePdf(m_dir.filePath(QStringLiteral("plain.pdf")), 4));
        QVERIFY(fixtures::writePdf(m_dir.filePath(QStringLiteral("owner.pdf")), 2, QString(),
                                   QStringLiteral("owner")));
        QVERIFY(fixtures::writePdf(m_dir.filePath(QStringLiteral("user.pdf")), 5,
                                   QStringLiteral("secret"), QStringLiteral("owner")));
    }

    void cleanup() { setEdition(Edition::Folioset2); }

    void imagesCountFromHeaders()
    {
        bool encrypted = true;
        QCOMPARE(getTiffPageCount(url(QStringLiteral("photo.jpg")), QString(), &encrypted), 1);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("three.tiff")), QString(), &encrypted), 3);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("drawing.png")), QString(), &encrypted), 1);
        // The content decides whether it is an image, the name how many pages a conversion
        // makes of it: only a file named as a TIFF gives one page per image.
        QCOMPARE(getTiffPageCount(url(QStringLiteral("photo.png")), QString(), &encrypted), 1);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("tiff.jpg")), QString(), &encrypted), 1);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("animated.gif")), QString(), &encrypted), 1);
        QVERIFY(encrypted); // only the PDF path touches the flag
    }

    void unreadableFilesCountZero()
    {
        bool encrypted = true;
        QCOMPARE(getTiffPageCount(url(QStringLiteral("text.txt")), QString(), &encrypted), 0);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("empty.png")), QString(), &encrypted), 0);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("missing.jpg")), QString(), &encrypted), 0);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("broken.pdf")), QString(), &encrypted), 0);
        QVERIFY(encrypted);
        QCOMPARE(getTiffPageCount(QUrl(), QString(), &encrypted), 0);
    }

    void pdfInputsReportPagesAndEncryption()
    {
        bool encrypted = true;
        QCOMPARE(getTiffPageCount(url(QStringLiteral("plain.pdf")), QString(), &encrypted), 4);
        QVERIFY(!encrypted);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("owner.pdf")), QString(), &encrypted), 2);
        QVERIFY(encrypted);
        encrypted = false;
        // A password we do not have: still encrypted, pages unknown.
        QCOMPARE(getTiffPageCount(url(QStringLiteral("user.pdf")), QString(), &encrypted), 0);
        QVERIFY(encrypted);
    }

    void firstGenerationUnlocksAndRecounts()
    {
        QCOMPARE(getTiffPageCount(url(QStringLiteral("user.pdf")), QString()), 0);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("user.pdf")), QStringLiteral("secret")), 5);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("owner.pdf")), QString()), 2);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("broken.pdf")), QStringLiteral("x")), 0);
        QCOMPARE(getTiffPageCount(url(QStringLiteral("three.tiff")), QString()), 3);
    }

    void elapsedTime_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("words");
        QTest::newRow("same") << 0LL << "00:00"
                              << "";
        QTest::newRow("under a second") << 999LL << "00:00"
                                        << "";
        QTest::newRow("seven seconds") << 7000LL << "00:07"
                                       << "7 sec(s) ";
        QTest::newRow("59 seconds") << 59000LL << "00:59"
                                    << "59 sec(s) ";
        QTest::newRow("61 seconds") << 61000LL << "01:01"
                                    << "1 min(s) 1 sec(s) ";
        QTest::newRow("1:01:01") << 3661000LL << "01:01:01"
                                 << "1 hr(s) 1 min(s) 1 sec(s) ";
        QTest::newRow("59:59") << 3599000LL << "59:59"
                               << "59 min(s) 59 sec(s) ";
        QTest::newRow("one hour") << 3600000LL << "01:00:00"
                                  << "1 hr(s) ";
        QTest::newRow("1:02:03") << 3723000LL << "01:02:03"
                                 << "1 hr(s) 2 min(s) 3 sec(s) ";
        QTest::newRow("two minutes") << 120000LL << "02:00"
                                     << "2 min(s) ";
        QTest::newRow("over 99 hours") << 360000000LL << "100:00:00"
                                       << "100 hr(s) ";
    }
    void elapsedTime()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, clock);
        QFETCH(QString, words);
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(1765112709000);
        const QDateTime end = start.addMSecs(ms);
        QCOMPARE(timeTakenString(start, end), clock);
        setEdition(Edition::Folioset1);
        QCOMPARE(timeTakenString(start, end), words);
    }

    void elapsedTimeNeedsBothDates()
    {
        QCOMPARE(timeTakenString(QDateTime(), QDateTime::currentDateTime()), QString());
        QCOMPARE(timeTakenWords(QDateTime::currentDateTime(), QDateTime()), QString());
    }
};

QTEST_GUILESS_MAIN(TestProbes)
#include "tst_probes.moc"
