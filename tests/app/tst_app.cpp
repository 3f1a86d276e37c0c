#include "app/shellcontroller.h"
#include "app/startup.h"
#include "model/utilities.h"
#include "platform/workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace folioset;

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startUpCreatesFoldersAndTitlesTheWindow_data()
    {
        QTest::addColumn<int>("edition");
        QTest::addColumn<QString>("controller");
        QTest::newRow("folioset2")
            << int(Edition::Folioset2) << QStringLiteral("folioset::FoliosetAppDelegate");
        QTest::newRow("folioset1")
            << int(Edition::Folioset1) << QStringLiteral("folioset::ClassicAppDelegate");
    }
    void startUpCreatesFoldersAndTitlesTheWindow()
    {
        QFETCH(int, edition);
        QFETCH(QString, controller);
        prepareApplication(Edition(edition));
        QCOMPARE(QCoreApplication::applicationName(), editionName());
        QVERIFY(QFileInfo(Utilities::getAppPath() + QStringLiteral("/Logs")).isDir());
        RecordingWorkspace workspace;
        const std::unique_ptr<ShellController> shell = createController(workspace);
        QCOMPARE(QString::fromLatin1(shell->metaObject()->className()), controller);
        shell->awakeFromNib();
        QVERIFY(QTest::qWaitForWindowExposed(shell->window()));
        QCOMPARE(shell->window()->windowTitle(), Utilities::getAppTitle());
        QVERIFY(!shell->window()->windowTitle().isEmpty());
    }

    void commandLineNamesFilesAndFolders()
    {
        QTemporaryDir folder;
        const QString image = folder.filePath(QStringLiteral("scan.jpg"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QDir::setCurrent(folder.path());
        // Relative names are made whole; options and names of nothing are passed over.
        QCOMPARE(urlsFromArguments({QStringLiteral("scan.jpg"), QStringLiteral("--debug"),
                                    QStringLiteral("gone.png"), QString(), folder.path()}),
                 (QList<QUrl>{QUrl::fromLocalFile(image), QUrl::fromLocalFile(folder.path())}));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
