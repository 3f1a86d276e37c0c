// The file list in the folioset2 window: drops, keys, menus, the import sheet, export, the
// empty-list hint.

#include "app/foliosetappdelegate.h"
#include "filelist/customtableview.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "widgets/segmentedcontrol.h"

#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace folioset;
using namespace folioset::testing;

class TestFileListCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_controller.reset(); }

    void droppedFoldersAndFilesAreFiltered_data();
    void droppedFoldersAndFilesAreFiltered();
    void dropsAreRefusedWhileBusy();
    void cancelKeepsWhatWasFoundAndFreesTheWindow();
    void keysFlipRemoveAndMove();
    void aMoveByHandEndsTheSortOrder();
    void aSortKeepsTheMoveControlsTrue();
    void theTotalLineFollowsEachListChange_data();
    void theTotalLineFollowsEachListChange();
    void rowMenuNeedsHighlightedRows();
    void columnMenuKeepsTheEssentialColumns();
    void removeAllAsksFirst_data();
    void removeAllAsksFirst();
    void importSheetMessagesAndReset();
    void importSheetAddsTheListedFiles();
    void exportWritesTheChosenFile();
    void emptyListShowsTheHint();

private:
    template <typename T> T *element(const char *name) const
    {
        return testing::element<T>(*m_controller, name);
    }
    CustomTableView *table() const { return element<CustomTableView>("mainTableView"); }
    void start();
    bool waitForLoad();
    void dropUrls(const QList<QUrl> &urls);
    QStringList listNames() const;
    void addFiles(int count);
    void selectRows(const QList<int> &rows);

    QTemporaryDir m_tree;
    RecordingWorkspace m_workspace;
    std::unique_ptr<FoliosetAppDelegate> m_controller;
};

void TestFileListCommands::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString jpeg = m_tree.filePath(QStringLiteral("seed.jpg"));
    QVERIFY(fixtures::writeJpeg(jpeg, QSize(16, 12)));
    for (const char *name : {"photos/a.jpg", "photos/b.JPG", "photos/c.Jpg", "photos/d.pdf",
                             "photos/e.txt", "photos/.hidden.jpg", "photos/sub/f.jpg",
                             "photos/sub/.dot/g.jpg", "loose.JPG", "loose.Jpg"}) {
        const QString path = m_tree.filePath(QLatin1String(name));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QVERIFY(QFile::copy(jpeg, path));
    }
}

void TestFileListCommands::init()
{
    QFile::remove(Preferences().fileName());
    m_workspace.clear();
    start();
}

void TestFileListCommands::start()
{
    m_controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

bool TestFileListCommands::waitForLoad()
{
    return QTest::qWaitFor(
        [this] { return !m_controller->loader().isRunning() && !m_controller->isProcessing(); },
        30000);
}

void TestFileListCommands::dropUrls(const QList<QUrl> &urls)
{
    // What a file manager hands over: a text/uri-list, dropped on the table's viewport.
    QMimeData data;
    QByteArray list;
    for (const QUrl &url : urls)
        list += url.toEncoded() + "\r\n";
    data.setData(QStringLiteral("text/uri-list"), list);
    QWidget *viewport = table()->viewport();
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
}

QStringList TestFileListCommands::listNames() const
{
    QStringList names;
    for (const FileItemPtr &item : m_controller->files().files())
        names << item->name();
    return names;
}

void TestFileListCommands::addFiles(int count)
{
    QList<FileItemPtr> items;
    for (int i = 0; i < count; ++i)
        items << FileItem::initWithURL(
            QUrl::fromLocalFile(m_tree.filePath(QStringLiteral("row%1.jpg").arg(i))));
    m_controller->files().append(items);
    m_controller->resetView(true);
}

void TestFileListCommands::selectRows(const QList<int> &rows)
{
    table()->clearSelection();
    for (const int row : rows)
        table()->selectionModel()->select(m_controller->files().index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestFileListCommands::droppedFoldersAndFilesAreFiltered_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<bool>("subfolders");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("folder") << QStringList{"photos"} << false << QStringList{"a.jpg", "b.JPG"};
    QTest::newRow("folder with subfolders")
        << QStringList{"photos"} << true << QStringList{"a.jpg", "b.JPG", "f.jpg"};
    QTest::newRow("files by exact extension")
        << QStringList{"loose.JPG", "loose.Jpg", "photos/d.pdf", "photos/e.txt"} << false
        << QStringList{"loose.JPG"};
    QTest::newRow("overlapping, each once") << QStringList{"photos", "photos/sub", "photos/a.jpg"}
                                            << true << QStringList{"a.jpg", "b.JPG", "f.jpg"};
}

void TestFileListCommands::droppedFoldersAndFilesAreFiltered()
{
    QFETCH(QStringList, dropped);
    QFETCH(bool, subfolders);
    QFETCH(QStringList, expected);
    m_controller->setInculdeSubfolders(subfolders);
    QList<QUrl> urls;
    for (const QString &name : dropped)
        urls << QUrl::fromLocalFile(m_tree.filePath(name));
    dropUrls(urls);
    QVERIFY(waitForLoad());
    QStringList names = listNames();
    std::sort(names.begin(), names.end());
    QCOMPARE(names, expected);
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(),
             QStringLiteral("%1 Total file(s); %1 file selected; Total PDF file(s) to create: %1")
                 .arg(expected.size()));
    QVERIFY(table()->isEnabled());
    QVERIFY(element<QLabel>("labelStatusTime")
                ->text()
                .startsWith(QLatin1String("Total Time Taken : 00:")));

    // The same drop again changes nothing, not even the order.
    const QStringList before = listNames();
    dropUrls(urls);
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), before);
}

void TestFileListCommands::dropsAreRefusedWhileBusy()
{
    m_controller->startProcess(); // as a conversion or a load does
    QVERIFY(!m_controller->dropURLs({QUrl::fromLocalFile(m_tree.filePath("loose.JPG"))}));
    m_controller->stopProcess();
    m_controller->resetView(false);
    dropUrls({QUrl::fromLocalFile(m_tree.filePath("loose.JPG"))});
    QVERIFY(!m_controller->loader().isRunning());
    QCOMPARE(m_controller->files().rowCount(), 0);
}

void TestFileListCommands::cancelKeepsWhatWasFoundAndFreesTheWindow()
{
    const QString many = m_tree.filePath(QStringLiteral("many"));
    QDir().mkpath(many);
    for (int i = 0; i < 4000; ++i)
        QVERIFY(QFile::link(m_tree.filePath(QStringLiteral("seed.jpg")),
                            QStringLiteral("%1/m%2.jpg").arg(many).arg(i)));
    m_controller->dropURLs({QUrl::fromLocalFile(many)});
    QVERIFY(m_controller->isProcessing());
    QVERIFY(element<QPushButton>("cancelBtn")->isVisible());
    QVERIFY(!table()->isEnabled());
    element<QPushButton>("cancelBtn")->click();
    QVERIFY(waitForLoad());
    QVERIFY(m_controller->files().rowCount() < 4000);
    QVERIFY(table()->isEnabled());
    QVERIFY(!element<QPushButton>("cancelBtn")->isVisible());
}

void TestFileListCommands::keysFlipRemoveAndMove()
{
    addFiles(6);
    m_controller->files().item(3)->setIsSelected(false);
    selectRows({2, 3, 4});
    table()->setFocus();
    QTest::keyClick(table(), Qt::Key_Space);
    QList<bool> marks;
    for (const FileItemPtr &item : m_controller->files().files())
        marks << item->isSelected();
    QCOMPARE(marks, (QList<bool>{true, true, false, true, false, true}));
    QVERIFY(
        element<QLabel>("labelTotalFiles")->text().contains(QLatin1String("; 4 file selected")));

    QTest::keyClick(table(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(listNames(),
             (QStringList{"row0.jpg", "row2.jpg", "row3.jpg", "row4.jpg", "row1.jpg", "row5.jpg"}));
    QCOMPARE(table()->selectionModel()->selectedRows().size(), 3);
    QVERIFY(table()->selectionModel()->isRowSelected(1, {}));

    QTest::keyClick(table(), Qt::Key_Delete);
    QCOMPARE(listNames(), (QStringList{"row0.jpg", "row1.jpg", "row5.jpg"}));
    // Row 0 highlighted: nothing moves up.
    selectRows({0, 2});
    QVERIFY(!element<SegmentedControl>("navigationSegmented")->isSegmentEnabled(0));
    QVERIFY(!element<SegmentedControl>("navigationSegmented")->isSegmentEnabled(1));
    QTest::keyClick(table(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(listNames(), (QStringList{"row0.jpg", "row1.jpg", "row5.jpg"}));
}

void TestFileListCommands::aMoveByHandEndsTheSortOrder()
{
    QHeaderView *header = table()->horizontalHeader();
    const int name = FileListModel::columnOf(QStringLiteral("name"));
    QCOMPARE(header->sortIndicatorSection(), name);
    dropUrls({QUrl::fromLocalFile(m_tree.filePath(QStringLiteral("photos")))});
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), (QStringList{"a.jpg", "b.JPG"}));

    selectRows({0});
    table()->setFocus();
    QTest::keyClick(table(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(listNames(), (QStringList{"b.JPG", "a.jpg"}));
    // No column claims the order any more, and a later load keeps it, adding at the end.
    QCOMPARE(header->sortIndicatorSection(), -1);
    dropUrls({QUrl::fromLocalFile(m_tree.filePath(QStringLiteral("loose.JPG")))});
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), (QStringList{"b.JPG", "a.jpg", "loose.JPG"}));
    // A click on a column heading sorts again.
    header->setSortIndicator(name, Qt::AscendingOrder);
    QCOMPARE(listNames(), (QStringList{"a.jpg", "b.JPG", "loose.JPG"}));
}

void TestFileListCommands::aSortKeepsTheMoveControlsTrue()
{
    addFiles(3);
    selectRows({0});
    auto *order = element<SegmentedControl>("navigationSegmented");
    QVERIFY(!order->isSegmentEnabled(0));
    QVERIFY(order->isSegmentEnabled(1));
    // The highlighted row goes last: it can move up, no longer down, and the keys agree.
    table()->horizontalHeader()->setSortIndicator(FileListModel::columnOf(QStringLiteral("name")),
                                                  Qt::DescendingOrder);
    QCOMPARE(listNames(), (QStringList{"row2.jpg", "row1.jpg", "row0.jpg"}));
    QVERIFY(order->isSegmentEnabled(0));
    QVERIFY(!order->isSegmentEnabled(1));
    table()->setFocus();
    QTest::keyClick(table(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(listNames(), (QStringList{"row2.jpg", "row1.jpg", "row0.jpg"}));
    QTest::keyClick(table(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(listNames(), (QStringList{"row2.jpg", "row0.jpg", "row1.jpg"}));
}

void TestFileListCommands::theTotalLineFollowsEachListChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("checked");
    QTest::newRow("remove") << "remove" << 2 << 2;
    QTest::newRow("uncheck highlighted") << "uncheck" << 4 << 2;
    QTest::newRow("uncheck all") << "uncheck all" << 4 << 0;
    QTest::newRow("move") << "move" << 4 << 4;
    QTest::newRow("remove all") << "remove all" << 0 << 0;
    QTest::newRow("load end") << "load" << 5 << 5;
}

void TestFileListCommands::theTotalLineFollowsEachListChange()
{
    QFETCH(QString, change);
    QFETCH(int, total);
    QFETCH(int, checked);
    addFiles(4);
    selectRows({1, 2});
    if (change == QLatin1String("remove")) {
        m_controller->removeFiles();
    } else if (change == QLatin1String("uncheck")) {
        m_controller->checkUncheckInvertSelection(2);
    } else if (change == QLatin1String("uncheck all")) {
        m_controller->checkUncheckInvertAll(2);
    } else if (change == QLatin1String("move")) {
        m_controller->moveDown();
    } else if (change == QLatin1String("remove all")) {
        const AlertAnswerer yes(0);
        element<SegmentedControl>("navigationSegmented")->click(2);
        QTRY_COMPARE(m_controller->files().rowCount(), 0);
    } else {
        dropUrls({QUrl::fromLocalFile(m_tree.filePath(QStringLiteral("loose.JPG")))});
        QVERIFY(waitForLoad());
    }
    // One PDF per checked image: the line and the convert command agree with the list.
    QCOMPARE(element<QLabel>("labelTotalFiles")->text(),
             QStringLiteral("%1 Total file(s); %2 file selected; Total PDF file(s) to create: %2")
                 .arg(total)
                 .arg(checked));
    QCOMPARE(element<SegmentedControl>("commandSegmented")->isSegmentEnabled(1), checked > 0);
}

void TestFileListCommands::rowMenuNeedsHighlightedRows()
{
    addFiles(2);
    QWidget *viewport = table()->viewport();
    const QPoint at(10, 10);
    QContextMenuEvent none(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &none);
    QVERIFY(!m_controller->filesContextMenu()->isVisible());
    selectRows({1});
    QContextMenuEvent some(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &some);
    QTRY_VERIFY(m_controller->filesContextMenu()->isVisible());
    m_controller->filesContextMenu()->hide();

    // Its entries reach the commands with their codes.
    for (QAction *action : m_controller->filesContextMenu()->actions()) {
        if (action->text() == QLatin1String("Uncheck"))
            action->trigger();
        if (action->text() == QLatin1String("Show in Folder"))
            action->trigger();
    }
    QVERIFY(m_controller->files().item(0)->isSelected());
    QVERIFY(!m_controller->files().item(1)->isSelected());
    QCOMPARE(m_workspace.calls().last().action, QStringLiteral("reveal"));
}

void TestFileListCommands::columnMenuKeepsTheEssentialColumns()
{
    m_controller->menuNeedsUpdate(m_controller->headerContextMenu());
    QStringList titles;
    QAction *kind = nullptr;
    for (QAction *item : m_controller->headerContextMenu()->actions()) {
        titles << item->text();
        QVERIFY(item->isChecked());
        if (item->text() == QLatin1String("Kind"))
            kind = item;
    }
    for (const char *never : {"Name", "Pages", ""})
        QVERIFY(!titles.contains(QLatin1String(never)));
    QVERIFY(titles.contains(QStringLiteral("Size")));
    QVERIFY(kind);
    kind->toggle();
    QVERIFY(table()->horizontalHeader()->isSectionHidden(FileListModel::columnOf("type")));
}

void TestFileListCommands::removeAllAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << 0;
    QTest::newRow("no") << 1;
}

void TestFileListCommands::removeAllAsksFirst()
{
    QFETCH(int, answer);
    addFiles(3);
    const AlertAnswerer answerer(answer);
    element<SegmentedControl>("navigationSegmented")->click(2);
    QTRY_COMPARE(answerer.texts(),
                 QStringList{QStringLiteral("Are you sure to remove all file(s)?")});
    QTRY_COMPARE(m_controller->files().rowCount(), answer == 0 ? 0 : 3);
    QCOMPARE(element<SegmentedControl>("commandSegmented")->isSegmentEnabled(1), answer != 0);
}

void TestFileListCommands::importSheetMessagesAndReset()
{
    element<SegmentedControl>("filesFoldersSegmented")->click(3);
    ImportFilesWindowController *sheet = m_controller->importFilesPanel();
    QVERIFY(sheet && sheet->isVisible());
    QCOMPARE(sheet->findChild<QRadioButton *>(QStringLiteral("importFromFileBtn"))->text(),
             QStringLiteral("From a Text &File"));
    QCOMPARE(sheet->findChild<QRadioButton *>(QStringLiteral("importFromTextBtn"))->text(),
             QStringLiteral("From Pasted &Text"));
    {
        const AlertAnswerer answerer;
        sheet->findChild<QPushButton *>(QStringLiteral("importBtn"))->click();
        QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Please select file to import!")});
    }
    const QString latin1 = m_tree.filePath(QStringLiteral("latin1.txt"));
    QVERIFY(fixtures::writeBytes(latin1, m_tree.filePath("loose.JPG").toUtf8() + "\n\xe9.jpg"));
    sheet->findChild<QLineEdit *>(QStringLiteral("importFile"))->setText(latin1);
    {
        const AlertAnswerer answerer;
        sheet->findChild<QPushButton *>(QStringLiteral("importBtn"))->click();
        QCOMPARE(answerer.texts(), QStringList{QStringLiteral("No File(s) Found!")});
    }
    sheet->findChild<QRadioButton *>(QStringLiteral("importFromTextBtn"))->click();
    QVERIFY(sheet->findChild<QLineEdit *>(QStringLiteral("importFile"))
                ->text()
                .isEmpty()); // switching drops what was entered
    {
        const AlertAnswerer answerer;
        sheet->findChild<QPushButton *>(QStringLiteral("importBtn"))->click();
        QCOMPARE(answerer.texts(),
                 QStringList{QStringLiteral("Please paste file(s) path to import!")});
    }
    // A paste shows the cleaned list: accepted paths, each once.
    const QString a = m_tree.filePath("photos/a.jpg");
    QGuiApplication::clipboard()->setText(a + "\n" + a +
                                          "\n/x/b.PNG\n/x/notes.txt\n/x/c.gif\n/x/d.bmp\n");
    sheet->findChild<QPushButton *>(QStringLiteral("pasteFromClipboardBtn"))->click();
    QCOMPARE(sheet->findChild<QPlainTextEdit *>(QStringLiteral("importText"))->toPlainText(),
             a + "\n/x/b.PNG\n/x/c.gif\n/x/d.bmp");
    QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("totalFilesFound"))->text(),
             QStringLiteral("Total Files Found : 4"));

    sheet->findChild<QPushButton *>(QStringLiteral("cancelImportBtn"))->click();
    QVERIFY(!sheet->isVisible());
    QCOMPARE(m_controller->files().rowCount(), 0);
    m_controller->importAction();
    QVERIFY(
        sheet->findChild<QPlainTextEdit *>(QStringLiteral("importText"))->toPlainText().isEmpty());
    QCOMPARE(sheet->findChild<QLabel *>(QStringLiteral("totalFilesFound"))->text(),
             QStringLiteral("Total Files Found : 0"));
    QVERIFY(sheet->findChild<QRadioButton *>(QStringLiteral("importFromTextBtn"))
                ->isChecked()); // the method stays
    sheet->cancelAction();
}

void TestFileListCommands::importSheetAddsTheListedFiles()
{
    const QString list = m_tree.filePath(QStringLiteral("list.txt"));
    // The import takes any letter case, unlike a drop.
    QVERIFY(fixtures::writeBytes(
        list,
        (m_tree.filePath("loose.Jpg") + "\n" + m_tree.filePath("photos/a.jpg") + "\n").toUtf8()));
    m_controller->importAction();
    ImportFilesWindowController *sheet = m_controller->importFilesPanel();
    sheet->findChild<QRadioButton *>(QStringLiteral("importFromFileBtn"))->click();
    sheet->findChild<QLineEdit *>(QStringLiteral("importFile"))->setText(list);
    sheet->findChild<QPushButton *>(QStringLiteral("importBtn"))->click();
    QVERIFY(!sheet->isVisible());
    QVERIFY(waitForLoad());
    QCOMPARE(listNames(), (QStringList{"a.jpg", "loose.Jpg"})); // in name order
}

void TestFileListCommands::exportWritesTheChosenFile()
{
    addFiles(2);
    m_controller->exportAction();
    QFileDialog *panel = nullptr;
    QTRY_VERIFY((panel = m_controller->window()->findChild<QFileDialog *>("exportPanel")));
    QVERIFY(panel->selectedFiles().value(0).contains(QRegularExpression(
        QStringLiteral("Export \\d\\d-[A-Z][a-z]{2}-\\d{4} \\d\\d-\\d\\d-\\d\\d (AM|PM)\\.txt$"))));
    const QString target = m_tree.filePath(QStringLiteral("exported.txt"));
    panel->selectFile(target);
    static_cast<QDialog *>(panel)->accept();
    QTRY_VERIFY(QFileInfo::exists(target));
    const QList<QByteArray> lines = fixtures::readBytes(target).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(1).startsWith("row0.jpg\t"));
}

void TestFileListCommands::emptyListShowsTheHint()
{
    const auto hintShown = [this] {
        const QImage shot = table()->viewport()->grab().toImage();
        // The hint's artwork and text are the only non-background pixels of an empty table.
        const QRgb background = shot.pixel(2, 2);
        int drawn = 0;
        for (int y = 0; y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                drawn += shot.pixel(x, y) != background;
        return drawn > 200;
    };
    // The ring that marks the keyboard focus is drawn on the same field; it is not the hint.
    table()->clearFocus();
    QVERIFY(hintShown());
    table()->setDisableDrawing(true); // a column being dragged
    QVERIFY(!hintShown());
    table()->setDisableDrawing(false);
    addFiles(1);
    // With a row, the table looks the same whether or not the hint may be drawn.
    const QImage withRow = table()->viewport()->grab().toImage();
    table()->setDisableDrawing(true);
    QCOMPARE(table()->viewport()->grab().toImage(), withRow);
    QVERIFY(table()->showGrid());
}

QTEST_MAIN(TestFileListCommands)
#include "tst_filelistcommands.moc"
