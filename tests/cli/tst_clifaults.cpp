// folioset-cli against real faults: a disk that fills up, a file size limit, a killed process,
// names as long as the file system allows, an output folder or an input that changes under a
// run, a log folder that cannot be made, inputs that an ordinary user cannot read.

#include "clirun.h"

#include "support/fixtures.h"
#include "support/smalldisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The statuses of the outputs in a --report file, as "name: status".
QStringList reportedOutputs(const QString &report)
{
    QStringList outputs;
    const QList<QByteArray> lines = fixtures::readBytes(report).split('\n');
    for (const QByteArray &line : lines) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("kind")).toString() == QLatin1String("output"))
            outputs << QFileInfo(entry.value(QStringLiteral("path")).toString()).fileName() +
                           QStringLiteral(": ") + entry.value(QStringLiteral("status")).toString();
    }
    return outputs;
}

// Runs folioset-cli and, the moment `reached` holds for it, stops it (SIGSTOP), makes `fault`
// happen and lets it go on: a fault at one exact point of a run. `paused` tells whether that
// point was reached before the run ended.
clirun::Result runWithFaultAt(const QStringList &arguments, const QString &home,
                              const std::function<bool(pid_t)> &reached,
                              const std::function<void()> &fault, bool *paused)
{
    QProcess process;
    process.setProcessEnvironment(clirun::isolatedEnvironment(home));
    process.start(cli(), arguments);
    *paused = false;
    clirun::Result result;
    if (!process.waitForStarted())
        return result;
    const pid_t pid = pid_t(process.processId());
    QElapsedTimer waited;
    waited.start();
    while (pid > 0 && process.state() == QProcess::Running && waited.elapsed() < 60000) {
        if (reached(pid) && ::kill(pid, SIGSTOP) == 0) {
            fault();
            *paused = true;
            ::kill(pid, SIGCONT);
            break;
        }
        QThread::usleep(100);
    }
    process.waitForFinished(300000);
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QStringList pdfsIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

// The lines of a --report file of one kind, as JSON objects.
QList<QJsonObject> reportLines(const QString &report, const QString &kind)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : fixtures::readBytes(report).split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.value(QStringLiteral("kind")).toString() == kind)
            objects << object;
    }
    return objects;
}

// A file below `folder` whose path is longer than the system opens, in folders that are not:
// made one level at a time, each relative to the last. Its path, or empty on failure.
QString fileBeyondPathMax(const QString &folder, const QByteArray &bytes)
{
    int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QString path = folder;
    while (fd >= 0 && path.size() < 3950) {
        const QByteArray name(std::min<qsizetype>(250, 3950 - path.size() - 1), 'd');
        path += QLatin1Char('/') + QString::fromLatin1(name);
        const int next = ::mkdirat(fd, name.constData(), 0755) == 0
                             ? ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                             : -1;
        ::close(fd);
        fd = next;
    }
    const QByteArray name = QByteArray(200, 'f') + ".jpg";
    const int file =
        fd >= 0 ? ::openat(fd, name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
    const bool written = file >= 0 && ::write(file, bytes.constData(), size_t(bytes.size())) ==
                                          ssize_t(bytes.size());
    if (file >= 0)
        ::close(file);
    if (fd >= 0)
        ::close(fd);
    return written ? path + QLatin1Char('/') + QString::fromLatin1(name) : QString();
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
    void anOutputFolderThatGoesAwayFailsTheRestAndKeepsWhatWasWritten_data();
    void anOutputFolderThatGoesAwayFailsTheRestAndKeepsWhatWasWritten();
    void anInputChangedBeforeItIsWrittenFailsItsPdf_data();
    void anInputChangedBeforeItIsWrittenFailsItsPdf();
    void aLogFolderThatCannotBeMadeIsReported_data();
    void aLogFolderThatCannotBeMadeIsReported();
    void scratchDataGoesWhereTheOutputGoes_data();
    void scratchDataGoesWhereTheOutputGoes();
    void aFolderWalkReportsWhatItCannotRead();

private:
    // `count` copies of the large photos in a folder of their own, named p00.jpg and on.
    QStringList largeCopies(const QString &folder, int count) const;

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
    const QStringList inputs = largeCopies(home.path(), 24);
    QCOMPARE(inputs.size(), 24);
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

QStringList TestCliFaults::largeCopies(const QString &folder, int count) const
{
    QStringList copies;
    for (int i = 0; i < count; ++i) {
        const QString copy =
            QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar(u'0')));
        if (!QFile::copy(i % 2 ? m_large1 : m_large2, copy))
            return {};
        copies << copy;
    }
    return copies;
}

void TestCliFaults::anOutputFolderThatGoesAwayFailsTheRestAndKeepsWhatWasWritten_data()
{
    QTest::addColumn<bool>("readOnlyMount");
    QTest::newRow("covered by a read-only file system") << true;
    QTest::newRow("removed") << false;
}

void TestCliFaults::anOutputFolderThatGoesAwayFailsTheRestAndKeepsWhatWasWritten()
{
    QFETCH(bool, readOnlyMount);
    if (readOnlyMount) {
        const fixtures::SmallDisk probe(64 * 1024, fixtures::SmallDisk::Access::ReadOnly);
        if (!probe.mounted())
            QSKIP(qPrintable(probe.refusal()));
    }
    const QTemporaryDir home;
    const QTemporaryDir outParent;
    const QString out = outParent.filePath(QStringLiteral("out"));
    const QStringList inputs = largeCopies(home.path(), 8);
    QCOMPARE(inputs.size(), 8);
    const QString report = home.filePath(QStringLiteral("run.jsonl"));

    // The moment the first PDF has its name, the folder goes: whatever comes after, a file in
    // progress included, has nowhere to go.
    QMap<QString, QByteArray> written;
    bool mounted = false;
    bool paused = false;
    const clirun::Result result = runWithFaultAt(
        QStringList{QStringLiteral("--report"), report, QStringLiteral("-o"), out} + inputs,
        home.path(), [&](pid_t) { return !pdfsIn(out).isEmpty(); },
        [&] {
            for (const QString &name : pdfsIn(out))
                written.insert(name, fixtures::readBytes(QDir(out).filePath(name)));
            if (readOnlyMount)
                mounted = ::mount("tmpfs", QFile::encodeName(out).constData(), "tmpfs",
                                  MS_RDONLY | MS_NOSUID | MS_NODEV, "size=65536") == 0;
            else
                QDir(out).removeRecursively();
        },
        &paused);
    if (mounted)
        ::umount2(QFile::encodeName(out).constData(), MNT_DETACH);
    QVERIFY2(paused, "the run ended before its first PDF was seen");
    QVERIFY(!readOnlyMount || mounted);

    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QStringLiteral("unable to create some of the files!")),
             qPrintable(result.err));
    QVERIFY(written.size() < inputs.size());
    QStringList expected;
    for (const QString &input : inputs) {
        const QString name = QFileInfo(input).completeBaseName() + QStringLiteral(".pdf");
        expected << name + (written.contains(name) ? QStringLiteral(": Completed")
                                                   : QStringLiteral(": Unable to save file!"));
    }
    QCOMPARE(loggedOutputStatuses(home.path()), expected);
    QCOMPARE(
        reportedOutputs(report),
        expected.replaceInStrings(QStringLiteral("Completed"), QStringLiteral("written"))
            .replaceInStrings(QStringLiteral("Unable to save file!"), QStringLiteral("failed")));
    if (!readOnlyMount) {
        QVERIFY(!QFileInfo::exists(out));
        return;
    }
    // Under the mount, the folder holds what was written before and nothing else.
    QCOMPARE(clirun::allEntries(out), QStringList(written.keys()));
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        QCOMPARE(fixtures::readBytes(QDir(out).filePath(it.key())), it.value());
        QCOMPARE(clirun::readPdf(QDir(out).filePath(it.key())).pages, 1);
    }
}

void TestCliFaults::anInputChangedBeforeItIsWrittenFailsItsPdf_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("truncated") << QStringLiteral("truncated");
    QTest::newRow("replaced by another image") << QStringLiteral("replaced");
}

void TestCliFaults::anInputChangedBeforeItIsWrittenFailsItsPdf()
{
    QFETCH(QString, change);
    const QTemporaryDir home;
    const QTemporaryDir out;
    QStringList inputs = largeCopies(home.path(), 6);
    QCOMPARE(inputs.size(), 6);
    // Last in the document, so its data is copied last: the change comes before it.
    const QString victim = home.filePath(QStringLiteral("victim.jpg"));
    QVERIFY(QFile::copy(m_large1, victim));
    inputs << victim;
    const QString earlier = out.filePath(QStringLiteral("book.pdf"));
    QVERIFY(fixtures::writePdf(earlier, 2));
    const QByteArray earlierBytes = fixtures::readBytes(earlier);
    const QString report = home.filePath(QStringLiteral("run.jsonl"));

    // Every page was planned and made from the file as it was; the write has begun.
    bool paused = false;
    const clirun::Result result = runWithFaultAt(
        QStringList{QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                    QStringLiteral("book"), QStringLiteral("--report"), report,
                    QStringLiteral("-o"), out.path()} +
            inputs,
        home.path(), [&](pid_t pid) { return fixtures::unnamedFileSize(pid, out.path()) >= 0; },
        [&] {
            if (change == QLatin1String("truncated")) {
                QFile::resize(victim, QFileInfo(victim).size() / 2);
                return;
            }
            const QString other = home.filePath(QStringLiteral("other.jpg"));
            fixtures::writeJpeg(other, QSize(320, 240), 9);
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(victim).constData());
        },
        &paused);
    QVERIFY2(paused, "the write was never seen in progress");

    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QStringLiteral("victim.jpg changed or disappeared before it was "
                                                "written")),
             qPrintable(result.err));
    QVERIFY2(result.err.contains(QStringLiteral("unable to create some of the files!")),
             qPrintable(result.err));
    QCOMPARE(clirun::allEntries(out.path()), QStringList{QStringLiteral("book.pdf")});
    QCOMPARE(fixtures::readBytes(earlier), earlierBytes);
    QCOMPARE(loggedOutputStatuses(home.path()),
             QStringList{QStringLiteral("book.pdf: Unable to save file!")});
    QCOMPARE(reportedOutputs(report), QStringList{QStringLiteral("book.pdf: failed")});
}

void TestCliFaults::aLogFolderThatCannotBeMadeIsReported_data()
{
    QTest::addColumn<bool>("chosen"); // --log-dir, or the support folder's Logs
    QTest::newRow("--log-dir below a file") << true;
    QTest::newRow("a file where the support folder goes") << false;
}

void TestCliFaults::aLogFolderThatCannotBeMadeIsReported()
{
    QFETCH(bool, chosen);
    const QTemporaryDir home;
    const QTemporaryDir out;
    const QString blocker = chosen ? home.filePath(QStringLiteral("plain-file"))
                                   : home.filePath(QStringLiteral("data/Quillmark/folioset2"));
    QVERIFY(QDir().mkpath(QFileInfo(blocker).absolutePath()));
    QVERIFY(fixtures::writeBytes(blocker, "not a folder"));
    QStringList arguments{QStringLiteral("-o"), out.path(), m_small1};
    if (chosen)
        arguments << QStringLiteral("--log-dir") << blocker + QStringLiteral("/logs");
    const clirun::Result result = clirun::run(arguments, clirun::isolatedEnvironment(home.path()));

    QVERIFY(!result.crashed);
    QCOMPARE(fixtures::readBytes(blocker), QByteArray("not a folder"));
    if (chosen) {
        // Refused before anything is converted: a run asked to keep its log does not go on
        // without one.
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("cannot create the log folder")),
                 qPrintable(result.err));
        QCOMPARE(clirun::allEntries(out.path()), QStringList());
        return;
    }
    // The conversion itself is not the log's hostage: the PDF is written, and the run says
    // that its log could not be.
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains(QStringLiteral("could not be created")), qPrintable(result.err));
    QVERIFY2(result.err.contains(QStringLiteral("the conversion log could not be written")),
             qPrintable(result.err));
    QCOMPARE(clirun::readPdf(out.filePath(QStringLiteral("a-small.pdf"))).pages, 1);
}

void TestCliFaults::scratchDataGoesWhereTheOutputGoes_data()
{
    QTest::addColumn<bool>("outputOnTheSmallDisk");
    QTest::newRow("a full temporary folder elsewhere") << false;
    QTest::newRow("the output's own disk fills up") << true;
}

// Images that must be decoded wait for the write as scratch data: on the output's file system,
// whatever the temporary folder is; when that fills up, the PDF failed to be written, not its
// images to load.
void TestCliFaults::scratchDataGoesWhereTheOutputGoes()
{
    QFETCH(bool, outputOnTheSmallDisk);
    const fixtures::SmallDisk disk(kLimit);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.refusal()));
    const QTemporaryDir home;
    const QTemporaryDir elsewhere;
    // Noise does not compress: together they need more room than the disk has.
    QStringList inputs;
    for (int i = 0; i < 8; ++i) {
        QImage noise(400, 300, QImage::Format_RGB32);
        QRandomGenerator random(quint32(i + 1));
        for (int y = 0; y < noise.height(); ++y)
            random.fillRange(reinterpret_cast<quint32 *>(noise.scanLine(y)), noise.width());
        inputs << home.filePath(QStringLiteral("p%1.bmp").arg(i));
        QVERIFY(fixtures::writeImage(inputs.last(), noise, "bmp"));
    }
    const QString scratch = disk.path() + QStringLiteral("/tmp");
    QVERIFY(QDir().mkpath(scratch));
    const QString out =
        outputOnTheSmallDisk ? disk.path() + QStringLiteral("/out") : elsewhere.path();
    if (!outputOnTheSmallDisk)
        QVERIFY(disk.fillLeaving(0));
    QProcessEnvironment environment = clirun::isolatedEnvironment(home.path());
    environment.insert(QStringLiteral("TMPDIR"), scratch);
    const QString report = home.filePath(QStringLiteral("run.jsonl"));
    const clirun::Result result =
        clirun::run(QStringList{QStringLiteral("--mode"), QStringLiteral("merge"),
                                QStringLiteral("--name"), QStringLiteral("book"),
                                QStringLiteral("--report"), report, QStringLiteral("-o"), out} +
                        inputs,
                    environment);

    QVERIFY(!result.crashed);
    QVERIFY2(!result.err.contains(QStringLiteral("Unable to load image!")), qPrintable(result.err));
    if (!outputOnTheSmallDisk) {
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(clirun::readPdf(QDir(out).filePath(QStringLiteral("book.pdf"))).pages,
                 inputs.size());
        return;
    }
    QCOMPARE(result.exitCode, 1);
    QVERIFY(!result.out.contains(QStringLiteral("successfully")));
    QCOMPARE(clirun::allEntries(out), QStringList());
    QCOMPARE(loggedOutputStatuses(home.path()),
             QStringList{QStringLiteral("book.pdf: Unable to save file!")});
    const QList<QJsonObject> outputs = reportLines(report, QStringLiteral("output"));
    QCOMPARE(outputs.size(), 1);
    QCOMPARE(outputs.first().value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QVERIFY2(outputs.first()
                 .value(QStringLiteral("detail"))
                 .toString()
                 .contains(QStringLiteral("No space left on device")),
             qPrintable(QJsonDocument(outputs.first()).toJson()));
    // Every input is there to be run again: converted into the lost document, cut off by the
    // failure, or not reached.
    QStringList retry;
    for (const QJsonObject &input : reportLines(report, QStringLiteral("input")))
        retry << input.value(QStringLiteral("path")).toString();
    retry.removeDuplicates();
    retry.sort();
    QCOMPARE(retry, inputs);
}

// Run as an ordinary user on a folder that holds what cannot be read: each is named with the
// system's reason and fails the run; what is left out by rule stays silent.
void TestCliFaults::aFolderWalkReportsWhatItCannotRead()
{
    const QTemporaryDir home;
    const QTemporaryDir base;
    const QTemporaryDir out;
    const QString folder = base.filePath(QStringLiteral("pictures"));
    const QString sub = folder + QStringLiteral("/sub");
    const QString sealed = folder + QStringLiteral("/sealed");
    QVERIFY(QDir().mkpath(sub) && QDir().mkpath(sealed));
    QVERIFY(QFile::copy(m_small1, folder + QStringLiteral("/good.jpg")));
    QVERIFY(QFile::copy(m_small1, sub + QStringLiteral("/deeper.jpg")));
    QVERIFY(QFile::copy(m_small1, sealed + QStringLiteral("/inside.jpg")));
    const QString direct = base.filePath(QStringLiteral("direct.jpg"));
    for (const QString &locked :
         {folder + QStringLiteral("/locked.jpg"), folder + QStringLiteral("/.hidden.jpg"), direct})
        QVERIFY(QFile::copy(m_small1, locked) && QFile::setPermissions(locked, {}));
    QVERIFY(QFile::link(folder + QStringLiteral("/nowhere.jpg"),
                        folder + QStringLiteral("/dangling.jpg")));
    QVERIFY(QFile::link(sub, folder + QStringLiteral("/link-to-sub")));
    for (const char *fifo : {"/pipe.jpg", "/notes.txt"})
        QVERIFY(::mkfifo(QFile::encodeName(folder + QLatin1String(fifo)).constData(), 0644) == 0);
    const QString tooLong = fileBeyondPathMax(folder, fixtures::readBytes(m_small1));
    QVERIFY(!tooLong.isEmpty());
    QVERIFY(QFile::setPermissions(sealed, {}));
    const auto cleanUp = qScopeGuard([&] {
        QFile::setPermissions(sealed, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        // Deeper than a path can name: only a remover that works level by level gets it all.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), folder});
    });
    const QProcessEnvironment environment = clirun::isolatedEnvironment(home.path());
    for (const QString &open :
         {home.path(), home.filePath(QStringLiteral("tmp")), base.path(), folder, sub, out.path()})
        QVERIFY(clirun::openToEveryone(open));

    const QString report = out.filePath(QStringLiteral("run.jsonl"));
    const clirun::Result result =
        clirun::run({QStringLiteral("-r"), QStringLiteral("--report"), report, QStringLiteral("-o"),
                     out.path(), folder, direct},
                    environment, {}, [] { clirun::becomeOrdinaryUser(); });

    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    const QStringList expected{
        folder + QStringLiteral("/dangling.jpg: No such file or directory"),
        tooLong + QStringLiteral(": File name too long"), // below folder/ddd...
        folder + QStringLiteral("/locked.jpg: Permission denied"),
        folder + QStringLiteral("/pipe.jpg: not a regular file"),
        sealed + QStringLiteral(": Permission denied"),
        direct + QStringLiteral(": Permission denied"),
    };
    QStringList reported;
    for (const QJsonObject &input : reportLines(report, QStringLiteral("input")))
        reported << input.value(QStringLiteral("path")).toString() + QStringLiteral(": ") +
                        input.value(QStringLiteral("reason")).toString();
    QCOMPARE(reported, expected);
    for (const QString &line : expected)
        QVERIFY2(result.err.contains(QStringLiteral("folioset-cli: ") + line),
                 qPrintable(result.err.left(3000)));
    QCOMPARE(reportLines(report, QStringLiteral("run")).first().value(QStringLiteral("status")),
             QStringLiteral("failed"));
    QCOMPARE(pdfsIn(out.path()),
             (QStringList{QStringLiteral("deeper.pdf"), QStringLiteral("good.pdf")}));
}

QTEST_MAIN(TestCliFaults)
#include "tst_clifaults.moc"
