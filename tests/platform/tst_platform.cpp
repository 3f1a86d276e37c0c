#include "platform/bundleinfo.h"
#include "platform/datetext.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <unicode/locid.h>

using namespace folioset;

namespace {
QStringList capturedLines;
void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLines << message;
}
} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale("en_US"), status);
        QVERIFY(U_SUCCESS(status));
    }

    void cleanup() { setEdition(Edition::Folioset2); }

    void unicodeDatePatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("table") << "dd-MMM-yyyy h:mm a"
                               << "07-Dec-2026 1:05 PM";
        QTest::newRow("log") << "MM/dd/yyyy hh:mm:ss a"
                             << "12/07/2026 01:05:09 PM";
        QTest::newRow("log name") << "ddMMyyHHmmss"
                                  << "071226130509";
    }
    void unicodeDatePatterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        const QDateTime when(QDate(2026, 12, 7), QTime(13, 5, 9), Qt::LocalTime);
        QCOMPARE(formatDate(when, pattern), text);
        QCOMPARE(formatDate(QDateTime(), pattern), QString());
    }

    void morningUsesAm()
    {
        const QDateTime when(QDate(2026, 1, 2), QTime(0, 7, 0), Qt::LocalTime);
        QCOMPARE(formatDate(when, QStringLiteral("dd-MMM-yyyy h:mm a")),
                 QStringLiteral("02-Jan-2026 12:07 AM"));
    }

    void preferencesKeepNestedMapsAsGroups()
    {
        Preferences preferences;
        QVERIFY(preferences.fileName().contains(QStringLiteral("qttest")));
        const QVariantMap inner{{QStringLiteral("b"), 2},
                                {QStringLiteral("text"), QStringLiteral("x, y")}};
        preferences.setValue(QStringLiteral("TOP"), QVariantMap{{QStringLiteral("a"), 1},
                                                                {QStringLiteral("inner"), inner}});
        QVERIFY(preferences.sync());
        const QVariantMap back = Preferences().value(QStringLiteral("TOP")).toMap();
        QCOMPARE(back.value(QStringLiteral("a")).toInt(), 1);
        const QVariantMap innerBack = back.value(QStringLiteral("inner")).toMap();
        QCOMPARE(innerBack.value(QStringLiteral("b")).toInt(), 2);
        QCOMPARE(innerBack.value(QStringLiteral("text")).toString(), QStringLiteral("x, y"));

        // Replacing a map drops the keys it no longer has.
        preferences.setValue(QStringLiteral("TOP"), QVariantMap{{QStringLiteral("a"), 3}});
        const QVariantMap replaced = Preferences().value(QStringLiteral("TOP")).toMap();
        QCOMPARE(replaced.keys(), QStringList{QStringLiteral("a")});

        preferences.setValue(QStringLiteral("TOP"), QStringLiteral("plain"));
        QCOMPARE(Preferences().value(QStringLiteral("TOP")).toString(), QStringLiteral("plain"));
        QVERIFY(Preferences().contains(QStringLiteral("TOP")));
        preferences.remove(QStringLiteral("TOP"));
        QVERIFY(!Preferences().contains(QStringLiteral("TOP")));
    }

    void editionsHaveTheirOwnStoreAndInformation()
    {
        const QString second = Preferences().fileName();
        QCOMPARE(editionName(), QStringLiteral("folioset2"));
        QCOMPARE(infoEntry(QStringLiteral("CFBundleName")), QStringLiteral("folioset2"));
        const QString title = infoEntry(QStringLiteral("CFBundleDisplayName"));
        setEdition(Edition::Folioset1);
        QVERIFY(isFirstGeneration());
        QVERIFY(Preferences().fileName() != second);
        QVERIFY(Preferences().fileName().endsWith(QStringLiteral("Quillmark/folioset1.conf")));
        QCOMPARE(infoEntry(QStringLiteral("CFBundleName")), QStringLiteral("folioset1"));
        QVERIFY(infoEntry(QStringLiteral("CFBundleDisplayName")) != title);
    }

    void informationEntries()
    {
        QVERIFY(!infoEntry(QStringLiteral("CFBundleDisplayName")).isEmpty());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                    .match(infoEntry(QStringLiteral("CFBundleVersion")))
                    .hasMatch());
        QVERIFY(infoEntry(QStringLiteral("NSHumanReadableCopyright"))
                    .contains(QStringLiteral("Quillmark")));
        QVERIFY(!infoEntry(QStringLiteral("CFBundleIconFile")).isEmpty());
        QCOMPARE(infoEntry(QStringLiteral("NoSuchKey")), QString());
    }

    void errorLinesHaveTheHouseFormat()
    {
        capturedLines.clear();
        const auto previous = qInstallMessageHandler(capture);
        logError(QStringLiteral("Settings=>setData:"), QStringLiteral("bad value"));
        systemLog(QStringLiteral("Could not write document out..."));
        qInstallMessageHandler(previous);
        QCOMPARE(capturedLines,
                 (QStringList{QStringLiteral("Error in (Settings=>setData:) : bad value"),
                              QStringLiteral("Could not write document out...")}));
    }

    void recordingWorkspaceRecordsInsteadOfOpening()
    {
        RecordingWorkspace workspace;
        const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/tmp/out"));
        QVERIFY(workspace.openUrl(folder));
        QVERIFY(workspace.revealFiles({folder}));
        QCOMPARE(workspace.calls().size(), 2);
        QCOMPARE(workspace.calls().at(0).action, QStringLiteral("open"));
        QCOMPARE(workspace.calls().at(0).urls, QList<QUrl>{folder});
        QCOMPARE(workspace.calls().at(1).action, QStringLiteral("reveal"));
        workspace.clear();
        QVERIFY(workspace.calls().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
