// folioset-cli's manual page and bash completion are made from --help: these tests check that
// reading --help loses nothing, that it agrees with the parser, and that the completion the
// build made offers what the parser accepts.

#include "cli/helpdoc.h"
#include "cli/options.h"

#include "support/fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace folioset::cli;

class TestCliDocs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsEveryWordOfTheHelp();
    void helpAndParserKnowTheSameOptions();
    void listedValuesAreTheAcceptedOnes();
    void refusesLayoutsItCannotRead_data();
    void refusesLayoutsItCannotRead();
    void manPageFillsEveryMarker();
    void manPageTemplateNeedsEachMarkerOnce_data();
    void manPageTemplateNeedsEachMarkerOnce();
    void manPageTemplateNamesOnlyRealOptions();
    void completionOffers_data();
    void completionOffers();

private:
    QStringList complete(const QStringList &words);

    HelpDocument m_help;
    QTemporaryDir m_dir;
};

namespace {

QStringList sortedWords(const QString &text)
{
    QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    std::sort(words.begin(), words.end());
    return words;
}

QString minimalTemplate()
{
    return QStringLiteral(".TH X 1 \"\" \"@VERSION@\"\n.SH SYNOPSIS\n@SYNOPSIS@\n.SH D\n"
                          "@DESCRIPTION@\n@NOTES@\n.SH O\n@OPTIONS@\n.SH E\n@EXIT STATUS@\n");
}

} // namespace

void TestCliDocs::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    const std::optional<HelpDocument> help = readHelp(helpText(), &error);
    QVERIFY2(help, qPrintable(error));
    m_help = *help;
}

// Every word --help prints reaches one of the parts the page is made of, once.
void TestCliDocs::readsEveryWordOfTheHelp()
{
    QStringList parts{QStringLiteral("Usage:"),
                      m_help.usage.join(QLatin1Char(' ')),
                      m_help.description.join(QLatin1Char(' ')),
                      m_help.notes.join(QLatin1Char(' ')),
                      QStringLiteral("Exit status:"),
                      m_help.exitStatus};
    for (const HelpSection &section : m_help.sections) {
        parts << section.title + QLatin1Char(':');
        for (const HelpEntry &entry : section.entries)
            parts << entry.syntax << entry.description;
    }
    QCOMPARE(sortedWords(parts.join(QLatin1Char(' '))), sortedWords(helpText()));
    QCOMPARE(m_help.usage.first().section(QLatin1Char(' '), 0, 0), QStringLiteral("folioset-cli"));
    for (const HelpSection &section : m_help.sections)
        for (const HelpEntry &entry : section.entries)
            QVERIFY2(!entry.description.isEmpty(), qPrintable(entry.syntax));
}

void TestCliDocs::helpAndParserKnowTheSameOptions()
{
    QMap<QString, bool> parser; // name as typed, and whether it takes a value
    for (const QCommandLineOption &option : commandLineOptions())
        for (const QString &name : option.names())
            parser.insert((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name,
                          !option.valueName().isEmpty());
    QMap<QString, bool> help;
    for (const HelpOption &option : m_help.allOptions()) {
        QVERIFY2(!help.contains(option.name), qPrintable(option.name + " is listed twice"));
        help.insert(option.name, !option.value.isEmpty());
    }
    QCOMPARE(help, parser);
    // The short spellings share their long one's value: "-o, --output DIR".
    const QList<HelpOption> options = m_help.allOptions();
    const auto output = std::find_if(options.cbegin(), options.cend(),
                                     [](const HelpOption &o) { return o.name == "-o"; });
    QVERIFY(output != options.cend());
    QCOMPARE(output->value, QStringLiteral("DIR"));
}

// What the completion offers for an option is exactly what the parser takes, and a value off
// the list is refused.
void TestCliDocs::listedValuesAreTheAcceptedOnes()
{
    const QString password = m_dir.filePath(QStringLiteral("password"));
    QVERIFY(fixtures::writeBytes(password, "secret\n"));
    int listed = 0;
    for (const HelpOption &option : m_help.allOptions()) {
        if (option.choices().isEmpty())
            continue;
        const QStringList values = option.choices() << QStringLiteral("no-such-value");
        for (const QString &value : values) {
            // The other options make any value usable: a name for merge and group, a password
            // for the key lengths, a paper for the orientations and fits.
            QStringList arguments{QStringLiteral("folioset-cli"),
                                  option.name,
                                  value,
                                  QStringLiteral("--name"),
                                  QStringLiteral("n"),
                                  QStringLiteral("--open-password-file"),
                                  password,
                                  QStringLiteral("-o"),
                                  QStringLiteral("out"),
                                  QStringLiteral("in.jpg")};
            if (option.name != QLatin1String("--page-size"))
                arguments << QStringLiteral("--page-size") << QStringLiteral("A4");
            const ParseResult result = parseArguments(arguments, nullptr);
            if (value == QLatin1String("no-such-value")) {
                QCOMPARE(result.status, ParseStatus::UsageError);
                QVERIFY2(result.error.contains(option.name), qPrintable(result.error));
            } else {
                QVERIFY2(result.status == ParseStatus::Run,
                         qPrintable(option.name + ' ' + value + ": " + result.error));
                ++listed;
            }
        }
    }
    QVERIFY2(listed >= 10, "--mode, --key-bits and --bookmarks list their values");
}

void TestCliDocs::refusesLayoutsItCannotRead_data()
{
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("mentions");
    const QString usage = QStringLiteral("Usage: x [options] INPUT...\n\nText.\n\n");
    const QString end = QStringLiteral("\nExit status: 0.\n");
    QTest::newRow("no usage") << QStringLiteral("x INPUT\n\nOut:\n  -q  quiet\n") + end
                              << "Usage: ";
    QTest::newRow("stray line in a section")
        << usage + QStringLiteral("Out:\n  -q, --quiet   quiet\n plain\n") + end << "line 7";
    QTest::newRow("names with spaces")
        << usage + QStringLiteral("Out:\n  --out the dir   where\n") + end << "line 6";
    QTest::newRow("a title among the options") << usage + QStringLiteral("Out:\n  -q   quiet\n") +
                                                      QStringLiteral("Out2:\n    text\n") + end
                                               << "line 7";
    QTest::newRow("option outside a section")
        << usage + QStringLiteral("Out:\n  -q   quiet\n\n  --lost   x\n") + end << "line 8";
    QTest::newRow("unindented usage form")
        << QStringLiteral("Usage: x INPUT\nx --list FILE\n\nOut:\n  -q  quiet\n") + end << "line 2";
    QTest::newRow("no exit status")
        << usage + QStringLiteral("Out:\n  -q   quiet\n") << "Exit status:";
}

void TestCliDocs::refusesLayoutsItCannotRead()
{
    QFETCH(QString, help);
    QFETCH(QString, mentions);
    QString error;
    QVERIFY(!readHelp(help, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

void TestCliDocs::manPageFillsEveryMarker()
{
    QString error;
    const std::optional<QString> page =
        manPage(m_help, minimalTemplate(), QStringLiteral("9.8.7"), &error);
    QVERIFY2(page, qPrintable(error));
    QVERIFY(!page->contains(QLatin1Char('@')));
    QVERIFY(page->contains(QStringLiteral(".TH X 1 \"\" \"9.8.7\"")));
    // Every option in bold with real minus signs, so that it can be searched for and pasted.
    for (const HelpOption &option : m_help.allOptions()) {
        const QString name = QString(option.name).replace('-', QLatin1String("\\-"));
        QVERIFY2(page->contains(QStringLiteral("\\fB%1\\fR").arg(name)), qPrintable(name));
    }
    QVERIFY(page->contains(
        QStringLiteral("\\fB\\-\\-mode\\fR \\fBsingle\\fR|\\fBmerge\\fR|\\fBgroup\\fR")));
    QVERIFY(page->contains(QStringLiteral("\\fB\\-o\\fR, \\fB\\-\\-output\\fR \\fIDIR\\fR")));
    // No line of text may start as a request would.
    for (const QString &line : page->split(QLatin1Char('\n')))
        QVERIFY2(!line.startsWith(QLatin1Char('\'')), qPrintable(line));
}

void TestCliDocs::manPageTemplateNeedsEachMarkerOnce_data()
{
    QTest::addColumn<QString>("pageTemplate");
    QTest::addColumn<QString>("mentions");
    QString twice = minimalTemplate();
    twice += QStringLiteral("@OPTIONS@\n");
    QTest::newRow("twice") << twice << "@OPTIONS@";
    QTest::newRow("missing") << QString(minimalTemplate()).remove(QStringLiteral("@NOTES@\n"))
                             << "@NOTES@";
    QTest::newRow("unknown") << minimalTemplate() + QStringLiteral("@SEE ALSO@\n") << "@SEE ALSO@";
}

void TestCliDocs::manPageTemplateNeedsEachMarkerOnce()
{
    QFETCH(QString, pageTemplate);
    QFETCH(QString, mentions);
    QString error;
    QVERIFY(!manPage(m_help, pageTemplate, QStringLiteral("1"), &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
}

// The examples and files of the page are written by hand: an option renamed or dropped from
// --help must not live on there.
void TestCliDocs::manPageTemplateNamesOnlyRealOptions()
{
    QFile file(QStringLiteral(FOLIOSET_CLI_MANPAGE_TEMPLATE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    QSet<QString> known;
    for (const HelpOption &option : m_help.allOptions())
        known << option.name;
    static const QRegularExpression longOption(
        QStringLiteral("\\\\-\\\\-[a-z0-9]+(?:\\\\-[a-z0-9]+)*"));
    int named = 0;
    for (const QRegularExpressionMatch &match : longOption.globalMatch(page)) {
        const QString name = match.captured().remove(QLatin1Char('\\'));
        QVERIFY2(known.contains(name), qPrintable(name + " is not an option of --help"));
        ++named;
    }
    QVERIFY(named >= 10);
}

QStringList TestCliDocs::complete(const QStringList &words)
{
    QProcess bash;
    bash.setWorkingDirectory(m_dir.filePath(QStringLiteral("completion")));
    const QStringList arguments =
        QStringList{QStringLiteral("-c"),
                    QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\"); "
                                   "COMP_CWORD=$(($# - 1)); _folioset_cli; "
                                   "printf '%s\\n' \"${COMPREPLY[@]}\""),
                    QStringLiteral("bash"), QStringLiteral(FOLIOSET_CLI_COMPLETION),
                    QStringLiteral("folioset-cli")}
        << words;
    bash.start(QStringLiteral("bash"), arguments);
    if (!bash.waitForFinished(20000) || bash.exitCode() != 0)
        return {QStringLiteral("bash failed: ") +
                QString::fromLocal8Bit(bash.readAllStandardError())};
    QStringList offered =
        QString::fromLocal8Bit(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    offered.sort();
    return offered;
}

void TestCliDocs::completionOffers_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("offered");
    const QStringList all = {"-odd.jpg", "folder", "scan.tif"};
    QTest::newRow("an option") << QStringList{"--mo"} << QStringList{"--mode"};
    QTest::newRow("every option") << QStringList{"-"} << QStringList{"(every option)"};
    QTest::newRow("modes") << QStringList{"--mode", ""} << QStringList{"group", "merge", "single"};
    QTest::newRow("key lengths") << QStringList{"-r", "--key-bits", ""}
                                 << QStringList{"128", "256", "40"};
    QTest::newRow("bookmarks, begun") << QStringList{"--bookmarks", "st"} << QStringList{"stem"};
    QTest::newRow("after =") << QStringList{"--mode", "="}
                             << QStringList{"group", "merge", "single"};
    QTest::newRow("after =, begun") << QStringList{"--mode", "=", "me"} << QStringList{"merge"};
    QTest::newRow("output folder") << QStringList{"-o", ""} << QStringList{"folder"};
    QTest::newRow("log folder") << QStringList{"--log-dir", "f"} << QStringList{"folder"};
    QTest::newRow("password file") << QStringList{"--open-password-file", ""} << all;
    QTest::newRow("free text") << QStringList{"--title", ""} << QStringList{};
    QTest::newRow("inputs") << QStringList{"-o", "out", "s"} << QStringList{"scan.tif"};
    QTest::newRow("after --") << QStringList{"--", "-o"} << QStringList{"-odd.jpg"};
}

void TestCliDocs::completionOffers()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    const QDir dir(m_dir.filePath(QStringLiteral("completion")));
    QVERIFY(dir.mkpath(QStringLiteral("folder")));
    QVERIFY(fixtures::writeBytes(dir.filePath(QStringLiteral("scan.tif")), "x"));
    QVERIFY(fixtures::writeBytes(dir.filePath(QStringLiteral("-odd.jpg")), "x"));
    QStringList expected = offered;
    if (offered == QStringList{"(every option)"}) {
        expected.clear();
        for (const HelpOption &option : m_help.allOptions())
            expected << option.name;
    }
    expected.sort();
    QCOMPARE(complete(words), expected);
}

QTEST_GUILESS_MAIN(TestCliDocs)
#include "tst_clidocs.moc"
