#include "app/startup.h"
#include "model/utilities.h"

#include <QFileInfo>
#include <QStandardPaths>
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
        QTest::newRow("folioset2") << int(Edition::Folioset2);
        QTest::newRow("folioset1") << int(Edition::Folioset1);
    }
    void startUpCreatesFoldersAndTitlesTheWindow()
    {
        QFETCH(int, edition);
        prepareApplication(Edition(edition));
        QCOMPARE(QCoreApplication::applicationName(), editionName());
        QVERIFY(QFileInfo(Utilities::getAppPath() + QStringLiteral("/Logs")).isDir());
        const auto window = createMainWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->windowTitle(), Utilities::getAppTitle());
        QVERIFY(!window->windowTitle().isEmpty());
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
