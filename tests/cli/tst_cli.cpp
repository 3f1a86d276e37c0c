#include "clirun.h"

#include "cli/inputs.h"
#include "cli/options.h"
#include "cli/outcome.h"
#include "model/fileitem.h"
#include "model/settings.h"
#include "support/fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <csignal>
#include <sys/types.h>

using namespace folioset;
using namespace folioset::cli;

namespace {

// Every field of the options in one line, so that a table row can name the part it expects.
QString summary(const Options &o)
{
    const auto text = [](const std::optional<QString> &value) {
        return value ? QStringLiteral("'%1'").arg(*value) : QStringLiteral("-");
    };
    const auto number = [](const std::optional<int> &value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    QString pages = QString::number(o.pages.pageRangeType());
    if (o.pages.pageRangeType() == SelectionRange::Ranges)
        pages += QLatin1Char(':') + o.pages.pageRange();
    else if (o.pages.pageRangeType() == SelectionRange::Steps)
        pages += QLatin1Char(':') + QString::number(o.pages.pageSteps());
    else if (o.pages.pageRangeType() == SelectionRange::ReversedSteps)
        pages += QLatin1Char(':') + QString::number(o.pages.pageStepsReversed());
    return QStringLiteral("inputs=%1 recursive=%2 mode=%3 name=%4 group=%5 output=%6 title=%7 "
                          "subject=%8 author=%9 keywords=%10 open-pw=%11 perm-pw=%12 print=%13 "
                          "copy=%14 bits=%15 bookmarks=%16 pages=%17 log=%18 open=%19 "
                          "quiet=%20 apply=%21")
        .arg(o.inputs.join(QLatin1Char('|')))
        .arg(int(o.recursive))
        .arg(o.mode)
        .arg(o.name)
        .arg(o.groupSize)
        .arg(o.outputFolder, text(o.title), text(o.subject), text(o.author), text(o.keywords),
             text(o.openPassword), text(o.permissionPassword))
        .arg(int(!o.noPrint))
        .arg(int(!o.noCopy))
        .arg(number(o.keyBits), number(o.bookmarkType), pages, o.logFolder)
        .arg(int(o.open))
        .arg(int(o.quiet))
        .arg(int(o.appliesDocumentSettings()));
}

ParseResult parse(const QStringList &arguments, const QByteArray &input = {})
{
    QByteArray bytes = input;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return parseArguments(QStringList{QStringLiteral("folioset-cli")} + arguments, &buffer);
}

QStringList names(const QStringList &paths)
{
    QStringList result;
    for (const QString &path : paths)
        result << QFileInfo(path).fileName();
    return result;
}

QString makeFolder(const QString &base, const QString &name)
{
    const QString path = QDir(base).filePath(name);
    QDir().mkpath(path);
    return path;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void parsesEveryOption_data();
    void parsesEveryOption();
    void rejectsUsageErrors_data();
    void rejectsUsageErrors();
    void helpNamesEveryOption();
    void helpAndVersionExitZero();
    void optionsReachTheSettings();
    void parsesThePageLayout_data();
    void parsesThePageLayout();

    void gathersFoldersFlatOrRecursive();
    void gathersFilesAsGivenAndOnce();

    void assessesLoggedRuns();

    void mergesJpegPngAndTiffIntoOnePdf();
    void laysOutPagesOnPaperWithTheImagesUnchanged();
    void encryptsWithPasswordFromStandardInput();
    void corruptInputFailsTheRun();
    void writesTheLogIntoLogDir();
    void quietSuccessPrintsNothing();
    void openWithoutDesktopOnlySaysSo();
    void leavesNoPreferencesBehind();
    void groupsAndPageRules();
    void ctrlCStopsAndWritesWhatWasConverted();
    void secondCtrlCEndsAtOnceWithoutTemporaryFiles();

private:
    QString inputFolder() const { return m_inputs.path(); }
    QProcessEnvironment environment(const QTemporaryDir &home) const
    {
        return clirun::isolatedEnvironment(home.path());
    }
    // `count` copies of one file in a new folder "many" under `base`, distinct by name.
    QString makeCopies(const QString &base, const QString &original, int count) const;

    QTemporaryDir m_inputs;
    QString m_jpeg, m_png, m_tiff;
};

void TestCli::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_inputs.isValid());
    m_jpeg = m_inputs.filePath(QStringLiteral("photo.jpg"));
    m_png = m_inputs.filePath(QStringLiteral("drawing.png"));
    m_tiff = m_inputs.filePath(QStringLiteral("scan.tif"));
    QVERIFY(fixtures::writeJpeg(m_jpeg, QSize(320, 240), 3));
    QVERIFY(fixtures::writePng(m_png, fixtures::patternImage(QSize(200, 150), 4)));
    QVERIFY(fixtures::writeTiff(m_tiff,
                                {fixtures::patternImage(QSize(160, 120), 5),
                                 fixtures::patternImage(QSize(160, 120), 6),
                                 fixtures::patternImage(QSize(160, 120), 7)},
                                fixtures::TiffCompression::Lzw, 150));
}

void TestCli::parsesEveryOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");

    const QString out = QStringLiteral("-o");
    const auto row = [&](const char *name, QStringList args, QStringList expected,
                         QByteArray input = {}) {
        QTest::newRow(name) << args << input << expected;
    };
    const QString pw = m_inputs.filePath(QStringLiteral("password.txt"));
    const QString crlf = m_inputs.filePath(QStringLiteral("crlf.txt"));
    QVERIFY(fixtures::writeBytes(pw, "secret\nsecond line\n"));
    QVERIFY(fixtures::writeBytes(crlf, "windows\r\n"));

    row("defaults", {out, "o", "a.jpg"},
        {"inputs=a.jpg ", "recursive=0", "mode=0", "group=2", "output=o ", "title=- ", "print=1",
         "copy=1", "bits=-", "bookmarks=-", "pages=0 ", "log= ", "open=0", "quiet=0", "apply=0"});
    row("long output with equals", {"--output=dir", "a.jpg"}, {"output=dir "});
    row("several inputs, options between", {"a.jpg", "-q", "b", "-o", "o", "c.png"},
        {"inputs=a.jpg|b|c.png ", "quiet=1"});
    row("after double dash", {"-o", "o", "--", "-odd.jpg"}, {"inputs=-odd.jpg "});
    row("-r", {"-r", out, "o", "a"}, {"recursive=1"});
    row("--recursive", {"--recursive", out, "o", "a"}, {"recursive=1"});
    row("compacted -rq", {"-rq", out, "o", "a"}, {"recursive=1", "quiet=1"});
    row("single", {"--mode", "single", out, "o", "a"}, {"mode=0"});
    row("merge", {"--mode", "merge", "--name", "book", out, "o", "a"}, {"mode=1", "name=book "});
    row("merge name with .pdf", {"--mode", "merge", "--name", "book.PDF", out, "o", "a"},
        {"name=book "});
    row("group", {"--mode", "group", "--name", "part", "--group-size", "3", out, "o", "a"},
        {"mode=2", "name=part ", "group=3"});
    row("title", {"--title", "A Title", out, "o", "a"}, {"title='A Title'", "apply=1"});
    row("empty title still applies", {"--title", "", out, "o", "a"}, {"title=''", "apply=1"});
    row("subject", {"--subject", "S", out, "o", "a"}, {"subject='S'", "apply=1"});
    row("author", {"--author", "Ann", out, "o", "a"}, {"author='Ann'", "apply=1"});
    row("keywords", {"--keywords", "k1 k2", out, "o", "a"}, {"keywords='k1 k2'", "apply=1"});
    row("open password file", {"--open-password-file", pw, out, "o", "a"},
        {"open-pw='secret'", "perm-pw=-", "apply=1", "bits=-"});
    row("permission password file", {"--permission-password-file", pw, out, "o", "a"},
        {"open-pw=-", "perm-pw='secret'", "apply=1"});
    row("password with CR LF", {"--open-password-file", crlf, out, "o", "a"},
        {"open-pw='windows'"});
    row("open password from stdin", {"--open-password-file", "-", out, "o", "a"},
        {"open-pw='from stdin'"}, "from stdin\nnot this\n");
    row("both passwords from stdin",
        {"--permission-password-file", "-", "--open-password-file", "-", out, "o", "a"},
        {"open-pw='first'", "perm-pw='second'"}, "first\nsecond\n");
    const QString opw = QStringLiteral("--open-password-file");
    row("no-print", {"--no-print", opw, pw, out, "o", "a"}, {"print=0", "copy=1", "apply=1"});
    row("no-copy", {"--no-copy", opw, pw, out, "o", "a"}, {"print=1", "copy=0", "apply=1"});
    row("key-bits 40", {"--key-bits", "40", opw, pw, out, "o", "a"}, {"bits=40", "apply=1"});
    row("key-bits 128", {"--key-bits", "128", opw, pw, out, "o", "a"}, {"bits=128", "apply=1"});
    row("key-bits 256", {"--key-bits", "256", "--permission-password-file", pw, out, "o", "a"},
        {"bits=256", "apply=1"});
    row("bookmarks none", {"--bookmarks", "none", out, "o", "a"}, {"bookmarks=0", "apply=1"});
    row("bookmarks name", {"--bookmarks", "name", out, "o", "a"}, {"bookmarks=1"});
    row("bookmarks stem", {"--bookmarks", "stem", out, "o", "a"}, {"bookmarks=2"});
    row("bookmarks path", {"--bookmarks", "path", out, "o", "a"}, {"bookmarks=3"});
    row("pages all", {"--pages", "all", out, "o", "a"}, {"pages=0 ", "apply=0"});
    row("pages ranges", {"--pages", "1-3,7-7", out, "o", "a"}, {"pages=1:1-3,7-7 "});
    row("pages downwards and single", {"--pages", "9-5, 4", out, "o", "a"}, {"pages=1:9-5,4-4 "});
    row("pages step", {"--pages", "step:2", out, "o", "a"}, {"pages=2:2 "});
    row("pages reversed step", {"--pages", "rstep:3", out, "o", "a"}, {"pages=3:3 "});
    row("log dir", {"--log-dir", "logs", out, "o", "a"}, {"log=logs "});
    row("open", {"--open", out, "o", "a"}, {"open=1"});
    row("quiet long", {"--quiet", out, "o", "a"}, {"quiet=1"});
    row("last value wins", {"--mode", "group", "--mode", "single", out, "o", "a"}, {"mode=0"});
}

void TestCli::parsesEveryOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    const ParseResult result = parse(arguments, input);
    QVERIFY2(result.status == ParseStatus::Run, qPrintable(result.error));
    const QString text = summary(result.options) + QLatin1Char(' ');
    for (const QString &part : expected)
        QVERIFY2(text.contains(part), qPrintable(QStringLiteral("%1 not in %2").arg(part, text)));
}

void TestCli::parsesThePageLayout_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QVariantMap>("layout"); // the stored form of what was parsed
    const auto map = [](const char *size, const char *turn, const char *fit, const char *margins,
                        const char *dpi) {
        return QVariantMap{{"pageSize", size},
                           {"orientation", turn},
                           {"fit", fit},
                           {"margins", margins},
                           {"defaultDpi", dpi}};
    };
    QTest::newRow("none: the image's own size")
        << QStringList() << map("image", "auto", "into", "0mm", "72");
    QTest::newRow("the README's example")
        << QStringList{"--page-size", "A4", "--fit", "into", "--margin", "10mm"}
        << map("A4", "auto", "into", "10mm", "72");
    QTest::newRow("every option")
        << QStringList{"--page-size", "letter",   "--orientation",    "landscape",     "--fit",
                       "shrink",      "--margin", "1in,0.5in,36pt,0", "--default-dpi", "300"}
        << map("Letter", "landscape", "shrink", "25.4mm,12.7mm,12.7mm,0mm", "300");
    QTest::newRow("custom size, fill") << QStringList{"--page-size", "4x6in", "--fit", "fill"}
                                       << map("4x6in", "auto", "fill", "0mm", "72");
    QTest::newRow("margins around the image's own size")
        << QStringList{"--margin", "5"} << map("image", "auto", "into", "5mm", "72");
}

void TestCli::parsesThePageLayout()
{
    QFETCH(QStringList, arguments);
    QFETCH(QVariantMap, layout);
    const ParseResult result = parse(arguments + QStringList{"-o", "o", "a.jpg"});
    QVERIFY2(result.status == ParseStatus::Run, qPrintable(result.error));
    QCOMPARE(pdf::pageSetupToMap(result.options.pageSetup), layout);
    // The layout is no document setting: it does not switch those on.
    QVERIFY(!result.options.appliesDocumentSettings());
}

void TestCli::rejectsUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    const auto row = [](const char *name, QStringList args, const char *mentions) {
        QTest::newRow(name) << args << QString::fromUtf8(mentions);
    };
    row("unknown option", {"--colour", "-o", "o", "a"}, "colour");
    row("unknown short option", {"-x", "-o", "o", "a"}, "'x'");
    row("missing value", {"-o", "o", "a", "--mode"}, "--mode");
    row("missing output", {"a.jpg"}, "-o");
    row("empty output", {"-o", "", "a.jpg"}, "-o");
    row("no inputs", {"-o", "o"}, "no input");
    row("nothing at all", {}, "no input");
    row("bad mode", {"--mode", "combine", "-o", "o", "a"}, "--mode");
    row("mode in capitals", {"--mode", "MERGE", "--name", "b", "-o", "o", "a"}, "--mode");
    row("merge without name", {"--mode", "merge", "-o", "o", "a"}, "--name");
    row("group without name", {"--mode", "group", "-o", "o", "a"}, "--name");
    row("empty name", {"--mode", "merge", "--name", "", "-o", "o", "a"}, "--name");
    row("name only .pdf", {"--mode", "merge", "--name", ".pdf", "-o", "o", "a"}, "--name");
    row("name with a path", {"--mode", "merge", "--name", "x/y", "-o", "o", "a"}, "--name");
    row("group size 1", {"--group-size", "1", "-o", "o", "a"}, "--group-size");
    row("group size 0", {"--group-size", "0", "-o", "o", "a"}, "--group-size");
    row("group size text", {"--group-size", "two", "-o", "o", "a"}, "--group-size");
    row("group size negative", {"--group-size", "-3", "-o", "o", "a"}, "--group-size");
    row("key bits 64", {"--key-bits", "64", "-o", "o", "a"}, "--key-bits");
    row("key bits 512", {"--key-bits", "512", "-o", "o", "a"}, "--key-bits");
    row("bookmarks title", {"--bookmarks", "title", "-o", "o", "a"}, "--bookmarks");
    row("pages empty", {"--pages", "", "-o", "o", "a"}, "--pages");
    row("pages open range", {"--pages", "1-", "-o", "o", "a"}, "--pages");
    row("pages zero", {"--pages", "0-3", "-o", "o", "a"}, "--pages");
    row("pages letters", {"--pages", "a-b", "-o", "o", "a"}, "--pages");
    row("pages three ends", {"--pages", "1-2-3", "-o", "o", "a"}, "--pages");
    row("pages empty piece", {"--pages", "1-2,,4", "-o", "o", "a"}, "--pages");
    row("pages step 0", {"--pages", "step:0", "-o", "o", "a"}, "--pages");
    row("pages step missing", {"--pages", "step:", "-o", "o", "a"}, "--pages");
    row("pages rstep word", {"--pages", "rstep:x", "-o", "o", "a"}, "--pages");
    row("pages unknown word", {"--pages", "odd", "-o", "o", "a"}, "--pages");
    row("open password file missing", {"--open-password-file", "/nonexistent/pw", "-o", "o", "a"},
        "/nonexistent/pw");
    row("permission password file missing",
        {"--permission-password-file", "/nonexistent/pw2", "-o", "o", "a"}, "/nonexistent/pw2");
    row("password file is a folder", {"--open-password-file", "/", "-o", "o", "a"},
        "password file");
    row("empty log dir", {"--log-dir", "", "-o", "o", "a"}, "--log-dir");
    row("-0 without a list", {"-0", "-o", "o", "a"}, "-0");
    row("input list missing", {"--from-file", "/nonexistent/list", "-o", "o"}, "/nonexistent/list");
    row("list and password both from standard input",
        {"--from-file", "-", "--open-password-file", "-", "-o", "o"}, "standard input");
    row("empty report name", {"--report", "", "-o", "o", "a"}, "--report");
    row("unknown paper", {"--page-size", "B5", "-o", "o", "a"}, "invalid --page-size 'B5'");
    row("size without unit", {"--page-size", "210x297", "-o", "o", "a"}, "'210x297'");
    row("size with one side", {"--page-size", "210mm", "-o", "o", "a"}, "'210mm'");
    row("size beyond readers", {"--page-size", "6000x100mm", "-o", "o", "a"},
        "invalid --page-size '6000x100mm': a page side must be from 3 pt to 14400 pt");
    row("bad orientation", {"--page-size", "A4", "--orientation", "upright", "-o", "o", "a"},
        "invalid --orientation 'upright'");
    row("bad fit", {"--page-size", "A4", "--fit", "zoom", "-o", "o", "a"}, "invalid --fit 'zoom'");
    // Only the names as --help writes them, though stored preferences are read more loosely.
    row("orientation in capitals",
        {"--page-size", "A4", "--orientation", "Portrait", "-o", "o", "a"},
        "invalid --orientation 'Portrait' (expected auto, portrait, landscape)");
    row("fit with a space", {"--page-size", "A4", "--fit", " fill", "-o", "o", "a"},
        "invalid --fit ' fill' (expected into, fill, exact, shrink)");
    row("fit without paper", {"--fit", "fill", "-o", "o", "a"}, "need a paper size");
    row("orientation without paper", {"--orientation", "portrait", "-o", "o", "a"},
        "need a paper size");
    row("three margins", {"--margin", "1,2,3", "-o", "o", "a"}, "invalid --margin '1,2,3'");
    row("margin in cm", {"--margin", "1cm", "-o", "o", "a"}, "invalid --margin '1cm'");
    row("margin larger than half the page",
        {"--page-size", "A4", "--margin", "110mm", "-o", "o", "a"},
        "invalid --margin '110mm': a margin of 110 mm is half the page or more");
    row("dpi zero", {"--default-dpi", "0", "-o", "o", "a"}, "invalid --default-dpi '0'");
    row("dpi word", {"--default-dpi", "high", "-o", "o", "a"}, "invalid --default-dpi 'high'");
    // Rights or a key length without a password would give an unencrypted PDF, as would an
    // empty password.
    const char *needsPassword = "need a password";
    row("no-print without a password", {"--no-print", "-o", "o", "a"}, needsPassword);
    row("no-copy without a password", {"--no-copy", "-o", "o", "a"}, needsPassword);
    row("key bits without a password", {"--key-bits", "256", "-o", "o", "a"}, needsPassword);
    const QString empty = m_inputs.filePath(QStringLiteral("empty-password.txt"));
    QVERIFY(fixtures::writeBytes(empty, "\n"));
    QTest::newRow("empty password file")
        << QStringList{"--open-password-file", empty, "-o", "o", "a"} << "the password is empty";
    QTest::newRow("empty password on standard input")
        << QStringList{"--permission-password-file", "-", "--no-print", "-o", "o", "a"}
        << "the password is empty (first line of standard input)";
}

void TestCli::rejectsUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    const ParseResult result = parse(arguments);
    QCOMPARE(result.status, ParseStatus::UsageError);
    QVERIFY2(result.error.contains(mentions), qPrintable(result.error));

    // The real command says the same and exits with 2, before touching anything.
    const QTemporaryDir home;
    const clirun::Result run = clirun::run(arguments, environment(home));
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.crashed);
    QVERIFY2(run.err.contains(mentions), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("--help")));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(QDir(home.path()).filePath(QStringLiteral("o"))));
}

void TestCli::helpNamesEveryOption()
{
    const QString help = helpText();
    for (const char *option : {"-r,",
                               "--recursive",
                               "--mode",
                               "single|merge|group",
                               "--name",
                               "--group-size",
                               "-o,",
                               "--output",
                               "--title",
                               "--subject",
                               "--author",
                               "--keywords",
                               "--open-password-file",
                               "--permission-password-file",
                               "--no-print",
                               "--no-copy",
                               "--key-bits",
                               "40|128|256",
                               "--from-file",
                               "-0,",
                               "--report",
                               "--bookmarks",
                               "none|name|stem|path",
                               "--pages",
                               "step:N",
                               "rstep:N",
                               "--log-dir",
                               "--page-size",
                               "--orientation",
                               "auto|portrait|landscape",
                               "--fit",
                               "into|fill|exact|shrink",
                               "--margin",
                               "--default-dpi",
                               "--open",
                               "-q,",
                               "--quiet",
                               "--help",
                               "--version",
                               "Exit status"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

void TestCli::helpAndVersionExitZero()
{
    const QTemporaryDir home;
    const clirun::Result help = clirun::run({QStringLiteral("--help")}, environment(home));
    QCOMPARE(help.exitCode, 0);
    QCOMPARE(help.out, helpText());
    const clirun::Result version = clirun::run({QStringLiteral("--version")}, environment(home));
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith(QStringLiteral("folioset-cli 2.")));
    QCOMPARE(parse({QStringLiteral("-h")}).status, ParseStatus::Help);
}

void TestCli::optionsReachTheSettings()
{
    const QString pw = m_inputs.filePath(QStringLiteral("pw-settings.txt"));
    QVERIFY(fixtures::writeBytes(pw, "open sesame\n"));
    const ParseResult result =
        parse({QStringLiteral("--mode"), QStringLiteral("group"), QStringLiteral("--name"),
               QStringLiteral("part"), QStringLiteral("--group-size"), QStringLiteral("4"),
               QStringLiteral("-o"), QStringLiteral("/out"), QStringLiteral("--title"),
               QStringLiteral("T"), QStringLiteral("--open-password-file"), pw,
               QStringLiteral("--no-copy"), QStringLiteral("--key-bits"), QStringLiteral("128"),
               QStringLiteral("--bookmarks"), QStringLiteral("stem"), QStringLiteral("a")});
    QVERIFY2(result.status == ParseStatus::Run, qPrintable(result.error));

    Settings settings(Settings::Source::Defaults);
    applyToSettings(result.options, settings);
    QCOMPARE(settings.combineOptionIndex(), 2);
    QCOMPARE(settings.groupMultiPagePDFName(), QStringLiteral("part"));
    QCOMPARE(settings.groupMultiPagePDFCount(), 4);
    QCOMPARE(settings.outputFolderPath(), QStringLiteral("/out"));
    QVERIFY(!settings.isOpenFolderAfterConversion());
    QVERIFY(settings.isApplyDocumentSetings());
    const PDFSettings &pdf = *settings.pdfSettings();
    QCOMPARE(pdf.title(), QStringLiteral("T"));
    QCOMPARE(pdf.pdfOpenPassword(), QStringLiteral("open sesame"));
    QVERIFY(pdf.canPrint());
    QVERIFY(!pdf.canCopy());
    QCOMPARE(pdf.keyBits(), 128);
    QCOMPARE(pdf.bookmarkType(), 2);

    // A password without --key-bits gets AES-256.
    const ParseResult aes = parse({QStringLiteral("--open-password-file"), pw, QStringLiteral("-o"),
                                   QStringLiteral("o"), QStringLiteral("a")});
    Settings withPassword(Settings::Source::Defaults);
    applyToSettings(aes.options, withPassword);
    QCOMPARE(withPassword.pdfSettings()->keyBits(), 256);

    const ParseResult plain = parse(
        {QStringLiteral("-o"), QStringLiteral("o"), QStringLiteral("--open"), QStringLiteral("a")});
    Settings defaults(Settings::Source::Defaults);
    applyToSettings(plain.options, defaults);
    QCOMPARE(defaults.combineOptionIndex(), 0);
    QVERIFY(defaults.isOpenFolderAfterConversion());
    QVERIFY(!defaults.isApplyDocumentSetings());
    QCOMPARE(defaults.pdfSettings()->keyBits(), 40);
}

void TestCli::gathersFoldersFlatOrRecursive()
{
    const QTemporaryDir base;
    const QString top = makeFolder(base.path(), QStringLiteral("top"));
    const QString sub = makeFolder(top, QStringLiteral("sub"));
    const QString hidden = makeFolder(top, QStringLiteral(".hidden"));
    // Written out of order, so that only sorting can give the expected order.
    for (const char *name : {"z.jpg", "b.PNG", "a.jpeg", "c.Jpg", "d.txt", "e.tiff", "f.GIF",
                             "g.bmp", "h.TIF", "i.BMP", "j.JPG", "k.JPEG", "l.png", "m.gif",
                             "n.tif", "o.TIFF", "p.pdf", "noext", ".dot.jpg"})
        QVERIFY(fixtures::writeBytes(QDir(top).filePath(QString::fromUtf8(name)), "x"));
    QVERIFY(fixtures::writeBytes(QDir(sub).filePath(QStringLiteral("y.jpg")), "x"));
    QVERIFY(fixtures::writeBytes(QDir(sub).filePath(QStringLiteral("a.Png")), "x"));
    QVERIFY(fixtures::writeBytes(QDir(hidden).filePath(QStringLiteral("in-hidden.jpg")), "x"));

    const QStringList flat = {"a.jpeg", "b.PNG",  "e.tiff", "f.GIF", "g.bmp", "h.TIF",  "i.BMP",
                              "j.JPG",  "k.JPEG", "l.png",  "m.gif", "n.tif", "o.TIFF", "z.jpg"};
    const GatheredInputs shallow = gatherInputs({top}, false);
    QCOMPARE(names(shallow.files), flat);
    QVERIFY(shallow.rejects.isEmpty());
    for (const QString &path : shallow.files)
        QVERIFY(QFileInfo(path).isAbsolute());

    const GatheredInputs deep = gatherInputs({top}, true);
    QStringList expected = flat;
    expected.insert(expected.indexOf(QStringLiteral("o.TIFF")) + 1, QStringLiteral("y.jpg"));
    QCOMPARE(names(deep.files), expected);
    QCOMPARE(deep.files.at(expected.indexOf(QStringLiteral("y.jpg"))),
             QDir(sub).filePath(QStringLiteral("y.jpg")));
}

void TestCli::gathersFilesAsGivenAndOnce()
{
    const QTemporaryDir base;
    const QString folder = makeFolder(base.path(), QStringLiteral("f"));
    const QString b = QDir(folder).filePath(QStringLiteral("b.jpg"));
    const QString a = QDir(folder).filePath(QStringLiteral("a.jpg"));
    const QString mixed = QDir(base.path()).filePath(QStringLiteral("x.Jpg"));
    const QString text = QDir(base.path()).filePath(QStringLiteral("notes.txt"));
    for (const QString &path : {b, a, mixed, text})
        QVERIFY(fixtures::writeBytes(path, "x"));
    const QString missing = QDir(base.path()).filePath(QStringLiteral("gone.jpg"));
    const QString roundabout = folder + QStringLiteral("/../f/./b.jpg");

    const GatheredInputs gathered =
        gatherInputs({mixed, b, folder, text, missing, roundabout, a}, false);
    QCOMPARE(gathered.files, (QStringList{mixed, b, a, text}));
    QCOMPARE(gathered.rejects.size(), 1);
    QCOMPARE(gathered.rejects.first().path, missing);
    QCOMPARE(gathered.rejects.first().reason, QStringLiteral("no such file or folder"));

    // Relative arguments are taken from the working folder.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    const GatheredInputs relative = gatherInputs({QStringLiteral("a.jpg")}, false);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(relative.files, QStringList{a});
}

void TestCli::assessesLoggedRuns()
{
    const auto item = [](const QString &path) {
        return FileItem::initWithURL(QUrl::fromLocalFile(path));
    };
    const QList<OutputFile> plan = {{QStringLiteral("/out/all.pdf"), {item(m_jpeg), item(m_png)}}};
    const auto page = [](const QString &source, int target, const char *status) {
        return LogFile{source, 1, target, QString::fromUtf8(status), {}};
    };

    Log good;
    good.files.append({QStringLiteral("all.pdf"),
                       QStringLiteral("/out"),
                       QStringLiteral("Completed"),
                       2,
                       {page(m_jpeg, 1, "Completed"), page(m_png, 2, "Completed")},
                       {}});
    const Outcome fine = assessRun(allCreatedMessage(), good, plan);
    QVERIFY(fine.succeeded);
    QVERIFY(fine.problems.isEmpty());
    QVERIFY(!assessRun(QStringLiteral("Process cancelled!"), good, plan).succeeded);

    Log bad;
    bad.files.append({QStringLiteral("all.pdf"),
                      QStringLiteral("/out"),
                      QStringLiteral("Completed"),
                      1,
                      {page(m_jpeg, 1, "Completed"), page(m_png, 0, "Unable to load image!")},
                      {}});
    const Outcome broken = assessRun(allCreatedMessage(), bad, plan);
    QVERIFY(!broken.succeeded);
    QCOMPARE(broken.problems, QStringList{m_png + QStringLiteral(": Unable to load image!")});

    Log unsaved;
    unsaved.files.append({QStringLiteral("all.pdf"),
                          QStringLiteral("/out"),
                          QStringLiteral("Unable to save file!"),
                          2,
                          {page(m_jpeg, 1, "Completed"), page(m_png, 2, "Completed")},
                          QStringLiteral("File name too long")});
    const Outcome lost =
        assessRun(QStringLiteral("Total 0 files created successfully."), unsaved, plan);
    QVERIFY(!lost.succeeded);
    QCOMPARE(lost.problems, QStringList{QStringLiteral("/out/all.pdf: Unable to save file! "
                                                       "File name too long")});
    // Converted into a PDF that is not on disk: each input is to be run again.
    QStringList retry;
    for (const FailedInput &input : lost.failedInputs)
        retry << QStringLiteral("%1 %2 %3 %4")
                     .arg(input.path)
                     .arg(input.page)
                     .arg(input.reason, input.detail);
    QCOMPARE(retry,
             (QStringList{m_jpeg + QStringLiteral(" 0 Unable to save file! File name too long"),
                          m_png + QStringLiteral(" 0 Unable to save file! File name too long")}));

    Log stopped;
    stopped.files.append({QStringLiteral("all.pdf"),
                          QStringLiteral("/out"),
                          QStringLiteral("Completed"),
                          1,
                          {page(m_jpeg, 1, "Completed")},
                          {}});
    const Outcome cancelled = assessRun(QStringLiteral("Process cancelled!"), stopped, plan);
    QVERIFY(!cancelled.succeeded);
    QCOMPARE(cancelled.problems, QStringList{QStringLiteral("1 input(s) not converted")});
}

void TestCli::mergesJpegPngAndTiffIntoOnePdf()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out/nested"));
    const clirun::Result run =
        clirun::run({QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     QStringLiteral("book"), QStringLiteral("-o"), out, QStringLiteral("--title"),
                     QStringLiteral("Gathered Pictures"), m_jpeg, m_png, m_tiff},
                    environment(home));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.contains(QStringLiteral("All files created successfully.")));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QCOMPARE(clirun::allEntries(out), QStringList{QStringLiteral("book.pdf")});

    const clirun::PdfReading pdf = clirun::readPdf(QDir(out).filePath(QStringLiteral("book.pdf")));
    QVERIFY(pdf.opened);
    QVERIFY(!pdf.encrypted);
    QCOMPARE(pdf.pages, 5);
    QCOMPARE(pdf.title, QStringLiteral("Gathered Pictures"));

    // Without a document setting the run writes no title.
    const QString plainOut = QDir(home.path()).filePath(QStringLiteral("plain"));
    const clirun::Result plain =
        clirun::run({QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     QStringLiteral("book"), QStringLiteral("-o"), plainOut, m_jpeg, m_tiff},
                    environment(home));
    QCOMPARE(plain.exitCode, 0);
    const clirun::PdfReading untitled =
        clirun::readPdf(QDir(plainOut).filePath(QStringLiteral("book.pdf")));
    QCOMPARE(untitled.pages, 4);
    QVERIFY(untitled.title.isEmpty());
}

void TestCli::laysOutPagesOnPaperWithTheImagesUnchanged()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run =
        clirun::run({QStringLiteral("--page-size"), QStringLiteral("A4"), QStringLiteral("--fit"),
                     QStringLiteral("into"), QStringLiteral("--margin"), QStringLiteral("10mm"),
                     QStringLiteral("--bookmarks"), QStringLiteral("name"),
                     QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     QStringLiteral("letters"), QStringLiteral("-o"), out, m_jpeg, m_tiff},
                    environment(home));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QPDF pdf;
    pdf.processFile(
        QFile::encodeName(QDir(out).filePath(QStringLiteral("letters.pdf"))).constData());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    QCOMPARE(pages.size(), std::size_t(4));
    for (QPDFPageObjectHelper page : pages) {
        // The photos are wide: automatic orientation lays A4 on its side.
        QPDFObjectHandle box = page.getObjectHandle().getKey("/MediaBox");
        QCOMPARE(qRound(box.getArrayItem(2).getNumericValue()), 842);
        QCOMPARE(qRound(box.getArrayItem(3).getNumericValue()), 595);
    }
    QPDFObjectHandle photo =
        pages.front().getObjectHandle().getKey("/Resources").getKey("/XObject").getKey("/Im0");
    const std::shared_ptr<Buffer> raw = photo.getRawStreamData();
    QCOMPARE(
        QByteArray(reinterpret_cast<const char *>(raw->getBuffer()), qsizetype(raw->getSize())),
        fixtures::readBytes(m_jpeg));
    // One bookmark per input, each showing the top of its sheet.
    std::vector<QPDFOutlineObjectHelper> outlines =
        QPDFOutlineDocumentHelper(pdf).getTopLevelOutlines();
    QCOMPARE(outlines.size(), std::size_t(2));
    for (QPDFOutlineObjectHelper &outline : outlines) {
        QPDFObjectHandle dest = outline.getDest();
        QVERIFY(std::abs(dest.getArrayItem(3).getNumericValue() - (210 * 72 / 25.4 + 72)) < 1e-3);
    }
}

void TestCli::encryptsWithPasswordFromStandardInput()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run =
        clirun::run({QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     QStringLiteral("locked"), QStringLiteral("-o"), out,
                     QStringLiteral("--key-bits"), QStringLiteral("128"),
                     QStringLiteral("--open-password-file"), QStringLiteral("-"), m_jpeg, m_tiff},
                    environment(home), "s3cret word\n");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString path = QDir(out).filePath(QStringLiteral("locked.pdf"));
    const clirun::PdfReading withoutPassword = clirun::readPdf(path);
    QVERIFY(!withoutPassword.opened);
    QVERIFY(withoutPassword.needsPassword);
    QVERIFY(!clirun::readPdf(path, QStringLiteral("s3cret")).opened);
    const clirun::PdfReading opened = clirun::readPdf(path, QStringLiteral("s3cret word"));
    QVERIFY(opened.opened);
    QVERIFY(opened.encrypted);
    QCOMPARE(opened.pages, 4);
    // The password never shows in what the command prints.
    QVERIFY(!run.out.contains(QStringLiteral("s3cret")));
    QVERIFY(!run.err.contains(QStringLiteral("s3cret")));
}

void TestCli::corruptInputFailsTheRun()
{
    const QTemporaryDir home;
    const QString corrupt = QDir(home.path()).filePath(QStringLiteral("broken.jpg"));
    QByteArray truncated = fixtures::readBytes(m_jpeg).left(40);
    QVERIFY(fixtures::writeBytes(corrupt, truncated + QByteArray(200, '\x55')));
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run =
        clirun::run({QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                     QStringLiteral("some"), QStringLiteral("-o"), out, m_jpeg, corrupt, m_png},
                    environment(home));
    QCOMPARE(run.exitCode, 1);
    QVERIFY(!run.crashed);
    QVERIFY2(run.err.contains(corrupt + QStringLiteral(": Unable to load image!")),
             qPrintable(run.err));
    // The PDF was written, but a run that exits with 1 never calls itself successful.
    QVERIFY2(!(run.out + run.err).contains(QStringLiteral("successfully")), qPrintable(run.out));
    QVERIFY(!run.err.contains(m_jpeg + QLatin1Char(':')));
    QCOMPARE(clirun::readPdf(QDir(out).filePath(QStringLiteral("some.pdf"))).pages, 2);

    // A single-image run of only damaged files writes nothing and says so in its own words,
    // not in a library's.
    const QString headerOnly = QDir(home.path()).filePath(QStringLiteral("header.tif"));
    QVERIFY(fixtures::writeBytes(headerOnly, QByteArray("II*\0\x08\0\0\0", 8)));
    const QString single = QDir(home.path()).filePath(QStringLiteral("single"));
    const clirun::Result alone =
        clirun::run({QStringLiteral("-q"), QStringLiteral("-o"), single, corrupt, headerOnly},
                    environment(home));
    QCOMPARE(alone.exitCode, 1);
    QVERIFY(alone.out.isEmpty());
    QVERIFY2(!alone.err.contains(QStringLiteral("successfully")), qPrintable(alone.err));
    QCOMPARE(alone.err.count(QStringLiteral("No Pages!")), 2);
    QVERIFY2(!alone.err.contains(QStringLiteral("TIFFReadDirectory")), qPrintable(alone.err));
    QVERIFY(clirun::allEntries(single).isEmpty());

    // A named input that does not exist fails the run, which still converts the others.
    const QString partial = QDir(home.path()).filePath(QStringLiteral("partial"));
    const clirun::Result gone =
        clirun::run({QStringLiteral("-o"), partial, m_png,
                     QDir(home.path()).filePath(QStringLiteral("gone.png"))},
                    environment(home));
    QCOMPARE(gone.exitCode, 1);
    QVERIFY2(gone.err.contains(QStringLiteral("gone.png: no such file or folder")),
             qPrintable(gone.err));
    QCOMPARE(clirun::allEntries(partial), QStringList{QStringLiteral("drawing.pdf")});
}

void TestCli::writesTheLogIntoLogDir()
{
    const QTemporaryDir home;
    const QString logs = QDir(home.path()).filePath(QStringLiteral("my logs"));
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run =
        clirun::run({QStringLiteral("--log-dir"), logs, QStringLiteral("-o"), out, m_jpeg, m_png},
                    environment(home));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(clirun::allEntries(out),
             (QStringList{QStringLiteral("drawing.pdf"), QStringLiteral("photo.pdf")}));
    const QStringList written = clirun::allEntries(logs);
    QCOMPARE(written.size(), 1);
    QVERIFY(written.first().endsWith(QStringLiteral(".log")));
    const QString logPath = QDir(logs).filePath(written.first());
    QVERIFY2(run.out.contains(QStringLiteral("Log: ") + logPath), qPrintable(run.out));
    const QByteArray log = fixtures::readBytes(logPath);
    QVERIFY(log.contains(m_jpeg.toUtf8()));
    QVERIFY(log.contains(m_png.toUtf8()));
    QVERIFY(log.contains("Completed"));
}

void TestCli::quietSuccessPrintsNothing()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run =
        clirun::run({QStringLiteral("-q"), QStringLiteral("-o"), out, QStringLiteral("--log-dir"),
                     QDir(home.path()).filePath(QStringLiteral("logs")), m_tiff, m_jpeg},
                    environment(home));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QString());
    QCOMPARE(clirun::readPdf(QDir(out).filePath(QStringLiteral("scan.pdf"))).pages, 3);
}

void TestCli::openWithoutDesktopOnlySaysSo()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run = clirun::run(
        {QStringLiteral("--open"), QStringLiteral("-o"), out, QStringLiteral("--log-dir"),
         QDir(home.path()).filePath(QStringLiteral("logs")), m_png},
        environment(home));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err.trimmed(),
             QStringLiteral("folioset-cli: no desktop session; the output folder is not opened"));
    QCOMPARE(clirun::allEntries(out), QStringList{QStringLiteral("drawing.pdf")});
}

void TestCli::leavesNoPreferencesBehind()
{
    const QTemporaryDir home;
    const QTemporaryDir output;
    const clirun::Result run = clirun::run({QStringLiteral("-o"), output.path(),
                                            QStringLiteral("--title"), QStringLiteral("T"), m_jpeg},
                                           environment(home));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QStringList files;
    QDirIterator it(home.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(home.path()).relativeFilePath(it.next());
    // Only the log, in the default place; no preferences, nothing else.
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().startsWith(QStringLiteral("data/Quillmark/folioset2/Logs/")),
             qPrintable(files.first()));
    QVERIFY(run.out.contains(QDir(home.path()).filePath(files.first())));
}

void TestCli::groupsAndPageRules()
{
    const QTemporaryDir home;
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));
    const clirun::Result run = clirun::run(
        {QStringLiteral("--mode"), QStringLiteral("group"), QStringLiteral("--name"),
         QStringLiteral("part"), QStringLiteral("--group-size"), QStringLiteral("2"),
         QStringLiteral("--pages"), QStringLiteral("3-1"), QStringLiteral("--bookmarks"),
         QStringLiteral("name"), QStringLiteral("-o"), out, m_tiff, m_jpeg, m_png},
        environment(home));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(clirun::allEntries(out),
             (QStringList{QStringLiteral("part1.pdf"), QStringLiteral("part2.pdf")}));
    QCOMPARE(clirun::readPdf(QDir(out).filePath(QStringLiteral("part1.pdf"))).pages, 4);
    QCOMPARE(clirun::readPdf(QDir(out).filePath(QStringLiteral("part2.pdf"))).pages, 1);

    // A rule that selects no page of the only input is a failure, not a silent success.
    const QString none = QDir(home.path()).filePath(QStringLiteral("none"));
    const clirun::Result empty = clirun::run(
        {QStringLiteral("--pages"), QStringLiteral("rstep:5"), QStringLiteral("-o"), none, m_tiff},
        environment(home));
    QCOMPARE(empty.exitCode, 1);
    QVERIFY2(empty.err.contains(m_tiff + QStringLiteral(": no pages selected")),
             qPrintable(empty.err));
}

QString TestCli::makeCopies(const QString &base, const QString &original, int count) const
{
    const QString folder = makeFolder(base, QStringLiteral("many"));
    const QString extension = QFileInfo(original).suffix();
    for (int i = 0; i < count; ++i) {
        const QString name =
            QStringLiteral("img%1.%2").arg(i, 4, 10, QLatin1Char('0')).arg(extension);
        if (!QFile::copy(original, QDir(folder).filePath(name)))
            return {};
    }
    return folder;
}

void TestCli::ctrlCStopsAndWritesWhatWasConverted()
{
    // Images that must be decoded and compressed again take a while each: time to interrupt.
    const QTemporaryDir home;
    const QString original = QDir(home.path()).filePath(QStringLiteral("original.bmp"));
    QVERIFY(fixtures::writeImage(original, fixtures::patternImage(QSize(1000, 750), 8), "bmp"));
    const QString inputs = makeCopies(home.path(), original, 40);
    QVERIFY(!inputs.isEmpty());
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));

    clirun::TerminalRun run({QStringLiteral("--mode"), QStringLiteral("merge"),
                             QStringLiteral("--name"), QStringLiteral("many"), QStringLiteral("-o"),
                             out, inputs},
                            environment(home));
    QVERIFY(run.started());
    QVERIFY2(run.waitForTerminal("[3/40]", 120000), run.terminal().constData());
    // The progress line names the image being converted.
    QVERIFY(run.terminal().contains(".bmp"));
    QVERIFY(run.pid() > 0); // never signal pid 0: that is this test's own process group
    QCOMPARE(::kill(pid_t(run.pid()), SIGINT), 0);
    QVERIFY(run.finish(120000));

    QVERIFY(!run.crashed());
    QCOMPARE(run.exitCode(), 1);
    QVERIFY2(run.terminal().contains("stopping after the current image"),
             run.terminal().constData());
    QVERIFY(run.terminal().contains("Process cancelled!"));
    QVERIFY(run.terminal().contains("input(s) not converted"));
    QCOMPARE(clirun::allEntries(out), QStringList{QStringLiteral("many.pdf")});
    const clirun::PdfReading pdf = clirun::readPdf(QDir(out).filePath(QStringLiteral("many.pdf")));
    QVERIFY(pdf.opened);
    QVERIFY2(pdf.pages >= 3 && pdf.pages < 40, qPrintable(QString::number(pdf.pages)));
    QVERIFY(clirun::allEntries(QDir(home.path()).filePath(QStringLiteral("tmp"))).isEmpty());
}

void TestCli::secondCtrlCEndsAtOnceWithoutTemporaryFiles()
{
    // JPEG data is copied into the PDF while it is written: a long write of many large ones.
    const QTemporaryDir home;
    const QString original = QDir(home.path()).filePath(QStringLiteral("original.jpg"));
    QVERIFY(fixtures::writeJpeg(original, QSize(4000, 3000), 2, 95));
    const QString inputs = makeCopies(home.path(), original, 60);
    QVERIFY(!inputs.isEmpty());
    const QString out = QDir(home.path()).filePath(QStringLiteral("out"));

    QProcess process;
    process.setProcessEnvironment(environment(home));
    process.start(QStringLiteral(FOLIOSET_CLI_PATH),
                  {QStringLiteral("--mode"), QStringLiteral("merge"), QStringLiteral("--name"),
                   QStringLiteral("many"), QStringLiteral("-o"), out, inputs});
    QVERIFY(process.waitForStarted());
    const pid_t pid = pid_t(process.processId());
    QVERIFY(pid > 0); // never signal pid 0: that is this test's own process group

    const auto temporaryPresent = [&] { return fixtures::unnamedFileSize(pid, out) > 0; };
    // Each interruption is sent while the command is frozen in the middle of writing.
    const auto freezeWhileWriting = [&] {
        QElapsedTimer waited;
        waited.start();
        while (process.state() == QProcess::Running && waited.elapsed() < 60000) {
            if (temporaryPresent()) {
                ::kill(pid, SIGSTOP);
                if (temporaryPresent())
                    return true;
                ::kill(pid, SIGCONT);
            }
            QThread::usleep(200);
        }
        return false;
    };
    QVERIFY2(freezeWhileWriting(), "no temporary file was seen while the PDF was written");
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    QByteArray errors;
    QElapsedTimer waited;
    waited.start();
    while (!errors.contains("stopping") && waited.elapsed() < 30000) {
        process.waitForReadyRead(10);
        errors += process.readAllStandardError();
    }
    QVERIFY2(errors.contains("stopping after the current image"), errors.constData());

    QVERIFY2(freezeWhileWriting(), "the write ended before the second interruption");
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(clirun::allEntries(out), QStringList());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
