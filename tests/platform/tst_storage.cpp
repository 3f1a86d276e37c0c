// Writing files whole or not at all, and the preferences file built on it.

#include "platform/atomicfile.h"
#include "platform/inifile.h"
#include "platform/preferences.h"
#include "support/fixtures.h"
#include "support/smalldisk.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace folioset;

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A name of exactly `bytes` bytes in UTF-8, ending in ".pdf", built from `piece`.
QString nameOfBytes(int bytes, const QString &piece)
{
    QString name;
    while ((name + piece).toUtf8().size() + 4 <= bytes)
        name += piece;
    while (name.toUtf8().size() + 4 < bytes)
        name += QLatin1Char('x');
    return name + QStringLiteral(".pdf");
}

} // namespace

class TestStorage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { AtomicFile::setUnnamedFilesEnabled(true); }

    void namesAsLongAsTheSystemAllowsAreWritten_data();
    void namesAsLongAsTheSystemAllowsAreWritten();
    void theTargetChangesOnlyAtCommit_data();
    void theTargetChangesOnlyAtCommit();
    void modesFollowTheTargetOrStayPrivate();
    void namedTemporaryFilesCanBeRemovedFromASignalHandler();
    void aFullDiskFailsTheFileAndKeepsTheTarget_data();
    void aFullDiskFailsTheFileAndKeepsTheTarget();

    void iniValuesReadBackExactly_data();
    void iniValuesReadBackExactly();
    void iniTreesReadBackWhole_data();
    void iniTreesReadBackWhole();
    void iniFilesFoundByFuzzingReadBackWhole_data();
    void iniFilesFoundByFuzzingReadBackWhole();
    void iniReaderSurvivesDamagedText_data();
    void iniReaderSurvivesDamagedText();
    void preferencesArePrivateAndSurviveAFullDisk();
};

void TestStorage::namesAsLongAsTheSystemAllowsAreWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("replacing");
    QTest::addColumn<bool>("unnamed");
    for (const bool unnamed : {true, false}) {
        const char *how = unnamed ? "unnamed" : "named temporary";
        for (const bool replacing : {false, true}) {
            const char *what = replacing ? "replaced" : "new";
            QTest::addRow("250 bytes, %s, %s", what, how)
                << nameOfBytes(250, QStringLiteral("a")) << replacing << unnamed;
            QTest::addRow("255 bytes, %s, %s", what, how)
                << nameOfBytes(255, QStringLiteral("b")) << replacing << unnamed;
            QTest::addRow("255 bytes of UTF-8, %s, %s", what, how)
                << nameOfBytes(255, QStringLiteral("€é")) << replacing << unnamed;
        }
    }
}

void TestStorage::namesAsLongAsTheSystemAllowsAreWritten()
{
    QFETCH(QString, name);
    QFETCH(bool, replacing);
    QFETCH(bool, unnamed);
    QCOMPARE(name.toUtf8().size() >= 250, true);
    AtomicFile::setUnnamedFilesEnabled(unnamed);
    const QTemporaryDir folder;
    const QString target = folder.filePath(name);
    if (replacing)
        QVERIFY(fixtures::writeBytes(target, "old"));
    QString reason;
    QVERIFY2(AtomicFile::writeWhole(target, "new content", &reason), qPrintable(reason));
    QCOMPARE(fixtures::readBytes(target), QByteArray("new content"));
    QCOMPARE(entries(folder.path()), QStringList{name});
}

void TestStorage::theTargetChangesOnlyAtCommit_data()
{
    QTest::addColumn<bool>("unnamed");
    QTest::addColumn<bool>("commit");
    QTest::newRow("unnamed, committed") << true << true;
    QTest::newRow("unnamed, dropped") << true << false;
    QTest::newRow("named, committed") << false << true;
    QTest::newRow("named, dropped") << false << false;
}

void TestStorage::theTargetChangesOnlyAtCommit()
{
    QFETCH(bool, unnamed);
    QFETCH(bool, commit);
    AtomicFile::setUnnamedFilesEnabled(unnamed);
    const QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("out.pdf"));
    QVERIFY(fixtures::writeBytes(target, "before"));
    {
        QString reason;
        const auto file = AtomicFile::open(target, &reason);
        QVERIFY2(file, qPrintable(reason));
        // More than the buffer and more than one step of early writeback, in pieces of odd
        // sizes, so every path of write() is taken.
        QByteArray expected;
        for (int i = 0; i < 40; ++i) {
            const QByteArray piece(i % 2 ? 600000 + i : 7 + i, char('a' + i % 26));
            QVERIFY(file->write(piece));
            expected += piece;
        }
        QCOMPARE(file->size(), std::size_t(expected.size()));
        QCOMPARE(fixtures::readBytes(target), QByteArray("before"));
        QCOMPARE(entries(folder.path()).size(), unnamed ? 1 : 2);
        if (commit) {
            QVERIFY2(file->commit(&reason), qPrintable(reason));
            QCOMPARE(fixtures::readBytes(target), expected);
            QVERIFY(!file->commit(&reason)); // once only
        }
    }
    if (!commit)
        QCOMPARE(fixtures::readBytes(target), QByteArray("before"));
    QCOMPARE(entries(folder.path()), QStringList{QStringLiteral("out.pdf")});
}

void TestStorage::modesFollowTheTargetOrStayPrivate()
{
    const QTemporaryDir folder;
    const QString plain = folder.filePath(QStringLiteral("plain"));
    QVERIFY(fixtures::writeBytes(plain, "x"));
    const QString fresh = folder.filePath(QStringLiteral("fresh"));
    QVERIFY(AtomicFile::writeWhole(fresh, "x", nullptr));
    QCOMPARE(modeOf(fresh), modeOf(plain)); // what any new file in the folder gets

    const QString shared = folder.filePath(QStringLiteral("shared"));
    QVERIFY(fixtures::writeBytes(shared, "x"));
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0640) == 0);
    QVERIFY(AtomicFile::writeWhole(shared, "y", nullptr));
    QCOMPARE(modeOf(shared), mode_t(0640));

    for (const QString &target : {shared, folder.filePath(QStringLiteral("secret"))}) {
        QVERIFY(AtomicFile::writeWhole(target, "z", nullptr, AtomicFile::Access::Private));
        QCOMPARE(modeOf(target), mode_t(0600));
    }
}

void TestStorage::namedTemporaryFilesCanBeRemovedFromASignalHandler()
{
    AtomicFile::setUnnamedFilesEnabled(false);
    const QTemporaryDir folder;
    const auto file = AtomicFile::open(folder.filePath(QStringLiteral("out.pdf")), nullptr);
    QVERIFY(file);
    QVERIFY(file->write("data"));
    const QStringList during = entries(folder.path());
    QCOMPARE(during.size(), 1);
    QVERIFY(during.first().startsWith(QStringLiteral(".folioset-")));
    removePendingTemporaryFiles();
    QCOMPARE(entries(folder.path()), QStringList());
    QString reason;
    QVERIFY(!file->commit(&reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(entries(folder.path()), QStringList());
}

void TestStorage::aFullDiskFailsTheFileAndKeepsTheTarget_data()
{
    QTest::addColumn<bool>("unnamed");
    QTest::newRow("unnamed") << true;
    QTest::newRow("named temporary") << false;
}

void TestStorage::aFullDiskFailsTheFileAndKeepsTheTarget()
{
    QFETCH(bool, unnamed);
    AtomicFile::setUnnamedFilesEnabled(unnamed);
    const fixtures::SmallDisk disk(256 * 1024);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.refusal()));
    const QString target = disk.path() + QStringLiteral("/out.pdf");
    const QByteArray before(100000, 'o');
    QVERIFY(fixtures::writeBytes(target, before));
    const qint64 freeBefore = disk.freeBytes();

    QString reason;
    const auto file = AtomicFile::open(target, &reason);
    QVERIFY2(file, qPrintable(reason));
    bool accepted = true;
    for (int i = 0; i < 40 && accepted; ++i)
        accepted = file->write(QByteArray(64 * 1024, 'n'));
    QVERIFY(!accepted);
    QVERIFY(file->failed());
    QVERIFY(!file->commit(&reason));
    QVERIFY2(reason.contains(QStringLiteral("No space left on device")), qPrintable(reason));

    QCOMPARE(fixtures::readBytes(target), before);
    QCOMPARE(entries(disk.path()), QStringList{QStringLiteral("out.pdf")});
    QCOMPARE(disk.freeBytes(), freeBefore); // the space taken is given back
}

void TestStorage::iniValuesReadBackExactly_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QVariant &value, const QString &expected) {
        QTest::newRow(name) << value << expected;
    };
    const auto same = [&](const char *name, const QString &text) { row(name, text, text); };
    same("plain", QStringLiteral("plain"));
    same("empty", QString());
    same("comma", QStringLiteral("x, y"));
    same("semicolon and equals", QStringLiteral("a;b=c"));
    same("quotes and backslashes", QStringLiteral("say \"hi\" C:\\dir\\"));
    same("edge blanks", QStringLiteral("  padded  "));
    same("edge tab and line feed", QStringLiteral("\tpadded\n"));
    same("leading at", QStringLiteral("@Invalid()"));
    same("control characters", QStringLiteral("tab\there\nnew\rline\x01"));
    same("control before hex digit", QString(QChar(u'\x02')) + QStringLiteral("abc"));
    same("nul", QString(QChar(u'\0')) + QStringLiteral("7"));
    same("unicode", QStringLiteral("Grüße € 日本 😀"));
    same("brackets", QStringLiteral("[SETTINGS] # ;"));
    row("true", true, QStringLiteral("true"));
    row("number", -42, QStringLiteral("-42"));
    row("date", QDateTime(QDate(2026, 12, 8), QTime(10, 5, 9, 123), Qt::UTC),
        QStringLiteral("2026-12-08T10:05:09.123Z"));
}

void TestStorage::iniValuesReadBackExactly()
{
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    const QString key = QStringLiteral("key with spaces and ünïcode");
    const QVariantMap root{{QStringLiteral("SETTINGS"),
                            QVariantMap{{QStringLiteral("inner"), QVariantMap{{key, value}}}}},
                           {QStringLiteral("top"), value}};
    const QVariantMap back = parseIni(iniText(root));
    const auto nested = [&](const QVariantMap &map) {
        return map.value(QStringLiteral("SETTINGS"))
            .toMap()
            .value(QStringLiteral("inner"))
            .toMap()
            .value(key);
    };
    QCOMPARE(nested(back).toString(), expected);
    QCOMPARE(back.value(QStringLiteral("top")).toString(), expected);

    // Interchangeable with QSettings, both ways: stored files of either kind keep working.
    const QTemporaryDir folder;
    const QString ours = folder.filePath(QStringLiteral("ours.ini"));
    QVERIFY(fixtures::writeBytes(ours, iniText(root)));
    QSettings qtReads(ours, QSettings::IniFormat);
    QCOMPARE(qtReads.value(QStringLiteral("SETTINGS/inner/") + key).toString(), expected);
    const QString theirs = folder.filePath(QStringLiteral("theirs.ini"));
    {
        QSettings qtWrites(theirs, QSettings::IniFormat);
        qtWrites.setValue(QStringLiteral("SETTINGS/inner/") + key, expected);
    }
    QCOMPARE(nested(parseIni(fixtures::readBytes(theirs))).toString(), expected);
}

// Whole trees, as a stored file read and saved again gives them to the writer.
void TestStorage::iniTreesReadBackWhole_data()
{
    QTest::addColumn<QVariantMap>("root");
    const QVariantMap inner{{QStringLiteral("a"), QStringLiteral("x")}};
    QTest::newRow("no value") << QVariantMap{{QStringLiteral("gone"), QVariant()}};
    QTest::newRow("group named general, any case")
        << QVariantMap{{QStringLiteral("general"), inner}, {QStringLiteral("GENERAL"), inner}};
    QTest::newRow("backslash ending a value, another line after it")
        << QVariantMap{{QStringLiteral("a"), QStringLiteral("ends in \\")},
                       {QStringLiteral("b"), QStringLiteral("next")}};
    QTest::newRow("list with no value in it")
        << QVariantMap{{QStringLiteral("list"), QVariantList{QStringLiteral("a"), QVariant()}}};
    QTest::newRow("list of texts")
        << QVariantMap{{QStringLiteral("list"), QStringList{QStringLiteral("a"), QString()}}};
}

void TestStorage::iniTreesReadBackWhole()
{
    QFETCH(QVariantMap, root);
    QCOMPARE(parseIni(iniText(root)), root);
}

// Texts that once came back changed under the fuzzer: what the reader makes of them, the writer
// gives back.
void TestStorage::iniFilesFoundByFuzzingReadBackWhole_data()
{
    QTest::addColumn<QString>("path");
    const QDir folder(QStringLiteral(FOLIOSET_TEST_DATA "/fuzz"));
    for (const QString &name : folder.entryList({QStringLiteral("*.ini")}, QDir::Files))
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
}

void TestStorage::iniFilesFoundByFuzzingReadBackWhole()
{
    QFETCH(QString, path);
    const QVariantMap root = parseIni(fixtures::readBytes(path));
    QCOMPARE(parseIni(iniText(root)), root);
}

void TestStorage::iniReaderSurvivesDamagedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("kept"); // SETTINGS/a after reading
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe[\x01=\\", 7) << QString();
    QTest::newRow("unterminated section and quote")
        << QByteArray("[SETTINGS\na=\"open\n=novalue\nnoequals\n") << QStringLiteral("open");
    QTest::newRow("bad escapes") << QByteArray("[SETTINGS]\na=x\\\nb=%G1\\x\n")
                                 << QStringLiteral("xb=%G1");
    QTest::newRow("byte order mark and CR LF")
        << QByteArray("\xEF\xBB\xBF[SETTINGS]\r\na = spaced \r\n") << QStringLiteral("spaced");
    QTest::newRow("invalid UTF-8")
        << QByteArray("[SETTINGS]\na=\xC3\x28\n") << QString::fromUtf8("\xC3\x28");
}

void TestStorage::iniReaderSurvivesDamagedText()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, kept);
    const QVariantMap root = parseIni(text);
    QCOMPARE(root.value(QStringLiteral("SETTINGS")).toMap().value(QStringLiteral("a")).toString(),
             kept);
}

void TestStorage::preferencesArePrivateAndSurviveAFullDisk()
{
    const fixtures::SmallDisk disk(512 * 1024);
    if (!disk.mounted())
        QSKIP(qPrintable(disk.refusal()));
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(disk.path()));
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });

    Preferences preferences;
    QVERIFY(preferences.fileName().startsWith(disk.path()));
    const QVariantMap settings{{QStringLiteral("title"), QStringLiteral("kept")},
                               {QStringLiteral("pdfOpenPassword"), QStringLiteral("secret")}};
    QVERIFY(preferences.setValue(QStringLiteral("SETTINGS"), settings));
    QCOMPARE(modeOf(preferences.fileName()), mode_t(0600));
    QCOMPARE(modeOf(QFileInfo(preferences.fileName()).absolutePath()), mode_t(0700));
    const QByteArray stored = fixtures::readBytes(preferences.fileName());

    QVERIFY(disk.fillLeaving(0));
    QString reason;
    const QVariantMap bigger{{QStringLiteral("title"), QString(8192, QLatin1Char('n'))}};
    QVERIFY(!preferences.setValue(QStringLiteral("SETTINGS"), bigger, &reason));
    QVERIFY2(reason.contains(QStringLiteral("No space left on device")), qPrintable(reason));
    QVERIFY(!preferences.sync());
    QCOMPARE(fixtures::readBytes(preferences.fileName()), stored);
    QCOMPARE(Preferences().value(QStringLiteral("SETTINGS")).toMap(), settings);
    QCOMPARE(entries(QFileInfo(preferences.fileName()).absolutePath()),
             QStringList{QFileInfo(preferences.fileName()).fileName()});
}

QTEST_MAIN(TestStorage)
#include "tst_storage.moc"
