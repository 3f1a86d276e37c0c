// folioset-cli against real faults: a disk that fills up, a file size limit, a killed process,
// names as long as the file system allows.

#include "clirun.h"

#include "support/fixtures.h"
#include "support/smalldisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr qint64 kLimit = 1024 * 1024;

QString cli()
{
    return QStringLiteral(FOLIOSET_CLI_PATH);
}

QString logsFolder(const QString &home)
{
    return home + QStringLiteral("/data/Quillmark/folioset2/Logs");
}

// The statuses of the output files in the newest conversion log under `home`.
QStringList loggedOutputStatuses(const QString &home)
{
    const QStringList logs =
        QDir(logsFolder(home)).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Time);
    if (logs.isEmpty())
        return {QStringLiteral("no log")};
    const QString text =
        QString::fromUtf8(fixtures::readBytes(QDir(logsFolder(home)).filePath(logs.first())));
    QStringList statuses;
    static const QRegularExpression files(
        QStringLiteral("<Files FileName=\"([^\"]*)\"[^>]*Status=\"([^\"]*)\""));
    for (auto it = files.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        statuses << match.captured(1) + QStringLiteral(": ") + match.captured(2);
    }
    return statuses;
}

} // namespace

class TestCliFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aFullDiskFailsWhatDoesNotFitAndKeepsWhatWasThere_data();
    void aFullDiskFailsWhatDoesNotFitAndKeepsWhatWasThere();
    void aKilledWriteLeavesNoPartOfItBehind();
    void namesAsLongAsTheSystemAllowsAreWritten_data();
    void namesAsLongAsTheSystemAllowsAreWritten();
    void earlierLogsSurviveAFullDisk();

private:
    QTemporaryDir m_inputs;
    QString m_small1, m_large1, m_small2, m_large2;
};

void TestCliFaults::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // Sorted by name they alternate, so a failure in the middle is followed by a file that fits.
    m_small1 = m_inputs.filePath(QStringLiteral("a-small.jpg"));
    m_large1 = m_inputs.filePath(QStringLiteral("b-large.jpg"));
    m_small2 = m_inputs.filePath(QStringLiteral("c-small.jpg"));
    m_large2 = m_inputs.filePath(QStringLiteral("d-large.jpg"));
    QVERIFY(fixtures::writeJpeg(m_small1, QSize(320, 240), 1));
    QVERIFY(fixtures::writeJpeg(m_small2, QSize(320, 240), 2));
    QVERIFY(fixtures::writeJpeg(m_large1, QSize(4000, 3000), 3, 97));
    QVERIFY(fixtures::writeJpeg(m_large2, QSize(4000, 3000), 4, 97));
    QVERIFY2(QFileInfo(m_large1).size() > 2 * kLimit,
             qPrintable(QString::number(QFileInfo(m_large1).size())));
    QVERIFY(QFileInfo(m_small1).size() < kLimit / 8);
}

void TestCliFaults::aFullDiskFailsWhatDoesNotFitAndKeepsWhatWasThere_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::addColumn<QString>("mode");
    QTest::newRow("full tmpfs, merge") << true << QStringLiteral("merge");
    QTest::newRow("full tmpfs, single") << true << QStringLiteral("single");
    QTest::newRow("file size limit, merge") << false << QStringLiteral("merge");
    QTest::newRow("file size limit, single") << false << QStringLiteral("single");
}

void TestCliFaults::aFullDiskFailsWhatDoesNotFitAndKeepsWhatWasThere()
{
    QFETCH(bool, tmpfs);
    QFETCH(QString, mode);
    const QTemporaryDir home;
    const QTemporaryDir plainOut;
    const fixtures::SmallDisk disk(kLimit);
    if (tmpfs && !disk.mounted())
        QSKIP(qPrintable(disk.refusal()));
    const QString out = tmpfs ? disk.path() : plainOut.path();
    // An earlier document of the name the merge will use.
    const QString earlier = QDir(out).filePath(QStringLiteral("book.pdf"));
    QVERIFY(fixtures::writePdf(earlier, 2));
    const QByteArray earlierBytes = fixtures::readBytes(earlier);

    std::function<void()> limit;
    if (!tmpfs) {
        limit = [] {
            // A write past the limit then fails with EFBIG instead of killing the process.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{rlim_t(kLimit), rlim_t(kLimit)};
            ::setrlimit(RLIMIT_FSIZE, &size);
        };
    }
    const clirun::Result result = clirun::run(
        {QStringLiteral("--mode"), mode, QStringLiteral("--name"), QStringLiteral("book"),
         QStringLiteral("-o"), out, m_small1, m_large1, m_small2, m_large2},
        clirun::isolatedEnvironment(home.path()), {}, limit);

    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QStringLiteral("unable to create some of the files!")),
             qPrintable(result.err));
    QVERIFY(!result.out.contains(QStringLiteral("successfully")));
    QCOMPARE(fixtures::readBytes(earlier), earlierBytes);
    const QString unableToSave = QStringLiteral("Unable to save file!");
    if (mode == QLatin1String("merge")) {
        QCOMPARE(clirun::allEntries(out), QStringList{QStringLiteral("book.pdf")});
        QCOMPARE(loggedOutputStatuses(home.path()),
                 QStringList{QStringLiteral("book.pdf: ") + unableToSave});
        return;
    }
    QCOMPARE(clirun::allEntries(out),
             (QStringList{QStringLiteral("a-small.pdf"), QStringLiteral("book.pdf"),
                          QStringLiteral("c-small.pdf")}));
    for (const QString &written : {QStringLiteral("a-small.pdf"), QStringLiteral("c-small.pdf")})
        QCOMPARE(clirun::readPdf(QDir(out).filePath(written)).pages, 1);
    QCOMPARE(loggedOutputStatuses(home.path()),
             (QStringList{QStringLiteral("a-small.pdf: Completed"),
                          QStringLiteral("b-large.pdf: ") + unableToSave,
                          QStringLiteral("c-small.pdf: Completed"),
                          QStringLiteral("d-large.pdf: ") + unableToSave}));
}

void TestCliFaults::aKilledWriteLeavesNoPartOfItBehind()
{
    const QTemporaryDir home;
    const QTemporaryDir out;
    QStringList inputs;
    for (int i = 0; i < 24; ++i) {
        const QString copy =
            QDir(home.path()).filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar(u'0')));
        QVERIFY(QFile::copy(i % 2 ? m_large1 : m_large2, copy));
        inputs << copy;
    }
    const QString target = out.filePath(QStringLiteral("many.pdf"));
    QVERIFY(fixtures::writePdf(target, 3));
    const QByteArray before = fixtures::readBytes(target);

    QProcess process;
    process.setProcessEnvironment(clirun::isolatedEnvironment(home.path()));
    process.start(cli(), QStringList{QStringLiteral("--mode"), QStringLiteral("merge"),
                                     QStringLiteral("--name"), QStringLiteral("many"),
                                     QStringLiteral("-o"), out.path()} +
                             inputs);
    QVERIFY(process.waitForStarted());
    const pid_t pid = pid_t(process.processId());
    QVERIFY(pid > 0); // never signal pid 0: that is this test's own process group

    // Killed with many megabytes of the new document written and more to come.
    qint64 written = -1;
    QElapsedTimer waited;
    waited.start();
    while (process.state() == QProcess::Running && waited.elapsed() < 60000) {
        written = fixtures::unnamedFileSize(pid, out.path());
        if (written > 8 * kLimit) {
            ::kill(pid, SIGKILL);
            break;
        }
        QThread::usleep(100);
    }
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(written > 8 * kLimit, "the write was never seen in progress");
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(clirun::allEntries(out.path()), QStringList{QStringLiteral("many.pdf")});
    QCOMPARE(fixtures::readBytes(target), before);
}

void TestCliFaults::namesAsLongAsTheSystemAllowsAreWritten_data()
{
    QTest::addColumn<QString>("stem");
    const auto stemOf = [](int bytes, const QString &piece) {
        QString stem;
        while ((stem + piece).toUtf8().size() + 4 <= bytes)
            stem += piece;
        while (stem.toUtf8().size() + 4 < bytes)
            stem += QLatin1Char('x');
        return stem;
    };
    QTest::newRow("250 bytes") << stemOf(250, QStringLiteral("n"));
    QTest::newRow("255 bytes") << stemOf(255, QStringLiteral("n"));
    QTest::newRow("255 bytes of UTF-8") << stemOf(255, QStringLiteral("名é"));
}

void TestCliFaults::namesAsLongAsTheSystemAllowsAreWritten()
{
    QFETCH(QString, stem);
    const QTemporaryDir home;
    const QTemporaryDir out;
    const QString pdfName = stem + QStringLiteral(".pdf");
    QVERIFY(pdfName.toUtf8().size() >= 250 && pdfName.toUtf8().size() <= 255);

    // As the name of a merged document, and as one derived from an input's name.
    const clirun::Result merged =
        clirun::run({QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     stem, QStringLiteral("-o"), out.path(), m_small1, m_small2},
                    clirun::isolatedEnvironment(home.path()));
    QVERIFY2(merged.exitCode == 0, qPrintable(merged.err));
    QCOMPARE(clirun::readPdf(out.filePath(pdfName)).pages, 2);

    const QTemporaryDir singles;
    const QString input = QDir(home.path()).filePath(stem + QStringLiteral(".jpg"));
    QVERIFY(QFile::copy(m_small1, input));
    const clirun::Result single = clirun::run({QStringLiteral("-o"), singles.path(), input},
                                              clirun::isolatedEnvironment(home.path()));
    QVERIFY2(single.exitCode == 0, qPrintable(single.err));
    QCOMPARE(clirun::allEntries(singles.path()), QStringList{pdfName});
    QCOMPARE(clirun::readPdf(singles.filePath(pdfName)).pages, 1);
}

void TestCliFaults::earlierLogsSurviveAFullDisk()
{
    const fixtures::SmallDisk disk(kLimit);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.refusal()));
    const QString home = disk.path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(logsFolder(home)));
    const QString earlier = QDir(logsFolder(home)).filePath(QStringLiteral("010126000000.log"));
    const QByteArray earlierLog = "<Log StartTime=\"\" EndTime=\"\"/>\n";
    QVERIFY(fixtures::writeBytes(earlier, earlierLog));
    const QProcessEnvironment environment = clirun::isolatedEnvironment(home);
    QVERIFY(disk.fillLeaving(0));

    const QTemporaryDir out;
    const clirun::Result result =
        clirun::run({QStringLiteral("-o"), out.path(), m_small1}, environment);
    QVERIFY(!result.crashed);
    // The PDF itself was written; the log could not be, and the run says so.
    QCOMPARE(clirun::readPdf(out.filePath(QStringLiteral("a-small.pdf"))).pages, 1);
    QVERIFY2(result.err.contains(QStringLiteral("the conversion log could not be written")),
             qPrintable(result.err));
    QVERIFY2(result.err.contains(QStringLiteral("No space left on device")),
             qPrintable(result.err));
    QCOMPARE(fixtures::readBytes(earlier), earlierLog);
    QCOMPARE(clirun::allEntries(logsFolder(home)), QStringList{QStringLiteral("010126000000.log")});
}

QTEST_MAIN(TestCliFaults)
#include "tst_clifaults.moc"
