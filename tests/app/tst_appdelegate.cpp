// The folioset2 window driven as a user drives it: controls found by their element names,
// clicked and typed into, conversions run to the end on real files.

#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "model/utilities.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "support/smalldisk.h"
#include "widgets/numberfield.h"
#include "widgets/segmentedcontrol.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace folioset;

class TestAppDelegate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithEveryControlInItsPlace();
    void modeControlsFollowTheMode_data();
    void modeControlsFollowTheMode();
    void numericFieldsAreSanitisedAsTyped_data();
    void numericFieldsAreSanitisedAsTyped();
    void totalsCountWhatAConversionWouldCreate_data();
    void totalsCountWhatAConversionWouldCreate();
    void includeSubfoldersToggleIsStored();
    void everyControlHasAName();
    void menusCarryTheNameAndTheAgreement();
    void helpAndReopenReachTheDesktop();
    void startsFromDamagedPreferences_data();
    void startsFromDamagedPreferences();

    void convertRefusesUnusableNames_data();
    void convertRefusesUnusableNames();
    void convertWithAUsableFolderRunsAtOnce();
    void convertAsksForAFolderWhenTheStoredOneIsUnusable_data();
    void convertAsksForAFolderWhenTheStoredOneIsUnusable();
    void aReadOnlyChosenFolderStartsNoRun();
    void cancelStopsTheRunAfterTheCurrentImage();
    void theSheetTellsWhatCouldNotBeDone_data();
    void theSheetTellsWhatCouldNotBeDone();
    void closingTheSheetClearsProcessedFilesOnlyWhenAsked_data();
    void closingTheSheetClearsProcessedFilesOnlyWhenAsked();
    void pdfSettingsApplyOrCancelTheWorkingCopy();
    void encryptionChoiceReachesThePdf_data();
    void encryptionChoiceReachesThePdf();
    void outputSettingsChooseAndKeepTheFolder();
    void quittingDuringARunKeepsNoPartialFile();

private:
    template <typename T> T *element(const char *name) const
    {
        return testing::element<T>(*m_controller, name);
    }
    void start();
    void storeSettings(const QVariantMap &values);
    // `count` small JPEGs, or with `slow` large BMPs, which must be decoded and compressed.
    void addFiles(int count, const QString &prefix = QStringLiteral("p"), bool slow = false);
    bool waitForRunToEnd(int milliseconds = 60000);
    QFileDialog *waitForChooser();

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<FoliosetAppDelegate> m_controller;
};

void TestAppDelegate::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("folioset2"));
}

void TestAppDelegate::init()
{
    QFile::remove(Preferences().fileName());
    m_out = std::make_unique<QTemporaryDir>();
    m_workspace.clear();
}

void TestAppDelegate::cleanup()
{
    m_controller.reset();
    setEdition(Edition::Folioset2);
}

void TestAppDelegate::start()
{
    m_controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

void TestAppDelegate::storeSettings(const QVariantMap &values)
{
    QVERIFY(testing::storeSettings(values));
}

void TestAppDelegate::addFiles(int count, const QString &prefix, bool slow)
{
    QList<FileItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const QString path = m_inputs.filePath(
            QStringLiteral("%1%2.%3").arg(prefix).arg(i).arg(slow ? "bmp" : "jpg"));
        if (slow && !QFileInfo::exists(path))
            QVERIFY(fixtures::writeImage(path, fixtures::patternImage({1600, 1200}, i + 1), "bmp"));
        else if (!QFileInfo::exists(path))
            QVERIFY(fixtures::writeJpeg(path, QSize(64, 48), i + 1));
        items << FileItem::initWithURL(QUrl::fromLocalFile(path));
    }
    m_controller->files().append(items);
}

bool TestAppDelegate::waitForRunToEnd(int milliseconds)
{
    return testing::waitForRunToEnd(*m_controller, milliseconds);
}

QFileDialog *TestAppDelegate::waitForChooser()
{
    QFileDialog *chooser = nullptr;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        chooser =
            m_controller->window()->findChild<QFileDialog *>(QStringLiteral("outputFolderChooser"));
        if (chooser && chooser->isVisible())
            return chooser;
        QTest::qWait(10);
    }
    return nullptr;
}

void TestAppDelegate::startsWithEveryControlInItsPlace()
{
    start();
    QMainWindow *window = m_controller->window();
    QCOMPARE(window->windowTitle(), Utilities::getAppTitle());
    QVERIFY(QFileInfo(Utilities::getAppPath() + QStringLiteral("/Logs")).isDir());

    // Empty list: what needs files is off, the rest is on.
    auto *files = element<SegmentedControl>("filesFoldersSegmented");
    const QList<bool> filesEnabled{true, false, true, true, false, true};
    for (int i = 0; i < files->segmentCount(); ++i)
        QCOMPARE(files->isSegmentEnabled(i), filesEnabled.at(i));
    QVERIFY(!files->isSelectedForSegment(2));
    QVERIFY(!element<SegmentedControl>("navigationSegmented")->isSegmentEnabled(2));
    auto *commands = element<SegmentedControl>("commandSegmented");
    QVERIFY(commands->isSegmentEnabled(0));
    QVERIFY(!commands->isSegmentEnabled(1));
    QCOMPARE(element<QTabWidget>("settingTabView")->currentIndex(), 0);
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(),
             QStringLiteral("0 Total file(s); 0 file selected; Total PDF file(s) to create: 0"));
    QCOMPARE(element<QLabel>("labelTimeTaken")->text(),
             QStringLiteral("Total Time Taken : 00:00 0/0"));
    // No stored folder: keeping it as the default is off and cannot be turned on.
    QVERIFY(!m_controller->isOutputFolderSelected());
    QVERIFY(!element<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn")->isEnabled());
    QVERIFY(!m_controller->settings().isSetCurrentAsDefaultOutputFolderPath());

    // Keyboard characters become mnemonics on the first match, letter case ignored.
    const QList<QPair<const char *, QString>> marked{
        {"singleImagePDFBtn", QStringLiteral("&1. Single image to single PDF")},
        {"applyDocumentSetingsbtn", QStringLiteral("Apply &document settings")},
        {"pdfSetingsbtn", QStringLiteral("PDF &Settings...")},
        {"openFolderAfterConversionBtn", QStringLiteral("O&pen the folder after conversion")},
        {"viewLogBtn", QStringLiteral("View &Log")},
        {"cancelProcessBtn", QStringLiteral("&Cancel")}};
    for (const auto &[name, text] : marked)
        QCOMPARE(element<QAbstractButton>(name)->text(), text);

    // The first file makes the list commands and Convert available.
    addFiles(1);
    m_controller->resetView(true);
    QVERIFY(files->isSegmentEnabled(1) && files->isSegmentEnabled(4));
    QVERIFY(commands->isSegmentEnabled(1));
}

void TestAppDelegate::modeControlsFollowTheMode_data()
{
    QTest::addColumn<QVariant>("storedMode");
    QTest::addColumn<int>("clickedMode"); // -1: none
    QTest::addColumn<int>("checkedButton");
    QTest::addColumn<QStringList>("enabled");
    const QStringList none;
    const QStringList single{QStringLiteral("singleImagePDFLabel")};
    const QStringList merge{QStringLiteral("singleMultiPagePDFLabel1"),
                            QStringLiteral("singleMultiPagePDFName")};
    const QStringList groups{
        QStringLiteral("groupMultiPagePDFCount"), QStringLiteral("groupMultiPagePDFStepper"),
        QStringLiteral("groupMultiPagePDFLabel1"), QStringLiteral("groupMultiPagePDFLabel2"),
        QStringLiteral("groupMultiPagePDFName")};
    QTest::newRow("stored 0") << QVariant(0) << -1 << 0 << single;
    QTest::newRow("stored 1") << QVariant(1) << -1 << 1 << merge;
    QTest::newRow("stored 2") << QVariant(2) << -1 << 2 << groups;
    QTest::newRow("stored out of range") << QVariant(7) << -1 << -1 << none;
    QTest::newRow("stored as text") << QVariant(QStringLiteral("two")) << -1 << 0 << single;
    QTest::newRow("clicked 2") << QVariant(0) << 2 << 2 << groups;
    QTest::newRow("clicked 1 from out of range") << QVariant(9) << 1 << 1 << merge;
}

void TestAppDelegate::modeControlsFollowTheMode()
{
    QFETCH(QVariant, storedMode);
    QFETCH(int, clickedMode);
    QFETCH(int, checkedButton);
    QFETCH(QStringList, enabled);
    storeSettings({{QStringLiteral("combineOptionIndex"), storedMode}});
    start();
    const QList<QRadioButton *> buttons{element<QRadioButton>("singleImagePDFBtn"),
                                        element<QRadioButton>("singleMultiPagePDFBtn"),
                                        element<QRadioButton>("groupMultiPagePDFBtn")};
    if (clickedMode >= 0) {
        buttons.at(clickedMode)->click();
        // Stored at once, not only at quit.
        QCOMPARE(Preferences()
                     .value(QStringLiteral("SETTINGS"))
                     .toMap()
                     .value(QStringLiteral("combineOptionIndex"))
                     .toInt(),
                 clickedMode);
    }
    for (int i = 0; i < buttons.size(); ++i)
        QCOMPARE(buttons.at(i)->isChecked(), i == checkedButton);
    for (const char *name :
         {"singleImagePDFLabel", "singleMultiPagePDFLabel1", "singleMultiPagePDFName",
          "groupMultiPagePDFCount", "groupMultiPagePDFStepper", "groupMultiPagePDFLabel1",
          "groupMultiPagePDFLabel2", "groupMultiPagePDFName"})
        QCOMPARE(element<QWidget>(name)->isEnabled(), enabled.contains(QLatin1String(name)));
}

void TestAppDelegate::numericFieldsAreSanitisedAsTyped_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    for (const int tag : {30001, 30002}) {
        const QString fallback = tag == 30001 ? QStringLiteral("2") : QStringLiteral("1");
        const auto row = [tag](const char *name, const char *typed, const QString &expected) {
            QTest::addRow("%d %s", tag, name) << tag << QString::fromUtf8(typed) << expected;
        };
        row("empty", "", fallback);
        row("zero", "0", fallback);
        row("letters only", "abc", fallback);
        row("negative", "-5", QStringLiteral("5"));
        row("trailing letters", "12ab", QStringLiteral("12"));
        row("inner letter kept", "1a2", QStringLiteral("1a2"));
        row("leading zeros kept", "007", QStringLiteral("007"));
    }
    QTest::newRow("other tag untouched") << 7 << QStringLiteral("x0") << QStringLiteral("x0");
}

void TestAppDelegate::numericFieldsAreSanitisedAsTyped()
{
    QFETCH(int, tag);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(FoliosetAppDelegate::sanitisedNumericText(tag, typed), expected);
    if (tag != 30001)
        return;
    // Typed into the group size field, the rule applies and the settings follow.
    storeSettings({{QStringLiteral("combineOptionIndex"), 2}});
    start();
    auto *field = element<NumberField>("groupMultiPagePDFCount");
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), typed.isEmpty()
                                ? expected
                                : FoliosetAppDelegate::sanitisedNumericText(tag, field->text()));
    QCOMPARE(m_controller->settings().groupMultiPagePDFCount(), NumberField::parse(field->text()));
}

void TestAppDelegate::totalsCountWhatAConversionWouldCreate_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QVariant>("groupSize");
    QTest::addColumn<QString>("totals");
    const auto text = [](int created) {
        return QStringLiteral("7 Total file(s); 6 file selected; Total PDF file(s) to create: %1")
            .arg(created);
    };
    QTest::newRow("one per image") << 0 << QVariant(2) << text(6);
    QTest::newRow("one for all") << 1 << QVariant(2) << text(1);
    QTest::newRow("groups of 4") << 2 << QVariant(4) << text(2);
    QTest::newRow("groups of 6") << 2 << QVariant(6) << text(1);
    // A stored size below 1 never divides by it.
    QTest::newRow("stored size 0") << 2 << QVariant(0) << text(6);
    QTest::newRow("stored size negative") << 2 << QVariant(-3) << text(6);
    QTest::newRow("size missing") << 2 << QVariant() << text(6);
    QTest::newRow("unknown mode") << 5 << QVariant(2) << text(0);
}

void TestAppDelegate::totalsCountWhatAConversionWouldCreate()
{
    QFETCH(int, mode);
    QFETCH(QVariant, groupSize);
    QFETCH(QString, totals);
    QVariantMap stored{{QStringLiteral("combineOptionIndex"), mode}};
    if (groupSize.isValid())
        stored.insert(QStringLiteral("groupMultiPagePDFCount"), groupSize);
    storeSettings(stored);
    start();
    addFiles(7);
    // Unchecking a row in the table updates the line at once.
    auto *table = element<QTableView>("mainTableView");
    const QModelIndex check = table->model()->index(3, FileListModel::columnOf("isselected"));
    QVERIFY(table->model()->setData(check, Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(), totals);
    QCOMPARE(element<SegmentedControl>("commandSegmented")->isSegmentEnabled(1),
             !totals.endsWith(QLatin1String(": 0")));
}

void TestAppDelegate::includeSubfoldersToggleIsStored()
{
    start();
    auto *files = element<SegmentedControl>("filesFoldersSegmented");
    files->click(2);
    QVERIFY(m_controller->inculdeSubfolders());
    QVERIFY(files->isSelectedForSegment(2));
    QCOMPARE(Preferences().value(QStringLiteral("INCLUDESUBFOLDERS")).toBool(), true);
    files->click(2);
    QVERIFY(!files->isSelectedForSegment(2));
    QCOMPARE(Preferences().value(QStringLiteral("INCLUDESUBFOLDERS")).toBool(), false);

    // The stored value is shown after the next start.
    files->click(2);
    m_controller.reset();
    start();
    QVERIFY(element<SegmentedControl>("filesFoldersSegmented")->isSelectedForSegment(2));
}

void TestAppDelegate::everyControlHasAName()
{
    start();
    QList<QWidget *> windows{m_controller->window(), m_controller->outputSettingPanel(),
                             m_controller->pdfSettingsPanel(), m_controller->processViewPanel()};
    for (QWidget *window : windows) {
        const QList<QWidget *> controls = window->findChildren<QWidget *>();
        for (QWidget *control : controls) {
            if (control->focusPolicy() == Qt::NoFocus || control->window() != window ||
                control->inherits("QTabBar") || control->inherits("QScrollBar"))
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).remove(QLatin1Char('&')).isEmpty(),
                     qPrintable(control->objectName() + QStringLiteral(" has no name")));
        }
    }
}

void TestAppDelegate::menusCarryTheNameAndTheAgreement()
{
    setEdition(Edition::Folioset1); // a display name other than the word in the titles
    start();
    const QString name = Utilities::getAppTitle();
    QVERIFY(name != QLatin1String("Folioset"));
    QMenu *application = m_controller->window()->menuBar()->actions().first()->menu();
    const QList<QAction *> items = application->actions();
    QCOMPARE(items.first()->text(), QStringLiteral("About ") + name);
    QVERIFY(items.at(3)->isSeparator());
    QCOMPARE(items.at(4)->text(), QStringLiteral("End-User License Agreement..."));
    QCOMPARE(items.at(4)->toolTip(), QStringLiteral("End-User License Agreement"));
    QCOMPARE(items.at(4)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QCOMPARE(items.last()->text(), QStringLiteral("Quit ") + name);
    QCOMPARE(element<QAction>("openAppMenuItem")->text(), name);
    QCOMPARE(element<QAction>("helpMenuItem")->text(), name + QStringLiteral(" Help"));
    QCOMPARE(element<QAction>("rateUsMenuItem")->text(), QStringLiteral("Rate Folioset..."));

    // Each opens its window as a sheet of the main window.
    items.at(4)->trigger();
    QTRY_VERIFY(QApplication::activeModalWidget() &&
                QApplication::activeModalWidget()->inherits("folioset::EULAWindowController"));
    QApplication::activeModalWidget()->close();
    items.first()->trigger();
    QTRY_VERIFY(QApplication::activeModalWidget() &&
                QApplication::activeModalWidget()->inherits("folioset::AboutWindowController"));
    QApplication::activeModalWidget()->close();

    element<QAction>("websiteMenuItem")->trigger();
    element<QAction>("rateUsMenuItem")->trigger();
    const QList<RecordingWorkspace::Call> calls = m_workspace.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(1).urls.first().toString(),
             QStringLiteral("https://quillmark.example/review.php?pid=2006"));
}

void TestAppDelegate::helpAndReopenReachTheDesktop()
{
    start();
    element<SegmentedControl>("helpSegmented")->click(1);
    QCOMPARE(m_workspace.calls().size(), 1);
    const QString manual = m_workspace.calls().first().urls.first().toLocalFile();
    QVERIFY2(fixtures::pdfPageCount(manual) > 1, qPrintable(manual));

    QVERIFY(!m_controller->applicationShouldHandleReopen(true));
    m_controller->window()->hide();
    QVERIFY(m_controller->applicationShouldHandleReopen(false));
    QVERIFY(m_controller->window()->isVisible());
}

void TestAppDelegate::startsFromDamagedPreferences_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a folder where the file should be
    QTest::newRow("binary") << QByteArray("\x00\xff\x13[SETTINGS\x00=\xfe\xfe", 14);
    QTest::newRow("wrong types") << QByteArray(
        "[SETTINGS]\ncombineOptionIndex=abc\ngroupMultiPagePDFCount=1, 2\n"
        "isApplyDocumentSetings=@Invalid()\npdfSettings=plain text\n"
        "outputFolderPath=\"/no/such/folder\"\n"
        "isSetCurrentAsDefaultOutputFolderPath=true\n");
    QTest::newRow("a folder in its place") << QByteArray();
}

void TestAppDelegate::startsFromDamagedPreferences()
{
    QFETCH(QByteArray, content);
    const QString file = Preferences().fileName();
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (content.isEmpty())
        QVERIFY(QDir().mkpath(file));
    else
        QVERIFY(fixtures::writeBytes(file, content));
    const auto removeFolder = qScopeGuard([&] { QDir(file).removeRecursively(); });
    start();
    QCOMPARE(m_controller->settings().combineOptionIndex(), 0);
    QVERIFY(element<QRadioButton>("singleImagePDFBtn")->isChecked());
    addFiles(3);
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(),
             QStringLiteral("3 Total file(s); 3 file selected; Total PDF file(s) to create: 3"));
    // Saving at quit fails quietly where it must, and replaces a damaged file where it can.
    m_controller->applicationShouldTerminate();
    if (!content.isEmpty())
        QCOMPARE(Preferences()
                     .value(QStringLiteral("SETTINGS"))
                     .toMap()
                     .value(QStringLiteral("combineOptionIndex")),
                 QVariant(QStringLiteral("0")));
}

void TestAppDelegate::convertRefusesUnusableNames_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("focused");
    const QString one = QStringLiteral("singleMultiPagePDFName");
    const QString base = QStringLiteral("groupMultiPagePDFName");
    QTest::newRow("no PDF name") << 1 << QString() << "Please enter new PDF file name!" << one;
    QTest::newRow("no base name") << 2 << QString() << "Please enter new PDF file base name!"
                                  << base;
    QTest::newRow("slash") << 1 << "a/b"
                           << "PDF file name cannot contain \"/\"!\r\nPlease enter another name."
                           << one;
    QTest::newRow("NUL") << 2 << QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")
                         << "PDF file name cannot contain control characters!\r\nPlease enter "
                            "another name."
                         << base;
    QTest::newRow("too long") << 1 << QString(252, QLatin1Char('n'))
                              << "PDF file name is too long!\r\nPlease enter a shorter name."
                              << one;
}

void TestAppDelegate::convertRefusesUnusableNames()
{
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(QString, notice);
    QFETCH(QString, focused);
    storeSettings({{QStringLiteral("combineOptionIndex"), mode},
                   {QStringLiteral("groupMultiPagePDFCount"), 1},
                   {QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true}});
    start();
    addFiles(2);
    m_controller->settings().setSingleMultiPagePDFName(name);
    m_controller->settings().setGroupMultiPagePDFName(name);
    element<QTabWidget>("settingTabView")->setCurrentIndex(1);

    const testing::AlertAnswerer catcher(0, QStringLiteral("informationAlertPanel"));
    element<SegmentedControl>("commandSegmented")->click(1);
    QCOMPARE(catcher.texts(), QStringList{notice});
    QVERIFY(m_controller->window()->focusWidget());
    QCOMPARE(m_controller->window()->focusWidget()->objectName(), focused);
    QCOMPARE(element<QTabWidget>("settingTabView")->currentIndex(), 0);
    QVERIFY(!element<QDialog>("processViewPanel")->isVisible());
    QVERIFY(fixtures::readBytes(m_out->path()).isEmpty() && QDir(m_out->path()).isEmpty());
    if (mode == 2) // raised before the names are looked at
        QCOMPARE(m_controller->settings().groupMultiPagePDFCount(), 2);
}

void TestAppDelegate::convertWithAUsableFolderRunsAtOnce()
{
    storeSettings({{QStringLiteral("combineOptionIndex"), 1},
                   {QStringLiteral("singleMultiPagePDFName"), QStringLiteral("book")},
                   {QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), true}});
    start();
    addFiles(3);
    element<SegmentedControl>("commandSegmented")->click(1);
    QVERIFY(!m_controller->window()->findChild<QFileDialog *>());
    auto *sheet = element<QDialog>("processViewPanel");
    QVERIFY(sheet->isVisible());
    QVERIFY(!element<SegmentedControl>("commandSegmented")->isSegmentEnabled(1));
    QVERIFY(!element<QTableView>("mainTableView")->isEnabled());
    QVERIFY(waitForRunToEnd());

    const QString pdf = m_out->filePath(QStringLiteral("book.pdf"));
    QCOMPARE(fixtures::pdfPageCount(pdf), 3);
    QTRY_COMPARE(element<QLabel>("processMessageLabel")->text(),
                 QStringLiteral("All files created successfully."));
    QVERIFY(element<QLabel>("labelTimeTaken")->text().endsWith(QLatin1String(" 3/1")));
    QCOMPARE(element<QProgressBar>("processProgress")->value(), 3);
    QVERIFY(!element<QPushButton>("cancelProcessBtn")->isEnabled());
    QVERIFY(element<QPushButton>("closeProcessBtn")->isEnabled());
    m_workspace.clear();
    element<QPushButton>("viewLogBtn")->click();
    QCOMPARE(m_workspace.calls().size(), 1);
    QVERIFY(m_workspace.calls().first().urls.first().toLocalFile().endsWith(QLatin1String(".log")));

    element<QPushButton>("closeProcessBtn")->click();
    QVERIFY(!sheet->isVisible());
    QVERIFY(!m_controller->process());
    QVERIFY(element<QTableView>("mainTableView")->isEnabled());
    QVERIFY(element<SegmentedControl>("commandSegmented")->isSegmentEnabled(1));
    QCOMPARE(m_controller->files().files().size(), 3); // clearing is off by default
}

void TestAppDelegate::convertAsksForAFolderWhenTheStoredOneIsUnusable_data()
{
    QTest::addColumn<QString>("stored"); // relative to a fresh folder; empty: none stored
    QTest::addColumn<QString>("message");
    QTest::newRow("none") << QString() << "Please select output folder!";
    QTest::newRow("vanished") << "gone"
                              << "Output folder [ %1 ] is missing!\r\nPlease select "
                                 "valid output folder.";
    QTest::newRow("a file") << "file.txt"
                            << "Output folder [ %1 ] is missing!\r\nPlease "
                               "select valid output folder.";
}

void TestAppDelegate::convertAsksForAFolderWhenTheStoredOneIsUnusable()
{
    QFETCH(QString, stored);
    QFETCH(QString, message);
    const QString storedPath = stored.isEmpty() ? QString() : m_out->filePath(stored);
    if (stored == QLatin1String("file.txt"))
        QVERIFY(fixtures::writeBytes(storedPath, "not a folder"));
    storeSettings({{QStringLiteral("outputFolderPath"), storedPath},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false}});
    start();
    addFiles(2);
    element<SegmentedControl>("commandSegmented")->click(1);
    QFileDialog *chooser = waitForChooser();
    QVERIFY(chooser);
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Choose Output Folder : "));
    QCOMPARE(chooser->findChild<QLabel *>(QStringLiteral("openPanelMessage"))->text(),
             message.contains(QLatin1String("%1")) ? message.arg(storedPath) : message);
    auto *makeDefault =
        chooser->findChild<QCheckBox *>(QStringLiteral("isSetCurrentAsDefaultOutputFolder"));
    auto *openAfter =
        chooser->findChild<QCheckBox *>(QStringLiteral("isOpenFolderAfterConversion"));
    QVERIFY(!makeDefault->isChecked());
    QVERIFY(!openAfter->isChecked());
    makeDefault->setChecked(true);
    openAfter->setChecked(true);

    const QString chosen = m_out->filePath(QStringLiteral("chosen"));
    QVERIFY(QDir().mkpath(chosen));
    chooser->setDirectory(chosen);
    chooser->selectFile(chosen);
    static_cast<QDialog *>(chooser)->accept();
    QTRY_VERIFY(m_controller->process());
    QVERIFY(waitForRunToEnd());
    QCOMPARE(QDir(chosen).entryList(QDir::Files).size(), 2);
    QCOMPARE(m_controller->outputFolder(), chosen);
    QCOMPARE(m_controller->settings().outputFolderPath(), chosen);
    QVERIFY(m_controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    QVERIFY(m_controller->settings().isOpenFolderAfterConversion());
    QVERIFY(m_controller->isOutputFolderSelected());
    QCOMPARE(m_workspace.calls().last().urls.first().toLocalFile(), chosen); // opened after
}

void TestAppDelegate::aReadOnlyChosenFolderStartsNoRun()
{
    const fixtures::SmallDisk readOnly(64 * 1024, fixtures::SmallDisk::Access::ReadOnly);
    if (!readOnly.mounted())
        QSKIP(qPrintable(readOnly.refusal()));
    storeSettings({{QStringLiteral("outputFolderPath"), readOnly.path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true}});
    start();
    addFiles(1);
    element<SegmentedControl>("commandSegmented")->click(1);
    QFileDialog *chooser = waitForChooser();
    QVERIFY(chooser);
    QCOMPARE(chooser->findChild<QLabel *>(QStringLiteral("openPanelMessage"))->text(),
             QStringLiteral("Application does not have write permission for selected output "
                            "folder!\r\n[ %1 ]\r\nPlease select valid output folder.")
                 .arg(readOnly.path()));
    const testing::AlertAnswerer catcher(0, QStringLiteral("informationAlertPanel"));
    chooser->setDirectory(readOnly.path());
    chooser->selectFile(readOnly.path());
    static_cast<QDialog *>(chooser)->accept();
    QTRY_COMPARE(catcher.texts(),
                 QStringList{QStringLiteral("Application does not have write permission for "
                                            "selected output folder!\r\n[ %1 ]\r\nPlease try "
                                            "again or later.")
                                 .arg(readOnly.path())});
    QVERIFY(!element<QDialog>("processViewPanel")->isVisible());
}

void TestAppDelegate::cancelStopsTheRunAfterTheCurrentImage()
{
    storeSettings({{QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false}});
    start();
    addFiles(40, QStringLiteral("big"), true);
    element<SegmentedControl>("commandSegmented")->click(1);
    QTRY_VERIFY(m_controller->process() && m_controller->process()->totalFileProcessed() >= 1);
    element<QPushButton>("cancelProcessBtn")->click();
    QVERIFY(waitForRunToEnd());
    QTRY_COMPARE(element<QLabel>("processMessageLabel")->text(),
                 QStringLiteral("Process cancelled!"));
    QCOMPARE(element<QLabel>("processHeadline")->text(), QStringLiteral("Conversion stopped"));
    const int written = m_controller->process()->totalFileCreated();
    QVERIFY2(written >= 1 && written < 40, qPrintable(QString::number(written)));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files).size(), written);
}

void TestAppDelegate::theSheetTellsWhatCouldNotBeDone_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("badInputs");  // a truncated JPEG, an empty PNG, a vanished file
    QTest::addColumn<bool>("noPrinting"); // with an open password and no permissions password
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("more");
    const QString failed = QStringLiteral("3 image file(s) could not be converted.\n"
                                          "View Log lists them.");
    QTest::newRow("merge, bad inputs")
        << 1 << true << false << "2 of 5 image file(s) converted; 1 of 1 PDF file(s) written"
        << "All files created successfully." << failed;
    QTest::newRow("single, bad inputs")
        << 0 << true << false << "2 of 5 image file(s) converted; 2 of 5 PDF file(s) written"
        << "Total 2 files created successfully." << failed;
    QTest::newRow("printing withheld for good")
        << 1 << false << true << "2 of 2 image file(s) converted; 1 of 1 PDF file(s) written"
        << "All files created successfully."
        << "No permissions password was set: nobody can lift the restriction on printing.";
    QTest::newRow("all well") << 1 << false << false
                              << "2 of 2 image file(s) converted; 1 of 1 PDF file(s) written"
                              << "All files created successfully."
                              << "";
}

void TestAppDelegate::theSheetTellsWhatCouldNotBeDone()
{
    QFETCH(int, mode);
    QFETCH(bool, badInputs);
    QFETCH(bool, noPrinting);
    QFETCH(QString, counts);
    QFETCH(QString, message);
    QFETCH(QString, more);
    storeSettings({{QStringLiteral("combineOptionIndex"), mode},
                   {QStringLiteral("singleMultiPagePDFName"), QStringLiteral("book")},
                   {QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false}});
    start();
    addFiles(2);
    if (badInputs) {
        const QString truncated = m_inputs.filePath(QStringLiteral("truncated.jpg"));
        const QString empty = m_inputs.filePath(QStringLiteral("empty.png"));
        const QString vanished = m_inputs.filePath(QStringLiteral("vanished.jpg"));
        QVERIFY(fixtures::writeJpeg(truncated, QSize(640, 480), 9));
        QVERIFY(QFile::resize(truncated, QFileInfo(truncated).size() / 2));
        QVERIFY(fixtures::writeBytes(empty, QByteArray()));
        QVERIFY(fixtures::writeJpeg(vanished, QSize(64, 48), 10));
        QList<FileItemPtr> items;
        for (const QString &path : {truncated, empty, vanished})
            items << FileItem::initWithURL(QUrl::fromLocalFile(path));
        m_controller->files().append(items);
        QVERIFY(QFile::remove(vanished));
    }
    if (noPrinting) {
        m_controller->settings().setIsApplyDocumentSetings(true);
        m_controller->settings().pdfSettings()->setPdfOpenPassword(QStringLiteral("open"));
        m_controller->settings().pdfSettings()->setCanPrint(false);
    }
    element<SegmentedControl>("commandSegmented")->click(1);
    QVERIFY(waitForRunToEnd());
    QCOMPARE(element<QLabel>("processHeadline")->text(), QStringLiteral("Conversion finished"));
    QCOMPARE(element<QLabel>("processCountsLabel")->text(), counts);
    QCOMPARE(element<QLabel>("processMessageLabel")->text(), message);
    auto *problems = element<QLabel>("processProblemsLabel");
    QCOMPARE(problems->text(), more);
    QCOMPARE(problems->isVisible(), !more.isEmpty());
    // The open password is not the permissions password, in the PDF or in the window.
    if (noPrinting)
        QCOMPARE(m_controller->settings().pdfSettings()->pdfPermissionPassword(), QString());
}

void TestAppDelegate::closingTheSheetClearsProcessedFilesOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("clear");
    QTest::newRow("clear") << true;
    QTest::newRow("keep") << false;
}

void TestAppDelegate::closingTheSheetClearsProcessedFilesOnlyWhenAsked()
{
    QFETCH(bool, clear);
    storeSettings({{QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false},
                   {QStringLiteral("isClearProcessedFiles"), clear}});
    start();
    addFiles(4);
    // One checked file that cannot be converted is cleared as well: it was processed.
    const QString broken = m_inputs.filePath(QStringLiteral("broken.png"));
    QVERIFY(fixtures::writeBytes(broken, "not a picture"));
    m_controller->files().append({FileItem::initWithURL(QUrl::fromLocalFile(broken))});
    m_controller->files().item(1)->setIsSelected(false);
    element<SegmentedControl>("commandSegmented")->click(1);
    QVERIFY(waitForRunToEnd());
    element<QPushButton>("closeProcessBtn")->click();
    QStringList left;
    for (const FileItemPtr &item : m_controller->files().files())
        left << item->name();
    const QStringList all{QStringLiteral("p0.jpg"), QStringLiteral("p1.jpg"),
                          QStringLiteral("p2.jpg"), QStringLiteral("p3.jpg"),
                          QStringLiteral("broken.png")};
    QCOMPARE(left, clear ? QStringList{QStringLiteral("p1.jpg")} : all);
}

void TestAppDelegate::pdfSettingsApplyOrCancelTheWorkingCopy()
{
    start();
    element<QPushButton>("pdfSetingsbtn")->click();
    QDialog *sheet = m_controller->pdfSettingsPanel();
    QTRY_VERIFY(sheet->isVisible());
    auto *tabs = element<SegmentedControl>("pdfSettingsSegmented");
    for (int page : {1, 2, 0}) {
        tabs->click(page);
        QCOMPARE(element<QStackedWidget>("pdfSettingsTab")->currentIndex(), page);
    }
    QTest::keyClicks(element<QLineEdit>("titleField"), QStringLiteral("Holiday"));
    element<QPushButton>("cancelPDFSettingsBtn")->click();
    QVERIFY(!sheet->isVisible());
    QCOMPARE(m_controller->settings().pdfSettings()->title(), QString());

    element<QPushButton>("pdfSetingsbtn")->click();
    QCOMPARE(element<QLineEdit>("titleField")->text(), QString()); // edits were dropped
    QTest::keyClicks(element<QLineEdit>("titleField"), QStringLiteral("Holiday"));
    tabs->click(1);
    QTest::keyClicks(element<QLineEdit>("openPasswordField"), QStringLiteral("s3cret"));
    element<QComboBox>("encryptionStrengthPopup")->setCurrentIndex(1);
    emit element<QComboBox>("encryptionStrengthPopup")->activated(1);
    element<QCheckBox>("canPrintBtn")->click();
    tabs->click(2);
    element<QRadioButton>("bookmarkStemBtn")->click();
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QVERIFY(!sheet->isVisible());

    const QVariantMap stored = Preferences()
                                   .value(QStringLiteral("SETTINGS"))
                                   .toMap()
                                   .value(QStringLiteral("pdfSettings"))
                                   .toMap();
    QCOMPARE(stored.value(QStringLiteral("title")).toString(), QStringLiteral("Holiday"));
    QCOMPARE(stored.value(QStringLiteral("pdfOpenPassword")).toString(), QStringLiteral("s3cret"));
    QCOMPARE(stored.value(QStringLiteral("encryptionStrength")).toInt(), 1);
    QCOMPARE(stored.value(QStringLiteral("canPrint")).toBool(), false);
    QCOMPARE(stored.value(QStringLiteral("bookmarkType")).toInt(), 2);
    QVERIFY(element<QLabel>("documentSummaryLabel")->text().contains(QLatin1String("Holiday")));
}

void TestAppDelegate::encryptionChoiceReachesThePdf_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("algorithm");
    QTest::addColumn<QString>("summary");
    QTest::newRow("40-bit RC4") << 0 << 2 << "RC4"
                                << "40-bit RC4";
    QTest::newRow("128-bit RC4") << 1 << 3 << "RC4"
                                 << "128-bit RC4";
    QTest::newRow("256-bit AES") << 2 << 6 << "AES-256"
                                 << "256-bit AES";
}

void TestAppDelegate::encryptionChoiceReachesThePdf()
{
    QFETCH(int, choice);
    QFETCH(int, revision);
    QFETCH(QString, algorithm);
    QFETCH(QString, summary);
    storeSettings({{QStringLiteral("combineOptionIndex"), 1},
                   {QStringLiteral("singleMultiPagePDFName"), QStringLiteral("locked")},
                   {QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isApplyDocumentSetings"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false}});
    start();
    element<QPushButton>("pdfSetingsbtn")->click();
    element<SegmentedControl>("pdfSettingsSegmented")->click(1);
    QTest::keyClicks(element<QLineEdit>("openPasswordField"), QStringLiteral("Key 4 choice"));
    auto *popup = element<QComboBox>("encryptionStrengthPopup");
    QCOMPARE(popup->count(), 3);
    popup->setCurrentIndex(choice);
    emit popup->activated(choice);
    // Each choice says what it protects against.
    const QString note = element<QLabel>("encryptionNote")->text();
    QVERIFY(note.contains(choice == 2 ? QLatin1String("cracking tools")
                                      : QLatin1String("freely available tools")));
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QVERIFY(element<QLabel>("documentSummaryLabel")->text().contains(summary));

    addFiles(1);
    element<SegmentedControl>("commandSegmented")->click(1);
    QVERIFY(waitForRunToEnd());
    const QString pdf = m_out->filePath(QStringLiteral("locked.pdf"));
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf), -1);
    QCOMPARE(fixtures::pdfEncryptionRevision(pdf, QStringLiteral("Key 4 choice")), revision);
    QCOMPARE(fixtures::popplerEncryption(pdf, QStringLiteral("Key 4 choice")),
             QStringLiteral("yes (print:yes copy:yes change:no addNotes:no algorithm:%1)")
                 .arg(algorithm));

    // The sheet opens again on the stored choice, also after a restart.
    m_controller->applicationShouldTerminate();
    m_controller.reset();
    start();
    element<QPushButton>("pdfSetingsbtn")->click();
    QCOMPARE(element<QComboBox>("encryptionStrengthPopup")->currentIndex(), choice);
}

void TestAppDelegate::outputSettingsChooseAndKeepTheFolder()
{
    start();
    element<SegmentedControl>("commandSegmented")->click(0);
    QDialog *sheet = m_controller->outputSettingPanel();
    QTRY_VERIFY(sheet->isVisible());
    QVERIFY(!element<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn")->isEnabled());
    element<QPushButton>("chooseOutputFolderBtn")->click();
    QFileDialog *chooser = nullptr;
    QTRY_VERIFY((chooser = sheet->findChild<QFileDialog *>(QStringLiteral("outputFolderPanel"))));
    chooser->setDirectory(m_out->path());
    chooser->selectFile(m_out->path());
    static_cast<QDialog *>(chooser)->accept();
    QTRY_COMPARE(m_controller->settings().outputFolderPath(), m_out->path());
    QCOMPARE(element<QLineEdit>("outputFolderPathField")->text(), m_out->path());
    QVERIFY(element<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn")->isEnabled());
    QVERIFY(m_controller->isOutputFolderSelected());
    element<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn")->setChecked(true);
    QTest::keyClick(sheet, Qt::Key_Escape);
    QVERIFY(!sheet->isVisible());

    // Kept as the default, the folder is there at the next start.
    m_controller->applicationShouldTerminate();
    m_controller.reset();
    start();
    QCOMPARE(m_controller->settings().outputFolderPath(), m_out->path());
}

void TestAppDelegate::quittingDuringARunKeepsNoPartialFile()
{
    storeSettings({{QStringLiteral("combineOptionIndex"), 1},
                   {QStringLiteral("outputFolderPath"), m_out->path()},
                   {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                   {QStringLiteral("isOpenFolderAfterConversion"), false}});
    start();
    m_controller->settings().setSingleMultiPagePDFName(QStringLiteral("typed but not saved"));
    const QString earlier = m_out->filePath(QStringLiteral("typed but not saved.pdf"));
    QVERIFY(fixtures::writePdf(earlier, 1));
    const QByteArray earlierBytes = fixtures::readBytes(earlier);
    addFiles(40, QStringLiteral("big"), true);
    element<SegmentedControl>("commandSegmented")->click(1);
    QTRY_VERIFY(m_controller->process() && m_controller->process()->totalFileProcessed() >= 2);

    m_controller->applicationShouldTerminate();
    QVERIFY(m_controller->process()->isCompleted());
    QCOMPARE(fixtures::readBytes(earlier), earlierBytes);
    QCOMPARE(QDir(m_out->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("typed but not saved.pdf")});
    QCOMPARE(Preferences()
                 .value(QStringLiteral("SETTINGS"))
                 .toMap()
                 .value(QStringLiteral("singleMultiPagePDFName"))
                 .toString(),
             QStringLiteral("typed but not saved"));
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
