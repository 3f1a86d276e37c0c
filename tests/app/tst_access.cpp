// The windows of both editions reached as a screen reader and the keyboard reach them: every
// command run through its accessible action, states and figures read through QAccessible, Tab
// walked through each window, Escape pressed on each sheet.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "filelist/importfileswindowcontroller.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "widgets/segmentedcontrol.h"

#include <QAccessible>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace folioset;
using namespace folioset::testing;

namespace {

// The accessible object under `root` (itself included) with this name and, unless Role(-1),
// this role; the first found depth first, skipping what is not shown.
QAccessibleInterface *findAccessible(QAccessibleInterface *root, const QString &name,
                                     QAccessible::Role role = QAccessible::Role(-1))
{
    if (!root || root->state().invisible)
        return nullptr;
    if (root->text(QAccessible::Name) == name &&
        (role == QAccessible::Role(-1) || root->role() == role))
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface *found = findAccessible(root->child(i), name, role))
            return found;
    }
    return nullptr;
}

// Everything under `root` that has a state bit set by `test`.
void collect(QAccessibleInterface *root, const std::function<bool(QAccessibleInterface *)> &test,
             QList<QAccessibleInterface *> &found)
{
    if (!root)
        return;
    if (test(root))
        found << root;
    for (int i = 0; i < root->childCount(); ++i)
        collect(root->child(i), test, found);
}

// What a screen reader's user does to a control: its one action besides taking the focus.
bool activate(QAccessibleInterface *control)
{
    QAccessibleActionInterface *actions = control ? control->actionInterface() : nullptr;
    if (!actions)
        return false;
    for (const QString &action :
         {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()}) {
        if (actions->actionNames().contains(action)) {
            actions->doAction(action);
            return true;
        }
    }
    return false;
}

// The name of the control that has the focus in `window`, or in the active window.
QString focusName(QWidget *window = nullptr)
{
    QAccessibleInterface *focused = QAccessible::queryAccessibleInterface(
        window ? window->focusWidget() : QApplication::focusWidget());
    return focused ? focused->text(QAccessible::Name).remove(QLatin1Char('&')) : QString();
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyCommandRunsByItsAccessibleAction_data();
    void everyCommandRunsByItsAccessibleAction();
    void subfoldersReportCheckedAndNotChecked_data();
    void subfoldersReportCheckedAndNotChecked();
    void pageSwitchMarksTheCurrentPage_data();
    void pageSwitchMarksTheCurrentPage();
    void figuresAreReadAsTheyStand_data();
    void figuresAreReadAsTheyStand();
    void tabVisitsEveryEnabledControlOnceInOrder_data();
    void tabVisitsEveryEnabledControlOnceInOrder();
    void shortcutsAreListedAndWork_data();
    void shortcutsAreListedAndWork();
    void escapeClosesEverySheetAsItsCancelDoes_data();
    void escapeClosesEverySheetAsItsCancelDoes();
    void sheetsAreNamedDialogsWithADefaultButton_data();
    void sheetsAreNamedDialogsWithADefaultButton();
    void alertsAreAnnouncedWithTheirText();

private:
    void start(Edition edition, const QVariantMap &stored = {});
    void addFiles(int count);
    void openSheet(const QString &sheet);
    // Stored settings that keep the output folder.
    QVariantMap keptFolder() const
    {
        return {{QStringLiteral("outputFolderPath"), m_out->path()},
                {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true}};
    }
    QAccessibleInterface *window() const
    {
        return QAccessible::queryAccessibleInterface(m_controller->window());
    }
    // The shown control of the main window (its sheets included) with this accessible name.
    QAccessibleInterface *control(const QString &name) const;
    QWidget *shownChild(const QString &objectName) const;
    QStringList tabChain(QWidget *first);

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<ShellController> m_controller;
};

void TestAccess::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
}

void TestAccess::init()
{
    for (const Edition edition : {Edition::Folioset1, Edition::Folioset2}) {
        useEdition(edition);
        QFile::remove(Preferences().fileName());
    }
    m_out = std::make_unique<QTemporaryDir>();
    m_workspace.clear();
}

void TestAccess::cleanup()
{
    m_controller.reset();
    useEdition(Edition::Folioset2);
}

void TestAccess::start(Edition edition, const QVariantMap &stored)
{
    m_controller = startEdition(edition, m_workspace, stored);
    QVERIFY(m_controller);
    QVERIFY(QTest::qWaitForWindowActive(m_controller->window()));
}

void TestAccess::addFiles(int count)
{
    QVERIFY(addJpegs(*m_controller, m_inputs, count));
}

// Opens the sheet or window of that element name the way its command does.
void TestAccess::openSheet(const QString &sheet)
{
    ShellController &shell = *m_controller;
    if (sheet == QLatin1String("pdfSettingsPanel"))
        shell.openPDFSettings();
    else if (sheet == QLatin1String("importFilesPanel"))
        shell.openImportFilesPanel();
    else if (sheet == QLatin1String("processViewPanel"))
        shell.convertAction();
    else if (sheet == QLatin1String("AboutWindowController"))
        shell.aboutAction();
    else if (sheet == QLatin1String("EULAWindowController"))
        shell.showLicenseAgreement();
    else if (sheet == QLatin1String("addFilesPanel"))
        shell.addFiles();
    else
        static_cast<FoliosetAppDelegate &>(shell).showOutputSettings();
}

QAccessibleInterface *TestAccess::control(const QString &name) const
{
    // Sheets are windows of their own, children of the main window's widget.
    QList<QAccessibleInterface *> roots{window()};
    for (QDialog *sheet : m_controller->window()->findChildren<QDialog *>()) {
        if (sheet->isVisible())
            roots << QAccessible::queryAccessibleInterface(sheet);
    }
    // A group may carry the name of one of its commands ("Help"): the control is what acts.
    QList<QAccessibleInterface *> named;
    for (QAccessibleInterface *root : roots) {
        collect(
            root,
            [&name](QAccessibleInterface *a) {
                return !a->state().invisible && a->text(QAccessible::Name) == name &&
                       a->actionInterface() && !a->actionInterface()->actionNames().isEmpty();
            },
            named);
    }
    for (QAccessibleInterface *candidate : named) {
        const QStringList actions = candidate->actionInterface()->actionNames();
        if (actions.contains(QAccessibleActionInterface::pressAction()) ||
            actions.contains(QAccessibleActionInterface::toggleAction()))
            return candidate;
    }
    return nullptr;
}

QWidget *TestAccess::shownChild(const QString &objectName) const
{
    for (QWidget *child : m_controller->window()->findChildren<QWidget *>(objectName)) {
        if (child->isVisible())
            return child;
    }
    return nullptr;
}

void TestAccess::everyCommandRunsByItsAccessibleAction_data()
{
    // What the command shows or does: "shown:<element>" a window or sheet of that name,
    // "open", "reveal" or "properties" a request to the desktop, "removed", "up" and "down" the
    // list's rows, "all" and "first" the highlighted rows, "asked" a question in front of the
    // whole program, "hidden:<element>" a pane put away.
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("effect");
    const auto second = [](const char *command, const char *effect) {
        QTest::addRow("folioset2 %s", command)
            << int(Edition::Folioset2) << QString::fromUtf8(command) << QString::fromUtf8(effect);
    };
    second("Add Files", "shown:addFilesPanel");
    second("Remove", "removed");
    second("Import", "shown:importFilesPanel");
    second("Export", "shown:exportPanel");
    second("Logs", "open");
    second("Move Up", "up");
    second("Move Down", "down");
    second("Remove All", "asked");
    second("Output Settings", "shown:outputSettingPanel");
    second("Convert", "shown:outputFolderChooser");
    second("Web Site", "open");
    second("Help", "open");
    second("Rate Us", "open");
    second("PDF Settings...", "shown:pdfSettingsPanel");
    const auto first = [](const char *command, const char *effect) {
        QTest::addRow("folioset1 %s", command)
            << int(Edition::Folioset1) << QString::fromUtf8(command) << QString::fromUtf8(effect);
    };
    first("Add Files", "shown:addFilesPanel");
    first("Add Folder", "shown:addFolderPanel");
    first("Import", "shown:importFilesPanel");
    first("Remove", "removed");
    first("Open", "open");
    first("Get Info", "properties");
    first("Show in Folder", "reveal");
    first("Move Up", "up");
    first("Move Down", "down");
    first("Select All", "all");
    first("Select First Only", "first");
    first("Remove Selected", "removed");
    first("Remove All", "asked");
    first("Convert", "asked");
    first("Choose...", "shown:outputFolderPanel");
    first("PDF Settings...", "shown:pdfSettingsPanel");
    first("About", "shown:AboutWindowController");
    first("Export", "shown:exportPanel");
    first("Settings", "hidden:rightBox");
}

void TestAccess::everyCommandRunsByItsAccessibleAction()
{
    QFETCH(int, edition);
    QFETCH(QString, command);
    QFETCH(QString, effect);
    start(Edition(edition));
    addFiles(3);
    auto *table = m_controller->window()->findChild<QTableView *>(QStringLiteral("mainTableView"));
    table->selectRow(1);
    // On the settings pane's second tab.
    if (command == QLatin1String("Choose..."))
        element<QTabWidget>(*m_controller, "settingTabView")->setCurrentIndex(1);
    if (command == QLatin1String("PDF Settings...") && edition == int(Edition::Folioset2))
        element<QTabWidget>(*m_controller, "settingTabView")->setCurrentIndex(1);
    const QStringList before = [&] {
        QStringList names;
        for (const FileItemPtr &item : m_controller->files().files())
            names << item->name();
        return names;
    }();

    // Questions are answered "No"; a notice has only "OK".
    AlertAnswerer answerer(command == QLatin1String("Convert") ? 0 : 1);
    QAccessibleInterface *target = control(command);
    QVERIFY2(target, qPrintable(command + QStringLiteral(" is not reachable")));
    QVERIFY2(activate(target), qPrintable(command + QStringLiteral(" has no action")));

    const auto names = [&] {
        QStringList now;
        for (const FileItemPtr &item : m_controller->files().files())
            now << item->name();
        return now;
    };
    const auto rows = [&] {
        QList<int> selected;
        for (const QModelIndex &index : table->selectionModel()->selectedRows())
            selected << index.row();
        std::sort(selected.begin(), selected.end());
        return selected;
    };
    if (effect.startsWith(QLatin1String("shown:"))) {
        QTRY_VERIFY2(shownChild(effect.mid(6)), qPrintable(effect));
    } else if (effect.startsWith(QLatin1String("hidden:"))) {
        QTRY_VERIFY(!shownChild(effect.mid(7)));
    } else if (effect == QLatin1String("open") || effect == QLatin1String("reveal") ||
               effect == QLatin1String("properties")) {
        QTRY_COMPARE(m_workspace.calls().size(), 1);
        QCOMPARE(m_workspace.calls().first().action, effect);
    } else if (effect == QLatin1String("removed")) {
        QTRY_COMPARE(names(), QStringList({before.at(0), before.at(2)}));
    } else if (effect == QLatin1String("up")) {
        QTRY_COMPARE(names(), QStringList({before.at(1), before.at(0), before.at(2)}));
    } else if (effect == QLatin1String("down")) {
        QTRY_COMPARE(names(), QStringList({before.at(0), before.at(2), before.at(1)}));
    } else if (effect == QLatin1String("all")) {
        QTRY_COMPARE(rows(), QList<int>({0, 1, 2}));
    } else if (effect == QLatin1String("first")) {
        QTRY_COMPARE(rows(), QList<int>({0}));
    } else if (effect == QLatin1String("asked")) {
        QTRY_COMPARE(answerer.texts().size(), 1);
        QCOMPARE(names(), before);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown effect ") + effect));
    }
}

void TestAccess::subfoldersReportCheckedAndNotChecked_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("name");
    QTest::newRow("folioset2") << int(Edition::Folioset2) << QStringLiteral("Subfolders");
    QTest::newRow("folioset1") << int(Edition::Folioset1) << QStringLiteral("Include Subfolders");
}

void TestAccess::subfoldersReportCheckedAndNotChecked()
{
    QFETCH(int, edition);
    QFETCH(QString, name);
    start(Edition(edition));
    QAccessibleInterface *toggle = control(name);
    QVERIFY(toggle);
    QCOMPARE(toggle->role(), QAccessible::CheckBox);
    QVERIFY(toggle->state().checkable);
    QVERIFY(!toggle->state().checked);
    QVERIFY(toggle->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::toggleAction()));
    for (const bool expected : {true, false}) {
        QVERIFY(activate(toggle));
        QTRY_COMPARE(bool(toggle->state().checked), expected);
        QCOMPARE(m_controller->inculdeSubfolders(), expected);
    }
}

void TestAccess::pageSwitchMarksTheCurrentPage_data()
{
    QTest::addColumn<int>("edition");
    QTest::newRow("folioset2") << int(Edition::Folioset2);
    QTest::newRow("folioset1") << int(Edition::Folioset1);
}

void TestAccess::pageSwitchMarksTheCurrentPage()
{
    QFETCH(int, edition);
    start(Edition(edition));
    m_controller->openPDFSettings();
    QAccessibleInterface *sheet =
        QAccessible::queryAccessibleInterface(m_controller->pdfSettingsPanel());
    const QStringList pages{QStringLiteral("Document"), QStringLiteral("Security"),
                            QStringLiteral("Bookmarks"), QStringLiteral("Page")};
    QAccessibleInterface *list = findAccessible(sheet, QStringLiteral("PDF settings pages"));
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::PageTabList);
    auto *stack = element<QStackedWidget>(*m_controller, "pdfSettingsTab");
    for (int shown = pages.size() - 1; shown >= 0; --shown) {
        QAccessibleInterface *tab = findAccessible(sheet, pages.at(shown), QAccessible::PageTab);
        QVERIFY(tab);
        QVERIFY(activate(tab));
        QTRY_COMPARE(stack->currentIndex(), shown);
        for (int page = 0; page < pages.size(); ++page) {
            QAccessibleInterface *other =
                findAccessible(sheet, pages.at(page), QAccessible::PageTab);
            QVERIFY(other->state().selectable);
            QCOMPARE(bool(other->state().selected), page == shown);
        }
    }
    // Left and Right walk the pages from the keyboard as well.
    QWidget *security = element<SegmentedControl>(*m_controller, "pdfSettingsSegmented")->button(1);
    QWidget *panel = m_controller->pdfSettingsPanel();
    security->setFocus();
    QTest::keyClick(security, Qt::Key_Right);
    QCOMPARE(stack->currentIndex(), 2);
    QTest::keyClick(panel->focusWidget(), Qt::Key_Left);
    QTest::keyClick(panel->focusWidget(), Qt::Key_Left);
    QCOMPARE(stack->currentIndex(), 0);
    QCOMPARE(focusName(panel), pages.at(0));
}

void TestAccess::figuresAreReadAsTheyStand_data()
{
    QTest::addColumn<int>("edition");
    QTest::newRow("folioset2") << int(Edition::Folioset2);
    QTest::newRow("folioset1") << int(Edition::Folioset1);
}

void TestAccess::figuresAreReadAsTheyStand()
{
    QFETCH(int, edition);
    start(Edition(edition));
    // The figure is what is read; the caption says what it is.
    const auto reads = [](QAccessibleInterface *label, const QString &text) {
        QVERIFY(label);
        QCOMPARE(label->text(QAccessible::Name), text);
        QAccessibleTextInterface *textual = label->textInterface();
        QVERIFY(textual);
        QCOMPARE(textual->text(0, textual->characterCount()), text);
    };
    addFiles(3);
    const QString totals =
        QStringLiteral("3 Total file(s); 3 file selected; Total PDF file(s) to create: 3");
    QAccessibleInterface *line = findAccessible(window(), totals);
    reads(line, totals);
    QCOMPARE(line->text(QAccessible::Description), QStringLiteral("Totals"));

    // The progress sheet's counts and result, once a run has ended.
    m_controller->settings().setOutputFolderPath(m_out->path());
    m_controller->convertAction();
    QVERIFY(waitForRunToEnd(*m_controller));
    for (const char *name : {"processCountsLabel", "processMessageLabel", "labelTimeTaken"}) {
        auto *figure = element<QLabel>(*m_controller, name);
        QVERIFY(!figure->text().isEmpty());
        reads(QAccessible::queryAccessibleInterface(figure), figure->text());
    }
    QVERIFY(element<QLabel>(*m_controller, "processCountsLabel")
                ->text()
                .startsWith(QLatin1String("3 of 3 image file(s)")));
    m_controller->closeProcessAction();

    // The import sheet's count of files found.
    m_controller->openImportFilesPanel();
    ImportFilesWindowController *import = m_controller->importFilesPanel();
    import->parseText(m_inputs.filePath(QStringLiteral("a0.jpg")) + QLatin1Char('\n') +
                      m_inputs.filePath(QStringLiteral("a1.jpg")));
    reads(findAccessible(QAccessible::queryAccessibleInterface(import),
                         QStringLiteral("Total Files Found : 2")),
          QStringLiteral("Total Files Found : 2"));
}

void TestAccess::tabVisitsEveryEnabledControlOnceInOrder_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("sheet"); // empty: the main window
    QTest::addColumn<QStringList>("order");
    // A radio group is one stop, at its checked button; arrows choose within it.
    QTest::newRow("folioset2 window") << int(Edition::Folioset2) << QString()
                                      << QStringList{"Files to convert",
                                                     "Add Files",
                                                     "Remove",
                                                     "Subfolders",
                                                     "Import",
                                                     "Export",
                                                     "Logs",
                                                     "Move Up",
                                                     "Move Down",
                                                     "Remove All",
                                                     "Recent Folders...",
                                                     "Output Settings",
                                                     "Convert",
                                                     "Web Site",
                                                     "Help",
                                                     "Rate Us",
                                                     "Combine",
                                                     "Single image to single PDF"};
    QTest::newRow("folioset1 window") << int(Edition::Folioset1) << QString()
                                      << QStringList{"Files to convert",
                                                     "Add Files",
                                                     "Add Folder",
                                                     "Include Subfolders",
                                                     "Import",
                                                     "Remove",
                                                     "Refresh",
                                                     "Open",
                                                     "Get Info",
                                                     "Show in Folder",
                                                     "Move Up",
                                                     "Move Down",
                                                     "Select All",
                                                     "Select First Only",
                                                     "Remove Selected",
                                                     "Remove All",
                                                     "Convert",
                                                     "Combine",
                                                     "1. Single image to single PDF",
                                                     "Apply document settings",
                                                     "PDF Settings..."};
    const QStringList pdf{"Document", "Security", "Bookmarks", "Page",   "Title",
                          "Subject",  "Author",   "Keywords",  "Cancel", "Apply"};
    QTest::newRow("folioset2 PDF settings") << int(Edition::Folioset2) << "pdfSettingsPanel" << pdf;
    QTest::newRow("folioset1 PDF settings") << int(Edition::Folioset1) << "pdfSettingsPanel" << pdf;
    QTest::newRow("folioset2 output settings")
        << int(Edition::Folioset2) << "outputSettingPanel"
        << QStringList{"Output folder",
                       "Choose...",
                       "Keep this folder as the default",
                       "Open the folder after conversion",
                       "Remove converted files from the list",
                       "Close"};
}

QStringList TestAccess::tabChain(QWidget *first)
{
    // Keys go to the control with the window's focus, as they would with the window in front.
    QWidget *window = first->window();
    first->setFocus(Qt::TabFocusReason);
    QStringList visited;
    QList<QWidget *> seen;
    while (!seen.contains(window->focusWidget()) && seen.size() < 100) {
        seen << window->focusWidget();
        visited << focusName(window);
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    }
    // Round again to where it began, not into a loop of its own.
    if (window->focusWidget() != first)
        visited << QStringLiteral("then back to ") + focusName(window);
    return visited;
}

void TestAccess::tabVisitsEveryEnabledControlOnceInOrder()
{
    QFETCH(int, edition);
    QFETCH(QString, sheet);
    QFETCH(QStringList, order);
    start(Edition(edition), keptFolder());
    addFiles(3);
    auto *table = m_controller->window()->findChild<QTableView *>(QStringLiteral("mainTableView"));
    table->selectRow(1); // both moves possible
    QWidget *first = table;
    if (sheet == QLatin1String("pdfSettingsPanel")) {
        m_controller->openPDFSettings();
        QVERIFY(QTest::qWaitForWindowExposed(m_controller->pdfSettingsPanel()));
        first = element<SegmentedControl>(*m_controller, "pdfSettingsSegmented")->button(0);
    } else if (sheet == QLatin1String("outputSettingPanel")) {
        auto *controller = static_cast<FoliosetAppDelegate *>(m_controller.get());
        controller->showOutputSettings();
        QVERIFY(QTest::qWaitForWindowExposed(controller->outputSettingPanel()));
        first = controller->outputSettingPanel()->findChild<QWidget *>(
            QStringLiteral("outputFolderPathField"));
    }
    const QStringList visited = tabChain(first);
    QVERIFY2(visited == order, qPrintable(visited.join(QStringLiteral(" | "))));
    // Tab leaves the list rather than walking its cells; arrows move within it.
    if (sheet.isEmpty()) {
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 2));
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(table->currentIndex().row(), 1);
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != table);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), table);
        // Arrows choose the way of combining, as in any radio group, and it is stored.
        auto *single = element<QRadioButton>(*m_controller, "singleImagePDFBtn");
        single->setFocus();
        QTest::keyClick(single, Qt::Key_Down);
        QVERIFY(element<QRadioButton>(*m_controller, "singleMultiPagePDFBtn")->isChecked());
        QVERIFY(!single->isChecked());
        QCOMPARE(m_controller->settings().combineOptionIndex(), 1);
    }
}

void TestAccess::shortcutsAreListedAndWork_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("shows");
    for (const Edition edition : {Edition::Folioset2, Edition::Folioset1}) {
        const char *name = edition == Edition::Folioset2 ? "folioset2" : "folioset1";
        const auto row = [&](const char *item, QKeySequence keys, const char *shows) {
            QTest::addRow("%s %s", name, item)
                << int(edition) << QString::fromUtf8(item) << keys << QString::fromUtf8(shows);
        };
        row("Add Files...", QKeySequence(Qt::CTRL | Qt::Key_O), "addFilesPanel");
        row("Add Folder...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), "addFolderPanel");
        row("Import File List...", QKeySequence(Qt::CTRL | Qt::Key_I), "importFilesPanel");
        row("Export List...", QKeySequence(Qt::CTRL | Qt::Key_E), "exportPanel");
        row("Remove", QKeySequence(Qt::Key_Delete), "");
        row("Convert", QKeySequence(Qt::CTRL | Qt::Key_Return), "processViewPanel");
    }
}

void TestAccess::shortcutsAreListedAndWork()
{
    QFETCH(int, edition);
    QFETCH(QString, item);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, shows);
    start(Edition(edition), keptFolder());
    addFiles(2);
    auto *table = m_controller->window()->findChild<QTableView *>(QStringLiteral("mainTableView"));
    table->selectRow(0);
    table->setFocus();
    // Listed in the File menu, beside its item.
    QMenu *fileMenu = m_controller->window()->menuBar()->actions().value(1)->menu();
    QVERIFY(fileMenu);
    QAction *listed = nullptr;
    for (QAction *action : fileMenu->actions()) {
        if (action->text() == item)
            listed = action;
    }
    QVERIFY2(listed, qPrintable(item));
    QCOMPARE(listed->shortcut(), keys);

    AlertAnswerer answerer(0);
    QTest::keySequence(m_controller->window(), keys);
    QVERIFY2(answerer.texts().isEmpty(), qPrintable(answerer.texts().join(' ')));
    if (shows.isEmpty()) {
        QCOMPARE(m_controller->files().rowCount(), 1);
        return;
    }
    QTRY_VERIFY2(shownChild(shows), qPrintable(shows));
    if (shows == QLatin1String("processViewPanel"))
        QVERIFY(waitForRunToEnd(*m_controller));
}

void TestAccess::escapeClosesEverySheetAsItsCancelDoes_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("sheet");
    for (const Edition edition : {Edition::Folioset2, Edition::Folioset1}) {
        const char *name = edition == Edition::Folioset2 ? "folioset2" : "folioset1";
        QStringList sheets{"pdfSettingsPanel",      "importFilesPanel",     "processViewPanel",
                           "AboutWindowController", "EULAWindowController", "addFilesPanel"};
        if (edition == Edition::Folioset2)
            sheets << "outputSettingPanel";
        for (const QString &sheet : sheets)
            QTest::addRow("%s %s", name, qPrintable(sheet)) << int(edition) << sheet;
    }
}

void TestAccess::escapeClosesEverySheetAsItsCancelDoes()
{
    QFETCH(int, edition);
    QFETCH(QString, sheet);
    start(Edition(edition), keptFolder());
    addFiles(2);
    ShellController &shell = *m_controller;
    const QString storedTitle = shell.settings().pdfSettings()->title();
    openSheet(sheet);
    if (sheet == QLatin1String("pdfSettingsPanel"))
        QTest::keyClicks(element<QLineEdit>(shell, "titleField"), QStringLiteral("typed"));
    if (sheet == QLatin1String("processViewPanel"))
        QVERIFY(waitForRunToEnd(shell));
    QWidget *shown = nullptr;
    QTRY_VERIFY((shown = shownChild(sheet)));
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QTest::keyClick(shown->focusWidget() ? shown->focusWidget() : shown, Qt::Key_Escape);
    QTRY_VERIFY(!shownChild(sheet));
    // What Cancel or Close would have done besides: the edits dropped, the run's sheet closed
    // and the window given back.
    QCOMPARE(shell.settings().pdfSettings()->title(), storedTitle);
    if (sheet == QLatin1String("processViewPanel"))
        QVERIFY(!shell.process());
    QVERIFY(shell.window()->findChild<QWidget *>(QStringLiteral("mainTableView"))->isEnabled());
}

void TestAccess::sheetsAreNamedDialogsWithADefaultButton_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("sheet");
    for (const Edition edition : {Edition::Folioset2, Edition::Folioset1}) {
        const char *name = edition == Edition::Folioset2 ? "folioset2" : "folioset1";
        QStringList sheets{"pdfSettingsPanel", "importFilesPanel", "processViewPanel",
                           "AboutWindowController", "EULAWindowController"};
        if (edition == Edition::Folioset2)
            sheets << "outputSettingPanel";
        for (const QString &sheet : sheets)
            QTest::addRow("%s %s", name, qPrintable(sheet)) << int(edition) << sheet;
    }
}

void TestAccess::sheetsAreNamedDialogsWithADefaultButton()
{
    QFETCH(int, edition);
    QFETCH(QString, sheet);
    start(Edition(edition), keptFolder());
    addFiles(1);
    ShellController &shell = *m_controller;
    openSheet(sheet);
    QWidget *shown = nullptr;
    QTRY_VERIFY((shown = shownChild(sheet)));
    if (sheet == QLatin1String("processViewPanel"))
        QVERIFY(waitForRunToEnd(shell));
    QAccessibleInterface *dialog = QAccessible::queryAccessibleInterface(shown);
    QCOMPARE(dialog->role(), QAccessible::Dialog);
    QVERIFY(!dialog->text(QAccessible::Name).isEmpty());
    QCOMPARE(dialog->text(QAccessible::Name), shown->windowTitle());
    QList<QAccessibleInterface *> defaults;
    collect(
        dialog, [](QAccessibleInterface *a) { return a->state().defaultButton; }, defaults);
    QCOMPARE(defaults.size(), 1);
    QCOMPARE(defaults.first()->role(), QAccessible::PushButton);
}

void TestAccess::alertsAreAnnouncedWithTheirText()
{
    start(Edition::Folioset2);
    addFiles(1);
    m_controller->selectDeselectRemoveAll(3);
    QWidget *alert = nullptr;
    QTRY_VERIFY((alert = shownChild(QStringLiteral("alertSheet"))));
    QAccessibleInterface *announced = QAccessible::queryAccessibleInterface(alert);
    QCOMPARE(announced->role(), QAccessible::AlertMessage);
    QCOMPARE(announced->text(QAccessible::Name), alert->windowTitle());
    QCOMPARE(announced->text(QAccessible::Description),
             QStringLiteral("Are you sure to remove all file(s)?"));
    QList<QAccessibleInterface *> defaults;
    collect(
        announced, [](QAccessibleInterface *a) { return a->state().defaultButton; }, defaults);
    QCOMPARE(defaults.size(), 1);
    QCOMPARE(defaults.first()->text(QAccessible::Name), QStringLiteral("Yes"));
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
