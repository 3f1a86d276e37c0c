// The folioset1 window driven as a user drives it: its buttons, toolbar and settings pane found
// by their element names, conversions run to the end on real files, and the two editions'
// stores and folders side by side in one account.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "filelist/customtableview.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/utilities.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "support/smalldisk.h"
#include "widgets/keycharacter.h"
#include "widgets/splitview.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace folioset;
using namespace folioset::testing;

class TestClassic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithItsOwnWindow();
    void settingsPaneWidthsFollowTheWindow_data();
    void settingsPaneWidthsFollowTheWindow();
    void settingsPaneVisibilityIsRemembered();
    void aboutItemIsAddedOnce();
    void hintShowsOnlyWhileTheListIsEmpty();
    void buttonsFollowTheWindowState_data();
    void buttonsFollowTheWindowState();
    void everyButtonIsNamedByItsText();
    void filePanelsAskForImages_data();
    void filePanelsAskForImages();
    void convertChecksFolderThenNames_data();
    void convertChecksFolderThenNames();
    void aReadOnlyFolderIsRefused();
    void aRunTellsItsTimeInWordsAndOpensTheSettingsFolder();
    void includeSubfoldersIsReadFromTheCheckBox();
    void convertWaitsForALoadToEnd();
    void removeAllAsksInFrontOfEverything_data();
    void removeAllAsksInFrontOfEverything();
    void movesOnlyWhileTheirButtonsAllow();
    void sidePaneStartsFoldedAndToggles();
    void outputFolderIsChosenOnTheWindow();
    void helpOpensTheClassicManual();
    void importSheetSpeaksInFrontAndCancelKeepsWhatItFound();
    void quitStoresOnlyTheSettings();
    void editionsKeepTheirStoresAndFoldersApart();

private:
    template <typename T> T *element(const char *name) const
    {
        return testing::element<T>(*m_controller, name);
    }
    void start();
    void addFiles(int count);
    QList<QAction *> aboutItems() const;

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<ClassicAppDelegate> m_controller;
};

void TestClassic::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
}

void TestClassic::init()
{
    useEdition(Edition::Folioset1);
    QFile::remove(Preferences().fileName());
    m_out = std::make_unique<QTemporaryDir>();
    m_workspace.clear();
}

void TestClassic::cleanup()
{
    m_controller.reset();
    useEdition(Edition::Folioset1);
}

void TestClassic::start()
{
    m_controller = std::make_unique<ClassicAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

void TestClassic::addFiles(int count)
{
    QList<FileItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const QString path = m_inputs.filePath(QStringLiteral("c%1.jpg").arg(i));
        if (!QFileInfo::exists(path))
            QVERIFY(fixtures::writeJpeg(path, QSize(64, 48), i + 1));
        items << FileItem::initWithURL(QUrl::fromLocalFile(path));
    }
    m_controller->files().append(items);
    m_controller->resetView(true);
}

QList<QAction *> TestClassic::aboutItems() const
{
    QList<QAction *> found;
    for (QAction *item : element<QToolBar>("mainToolbar")->actions()) {
        if (item->property("itemIdentifier").toString() == QLatin1String("ABOUT"))
            found << item;
    }
    return found;
}

void TestClassic::startsWithItsOwnWindow()
{
    start();
    QMainWindow *window = m_controller->window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Folioset Classic"));
    QVERIFY(QFileInfo(Utilities::getAppPath() + QStringLiteral("/Logs")).isDir());
    QVERIFY(Utilities::getAppPath().endsWith(QLatin1String("/Quillmark/folioset1")));
    QCOMPARE(element<QTabWidget>("settingTabView")->currentIndex(), 0);
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(),
             QStringLiteral("0 Total file(s); 0 file selected; Total PDF file(s) to create: 0"));

    // The toolbar: About first, then the settings switch and Export; not to be rearranged.
    auto *toolbar = element<QToolBar>("mainToolbar");
    QStringList shown;
    for (QAction *item : toolbar->actions()) {
        if (item->isVisible())
            shown << item->text();
    }
    QCOMPARE(shown, (QStringList{"About", "Settings", "Export"}));
    QVERIFY(!toolbar->isMovable() && !toolbar->isFloatable());
    QVERIFY(!toolbar->toggleViewAction()->isVisible());

    // Fifteen keyboard characters: the six of this window, then the shared nine.
    const QList<QPair<const char *, QString>> marked{
        {"removeBtn", "&Remove"},
        {"importBtn", "&Import"},
        {"addFilesBtn", "Add &Files"},
        {"addFolderBtn", "Add F&older"},
        {"inculdeSubfoldersBtn", "Incl&ude Subfolders"},
        {"convertBtn", "&Convert"},
        {"singleImagePDFBtn", "&1. Single image to single PDF"},
        {"groupMultiPagePDFBtn", "&3. Group of multiple images to multi-page PDF in group"},
        {"applyDocumentSetingsbtn", "Apply &document settings"},
        {"pdfSetingsbtn", "PDF &Settings..."},
        {"setCurrentAsDefaultOutputFolderPathBtn", "Keep this fol&der as the default"},
        {"openFolderAfterConversionBtn", "O&pen the folder after conversion"},
        {"viewLogBtn", "View &Log"},
        {"cancelProcessBtn", "&Cancel"}};
    for (const auto &[name, text] : marked)
        QCOMPARE(element<QAbstractButton>(name)->text(), text);

    // What this edition does not have: the column menu, moving columns, a double click, the
    // encryption column, segmented controls and recent folders.
    QHeaderView *header = element<QTableView>("mainTableView")->horizontalHeader();
    QVERIFY(header->contextMenuPolicy() != Qt::CustomContextMenu);
    QVERIFY(!header->sectionsMovable());
    QVERIFY(header->isSectionHidden(FileListModel::columnOf(QStringLiteral("secured"))));
    QVERIFY(!window->findChild<QObject *>(QStringLiteral("filesFoldersSegmented")));
    QVERIFY(!window->findChild<QObject *>(QStringLiteral("recentFoldersPopup")));
    addFiles(1);
    auto *table = element<CustomTableView>("mainTableView");
    const QRect cell = table->visualRect(table->model()->index(0, 2));
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(m_workspace.calls().isEmpty());
}

void TestClassic::settingsPaneWidthsFollowTheWindow_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("windowWidth");
    QTest::newRow("shown") << true << 1060;
    QTest::newRow("shown, wider window") << true << 1400;
    QTest::newRow("hidden") << false << 1060;
    QTest::newRow("hidden, wider window") << false << 1400;
    // Too narrow for the pane: showing it widens the window.
    QTest::newRow("hidden, narrow window") << false << 650;
}

void TestClassic::settingsPaneWidthsFollowTheWindow()
{
    QFETCH(bool, shown);
    QFETCH(int, windowWidth);
    QVERIFY(Preferences().setValue(QStringLiteral("SHOWSETTINGS"), shown));
    start();
    QMainWindow *window = m_controller->window();
    window->resize(windowWidth, window->height());
    QTRY_COMPARE(window->width(), windowWidth);
    auto *list = element<QWidget>("leftBox");
    auto *pane = element<QWidget>("rightBox");
    const QPoint origin = list->pos();
    const auto check = [&](bool paneShown) {
        QCOMPARE(pane->isVisible(), paneShown);
        // The window can be narrowed to what the list's buttons need, beside the pane if shown.
        QCOMPARE(element<QWidget>("contentBox")->minimumWidth(),
                 list->minimumSizeHint().width() + (paneShown ? pane->width() + 9 : 5));
        QTRY_COMPARE(window->minimumWidth(), element<QWidget>("contentBox")->minimumWidth());
        QTRY_COMPARE(list->width(),
                     paneShown ? window->width() - (pane->width() + 9) : window->width() - 5);
        QCOMPARE(list->pos(), origin);
        QVERIFY(list->width() >= list->minimumSizeHint().width());
        // Nothing of the list lies under the pane.
        if (paneShown)
            QVERIFY(list->geometry().right() < pane->geometry().left());
    };
    check(shown);
    m_controller->toggleSettings();
    check(!shown);
    m_controller->toggleSettings();
    check(shown);
}

void TestClassic::settingsPaneVisibilityIsRemembered()
{
    // First start: shown, and the choice is stored at once.
    QVERIFY(!Preferences().contains(QStringLiteral("SHOWSETTINGS")));
    start();
    QVERIFY(m_controller->showSettings());
    QVERIFY(element<QWidget>("rightBox")->isVisible());
    QVERIFY(element<QAction>("preferencesToolbarItem")->isChecked());
    QCOMPARE(Preferences().value(QStringLiteral("SHOWSETTINGS")).toBool(), true);

    // Hidden with the toolbar item, then a restart: it stays hidden, the dummy item selected.
    element<QAction>("preferencesToolbarItem")->trigger();
    QVERIFY(!element<QWidget>("rightBox")->isVisible());
    QCOMPARE(Preferences().value(QStringLiteral("SHOWSETTINGS")).toBool(), false);
    m_controller->applicationShouldTerminate();
    m_controller.reset();
    start();
    QVERIFY(!m_controller->showSettings());
    QVERIFY(!element<QWidget>("rightBox")->isVisible());
    QVERIFY(element<QAction>("dummyToolbarItem")->isChecked());
    QVERIFY(!element<QAction>("preferencesToolbarItem")->isChecked());

    // The menu item shows it again, and that too is stored.
    element<QAction>("settingsMenuItem")->trigger();
    QVERIFY(element<QWidget>("rightBox")->isVisible());
    QVERIFY(element<QAction>("preferencesToolbarItem")->isChecked());
    QCOMPARE(Preferences().value(QStringLiteral("SHOWSETTINGS")).toBool(), true);
}

void TestClassic::aboutItemIsAddedOnce()
{
    start();
    QList<QAction *> about = aboutItems();
    QCOMPARE(about.size(), 1);
    QAction *item = about.first();
    QCOMPARE(element<QToolBar>("mainToolbar")->actions().first(), item);
    QCOMPARE(item->text(), QStringLiteral("About"));
    QCOMPARE(item->property("paletteLabel").toString(), QStringLiteral("ABOUT"));
    QCOMPARE(item->toolTip(), QStringLiteral("About Folioset Classic"));
    QVERIFY(!item->icon().isNull());
    QVERIFY(!m_controller->toolbarItemForItemIdentifier(QStringLiteral("EXPORT")));

    // Set up again: still one, and the menu keeps a single agreement item.
    m_controller->setupToolbarAndMenuItems();
    QCOMPARE(aboutItems().size(), 1);
    QCOMPARE(m_controller->window()
                 ->findChildren<QAction *>(QStringLiteral("licenseAgreementMenuItem"))
                 .size(),
             1);

    // A toolbar that already holds an "ABOUT" item of its own gets no second one.
    auto *toolbar = element<QToolBar>("mainToolbar");
    toolbar->removeAction(item);
    auto *own = new QAction(QStringLiteral("Our own"), toolbar);
    own->setProperty("itemIdentifier", QStringLiteral("ABOUT"));
    toolbar->addAction(own);
    m_controller->setupToolbarAndMenuItems();
    QCOMPARE(aboutItems(), QList<QAction *>{own});

    // The made item opens the About window on the main window.
    item->trigger();
    QTRY_VERIFY(QApplication::activeModalWidget() &&
                QApplication::activeModalWidget()->inherits("folioset::AboutWindowController"));
    QApplication::activeModalWidget()->close();
}

void TestClassic::hintShowsOnlyWhileTheListIsEmpty()
{
    start();
    auto *hint = element<QLabel>("lableDragAndDrop");
    QVERIFY(hint->isVisible());
    QVERIFY(hint->testAttribute(Qt::WA_TransparentForMouseEvents)); // drops reach the list
    addFiles(1);
    QVERIFY(!hint->isVisible());
    {
        const AlertAnswerer yes(0);
        element<QPushButton>("removeAllFilesButton")->click();
    }
    QCOMPARE(m_controller->files().rowCount(), 0);
    QVERIFY(hint->isVisible());

    // A drop hides it at once; a drop that brings nothing shows it again when the load ends.
    QTemporaryDir nothing;
    QVERIFY(fixtures::writeBytes(nothing.filePath(QStringLiteral("notes.txt")), "text"));
    auto *table = element<CustomTableView>("mainTableView");
    QVERIFY(table->acceptDroppedUrls({QUrl::fromLocalFile(nothing.path())}));
    QVERIFY(!hint->isVisible());
    QTRY_VERIFY(!m_controller->loader().isRunning() && !m_controller->isProcessing());
    QVERIFY(hint->isVisible());
    QVERIFY(table->acceptDroppedUrls({QUrl::fromLocalFile(m_inputs.path())}));
    QTRY_VERIFY(!m_controller->isProcessing());
    QCOMPARE(m_controller->files().rowCount(), 1);
    QVERIFY(!hint->isVisible());
}

void TestClassic::buttonsFollowTheWindowState_data()
{
    QTest::addColumn<bool>("enable");
    QTest::addColumn<int>("files");
    QTest::newRow("enabled, empty") << true << 0;
    QTest::newRow("enabled, two files") << true << 2;
    QTest::newRow("disabled, empty") << false << 0;
    QTest::newRow("disabled, two files") << false << 2;
}

void TestClassic::buttonsFollowTheWindowState()
{
    QFETCH(bool, enable);
    QFETCH(int, files);
    start();
    addFiles(files);
    if (files > 0)
        element<QTableView>("mainTableView")->selectRow(1);
    m_controller->resetView(enable);
    const bool withFiles = enable && files > 0;
    const QList<QPair<const char *, bool>> buttons{
        {"removeBtn", withFiles},
        {"importBtn", enable},
        {"addFilesBtn", enable},
        {"addFolderBtn", enable},
        {"searchBtn", enable},
        {"inculdeSubfoldersBtn", enable},
        {"mainTableView", enable},
        {"openFileButton", withFiles},
        {"getInfoButton", withFiles},
        {"openEnclosedFolderButton", withFiles},
        {"selectAllButton", withFiles},
        {"deselectAllButton", withFiles},
        {"removeSelectedFilesButton", withFiles},
        {"removeAllFilesButton", withFiles},
        // The last of two rows is highlighted: it can go up, not down.
        {"moveUpButton", withFiles},
        {"moveDownButton", false},
        // Convert follows what there is to convert, the folder options the stored folder.
        {"convertBtn", files > 0},
        {"setCurrentAsDefaultOutputFolderPathBtn", false},
        {"openFolderAfterConversionBtn", false}};
    for (const auto &[name, enabled] : buttons)
        QVERIFY2(element<QWidget>(name)->isEnabled() == enabled, name);
    const QList<QPair<const char *, bool>> items{{"preferencesToolbarItem", enable},
                                                 {"exportToolbarItem", withFiles},
                                                 {"exportMenuItem", withFiles}};
    for (const auto &[name, enabled] : items)
        QVERIFY2(element<QAction>(name)->isEnabled() == enabled, name);
    QCOMPARE(aboutItems().first()->isEnabled(), enable);
    // The invitation to drop stands only while the list is empty and takes files.
    QCOMPARE(element<QLabel>("lableDragAndDrop")->isVisible(), enable && files == 0);

    // With a stored folder both folder options can be used, whatever the window state (while
    // the window is disabled, the settings pane holding them is too).
    auto *pane = element<QWidget>("settingTabView");
    m_controller->settings().setOutputFolderPath(m_out->path());
    QVERIFY(element<QWidget>("setCurrentAsDefaultOutputFolderPathBtn")->isEnabledTo(pane));
    QVERIFY(element<QWidget>("openFolderAfterConversionBtn")->isEnabledTo(pane));
    m_controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    m_controller->settings().setOutputFolderPath(QString());
    QVERIFY(!m_controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    QVERIFY(!element<QWidget>("openFolderAfterConversionBtn")->isEnabledTo(pane));
}

void TestClassic::everyButtonIsNamedByItsText()
{
    start();
    addFiles(1);
    QStringList seen;
    auto *tabs = element<QTabWidget>("settingTabView");
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        for (QAbstractButton *button : m_controller->window()->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(m_controller->window()) || button->text().isEmpty())
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), withoutMnemonics(button->text()));
            seen << accessible->text(QAccessible::Name);
        }
    }
    for (const char *name :
         {"Add Files", "Add Folder", "Import", "Remove", "Convert", "Include Subfolders", "Move Up",
          "Move Down", "Remove All", "Export", "About", "Settings", "Open", "Get Info",
          "Show in Folder", "Select All", "Remove Selected", "Choose..."})
        QVERIFY2(seen.contains(QLatin1String(name)), name);
}

void TestClassic::filePanelsAskForImages_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("mode");
    QTest::newRow("Add Files") << "addFilesBtn"
                               << "addFilesPanel"
                               << "Select Image or PDF File(s):" << int(QFileDialog::ExistingFiles);
    QTest::newRow("Add Folder") << "addFolderBtn"
                                << "addFolderPanel"
                                << "Select folder(s) contains Image or PDF File(s):"
                                << int(QFileDialog::Directory);
}

void TestClassic::filePanelsAskForImages()
{
    QFETCH(QString, button);
    QFETCH(QString, panel);
    QFETCH(QString, message);
    QFETCH(int, mode);
    // Files are never chosen together with folders, whatever the check box says.
    QVERIFY(Preferences().setValue(QStringLiteral("INCLUDESUBFOLDERS"), true));
    start();
    element<QPushButton>(button.toLatin1().constData())->click();
    auto *dialog = m_controller->window()->findChild<QFileDialog *>(panel);
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), message);
    QCOMPARE(int(dialog->fileMode()), mode);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    dialog->reject();
}

void TestClassic::convertChecksFolderThenNames_data()
{
    QTest::addColumn<QString>("folder"); // "out": a usable folder; "gone": one that was deleted
    QTest::addColumn<int>("mode");
    QTest::addColumn<QVariant>("groupSize");
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<int>("tabAfter");
    QTest::addColumn<bool>("runs");
    const QString missing = QStringLiteral(
        "Output folder missing or invalid path!\r\nPlease select valid output folder.");
    QTest::newRow("no folder, mode 0")
        << QString() << 0 << QVariant(2) << QStringList{missing} << 1 << false;
    // The folder comes first: a missing name is not mentioned while the folder is wrong.
    QTest::newRow("no folder, mode 1 without name")
        << QString() << 1 << QVariant(2) << QStringList{missing} << 1 << false;
    QTest::newRow("deleted folder")
        << "gone" << 0 << QVariant(2) << QStringList{missing} << 1 << false;
    QTest::newRow("usable folder, mode 1 without name")
        << "out" << 1 << QVariant(2) << QStringList{"Please enter new PDF file name!"} << 0
        << false;
    QTest::newRow("usable folder, mode 2 without base name")
        << "out" << 2 << QVariant(1) << QStringList{"Please enter new PDF file base name!"} << 0
        << false;
    QTest::newRow("usable folder, mode 0")
        << "out" << 0 << QVariant(2) << QStringList() << 0 << true;
}

void TestClassic::convertChecksFolderThenNames()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(QVariant, groupSize);
    QFETCH(QStringList, alerts);
    QFETCH(int, tabAfter);
    QFETCH(bool, runs);
    QString path;
    if (folder == QLatin1String("out"))
        path = m_out->path();
    else if (folder == QLatin1String("gone"))
        path = m_out->filePath(QStringLiteral("gone"));
    QVERIFY(
        storeSettings({{QStringLiteral("outputFolderPath"), path},
                       {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), !path.isEmpty()},
                       {QStringLiteral("combineOptionIndex"), mode},
                       {QStringLiteral("groupMultiPagePDFCount"), groupSize},
                       {QStringLiteral("isOpenFolderAfterConversion"), false}}));
    QVERIFY(Preferences().setValue(QStringLiteral("SHOWSETTINGS"), false));
    start();
    addFiles(2);
    element<QTabWidget>("settingTabView")->setCurrentIndex(1);
    {
        const AlertAnswerer answerer;
        element<QPushButton>("convertBtn")->click();
        QCOMPARE(answerer.texts(), alerts);
        for (const QString &title : answerer.titles())
            QCOMPARE(title, QStringLiteral("Folioset Classic"));
        for (const Qt::WindowModality modality : answerer.modalities())
            QCOMPARE(modality, Qt::ApplicationModal);
    }
    QCOMPARE(element<QTabWidget>("settingTabView")->currentIndex(), tabAfter);
    if (tabAfter == 1) {
        // The hidden pane is opened on the folder, the focus after the folder field.
        QVERIFY(m_controller->showSettings());
        QVERIFY(element<QWidget>("rightBox")->isVisible());
        QCOMPARE(m_controller->window()->focusWidget(), element<QWidget>("chooseOutputFolderBtn"));
    }
    if (mode == 2)
        QCOMPARE(m_controller->settings().groupMultiPagePDFCount(), 2);
    QCOMPARE(element<QDialog>("processViewPanel")->isVisible(), runs);
    if (!runs)
        return;
    QVERIFY(waitForRunToEnd(*m_controller));
    QCOMPARE(QDir(m_out->path()).entryList({"*.pdf"}, QDir::Files).size(), 2);
}

void TestClassic::aReadOnlyFolderIsRefused()
{
    const fixtures::SmallDisk readOnly(64 * 1024, fixtures::SmallDisk::Access::ReadOnly);
    if (!readOnly.mounted())
        QSKIP(qPrintable(readOnly.refusal()));
    QVERIFY(storeSettings({{QStringLiteral("outputFolderPath"), readOnly.path()},
                           {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                           {QStringLiteral("combineOptionIndex"), 1}}));
    start();
    addFiles(1);
    const AlertAnswerer answerer;
    element<QPushButton>("convertBtn")->click();
    // The folder is refused before the missing PDF name is asked for.
    QCOMPARE(answerer.texts(),
             QStringList{QStringLiteral(
                 "Output folder is non-writable!\r\nPlease select writable output folder.")});
    QCOMPARE(element<QTabWidget>("settingTabView")->currentIndex(), 1);
    QVERIFY(!element<QDialog>("processViewPanel")->isVisible());
    QVERIFY(QDir(readOnly.path()).entryList(QDir::Files).isEmpty());
}

void TestClassic::aRunTellsItsTimeInWordsAndOpensTheSettingsFolder()
{
    QVERIFY(storeSettings({{QStringLiteral("outputFolderPath"), m_out->path()},
                           {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                           {QStringLiteral("isOpenFolderAfterConversion"), true},
                           {QStringLiteral("combineOptionIndex"), 1},
                           {QStringLiteral("singleMultiPagePDFName"), QStringLiteral("album")}}));
    start();
    addFiles(3);
    element<QPushButton>("convertBtn")->click();
    QVERIFY(element<QDialog>("processViewPanel")->isVisible());
    QVERIFY(!element<QPushButton>("convertBtn")->isEnabled());
    QVERIFY(waitForRunToEnd(*m_controller));
    QCOMPARE(fixtures::pdfPageCount(m_out->filePath(QStringLiteral("album.pdf"))), 3);
    // Words, not clock digits: empty under a second, else "N sec(s) " and larger units.
    const QString label = element<QLabel>("labelTimeTaken")->text();
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Total Time Taken : (\\d+ (hr|min|sec)\\(s\\) )* 3/1$"))
            .match(label)
            .hasMatch(),
        qPrintable(label));
    // The run has no folder of its own: the settings' folder is the one opened.
    QTRY_VERIFY(!m_workspace.calls().isEmpty());
    QCOMPARE(m_workspace.calls().last().urls, QList<QUrl>{QUrl::fromLocalFile(m_out->path())});

    element<QPushButton>("closeProcessBtn")->click();
    QVERIFY(element<QPushButton>("convertBtn")->isEnabled());
    QVERIFY(!element<QDialog>("processViewPanel")->isVisible());
    QVERIFY(!m_controller->process());
}

void TestClassic::includeSubfoldersIsReadFromTheCheckBox()
{
    QTemporaryDir tree;
    QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("inner")));
    QVERIFY(fixtures::writeJpeg(tree.filePath(QStringLiteral("top.jpg")), QSize(8, 8)));
    QVERIFY(fixtures::writeJpeg(tree.filePath(QStringLiteral("inner/deep.jpg")), QSize(8, 8)));
    QVERIFY(Preferences().setValue(QStringLiteral("INCLUDESUBFOLDERS"), true));
    start();
    auto *box = element<QCheckBox>("inculdeSubfoldersBtn");
    QVERIFY(box->isChecked()); // the stored choice
    box->click();
    QCOMPARE(Preferences().value(QStringLiteral("INCLUDESUBFOLDERS")).toBool(), false);
    auto *table = element<CustomTableView>("mainTableView");
    QVERIFY(table->acceptDroppedUrls({QUrl::fromLocalFile(tree.path())}));
    QTRY_VERIFY(!m_controller->isProcessing());
    QCOMPARE(m_controller->files().rowCount(), 1);

    // The box, not the stored key, decides at the moment of the request.
    box->click();
    QVERIFY(Preferences().setValue(QStringLiteral("INCLUDESUBFOLDERS"), false));
    QVERIFY(table->acceptDroppedUrls({QUrl::fromLocalFile(tree.path())}));
    QTRY_VERIFY(!m_controller->isProcessing());
    QCOMPARE(m_controller->files().rowCount(), 2);
}

void TestClassic::convertWaitsForALoadToEnd()
{
    start();
    addFiles(2);
    auto *convert = element<QPushButton>("convertBtn");
    QVERIFY(convert->isEnabled());
    QTemporaryDir more;
    QVERIFY(fixtures::writeJpeg(more.filePath(QStringLiteral("late.jpg")), QSize(8, 8)));
    QVERIFY(element<CustomTableView>("mainTableView")
                ->acceptDroppedUrls({QUrl::fromLocalFile(more.path())}));
    // Until the load has ended neither the button nor its shortcut starts a run.
    QVERIFY(m_controller->isProcessing());
    QVERIFY(!convert->isEnabled());
    QVERIFY(!element<QAction>("convertMenuItem")->isEnabled());
    QTRY_VERIFY(!m_controller->isProcessing());
    QCOMPARE(m_controller->files().rowCount(), 3);
    QVERIFY(convert->isEnabled());
    QVERIFY(element<QAction>("convertMenuItem")->isEnabled());
}

void TestClassic::removeAllAsksInFrontOfEverything_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << 0;
    QTest::newRow("no") << 1;
}

void TestClassic::removeAllAsksInFrontOfEverything()
{
    QFETCH(int, answer);
    start();
    addFiles(3);
    const AlertAnswerer answerer(answer);
    element<QPushButton>("removeAllFilesButton")->click();
    // Answered before the click returned: nothing else could happen meanwhile.
    QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Are you sure to remove all file(s)?")});
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Folioset Classic")});
    QCOMPARE(answerer.modalities(), QList<Qt::WindowModality>{Qt::ApplicationModal});
    QCOMPARE(answerer.buttons().first(), (QStringList{"Yes", "No"}));
    QCOMPARE(m_controller->files().rowCount(), answer == 0 ? 0 : 3);
    QCOMPARE(element<QPushButton>("convertBtn")->isEnabled(), answer != 0);
    QCOMPARE(element<QLabel>("lableDragAndDrop")->isVisible(), answer == 0);
}

void TestClassic::movesOnlyWhileTheirButtonsAllow()
{
    start();
    addFiles(3);
    auto *table = element<CustomTableView>("mainTableView");
    const QString first = m_controller->files().item(0)->name();
    table->setFocus();
    table->selectRow(0);
    QVERIFY(!element<QPushButton>("moveUpButton")->isEnabled());
    QTest::keyClick(table, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(m_controller->files().item(0)->name(), first);
    QVERIFY(element<QPushButton>("moveDownButton")->isEnabled());
    QTest::keyClick(table, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_controller->files().item(1)->name(), first);
    element<QPushButton>("moveDownButton")->click();
    QCOMPARE(m_controller->files().item(2)->name(), first);
    QVERIFY(!element<QPushButton>("moveDownButton")->isEnabled());
    element<QPushButton>("moveUpButton")->click();
    QCOMPARE(m_controller->files().item(1)->name(), first);
    QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(table->selectionModel()->selectedRows().first().row(), 1);

    // Select All and Select First Only act on the highlight, not on the check marks.
    element<QPushButton>("selectAllButton")->click();
    QCOMPARE(table->selectionModel()->selectedRows().size(), 3);
    element<QPushButton>("deselectAllButton")->click();
    QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(table->selectionModel()->selectedRows().first().row(), 0);
    element<QPushButton>("removeSelectedFilesButton")->click();
    QCOMPARE(m_controller->files().rowCount(), 2);
}

void TestClassic::sidePaneStartsFoldedAndToggles()
{
    start();
    auto *split = element<SplitView>("mainSplitView");
    auto *outline = element<QWidget>("mainOutlineView");
    QVERIFY(split->isSecondPaneCollapsed());
    QVERIFY(!outline->isVisible());
    QCOMPARE(split->widget(0)->width(), split->width());
    m_controller->toggleRightView();
    QVERIFY(outline->isVisible());
    QTRY_VERIFY(!split->isSecondPaneCollapsed());
    QVERIFY(outline->width() >= 2 * SplitView::secondPaneMinimum);
    QCOMPARE(split->widget(0)->width() + split->handleWidth() + outline->width(), split->width());
    QCOMPARE(outline->x(), split->widget(0)->width() + split->handleWidth());
    // The list still has the room its buttons need beside the settings pane.
    auto *list = element<QWidget>("leftBox");
    QTRY_COMPARE(list->width(),
                 split->widget(0)->width() - (element<QWidget>("rightBox")->width() + 9));
    QVERIFY(list->width() >= list->minimumSizeHint().width());
    m_controller->toggleRightView();
    QVERIFY(split->isSecondPaneCollapsed());
    QVERIFY(!outline->isVisible());
    QTRY_COMPARE(split->widget(0)->width(), split->width());
}

void TestClassic::outputFolderIsChosenOnTheWindow()
{
    start();
    element<QPushButton>("chooseOutputFolderBtn")->click();
    auto *chooser = m_controller->window()->findChild<QFileDialog *>("outputFolderPanel");
    QVERIFY(chooser && chooser->isVisible());
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Select Output Folder:"));
    QCOMPARE(chooser->windowModality(), Qt::WindowModal);
    QCOMPARE(chooser->parentWidget(), m_controller->window());
    chooser->setDirectory(m_out->path());
    chooser->selectFile(m_out->path());
    static_cast<QDialog *>(chooser)->accept();
    QTRY_COMPARE(m_controller->settings().outputFolderPath(), QDir::cleanPath(m_out->path()));
    QCOMPARE(element<QLineEdit>("outputFolderPathField")->text(), QDir::cleanPath(m_out->path()));
    QVERIFY(element<QWidget>("openFolderAfterConversionBtn")->isEnabled());
    // Saved at once, as the folder to keep.
    QCOMPARE(Preferences()
                 .value(QStringLiteral("SETTINGS"))
                 .toMap()
                 .value(QStringLiteral("outputFolderPath"))
                 .toString(),
             QDir::cleanPath(m_out->path()));
}

void TestClassic::helpOpensTheClassicManual()
{
    start();
    element<QAction>("helpMenuItem")->trigger();
    QCOMPARE(m_workspace.calls().size(), 1);
    const QString opened = m_workspace.calls().first().urls.first().toLocalFile();
    QFile manual(QStringLiteral(":/manual/MACFolioset1.pdf"));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QCOMPARE(fixtures::readBytes(opened), manual.readAll());
}

void TestClassic::importSheetSpeaksInFrontAndCancelKeepsWhatItFound()
{
    start();
    element<QPushButton>("importBtn")->click();
    ImportFilesWindowController *sheet = m_controller->importFilesPanel();
    QVERIFY(sheet && sheet->isVisible());
    {
        const AlertAnswerer answerer;
        sheet->findChild<QPushButton *>(QStringLiteral("importBtn"))->click();
        QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Please select file to import!")});
        QCOMPARE(answerer.modalities(), QList<Qt::WindowModality>{Qt::ApplicationModal});
    }
    // The text box is never made read-only here, whichever method is chosen.
    auto *text = sheet->findChild<QPlainTextEdit *>(QStringLiteral("importText"));
    QVERIFY(!text->isReadOnly());
    sheet->findChild<QAbstractButton *>(QStringLiteral("importFromTextBtn"))->click();
    QVERIFY(!text->isReadOnly());
    QGuiApplication::clipboard()->setText(m_inputs.filePath(QStringLiteral("a.jpg")));
    sheet->findChild<QPushButton *>(QStringLiteral("pasteFromClipboardBtn"))->click();
    QCOMPARE(sheet->files().size(), 1);
    // Cancel closes the sheet and adds nothing; what was found stays until the next opening.
    sheet->findChild<QPushButton *>(QStringLiteral("cancelImportBtn"))->click();
    QVERIFY(!sheet->isVisible());
    QCOMPARE(sheet->files().size(), 1);
    QCOMPARE(m_controller->files().rowCount(), 0);
    QVERIFY(!m_controller->loader().isRunning());
    element<QPushButton>("importBtn")->click();
    QVERIFY(sheet->files().isEmpty());
    sheet->cancelAction();
}

void TestClassic::quitStoresOnlyTheSettings()
{
    start();
    auto *name = element<QLineEdit>("singleMultiPagePDFName");
    element<QAbstractButton>("singleMultiPagePDFBtn")->click();
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("scans"));
    QVERIFY(element<CustomTableView>("mainTableView")
                ->acceptDroppedUrls({QUrl::fromLocalFile(m_inputs.path())}));
    QTRY_VERIFY(!m_controller->isProcessing());
    m_controller->applicationShouldTerminate();
    Preferences stored;
    QCOMPARE(stored.value(QStringLiteral("SETTINGS"))
                 .toMap()
                 .value(QStringLiteral("singleMultiPagePDFName"))
                 .toString(),
             QStringLiteral("scans"));
    QVERIFY(!stored.contains(QStringLiteral("RECENTITEMS")));
}

void TestClassic::editionsKeepTheirStoresAndFoldersApart()
{
    // folioset1 converts, hides its settings pane and keeps a folder as default.
    QVERIFY(storeSettings({{QStringLiteral("outputFolderPath"), m_out->path()},
                           {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                           {QStringLiteral("isOpenFolderAfterConversion"), false},
                           {QStringLiteral("combineOptionIndex"), 0}}));
    start();
    const QString classicSupport = Utilities::getAppPath();
    const QString classicStore = Preferences().fileName();
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    addFiles(2);
    m_controller->toggleSettings();
    element<QPushButton>("convertBtn")->click();
    QVERIFY(waitForRunToEnd(*m_controller));
    element<QPushButton>("closeProcessBtn")->click();
    m_controller->applicationShouldTerminate();
    m_controller.reset();
    const QStringList classicLogs =
        QDir(classicSupport + QStringLiteral("/Logs")).entryList(QDir::Files);
    const QFileInfoList newest =
        QDir(classicSupport + QStringLiteral("/Logs")).entryInfoList(QDir::Files, QDir::Time);
    QVERIFY(!newest.isEmpty() && newest.first().lastModified() >= started);
    QVERIFY(QFileInfo::exists(classicSupport + QStringLiteral("/Usages.Log")));
    const QByteArray classicStored = fixtures::readBytes(classicStore);
    const QByteArray classicUsage = fixtures::readBytes(classicSupport + "/Usages.Log");

    // folioset2 on the same account starts from nothing of that, and writes only its own.
    useEdition(Edition::Folioset2);
    const QString secondSupport = Utilities::getAppPath();
    QVERIFY(secondSupport != classicSupport);
    QVERIFY(Preferences().fileName() != classicStore);
    QDir(secondSupport).removeRecursively();
    QFile::remove(Preferences().fileName());
    {
        FoliosetAppDelegate second(m_workspace);
        second.awakeFromNib();
        QVERIFY(second.settings().outputFolderPath().isEmpty());
        QVERIFY(!Preferences().contains(QStringLiteral("SHOWSETTINGS")));
        second.addRecentItem({m_inputs.path()});
        second.applicationShouldTerminate();
        QVERIFY(Preferences().contains(QStringLiteral("RECENTITEMS")));
    }
    QVERIFY(QDir(secondSupport + QStringLiteral("/Logs")).entryList(QDir::Files).isEmpty());
    QCOMPARE(fixtures::readBytes(classicStore), classicStored);
    QCOMPARE(fixtures::readBytes(classicSupport + "/Usages.Log"), classicUsage);
    QCOMPARE(QDir(classicSupport + QStringLiteral("/Logs")).entryList(QDir::Files), classicLogs);

    // And folioset1 again finds its own state as it left it.
    useEdition(Edition::Folioset1);
    start();
    QVERIFY(!m_controller->showSettings());
    QCOMPARE(m_controller->settings().outputFolderPath(), m_out->path());
    QVERIFY(!Preferences().contains(QStringLiteral("RECENTITEMS")));
}

QTEST_MAIN(TestClassic)
#include "tst_classic.moc"
