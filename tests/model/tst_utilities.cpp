#include "model/utilities.h"
#include "platform/edition.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

using namespace folioset;

class TestUtilities : public QObject
{
    Q_OBJECT

    QString dataHome() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        setEdition(Edition::Folioset2);
        QDir(dataHome() + QStringLiteral("/Quillmark")).removeRecursively();
    }

    void supportFolderIsUnderTheDataHome()
    {
        QVERIFY(dataHome().contains(QStringLiteral("qttest")));
        QCOMPARE(Utilities::getAppPath(), dataHome() + QStringLiteral("/Quillmark/folioset2"));
        setEdition(Edition::Folioset1);
        QCOMPARE(Utilities::getAppPath(), dataHome() + QStringLiteral("/Quillmark/folioset1"));
        QVERIFY(!QFileInfo::exists(Utilities::getAppPath())); // named, not created
    }

    void firstStartCreatesBothLevelsThenLogs()
    {
        QString error;
        QVERIFY(Utilities::createApplicationUsersFolder(QString(), &error));
        QVERIFY(QFileInfo(Utilities::getAppPath()).isDir());
        QVERIFY(Utilities::createApplicationUsersFolder(QStringLiteral("Logs"), &error));
        QVERIFY(QFileInfo(Utilities::getAppPath() + QStringLiteral("/Logs")).isDir());
        QVERIFY(error.isEmpty());
    }

    void secondStartLeavesFoldersAlone()
    {
        QVERIFY(Utilities::createApplicationUsersFolder(QStringLiteral("Logs")));
        const QString marker = Utilities::getAppPath() + QStringLiteral("/Logs/keep.log");
        QFile file(marker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(Utilities::createApplicationUsersFolder(QString()));
        QVERIFY(Utilities::createApplicationUsersFolder(QStringLiteral("Logs")));
        QVERIFY(QFile::exists(marker));
    }

    void plainFileInTheWayFails()
    {
        QVERIFY(QDir().mkpath(dataHome() + QStringLiteral("/Quillmark")));
        QFile blocker(Utilities::getAppPath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(!Utilities::createApplicationUsersFolder(QString(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!Utilities::createApplicationUsersFolder(QStringLiteral("Logs")));
    }

    void titleWithSuffix()
    {
        const QString title = Utilities::getAppTitle();
        QVERIFY(!title.isEmpty());
        QCOMPARE(Utilities::getAppTitle(QString()), title);
        QCOMPARE(Utilities::getAppTitle(QStringLiteral(" End-User License Agreement")),
                 title + QStringLiteral(" End-User License Agreement"));
    }
};

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
