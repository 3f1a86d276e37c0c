// folioset-cli in batch jobs: input lists, AES-256 encryption and the JSON report.

#include "clirun.h"

#include "cli/inputs.h"
#include "cli/options.h"
#include "support/fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <csignal>
#include <sys/stat.h>

using namespace folioset::cli;

namespace {

// Entries each ended by a NUL byte, as find -print0 writes them.
QByteArray nulList(const QList<QByteArray> &entries)
{
    QByteArray list;
    for (const QByteArray &entry : entries)
        list += entry + '\0';
    return list;
}

ParseResult parse(const QStringList &arguments, const QByteArray &input = {})
{
    QByteArray bytes = input;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return parseArguments(QStringList{QStringLiteral("folioset-cli")} + arguments, &buffer);
}

// Placeholders in the tables, so that rows stay readable: <in> the inputs' folder, <out> the
// output folder.
QString expand(QString text, const QString &in, const QString &out = {})
{
    return text.replace(QLatin1String("<in>"), in).replace(QLatin1String("<out>"), out);
}

QStringList expandAll(const QStringList &texts, const QString &in, const QString &out = {})
{
    QStringList result;
    for (const QString &text : texts)
        result << expand(text, in, out);
    return result;
}

// The report's objects, each checked against the file it names and then written without the
// byte count, which only the file itself can give.
QStringList readReport(const QString &path)
{
    QStringList objects;
    const QList<QByteArray> lines = fixtures::readBytes(path).split('\n');
    if (lines.isEmpty() || !lines.last().isEmpty())
        return {QStringLiteral("the report does not end with a line end")};
    for (const QByteArray &line : lines.first(lines.size() - 1)) {
        QJsonParseError error;
        QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        if (error.error != QJsonParseError::NoError)
            return {QStringLiteral("not JSON: ") + QString::fromUtf8(line)};
        if (object.value(QLatin1String("kind")) == QLatin1String("output")) {
            const QString pdf = object.value(QLatin1String("path")).toString();
            const qint64 bytes = object.take(QLatin1String("bytes")).toInteger(-1);
            const bool written = object.value(QLatin1String("status")) == QLatin1String("written");
            if (bytes != (written ? QFileInfo(pdf).size() : 0))
                return {QStringLiteral("wrong byte count: ") + QString::fromUtf8(line)};
            if (written &&
                fixtures::pdfPageCount(pdf) != object.value(QLatin1String("pages")).toInt())
                return {QStringLiteral("wrong page count: ") + QString::fromUtf8(line)};
        }
        objects << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    return objects;
}

struct Protection
{
    bool opened = false;
    bool needsPassword = false;
    int revision = 0;
    bool canPrint = false;
    bool canCopy = false;
    bool canModify = false;
    bool ownerMatched = false;
    int pages = 0;
};

Protection readProtection(const QString &path, const QByteArray &password)
{
    Protection protection;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(), password.constData());
        int revision = 0;
        int permissions = 0;
        pdf.isEncrypted(revision, permissions);
        protection.opened = true;
        protection.revision = revision;
        protection.canPrint = pdf.allowPrintHighRes();
        protection.canCopy = pdf.allowExtractAll();
        protection.canModify = pdf.allowModifyOther();
        protection.ownerMatched = pdf.ownerPasswordMatched();
        protection.pages = int(QPDFPageDocumentHelper(pdf).getAllPages().size());
    } catch (const QPDFExc &e) {
        protection.needsPassword = e.getErrorCode() == qpdf_e_password;
    }
    return protection;
}

} // namespace

class TestCliBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listsNameInputsBySeparator_data();
    void listsNameInputsBySeparator();
    void reportsEveryOutputAndEveryFailedInput_data();
    void reportsEveryOutputAndEveryFailedInput();
    void aStoppedRunIsReported();
    void runsStartedTogetherKeepALogEach();
    void aes256OpensWithThePasswordAndKeepsTheRights_data();
    void aes256OpensWithThePasswordAndKeepsTheRights();
    void everyKeyLengthOpensWithThePassword_data();
    void everyKeyLengthOpensWithThePassword();

private:
    QProcessEnvironment environment(const QTemporaryDir &home) const
    {
        return clirun::isolatedEnvironment(home.path());
    }

    QTemporaryDir m_inputs;
};

void TestCliBatch::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_inputs.isValid());
    const QDir in(m_inputs.path());
    QVERIFY(fixtures::writeJpeg(in.filePath(QStringLiteral("photo.jpg")), QSize(320, 240), 3));
    QVERIFY(fixtures::writePng(in.filePath(QStringLiteral("drawing.png")),
                               fixtures::patternImage(QSize(200, 150), 4)));
    // A name with both line ends in it, which only a NUL-separated list can carry.
    QVERIFY(QFile::copy(in.filePath(QStringLiteral("photo.jpg")),
                        in.filePath(QStringLiteral("odd\r\nname.jpg"))));
    const QByteArray jpeg = fixtures::readBytes(in.filePath(QStringLiteral("photo.jpg")));
    QVERIFY(fixtures::writeBytes(in.filePath(QStringLiteral("broken.jpg")),
                                 jpeg.left(40) + QByteArray(200, '\x55')));
    QVERIFY(in.mkpath(QStringLiteral("folder")));
    QVERIFY(::mkfifo(QFile::encodeName(in.filePath(QStringLiteral("pipe.jpg"))).constData(),
                     0644) == 0);
}

void TestCliBatch::listsNameInputsBySeparator_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("nul");
    QTest::addColumn<bool>("fromStandardInput");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("skipped"); // line: path: reason

    const auto row = [](const char *name, const char *list, bool nul, bool viaStdin,
                        const QStringList &files, const QStringList &skipped = {}) {
        QTest::newRow(name) << QByteArray(list) << nul << viaStdin << files << skipped;
    };
    row("lines", "<in>/photo.jpg\n<in>/drawing.png\n", false, false,
        {"<in>/photo.jpg", "<in>/drawing.png"});
    row("CR LF lines, the last without", "<in>/drawing.png\r\n<in>/photo.jpg", false, true,
        {"<in>/drawing.png", "<in>/photo.jpg"});
    row("each file once", "<in>/photo.jpg\n<in>/./photo.jpg\n", false, false, {"<in>/photo.jpg"});
    row("bad lines are skipped",
        "<in>/photo.jpg\n\n<in>/gone.jpg\r\n<in>/folder\n<in>/drawing.png\n", false, true,
        {"<in>/photo.jpg", "<in>/drawing.png"},
        {"2: : empty line", "3: <in>/gone.jpg: no such file", "4: <in>/folder: not a file"});
    QTest::newRow("NUL separated, line ends in a name")
        << nulList({"<in>/odd\r\nname.jpg", "<in>/photo.jpg", ""}) << true << false
        << QStringList{"<in>/odd\r\nname.jpg", "<in>/photo.jpg"} << QStringList{"3: : empty line"};
    row("a line list does not split at CR", "<in>/odd\r\nname.jpg\n", false, false, {},
        {"1: <in>/odd: no such file", "2: name.jpg: no such file"});
}

void TestCliBatch::listsNameInputsBySeparator()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, nul);
    QFETCH(bool, fromStandardInput);
    QFETCH(QStringList, files);
    QFETCH(QStringList, skipped);
    list.replace("<in>", m_inputs.path().toUtf8());
    const QTemporaryDir home;
    const QString listFile = QDir(home.path()).filePath(QStringLiteral("list"));
    QVERIFY(fixtures::writeBytes(listFile, list));

    QStringList arguments{QStringLiteral("-o"), QStringLiteral("out"),
                          QStringLiteral("--from-file"),
                          fromStandardInput ? QStringLiteral("-") : listFile};
    if (nul)
        arguments << QStringLiteral("-0");
    const ParseResult parsed = parse(arguments, fromStandardInput ? list : QByteArray());
    QVERIFY2(parsed.status == ParseStatus::Run, qPrintable(parsed.error));
    const GatheredInputs gathered =
        gatherInputs(parsed.options.inputs, parsed.options.recursive, parsed.options.listedInputs);
    QCOMPARE(gathered.files, expandAll(files, m_inputs.path()));
    QStringList skips;
    for (const SkippedEntry &skip : gathered.skipped)
        skips
            << QStringLiteral("%1: %2: %3").arg(skip.entry.line).arg(skip.entry.path, skip.reason);
    QCOMPARE(skips, expandAll(skipped, m_inputs.path()));
    QVERIFY(gathered.rejects.isEmpty());
}

void TestCliBatch::reportsEveryOutputAndEveryFailedInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("list"); // NUL-separated, given on standard input
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("report");

    // Keys in the order the report writes them, which is by name.
    const QString damaged = QString::fromUtf8(
        R"x({"detail":"Unable to read the image header (JPEG datastream contains no image)",)x"
        R"("kind":"input",)"
        R"("page":1,"path":"<in>/broken.jpg","reason":"Unable to load image!"})");
    const QByteArray mixed =
        nulList({"<in>/photo.jpg", "<in>/broken.jpg", "", "<in>/gone.jpg", "<in>/drawing.png"});
    QTest::newRow("merge, good and bad inputs")
        << QStringList{"--mode", "merge", "--name", "book"} << mixed << 1
        << QStringList{
               R"({"inputs":["<in>/photo.jpg","<in>/drawing.png"],"kind":"output","pages":2,)"
               R"("path":"<out>/book.pdf","status":"written"})",
               damaged, R"({"kind":"input","line":3,"page":0,"path":"","reason":"empty line"})",
               R"({"kind":"input","line":4,"page":0,"path":"<in>/gone.jpg","reason":"no such file"})",
               R"({"kind":"run","status":"failed"})"};
    QTest::newRow("single, a bad input gives no PDF")
        << QStringList{"<in>/gone.png", "<in>/pipe.jpg"}
        << nulList({"<in>/photo.jpg", "<in>/broken.jpg"}) << 1
        << QStringList{
               R"({"inputs":["<in>/photo.jpg"],"kind":"output","pages":1,)"
               R"("path":"<out>/photo.pdf","status":"written"})",
               R"({"inputs":[],"kind":"output","pages":0,"path":"<out>/broken.pdf","status":"no pages"})",
               damaged,
               R"({"kind":"input","page":0,"path":"<in>/gone.png","reason":"no such file or folder"})",
               R"({"kind":"input","page":0,"path":"<in>/pipe.jpg","reason":"not a regular file"})",
               R"({"kind":"run","status":"failed"})"};
    // Converted, but the name is one byte longer than the file system takes: both inputs are to
    // be run again.
    const QString unwritten =
        R"({"detail":"Unable to give the file its name: File name too long","kind":"input",)"
        R"("page":0,"path":"<in>/%1","reason":"Unable to save file!"})";
    QTest::newRow("a PDF that cannot be written")
        << QStringList{"--mode", "merge", "--name", QString(252, QLatin1Char('n'))}
        << nulList({"<in>/photo.jpg", "<in>/drawing.png"}) << 1
        << QStringList{
               R"({"detail":"Unable to give the file its name: File name too long",)"
               R"("inputs":["<in>/photo.jpg","<in>/drawing.png"],"kind":"output","pages":0,)"
               R"("path":"<out>/)" +
                   QString(252, QLatin1Char('n')) + R"(.pdf","status":"failed"})",
               unwritten.arg(QStringLiteral("photo.jpg")),
               unwritten.arg(QStringLiteral("drawing.png")), R"({"kind":"run","status":"failed"})"};
    QTest::newRow("all good") << QStringList{"<in>/drawing.png"} << QByteArray("<in>/photo.jpg")
                              << 0
                              << QStringList{
                                     R"({"inputs":["<in>/drawing.png"],"kind":"output","pages":1,)"
                                     R"("path":"<out>/drawing.pdf","status":"written"})",
                                     R"({"inputs":["<in>/photo.jpg"],"kind":"output","pages":1,)"
                                     R"("path":"<out>/photo.pdf","status":"written"})",
                                     R"({"kind":"run","status":"succeeded"})"};
    QTest::newRow("nothing to convert")
        << QStringList{} << nulList({"<in>/gone.jpg"}) << 1
        << QStringList{
               R"({"kind":"input","line":1,"page":0,"path":"<in>/gone.jpg","reason":"no such file"})",
               R"({"kind":"run","reason":"no images to convert","status":"failed"})"};
}

void TestCliBatch::reportsEveryOutputAndEveryFailedInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, list);
    QFETCH(int, exitCode);
    QFETCH(QStringList, report);
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const QString reportPath = QDir(home.path()).filePath(QStringLiteral("reports/run.jsonl"));
    const clirun::Result run = clirun::run(
        expandAll(arguments, m_inputs.path()) +
            QStringList{QStringLiteral("--from-file"), QStringLiteral("-"), QStringLiteral("-0"),
                        QStringLiteral("--report"), reportPath, QStringLiteral("-o"), out},
        environment(home), list.replace("<in>", m_inputs.path().toUtf8()));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(readReport(reportPath), expandAll(report, m_inputs.path(), out));
    // The terminal names each list entry that was skipped by its line.
    for (const QString &line : report) {
        if (line.contains(QLatin1String("\"line\":3")))
            QVERIFY2(run.err.contains(QLatin1String("input list, line 3: empty line")),
                     qPrintable(run.err));
    }
}

void TestCliBatch::aStoppedRunIsReported()
{
    // Images that must be decoded and compressed again take a while each: time to interrupt.
    const QTemporaryDir home;
    const QString original = QDir(home.path()).filePath(QStringLiteral("original.bmp"));
    QVERIFY(fixtures::writeImage(original, fixtures::patternImage(QSize(1000, 750), 8), "bmp"));
    QByteArray list;
    const QString many = QDir(home.path()).filePath(QStringLiteral("many"));
    QVERIFY(QDir().mkpath(many));
    for (int i = 0; i < 40; ++i) {
        const QString copy =
            QDir(many).filePath(QStringLiteral("img%1.bmp").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(QFile::copy(original, copy));
        list += copy.toUtf8() + '\n';
    }
    const QString listFile = QDir(home.path()).filePath(QStringLiteral("list.txt"));
    QVERIFY(fixtures::writeBytes(listFile, list));
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const QString reportPath = QDir(home.path()).filePath(QStringLiteral("run.jsonl"));

    clirun::TerminalRun run({QStringLiteral("--mode"), QStringLiteral("group"),
                             QStringLiteral("--group-size"), QStringLiteral("20"),
                             QStringLiteral("--name"), QStringLiteral("part"),
                             QStringLiteral("--from-file"), listFile, QStringLiteral("--report"),
                             reportPath, QStringLiteral("-o"), out},
                            environment(home));
    QVERIFY(run.started());
    QVERIFY2(run.waitForTerminal("[3/40]", 120000), run.terminal().constData());
    QVERIFY(run.pid() > 0); // never signal pid 0: that is this test's own process group
    QCOMPARE(::kill(pid_t(run.pid()), SIGINT), 0);
    QVERIFY(run.finish(120000));
    QCOMPARE(run.exitCode(), 1);

    const QString part1 = QDir(out).filePath(QStringLiteral("part1.pdf"));
    const int pages = fixtures::pdfPageCount(part1);
    QVERIFY2(pages >= 3 && pages < 20, qPrintable(QString::number(pages)));
    QStringList converted;
    for (int i = 0; i < pages; ++i)
        converted << QStringLiteral("\"%1/img%2.bmp\"").arg(many).arg(i, 2, 10, QLatin1Char('0'));
    QStringList expected{
        QStringLiteral(
            R"({"inputs":[%1],"kind":"output","pages":%2,"path":"%3","status":"written"})")
            .arg(converted.join(QLatin1Char(',')))
            .arg(pages)
            .arg(part1),
        QStringLiteral(
            R"({"inputs":[],"kind":"output","pages":0,"path":"%1","status":"not started"})")
            .arg(QDir(out).filePath(QStringLiteral("part2.pdf")))};
    // Every input that did not reach a PDF is named, so that a batch can run them again.
    for (int i = pages; i < 40; ++i)
        expected << QStringLiteral(R"({"kind":"input","page":0,"path":"%1/img%2.bmp","reason":)"
                                   R"("not converted"})")
                        .arg(many)
                        .arg(i, 2, 10, QLatin1Char('0'));
    expected << QStringLiteral(R"({"kind":"run","status":"stopped"})");
    QCOMPARE(readReport(reportPath), expected);
}

// The README's recipe for every core: runs started together, which end in the same second.
// Each keeps a log of its own.
void TestCliBatch::runsStartedTogetherKeepALogEach()
{
    const QTemporaryDir home;
    const QString logs = QDir(home.path()).filePath(QStringLiteral("logs"));
    const QString third = QDir(home.path()).filePath(QStringLiteral("third.jpg"));
    QVERIFY(QFile::copy(QDir(m_inputs.path()).filePath(QStringLiteral("photo.jpg")), third));
    const QStringList inputs{QDir(m_inputs.path()).filePath(QStringLiteral("photo.jpg")),
                             QDir(m_inputs.path()).filePath(QStringLiteral("drawing.png")), third};
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < int(inputs.size()); ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(environment(home));
        runs.back()->start(
            QStringLiteral(FOLIOSET_CLI_PATH),
            {QStringLiteral("-q"), QStringLiteral("--log-dir"), logs, QStringLiteral("-o"),
             QDir(home.path()).filePath(QStringLiteral("out%1").arg(i)), inputs.at(i)});
    }
    for (const auto &run : runs) {
        QVERIFY(run->waitForFinished(60000));
        QCOMPARE(run->exitCode(), 0);
    }
    const QStringList written = clirun::allEntries(logs);
    QCOMPARE(written.size(), inputs.size());
    static const QRegularExpression name(QStringLiteral("^\\d{12}(-\\d+)?\\.log$"));
    QStringList logged;
    for (const QString &log : written) {
        QVERIFY2(name.match(log).hasMatch(), qPrintable(log));
        const QByteArray text = fixtures::readBytes(QDir(logs).filePath(log));
        for (const QString &input : inputs) {
            if (text.contains("SourceImageFile=\"" + input.toUtf8() + '"'))
                logged << input;
        }
    }
    logged.sort();
    QStringList sorted = inputs;
    sorted.sort();
    QCOMPARE(logged, sorted);
}

void TestCliBatch::aes256OpensWithThePasswordAndKeepsTheRights_data()
{
    QTest::addColumn<QStringList>("rights");
    QTest::addColumn<bool>("canPrint");
    QTest::addColumn<bool>("canCopy");
    QTest::addColumn<bool>("withOwner"); // a permission password given
    QTest::newRow("all allowed") << QStringList{} << true << true << true;
    QTest::newRow("no printing") << QStringList{"--no-print"} << false << true << true;
    QTest::newRow("no copying") << QStringList{"--no-copy"} << true << false << true;
    QTest::newRow("neither") << QStringList{"--no-print", "--no-copy"} << false << false << true;
    // The opening password must not lift what is withheld: no one can.
    QTest::newRow("no printing, no permission password")
        << QStringList{"--no-print"} << false << true << false;
}

void TestCliBatch::aes256OpensWithThePasswordAndKeepsTheRights()
{
    QFETCH(QStringList, rights);
    QFETCH(bool, canPrint);
    QFETCH(bool, canCopy);
    QFETCH(bool, withOwner);
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const QString ownerFile = QDir(home.path()).filePath(QStringLiteral("owner"));
    // Beyond Latin-1, which revision 6 carries as UTF-8.
    const QString user = QStringLiteral("s3cret wörd ✓");
    const QString owner = QStringLiteral("0wner");
    QVERIFY(fixtures::writeBytes(ownerFile, owner.toUtf8() + '\n'));
    if (withOwner)
        rights << QStringLiteral("--permission-password-file") << ownerFile;
    const clirun::Result run = clirun::run(
        rights + QStringList{QStringLiteral("--key-bits"), QStringLiteral("256"),
                             QStringLiteral("--open-password-file"), QStringLiteral("-"),
                             QStringLiteral("--mode"), QStringLiteral("merge"),
                             QStringLiteral("--name"), QStringLiteral("locked"),
                             QStringLiteral("-o"), out,
                             QDir(m_inputs.path()).filePath(QStringLiteral("photo.jpg")),
                             QDir(m_inputs.path()).filePath(QStringLiteral("drawing.png"))},
        environment(home), user.toUtf8() + '\n');
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString path = QDir(out).filePath(QStringLiteral("locked.pdf"));

    QVERIFY(readProtection(path, {}).needsPassword);
    QVERIFY(readProtection(path, "s3cret").needsPassword);
    const Protection opened = readProtection(path, user.toUtf8());
    QVERIFY(opened.opened);
    QCOMPARE(opened.revision, 6);
    QCOMPARE(opened.pages, 2);
    QCOMPARE(opened.canPrint, canPrint);
    QCOMPARE(opened.canCopy, canCopy);
    QVERIFY(!opened.canModify);
    QVERIFY(!opened.ownerMatched);
    // The permission password opens it too, as the owner's.
    const Protection asOwner = readProtection(path, owner.toUtf8());
    QCOMPARE(asOwner.opened, withOwner);
    QCOMPARE(asOwner.ownerMatched, withOwner);
    QCOMPARE(run.err.contains(QStringLiteral("nobody can lift the restriction on printing")),
             !withOwner);

    const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    QCOMPARE(fixtures::popplerEncryption(path, user),
             QStringLiteral("yes (print:%1 copy:%2 change:no addNotes:no algorithm:AES-256)")
                 .arg(QLatin1String(yesNo(canPrint)), QLatin1String(yesNo(canCopy))));
    QVERIFY(fixtures::popplerEncryption(path, QStringLiteral("wrong"))
                .startsWith(QLatin1String("pdfinfo failed")));
}

void TestCliBatch::everyKeyLengthOpensWithThePassword_data()
{
    QTest::addColumn<QString>("keyBits"); // empty: --key-bits not given
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("algorithm");
    QTest::newRow("40") << "40" << 2 << "RC4";
    QTest::newRow("128") << "128" << 3 << "RC4";
    QTest::newRow("256") << "256" << 6 << "AES-256";
    QTest::newRow("a password alone gets AES-256") << "" << 6 << "AES-256";
}

void TestCliBatch::everyKeyLengthOpensWithThePassword()
{
    QFETCH(QString, keyBits);
    QFETCH(int, revision);
    QFETCH(QString, algorithm);
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    QStringList arguments{QStringLiteral("--open-password-file"), QStringLiteral("-"),
                          QStringLiteral("-o"), out,
                          QDir(m_inputs.path()).filePath(QStringLiteral("photo.jpg"))};
    if (!keyBits.isEmpty())
        arguments << QStringLiteral("--key-bits") << keyBits;
    const clirun::Result run = clirun::run(arguments, environment(home), "Pass 4 key\n");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString path = QDir(out).filePath(QStringLiteral("photo.pdf"));
    QVERIFY(readProtection(path, {}).needsPassword);
    const Protection opened = readProtection(path, "Pass 4 key");
    QVERIFY(opened.opened);
    QCOMPARE(opened.revision, revision);
    QCOMPARE(opened.pages, 1);
    QCOMPARE(fixtures::popplerEncryption(path, QStringLiteral("Pass 4 key")),
             QStringLiteral("yes (print:yes copy:yes change:no addNotes:no algorithm:%1)")
                 .arg(algorithm));
}

QTEST_MAIN(TestCliBatch)
#include "tst_clibatch.moc"
