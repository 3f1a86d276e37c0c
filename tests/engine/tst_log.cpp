#include "engine/log.h"
#include "model/utilities.h"
#include "platform/atomicfile.h"
#include "support/fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QtTest>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unicode/locid.h>

#include <ctime>
#include <memory>

using namespace folioset;

namespace {

QStringList *capturedMessages = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (capturedMessages)
        capturedMessages->append(message);
}

// Collects everything written to the system log while it lives.
class MessageCapture
{
public:
    MessageCapture()
    {
        capturedMessages = &m_messages;
        m_previous = qInstallMessageHandler(captureMessage);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        capturedMessages = nullptr;
    }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    const QStringList &messages() const { return m_messages; }

private:
    QStringList m_messages;
    QtMessageHandler m_previous = nullptr;
};

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// Strict parse: a document that is not well-formed gives null.
DocPtr parseFile(const QString &path)
{
    return DocPtr(xmlReadFile(QFile::encodeName(path).constData(), nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOBLANKS));
}

QString fromXml(const xmlChar *text)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text));
}

QStringList attributeNames(const xmlNode *node)
{
    QStringList names;
    for (const xmlAttr *attr = node->properties; attr; attr = attr->next)
        names << fromXml(attr->name);
    return names;
}

QString attribute(xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, BAD_CAST name);
    if (!value)
        return QStringLiteral("<missing>");
    const QString result = fromXml(value);
    xmlFree(value);
    return result;
}

QList<xmlNode *> childElements(const xmlNode *node)
{
    QList<xmlNode *> children;
    for (xmlNode *child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            children << child;
    }
    return children;
}

bool hasNonElementChildren(const xmlNode *node)
{
    for (const xmlNode *child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            return true;
    }
    return false;
}

QString logsFolder()
{
    return QDir(Utilities::getAppPath()).filePath(QStringLiteral("Logs"));
}

QDateTime localTime(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

LogFiles failedOutput()
{
    LogFiles output;
    output.filename = QStringLiteral("scan.pdf");
    output.targetPath = QStringLiteral("/home/user/Documents");
    output.status = QStringLiteral("No Pages!");
    output.pages = 0;
    LogFile page;
    page.sourceFile = QStringLiteral("/home/user/Pictures/broken.jpg");
    page.sourcePageNo = 1;
    page.targetPageNo = 0;
    page.status = QStringLiteral("Unable to load image!");
    output.logFiles.push_back(page);
    return output;
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void recordDefaults();
    void emptyLogHasOnlyTheTimes();
    void fileNameComesFromEndTime();
    void datesUseTheDisplayPattern();
    void failedImageIsRecorded();
    void elementsAndAttributesKeepTheirOrder();
    void valuesAreEscaped_data();
    void valuesAreEscaped();
    void missingLogsFolderIsReportedNotFatal();
    void unwritableLogsFolderIsReportedNotFatal();
    void runsInTheSameSecondKeepTheirOwnLogs();
};

void TestLog::initTestCase()
{
    // The expected texts are American English in a known zone whatever the machine is set to;
    // ICU keeps its own default locale, independent of the C library's (often C/POSIX here).
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    QVERIFY(U_SUCCESS(status));

    QStandardPaths::setTestModeEnabled(true);
    QString error;
    QVERIFY2(Utilities::createApplicationUsersFolder(QString(), &error), qPrintable(error));
    QVERIFY2(Utilities::createApplicationUsersFolder(QStringLiteral("Logs"), &error),
             qPrintable(error));
    QVERIFY(Utilities::getAppPath().contains(QStringLiteral(".qttest")));
}

void TestLog::init()
{
    // Some tests replace the folder by a file or remove it; each test starts from an empty one.
    const QString logs = logsFolder();
    if (QFileInfo(logs).isFile())
        QVERIFY(QFile::remove(logs));
    QVERIFY(QDir(logs).removeRecursively());
    QVERIFY(Utilities::createApplicationUsersFolder(QStringLiteral("Logs")));
    QVERIFY(QDir(logs).isEmpty());
}

void TestLog::cleanupTestCase()
{
    const QString logs = logsFolder();
    if (QFileInfo(logs).isFile())
        QFile::remove(logs);
    QDir(logs).removeRecursively();
}

void TestLog::recordDefaults()
{
    const LogFile page;
    QVERIFY(page.sourceFile.isEmpty());
    QCOMPARE(page.sourcePageNo, 0);
    QCOMPARE(page.targetPageNo, 0);
    QVERIFY(page.status.isEmpty());

    const LogFiles output;
    QVERIFY(output.filename.isEmpty());
    QVERIFY(output.targetPath.isEmpty());
    QVERIFY(output.status.isEmpty());
    QCOMPARE(output.pages, 0);
    QVERIFY(output.logFiles.isEmpty());

    const QDateTime before = QDateTime::currentDateTime();
    const Log log;
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(log.startTime >= before && log.startTime <= after);
    QVERIFY(log.endTime >= before && log.endTime <= after);
    QVERIFY(log.files.isEmpty());
    QVERIFY(log.logFilePath().isEmpty());
}

void TestLog::emptyLogHasOnlyTheTimes()
{
    Log log;
    log.startTime = localTime(2026, 12, 7, 13, 0, 0);
    log.endTime = localTime(2026, 12, 7, 13, 5, 9);
    QVERIFY(log.save());
    QVERIFY(QFileInfo::exists(log.logFilePath()));

    const QByteArray raw = fixtures::readBytes(log.logFilePath());
    QVERIFY2(raw.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"), raw.constData());

    const DocPtr doc = parseFile(log.logFilePath());
    QVERIFY(doc);
    xmlNode *const root = xmlDocGetRootElement(doc.get());
    QVERIFY(root);
    QCOMPARE(fromXml(root->name), QStringLiteral("Log"));
    QCOMPARE(attributeNames(root), (QStringList{"StartTime", "EndTime"}));
    QCOMPARE(attribute(root, "StartTime"), QStringLiteral("12/07/2026 01:00:00 PM"));
    QCOMPARE(attribute(root, "EndTime"), QStringLiteral("12/07/2026 01:05:09 PM"));
    QVERIFY(root->children == nullptr);
}

void TestLog::fileNameComesFromEndTime()
{
    Log log;
    log.startTime = localTime(2026, 12, 7, 12, 59, 0);
    log.endTime = localTime(2026, 12, 7, 13, 5, 9);
    QVERIFY(log.logFilePath().isEmpty());
    QVERIFY(log.save());
    const QString expected = QDir(logsFolder()).filePath(QStringLiteral("071226130509.log"));
    QCOMPARE(log.logFilePath(), expected);
    QVERIFY(QFileInfo(expected).isFile());
    // Nothing but the finished log is left behind by the atomic write.
    QCOMPARE(QDir(logsFolder()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("071226130509.log")});
}

void TestLog::datesUseTheDisplayPattern()
{
    Log log;
    log.startTime = localTime(2026, 12, 7, 13, 5, 9);
    log.endTime = localTime(2027, 1, 3, 0, 0, 7);
    QVERIFY(log.save());
    QCOMPARE(QFileInfo(log.logFilePath()).fileName(), QStringLiteral("030127000007.log"));

    const QByteArray raw = fixtures::readBytes(log.logFilePath());
    QVERIFY2(raw.contains("<Log StartTime=\"12/07/2026 01:05:09 PM\" "
                          "EndTime=\"01/03/2027 12:00:07 AM\"/>"),
             raw.constData());
}

void TestLog::failedImageIsRecorded()
{
    Log log;
    log.files.push_back(failedOutput());
    QVERIFY(log.save());

    const DocPtr doc = parseFile(log.logFilePath());
    QVERIFY(doc);
    xmlNode *const root = xmlDocGetRootElement(doc.get());
    const QList<xmlNode *> outputs = childElements(root);
    QCOMPARE(outputs.size(), 1);
    xmlNode *const files = outputs.first();
    QCOMPARE(fromXml(files->name), QStringLiteral("Files"));
    QCOMPARE(attribute(files, "FileName"), QStringLiteral("scan.pdf"));
    QCOMPARE(attribute(files, "TargetPath"), QStringLiteral("/home/user/Documents"));
    QCOMPARE(attribute(files, "Status"), QStringLiteral("No Pages!"));
    QCOMPARE(attribute(files, "Pages"), QStringLiteral("0"));

    const QList<xmlNode *> pages = childElements(files);
    QCOMPARE(pages.size(), 1);
    xmlNode *const file = pages.first();
    QCOMPARE(fromXml(file->name), QStringLiteral("File"));
    QCOMPARE(attribute(file, "SourceImageFile"), QStringLiteral("/home/user/Pictures/broken.jpg"));
    QCOMPARE(attribute(file, "SourcePageNo"), QStringLiteral("1"));
    QCOMPARE(attribute(file, "PageNo"), QStringLiteral("0"));
    QCOMPARE(attribute(file, "Status"), QStringLiteral("Unable to load image!"));
    QVERIFY(file->children == nullptr);
    QVERIFY(!hasNonElementChildren(files));
}

void TestLog::elementsAndAttributesKeepTheirOrder()
{
    Log log;
    log.files.push_back(failedOutput());
    LogFiles second;
    second.filename = QStringLiteral("album.pdf");
    second.targetPath = QStringLiteral("/srv/out");
    second.status = QStringLiteral("Done");
    second.pages = 12;
    for (int i = 1; i <= 3; ++i) {
        LogFile page;
        page.sourceFile = QStringLiteral("/srv/in/multi.tif");
        page.sourcePageNo = i;
        page.targetPageNo = 10 + i;
        page.status = QStringLiteral("OK %1").arg(i);
        second.logFiles.push_back(page);
    }
    log.files.push_back(second);
    QVERIFY(log.save());

    const DocPtr doc = parseFile(log.logFilePath());
    QVERIFY(doc);
    xmlNode *const root = xmlDocGetRootElement(doc.get());
    QCOMPARE(attributeNames(root), (QStringList{"StartTime", "EndTime"}));
    const QList<xmlNode *> outputs = childElements(root);
    QCOMPARE(outputs.size(), 2);
    QCOMPARE(attribute(outputs[0], "FileName"), QStringLiteral("scan.pdf"));
    QCOMPARE(attribute(outputs[1], "FileName"), QStringLiteral("album.pdf"));
    QCOMPARE(attribute(outputs[1], "Pages"), QStringLiteral("12"));
    for (xmlNode *output : outputs) {
        QCOMPARE(fromXml(output->name), QStringLiteral("Files"));
        QCOMPARE(attributeNames(output),
                 (QStringList{"FileName", "TargetPath", "Status", "Pages"}));
        for (xmlNode *file : childElements(output)) {
            QCOMPARE(fromXml(file->name), QStringLiteral("File"));
            QCOMPARE(attributeNames(file),
                     (QStringList{"SourceImageFile", "SourcePageNo", "PageNo", "Status"}));
        }
    }
    const QList<xmlNode *> pages = childElements(outputs[1]);
    QCOMPARE(pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(attribute(pages[i], "SourcePageNo"), QString::number(i + 1));
        QCOMPARE(attribute(pages[i], "PageNo"), QString::number(11 + i));
        QCOMPARE(attribute(pages[i], "Status"), QStringLiteral("OK %1").arg(i + 1));
    }

    // Pretty-printed: the declaration, then exactly one element tag per line, nested by indent.
    const QList<QByteArray> lines = fixtures::readBytes(log.logFilePath()).trimmed().split('\n');
    QCOMPARE(lines.size(), 1 + 1 + 2 + 1 + 1 + 3 + 1 + 1);
    QVERIFY(lines[0].startsWith("<?xml "));
    QVERIFY(lines[1].startsWith("<Log "));
    QVERIFY(lines[2].startsWith("  <Files FileName=\"scan.pdf\""));
    QVERIFY(lines[3].startsWith("    <File SourceImageFile="));
    QCOMPARE(lines[4], QByteArray("  </Files>"));
    QVERIFY(lines[5].startsWith("  <Files FileName=\"album.pdf\""));
    for (int i = 6; i < 9; ++i)
        QVERIFY(lines[i].startsWith("    <File SourceImageFile="));
    QCOMPARE(lines[9], QByteArray("  </Files>"));
    QCOMPARE(lines[10], QByteArray("</Log>"));
}

void TestLog::valuesAreEscaped_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("ampersand") << QStringLiteral("Tom & Jerry") << QStringLiteral("Tom & Jerry");
    QTest::newRow("entity-like") << QStringLiteral("&amp;&lt;") << QStringLiteral("&amp;&lt;");
    QTest::newRow("quotes") << QStringLiteral("say \"cheese\"") << QStringLiteral("say \"cheese\"");
    QTest::newRow("apostrophe") << QStringLiteral("it's") << QStringLiteral("it's");
    QTest::newRow("angle brackets")
        << QStringLiteral("<b>bold</b>") << QStringLiteral("<b>bold</b>");
    QTest::newRow("all together") << QStringLiteral("/a&b/\"c\"/<d>/'e'")
                                  << QStringLiteral("/a&b/\"c\"/<d>/'e'");
    QTest::newRow("non-ASCII") << QStringLiteral("/Bilder/Größe €/日本語 😀.png")
                               << QStringLiteral("/Bilder/Größe €/日本語 😀.png");
    QTest::newRow("tab and newline")
        << QStringLiteral("a\tb\nc\rd") << QStringLiteral("a\tb\nc\rd");
    QTest::newRow("control characters")
        << (QStringLiteral("bell") + QChar(0x07) + QStringLiteral("esc") + QChar(0x1B))
        << (QStringLiteral("bell") + QChar(0xFFFD) + QStringLiteral("esc") + QChar(0xFFFD));
    QTest::newRow("embedded NUL") << (QStringLiteral("before") + QChar(0) + QStringLiteral("after"))
                                  << (QStringLiteral("before") + QChar(0xFFFD) +
                                      QStringLiteral("after"));
    QTest::newRow("unpaired surrogate")
        << (QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y"))
        << (QStringLiteral("x") + QChar(0xFFFD) + QStringLiteral("y"));
    QTest::newRow("non-characters") << (QStringLiteral("z") + QChar(0xFFFE) + QChar(0xFFFF))
                                    << (QStringLiteral("z") + QChar(0xFFFD) + QChar(0xFFFD));
}

void TestLog::valuesAreEscaped()
{
    QFETCH(QString, value);
    QFETCH(QString, readBack);

    Log log;
    LogFiles output;
    output.filename = value + QStringLiteral(".pdf");
    output.targetPath = QStringLiteral("/out/") + value;
    output.status = value;
    LogFile page;
    page.sourceFile = QStringLiteral("/in/") + value;
    page.sourcePageNo = 2;
    page.targetPageNo = 1;
    page.status = QStringLiteral("reason: ") + value;
    output.logFiles.push_back(page);
    log.files.push_back(output);
    QVERIFY(log.save());

    const DocPtr doc = parseFile(log.logFilePath());
    QVERIFY2(doc, "the log is not well-formed XML");
    xmlNode *const files = childElements(xmlDocGetRootElement(doc.get())).value(0);
    QVERIFY(files);
    QCOMPARE(attribute(files, "FileName"), readBack + QStringLiteral(".pdf"));
    QCOMPARE(attribute(files, "TargetPath"), QStringLiteral("/out/") + readBack);
    QCOMPARE(attribute(files, "Status"), readBack);
    xmlNode *const file = childElements(files).value(0);
    QVERIFY(file);
    QCOMPARE(attribute(file, "SourceImageFile"), QStringLiteral("/in/") + readBack);
    QCOMPARE(attribute(file, "Status"), QStringLiteral("reason: ") + readBack);
    QCOMPARE(attributeNames(file),
             (QStringList{"SourceImageFile", "SourcePageNo", "PageNo", "Status"}));
}

void TestLog::missingLogsFolderIsReportedNotFatal()
{
    QVERIFY(QDir(logsFolder()).removeRecursively());
    Log log;
    log.endTime = localTime(2026, 12, 7, 13, 5, 9);
    log.files.push_back(failedOutput());

    MessageCapture capture;
    QVERIFY(log.save());
    QCOMPARE(capture.messages().size(), 2);
    QCOMPARE(capture.messages().first(), QStringLiteral("Could not write document out..."));
    QVERIFY(capture.messages().last().startsWith(log.logFilePath() + QStringLiteral(": ")));
    QCOMPARE(log.logFilePath(), QDir(logsFolder()).filePath(QStringLiteral("071226130509.log")));
    QVERIFY(!QFileInfo::exists(log.logFilePath()));
    QVERIFY(!QFileInfo::exists(logsFolder()));
}

void TestLog::unwritableLogsFolderIsReportedNotFatal()
{
    // A plain file in the folder's place defeats writing even for root, unlike permissions.
    const QString logs = logsFolder();
    QVERIFY(QDir(logs).removeRecursively());
    QVERIFY(fixtures::writeBytes(logs, "not a folder"));
    Log log;
    log.endTime = localTime(2026, 12, 7, 13, 5, 9);

    MessageCapture capture;
    QVERIFY(log.save());
    QCOMPARE(capture.messages().size(), 2);
    QCOMPARE(capture.messages().first(), QStringLiteral("Could not write document out..."));
    QVERIFY(capture.messages().last().startsWith(log.logFilePath() + QStringLiteral(": ")));
    QCOMPARE(log.logFilePath(), QDir(logs).filePath(QStringLiteral("071226130509.log")));
    QVERIFY(!QFileInfo::exists(log.logFilePath()));
    QCOMPARE(fixtures::readBytes(logs), QByteArray("not a folder"));
}

// Several runs of a batch end in the same second: none replaces another's log, each takes the
// next free name in the same form. Unnamed and named temporary files take different roads to
// their names; both are tried.
void TestLog::runsInTheSameSecondKeepTheirOwnLogs()
{
    const QDateTime end = localTime(2026, 12, 7, 13, 5, 9);
    for (const bool unnamed : {true, false}) {
        QVERIFY(QDir(logsFolder()).removeRecursively() && QDir().mkpath(logsFolder()));
        AtomicFile::setUnnamedFilesEnabled(unnamed);
        QStringList paths;
        for (int run = 0; run < 3; ++run) {
            Log log;
            log.endTime = end;
            for (int output = 0; output < run; ++output)
                log.files.push_back(failedOutput());
            QVERIFY(log.save());
            QVERIFY(log.isWritten());
            paths << QFileInfo(log.logFilePath()).fileName();
            const DocPtr doc = parseFile(log.logFilePath());
            QVERIFY(doc);
            QCOMPARE(childElements(xmlDocGetRootElement(doc.get())).size(), run);
        }
        AtomicFile::setUnnamedFilesEnabled(true);
        const QStringList expected{QStringLiteral("071226130509.log"),
                                   QStringLiteral("071226130509-2.log"),
                                   QStringLiteral("071226130509-3.log")};
        QCOMPARE(paths, expected);
        QStringList onDisk = QDir(logsFolder()).entryList(QDir::Files | QDir::Hidden);
        onDisk.sort();
        QCOMPARE(onDisk, QStringList({expected[1], expected[2], expected[0]}));
    }
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
