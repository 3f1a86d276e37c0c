// The usage record with its review prompt, and the recent folders, across starts of the
// folioset2 window.

#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/outputplan.h"
#include "model/utilities.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "support/fixtures.h"
#include "usage/usagesreportingwindowcontroller.h"
#include "windows/reviewwindowcontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace folioset;

namespace {

QString usageFile()
{
    return UsagesReportingWindowController::filePath();
}

QString fileText()
{
    return QString::fromUtf8(fixtures::readBytes(usageFile()));
}

QString element(const QString &text, const QString &name)
{
    const QRegularExpression pattern(QStringLiteral("<%1>([^<]*)</%1>").arg(name));
    return pattern.match(text).captured(1);
}

} // namespace

class TestUsageRecent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_controller.reset(); }

    void firstLaunchWritesTheRecord();
    void reviewIsAskedAtTheLaunchAfterTheTarget();
    void neverAskIsKeptAcrossStarts();
    void damagedRecordsKeepWhatCanBeRead_data();
    void damagedRecordsKeepWhatCanBeRead();
    void closingAConversionCountsIt();

    void recentFoldersAreOrderedAndExact();
    void pickingAFolderReplacesTheList();
    void pickingADeletedFolderAsksAgain();
    void recentFoldersSurviveAndDamagedEntriesAreDropped();

private:
    void start(bool launched = true);
    bool waitForLoad();
    QComboBox *popup() const
    {
        return m_controller->window()->findChild<QComboBox *>(QStringLiteral("recentFoldersPopup"));
    }
    QStringList popupItems() const;
    QStringList listNames() const;
    int mode(int index) const { return index; }

    QTemporaryDir m_tree;
    RecordingWorkspace m_workspace;
    std::unique_ptr<FoliosetAppDelegate> m_controller;
};

void TestUsageRecent::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("folioset2"));
    const QString jpeg = m_tree.filePath(QStringLiteral("seed.jpg"));
    QVERIFY(fixtures::writeJpeg(jpeg, QSize(16, 12)));
    for (const char *name : {"one/a.jpg", "one/b.jpg", "two/c.jpg", "three/d.jpg"}) {
        QDir().mkpath(QFileInfo(m_tree.filePath(QLatin1String(name))).absolutePath());
        QVERIFY(QFile::copy(jpeg, m_tree.filePath(QLatin1String(name))));
    }
}

void TestUsageRecent::init()
{
    QFile::remove(usageFile());
    QFile::remove(Preferences().fileName());
    m_workspace.clear();
}

void TestUsageRecent::start(bool launched)
{
    m_controller.reset();
    m_controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
    if (launched)
        m_controller->applicationDidFinishLaunching();
}

bool TestUsageRecent::waitForLoad()
{
    return QTest::qWaitFor(
        [this] { return !m_controller->loader().isRunning() && !m_controller->isProcessing(); },
        30000);
}

QStringList TestUsageRecent::popupItems() const
{
    QStringList items;
    for (int i = 0; i < popup()->count(); ++i)
        items << popup()->itemText(i);
    return items;
}

QStringList TestUsageRecent::listNames() const
{
    QStringList names;
    for (const FileItemPtr &item : m_controller->files().files())
        names << item->name();
    return names;
}

void TestUsageRecent::firstLaunchWritesTheRecord()
{
    start();
    const QString text = fileText();
    QVERIFY(text.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                          "<!-- folioset2 2.0.0 Usages Reporting File -->")));
    QVERIFY(text.contains(QLatin1String(
        "<usagesreporting xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><productname>folioset2</productname>"
        "<productversion>2.0.0</productversion><builddate>")));
    QStringList order;
    static const QRegularExpression tag(QStringLiteral("<([A-Za-z]+)>"));
    for (auto it = tag.globalMatch(text); it.hasNext();)
        order << it.next().captured(1);
    QCOMPARE(order.mid(0, 11),
             (QStringList{"productname", "productversion", "builddate", "hardwareUUID", "enabled",
                          "lastreportsenton", "lastReviewAskDate", "neverAskForReview",
                          "nextReviewTargetValue", "features", "featureusages"}));
    QCOMPARE(element(text, QStringLiteral("nextReviewTargetValue")), QStringLiteral("500"));
    QCOMPARE(element(text, QStringLiteral("enabled")), QStringLiteral("false"));
    QCOMPARE(text.count(QLatin1String("<featureusages><name>")), 3);
    for (int mode = 0; mode <= 2; ++mode)
        QVERIFY(text.contains(QStringLiteral("<name>%1</name><usagescount>0</usagescount>"
                                             "<filescount>0</filescount>")
                                  .arg(combineModeName(mode))));
    static const QRegularExpression iso(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}(Z|[+-]\\d\\d:\\d\\d)$"));
    for (const char *date : {"builddate", "lastreportsenton", "lastReviewAskDate"})
        QVERIFY2(iso.match(element(text, QLatin1String(date))).hasMatch(),
                 qPrintable(element(text, QLatin1String(date))));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}$"))
                .match(element(text, QStringLiteral("hardwareUUID")))
                .hasMatch());
    QVERIFY(!m_controller->usagesReport()->reviewWindow());
}

void TestUsageRecent::reviewIsAskedAtTheLaunchAfterTheTarget()
{
    start();
    m_controller->usagesReport()->updateUsages(combineModeName(0), 499);
    start();
    QVERIFY(!m_controller->usagesReport()->reviewWindow()); // 499: not yet
    m_controller->usagesReport()->updateUsages(combineModeName(1), 121);
    QVERIFY(!m_controller->usagesReport()->reviewWindow()); // reached, but asked only at a launch

    start();
    ReviewWindowController *prompt = m_controller->usagesReport()->reviewWindow();
    QVERIFY(prompt && prompt->isVisible());
    QCOMPARE(prompt->reviewURL(), QStringLiteral("https://quillmark.example/review.php?pid=2006"));
    prompt->reviewCancelAction();
    QCOMPARE(element(fileText(), QStringLiteral("nextReviewTargetValue")),
             QStringLiteral("1120")); // 620 converted + 500
    start();
    QVERIFY(!m_controller->usagesReport()->reviewWindow());
}

void TestUsageRecent::neverAskIsKeptAcrossStarts()
{
    start();
    m_controller->usagesReport()->updateUsages(combineModeName(2), 700);
    start();
    ReviewWindowController *prompt = m_controller->usagesReport()->reviewWindow();
    QVERIFY(prompt);
    prompt->findChild<QCheckBox *>(QStringLiteral("neverAskmeAgainButton"))->setChecked(true);
    prompt->reviewOKAction();
    QCOMPARE(m_workspace.calls().last().urls.first().toString(),
             QStringLiteral("https://quillmark.example/review.php?pid=2006"));
    QCOMPARE(element(fileText(), QStringLiteral("neverAskForReview")), QStringLiteral("true"));
    m_controller->usagesReport()->updateUsages(combineModeName(2), 5000);
    start();
    QVERIFY(!m_controller->usagesReport()->reviewWindow());
}

void TestUsageRecent::damagedRecordsKeepWhatCanBeRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("version");  // kept in the record
    QTest::addColumn<QStringList>("kept"); // features as "name usages files"
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><usagesreporting>"
                            "<productname>folioset2</productname>"
                            "<productversion>1.0.0</productversion><enabled>TRUE</enabled>"
                            "<nextReviewTargetValue>900</nextReviewTargetValue><features>";
    const QByteArray one = "<featureusages><name>Single image to single PDF</name>"
                           "<usagescount>4</usagescount><filescount>40</filescount>"
                           "</featureusages>";
    const QByteArray odd = "<featureusages><name>Old feature</name><usagescount>2"
                           "</usagescount><filescount>7</filescount></featureusages>";
    const QString single = combineModeName(0) + QStringLiteral(" 4 40");
    QTest::newRow("older version, unknown feature")
        << head + one + odd + "</features></usagesreporting>"
        << "1.0.0" << QStringList{single, "Old feature 2 7"};
    QTest::newRow("newer version with more elements")
        << head + "<cloud>yes</cloud>" + one +
               "<featureusages><name>x</name><future/>"
               "</featureusages></features><extra/></usagesreporting>"
        << "1.0.0" << QStringList{single, "x 0 0"};
    // What the repair recovers of a broken entry is kept too: its name at least.
    QTest::newRow("truncated") << head + one + odd.left(40) << "1.0.0"
                               << QStringList{single, "Old feature 0 0"};
    QTest::newRow("malformed") << head + one + "<featureusages><name>a<b</name>"
                               << "1.0.0" << QStringList{single, "a 0 0"};
    QTest::newRow("empty") << QByteArray() << "2.0.0" << QStringList{};
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01<<>>\x89PNG", 12) << "2.0.0"
                            << QStringList{};
}

void TestUsageRecent::damagedRecordsKeepWhatCanBeRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, version);
    QFETCH(QStringList, kept);
    QDir().mkpath(QFileInfo(usageFile()).absolutePath());
    QVERIFY(fixtures::writeBytes(usageFile(), content));
    start();
    UsagesReportingWindowController *report = m_controller->usagesReport();
    QCOMPARE(report->version(), version);
    QVERIFY(!report->isEnabled()); // "TRUE" is not "true"
    QStringList features;
    for (const FeatureUsages &feature : report->features())
        features << QStringLiteral("%1 %2 %3")
                        .arg(feature.name)
                        .arg(feature.usagesCount)
                        .arg(feature.filesCount);
    // A record that could not be read at all starts over with the three modes.
    if (kept.isEmpty())
        for (int mode = 0; mode <= 2; ++mode)
            kept << combineModeName(mode) + QStringLiteral(" 0 0");
    QCOMPARE(features, kept);
    report->save();
    const QString written = fileText();
    QCOMPARE(element(written, QStringLiteral("productversion")), version);
    for (const QString &feature : std::as_const(kept))
        QVERIFY(
            written.contains(QStringLiteral("<name>%1</name>").arg(feature.section(' ', 0, -3))));
}

void TestUsageRecent::closingAConversionCountsIt()
{
    QVariantMap settings{{QStringLiteral("outputFolderPath"), m_tree.filePath("out")},
                         {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                         {QStringLiteral("isOpenFolderAfterConversion"), false}};
    QDir().mkpath(m_tree.filePath("out"));
    QVERIFY(Preferences().setValue(QStringLiteral("SETTINGS"), settings));
    start();
    m_controller->files().append(
        {FileItem::initWithURL(QUrl::fromLocalFile(m_tree.filePath("one/a.jpg"))),
         FileItem::initWithURL(QUrl::fromLocalFile(m_tree.filePath("one/b.jpg")))});
    m_controller->resetView(true);
    m_controller->convertAction();
    QVERIFY(QTest::qWaitFor([this] { return m_controller->process()->isCompleted(); }, 30000));
    m_controller->closeProcessAction();
    const FeatureUsages first = m_controller->usagesReport()->features().first();
    QCOMPARE(first.name, combineModeName(0));
    QCOMPARE(first.usagesCount, 1);
    QCOMPARE(first.filesCount, 2);
    QVERIFY(fileText().contains(
        QLatin1String("<usagescount>1</usagescount><filescount>2</filescount>")));
}

void TestUsageRecent::recentFoldersAreOrderedAndExact()
{
    start();
    QCOMPARE(popupItems(), QStringList{QStringLiteral("Recent Folders...")});
    const QString one = m_tree.filePath("one");
    const QString two = m_tree.filePath("two");
    m_controller->dropURLs({QUrl::fromLocalFile(one), QUrl::fromLocalFile(two),
                            QUrl::fromLocalFile(m_tree.filePath("one/a.jpg"))});
    QVERIFY(waitForLoad());
    // Dropped together, the later one is newer; plain files are not recorded.
    QCOMPARE(popupItems(), (QStringList{"Recent Folders...", two, one}));
    m_controller->addRecentItem({one, one + QLatin1Char('/')});
    QCOMPARE(popupItems(), (QStringList{"Recent Folders...", one + "/", two, one}));
    QCOMPARE(popup()->itemData(3, Qt::ToolTipRole).toString().isEmpty(), false);
    popup()->activated(0); // the title item does nothing
    QCOMPARE(listNames().size(), 3);
}

void TestUsageRecent::pickingAFolderReplacesTheList()
{
    start();
    m_controller->addRecentItem({m_tree.filePath("one"), m_tree.filePath("two")});
    m_controller->dropURLs({QUrl::fromLocalFile(m_tree.filePath("three"))});
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), QStringList{"d.jpg"});
    const int index = popup()->findText(m_tree.filePath("one"));
    popup()->setCurrentIndex(index);
    emit popup()->activated(index);
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(popupItems().at(1), m_tree.filePath("one")); // moved to the top
    QCOMPARE(popup()->currentText(), m_tree.filePath("one"));
}

void TestUsageRecent::pickingADeletedFolderAsksAgain()
{
    const QString gone = m_tree.filePath("gone/deeper");
    start();
    m_controller->addRecentItem({gone, m_tree.filePath("two")});
    const int index = popup()->findText(gone);
    emit popup()->activated(index);
    QFileDialog *panel = nullptr;
    QTRY_VERIFY((panel = m_controller->window()->findChild<QFileDialog *>("recentFolderPanel")));
    QCOMPARE(panel->windowTitle(), QStringLiteral("Choose folder(s):"));
    QCOMPARE(QDir(panel->directory()).absolutePath(), m_tree.path()); // the nearest that exists
    const QString other = m_tree.filePath("three");
    panel->setDirectory(other);
    panel->selectFile(other);
    static_cast<QDialog *>(panel)->accept();
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), QStringList{"d.jpg"});
    QCOMPARE(popupItems().mid(1, 2), (QStringList{other, gone}));
}

void TestUsageRecent::recentFoldersSurviveAndDamagedEntriesAreDropped()
{
    // As a hand-edited preferences file might hold them.
    const QString one = m_tree.filePath("one");
    const QString two = m_tree.filePath("two");
    const QString ini = QStringLiteral("[RECENTITEMS]\n1\\itemPath=%1\n"
                                       "1\\lastUsedDate=2026-01-02T03:04:05.000Z\n"
                                       "2\\itemPath=%2\n2\\lastUsedDate=not a date\n"
                                       "3\\lastUsedDate=2026-01-01T00:00:00.000Z\n"
                                       "4=not an entry\n5\\itemPath=42\n"
                                       "5\\lastUsedDate=2025-01-01T00:00:00.000Z\nsize=5\n")
                            .arg(one, two);
    QDir().mkpath(QFileInfo(Preferences().fileName()).absolutePath());
    QVERIFY(fixtures::writeBytes(Preferences().fileName(), ini.toUtf8()));
    start();
    // The entry without a readable date counts as used now, so it comes first.
    QCOMPARE(popupItems(), (QStringList{"Recent Folders...", two, one, QStringLiteral("42")}));
    m_controller->applicationShouldTerminate();
    start();
    QCOMPARE(popupItems().size(), 4);
    QCOMPARE(m_controller->recentItems().at(1).lastUsedDate(),
             QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
}

QTEST_MAIN(TestUsageRecent)
#include "tst_usagerecent.moc"
