// The file list of both editions' windows: gathering files, the list commands, export.

#include "shellcontroller.h"

#include "engine/probe/probes.h"
#include "filelist/customtableview.h"
#include "filelist/exporttext.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/filetypes.h"
#include "model/utilities.h"
#include "platform/atomicfile.h"
#include "platform/chooserfolders.h"
#include "platform/datetext.h"
#include "platform/edition.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"
#include "widgets/valuelabel.h"
#include "windows/alert.h"
#include "windows/alerts.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

namespace folioset {

namespace {

const QString loadingTime = QStringLiteral("Total Time Taken : %1 0/0");

QStringList imageFilters()
{
    QStringList patterns;
    for (const QString &type : allowedFileTypes())
        patterns << QStringLiteral("*.") + type;
    return {QObject::tr("Images (%1)").arg(patterns.join(QLatin1Char(' ')))};
}

// Runs `command` for a menu item or button with the code it carries in its "tag" property.
QAction *addCoded(QMenu *menu, const QString &title, int code, QObject *context,
                  const std::function<void(int)> &command)
{
    QAction *action = menu->addAction(title);
    action->setProperty("tag", code);
    QObject::connect(action, &QAction::triggered, context,
                     [action, command] { command(action->property("tag").toInt()); });
    return action;
}

} // namespace

void ShellController::connectFileList()
{
    m_loader = new FileLoader(this);
    connect(m_loader, &FileLoader::itemsFound, this, [this](const QList<FileItemPtr> &items) {
        if (m_files->appendNew(items) > 0)
            m_loadGrew = true;
    });
    connect(m_loader, &FileLoader::finished, this, &ShellController::loadFinished);

    auto *table = m_ui->mainTableView;
    connect(table, &CustomTableView::urlsDropped, this, &ShellController::dropURLs);
    connect(table, &CustomTableView::spacePressed, this,
            &ShellController::flipCheckMarksOfSelection);
    connect(table, &CustomTableView::deletePressed, this, &ShellController::removeFiles);
    connect(table, &CustomTableView::moveRequested, this, &ShellController::keyDownTableView);
    connect(m_ui->cancelBtn, &QPushButton::clicked, this, &ShellController::cancelAction);
    connect(m_ui->addFilesMenuItem, &QAction::triggered, this, &ShellController::addFiles);
    connect(m_ui->addFolderMenuItem, &QAction::triggered, this, &ShellController::addFolder);
    connect(m_ui->importMenuItem, &QAction::triggered, this, &ShellController::importAction);
    connect(m_ui->exportMenuItem, &QAction::triggered, this, &ShellController::exportAction);
    connect(m_ui->removeMenuItem, &QAction::triggered, this, &ShellController::removeFiles);

    // Names in natural order until the user picks another column; every load keeps to it.
    table->horizontalHeader()->setSortIndicator(FileListModel::columnOf(QStringLiteral("name")),
                                                Qt::AscendingOrder);
    table->setSortingEnabled(true);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    buildFileMenu();
}

void ShellController::buildFileMenu()
{
    m_filesContextMenu = new QMenu(m_window.get());
    m_filesContextMenu->setObjectName(QStringLiteral("filesContextMenu"));
    QMenu *menu = m_filesContextMenu;
    connect(menu->addAction(tr("Open")), &QAction::triggered, this, &ShellController::openFiles);
    connect(menu->addAction(tr("Show in Folder")), &QAction::triggered, this,
            &ShellController::openEnclodingFolder);
    connect(menu->addAction(tr("Properties")), &QAction::triggered, this,
            &ShellController::getInfo);
    menu->addSeparator();
    const auto selection = [this](int code) { checkUncheckInvertSelection(code); };
    addCoded(menu, tr("Check"), 1, this, selection);
    addCoded(menu, tr("Uncheck"), 2, this, selection);
    addCoded(menu, tr("Invert Check Marks"), 3, this, selection);
    menu->addSeparator();
    const auto all = [this](int code) { checkUncheckInvertAll(code); };
    addCoded(menu, tr("Check All"), 1, this, all);
    addCoded(menu, tr("Uncheck All"), 2, this, all);
    addCoded(menu, tr("Invert All Check Marks"), 3, this, all);
    menu->addSeparator();
    const auto rows = [this](int code) { selectDeselectRemoveAll(code); };
    addCoded(menu, tr("Select All"), 1, this, rows);
    addCoded(menu, tr("Select First Only"), 2, this, rows);
    addCoded(menu, tr("Remove"), 4, this, rows);
    addCoded(menu, tr("Remove All..."), 3, this, rows);
    m_ui->mainTableView->setContextMenu(m_filesContextMenu);
}

// Gathering --------------------------------------------------------------------------------

void ShellController::addFiles()
{
    endEditing(m_window.get());
    auto *panel = new QFileDialog(
        m_window.get(), isFirstGeneration() ? QStringLiteral("Select Image or PDF File(s):")
                                            : QStringLiteral("Select Image File(s) : "));
    panel->setObjectName(QStringLiteral("addFilesPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setNameFilters(imageFilters());
    panel->setDirectory(chooserFolder(ChooserPurpose::AddFiles));
    connect(panel, &QFileDialog::filesSelected, this, [this, panel](const QStringList &paths) {
        rememberChooserFolder(ChooserPurpose::AddFiles, panel->directory().absolutePath());
        Arguments request;
        for (const QString &path : paths)
            request.urls << QUrl::fromLocalFile(path);
        request.isFolders = false;
        request.isIncludeSubdirectories = includeSubfoldersForLoad();
        loadURLs(request);
    });
    panel->open();
    m_ui->mainTableView->viewport()->update();
}

void ShellController::addFolder()
{
    endEditing(m_window.get());
    auto *panel = new QFileDialog(
        m_window.get(), isFirstGeneration()
                            ? QStringLiteral("Select folder(s) contains Image or PDF File(s):")
                            : QStringLiteral("Select folder(s) contains Image File(s) : "));
    panel->setObjectName(QStringLiteral("addFolderPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly);
    panel->setDirectory(chooserFolder(ChooserPurpose::AddFolder));
    connect(panel, &QFileDialog::filesSelected, this, [this, panel](const QStringList &paths) {
        rememberChooserFolder(ChooserPurpose::AddFolder, panel->directory().absolutePath());
        foldersChosen(paths);
        Arguments request;
        for (const QString &path : paths)
            request.urls << QUrl::fromLocalFile(path);
        request.isFolders = true;
        request.isIncludeSubdirectories = includeSubfoldersForLoad();
        loadURLs(request);
    });
    panel->open();
}

bool ShellController::dropURLs(const QList<QUrl> &urls)
{
    // A list being filled or converted must not change under the worker.
    if (m_isProcessing || urls.isEmpty())
        return false;
    endEditing(m_window.get());
    QStringList folders;
    for (const QUrl &url : urls) {
        if (QFileInfo(url.toLocalFile()).isDir())
            folders << url.toLocalFile();
    }
    foldersChosen(folders);
    Arguments request;
    request.urls = urls;
    request.isFolders = true; // dropped files pass the same extension test as found ones
    request.isIncludeSubdirectories = includeSubfoldersForLoad();
    dropAccepted();
    loadURLs(request);
    return true;
}

void ShellController::loadURLs(const Arguments &request)
{
    if (m_loader->isRunning())
        return;
    m_loadStarted = QDateTime::currentDateTime();
    m_loadGrew = false;
    holdFocus();
    resetView(false);
    startProcess();
    updateTotalLabel();
    updateTimeTakenLabel(loadingTime.arg(QStringLiteral("In Process...")));
    m_ui->cancelBtn->setVisible(true);
    m_ui->cancelBtn->setEnabled(true);
    m_loader->start(request, m_files->urls());
}

void ShellController::loadFinished()
{
    const auto finish = [this] {
        m_ui->cancelBtn->setVisible(false);
        stopProcess();
        resetView(true);
        const QString elapsed = timeTakenString(m_loadStarted, QDateTime::currentDateTime());
        updateTimeTakenLabel(loadingTime.arg(elapsed));
        // Time in words has none to tell for a load under a second; the line under the list
        // then says nothing rather than a bare "0/0".
        if (elapsed.isEmpty())
            m_ui->labelStatusTime->hide();
    };
    const QHeaderView *header = m_ui->mainTableView->horizontalHeader();
    if (!m_loadGrew || header->sortIndicatorSection() < 0) {
        finish();
        return;
    }
    // The window stays busy until the list is in order; the keys are worked out off this thread.
    m_files->sortInBackground(header->sortIndicatorSection(), header->sortIndicatorOrder(), finish);
}

void ShellController::cancelAction()
{
    m_isProcessing = false;
    m_loader->cancel();
}

void ShellController::importAction()
{
    endEditing(m_window.get());
    openImportFilesPanel();
    m_ui->mainTableView->viewport()->update();
}

void ShellController::openImportFilesPanel()
{
    try {
        if (!m_importFilesPanel) {
            m_importFilesPanel = new ImportFilesWindowController(m_window.get());
            m_importFilesPanel->setDelegate(this);
            m_importFilesPanel->setAllowedTypes(allowedFileTypes().join(QLatin1Char(',')));
        }
        m_importFilesPanel->resetView();
        m_importFilesPanel->open();
    } catch (const std::exception &e) {
        logError(QStringLiteral("openImportFilesPanel"), QString::fromUtf8(e.what()));
    }
}

void ShellController::ImportFilesWindowControllerDidFinish(ImportFilesWindowController *sheet)
{
    m_ui->mainTableView->viewport()->update();
    if (!sheet || sheet->files().isEmpty())
        return;
    Arguments request;
    request.urls = sheet->files();
    request.isFolders = false;
    request.isIncludeSubdirectories = includeSubfoldersForLoad();
    loadURLs(request);
}

// List commands ----------------------------------------------------------------------------

QList<int> ShellController::selectedRows() const
{
    QList<int> rows;
    if (const QItemSelectionModel *selection = m_ui->mainTableView->selectionModel()) {
        const QModelIndexList indexes = selection->selectedRows();
        for (const QModelIndex &index : indexes)
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool ShellController::rowsCanMove(int direction) const
{
    const QList<int> rows = selectedRows();
    if (!m_ui->mainTableView->isEnabled() || rows.isEmpty())
        return false;
    return direction < 0 ? rows.first() > 0 : rows.last() < m_files->rowCount() - 1;
}

void ShellController::afterListChange()
{
    // resetView() brings the total line up to date as well, through setCombineOptions().
    resetView(true);
}

void ShellController::flipCheckMarksOfSelection()
{
    for (const int row : selectedRows()) {
        if (const FileItemPtr item = m_files->item(row))
            item->setIsSelected(!item->isSelected());
    }
    m_files->checkMarksChanged();
    updateTotalLabel();
}

void ShellController::selectDeselectRemoveAll(int code)
{
    try {
        CustomTableView *table = m_ui->mainTableView;
        switch (code) {
        case 1:
            table->selectAll();
            break;
        case 2:
            table->clearSelection();
            if (m_files->rowCount() > 0)
                table->selectRow(0);
            break;
        case 3: {
            auto *question = new Alert(m_window.get());
            question->setAlertStyle(Alert::Style::Critical);
            question->setMessageText(Utilities::getAppTitle());
            question->setInformativeText(QStringLiteral("Are you sure to remove all file(s)?"));
            question->addButtonWithTitle(tr("Yes"));
            question->addButtonWithTitle(tr("No"));
            const auto answered = [this, question](int answer) {
                if (answer == 1) {
                    m_files->clear();
                    afterListChange();
                }
                m_ui->mainTableView->viewport()->update();
                question->deleteLater();
            };
            // The first generation asks before anything else may happen; the second asks on
            // the window and lets the rest of the program go on.
            if (isFirstGeneration())
                answered(question->runModal());
            else
                question->beginSheetModalForWindow(m_window.get(), answered);
            break;
        }
        case 4:
            removeFiles();
            break;
        default:
            break;
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("selectDeselectRemoveAll:"), QString::fromUtf8(e.what()));
    }
}

void ShellController::removeFiles()
{
    endEditing(m_window.get());
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    QSet<const FileItem *> doomed;
    for (const int row : rows)
        doomed.insert(m_files->item(row).get());
    if (m_files->removeIf([&doomed](const FileItem &item) { return doomed.contains(&item); }) > 0)
        afterListChange();
}

void ShellController::checkUncheckInvertSelection(int code)
{
    if (code < 1 || code > 3)
        return;
    for (const int row : selectedRows()) {
        if (const FileItemPtr item = m_files->item(row))
            item->setIsSelected(code == 1 ? true : code == 2 ? false : !item->isSelected());
    }
    m_files->checkMarksChanged();
    afterListChange();
}

void ShellController::checkUncheckInvertAll(int code)
{
    if (code < 1 || code > 3)
        return;
    for (const FileItemPtr &item : m_files->files())
        item->setIsSelected(code == 1 ? true : code == 2 ? false : !item->isSelected());
    m_files->checkMarksChanged();
    afterListChange();
}

void ShellController::moveUp()
{
    moveRows(-1);
}

void ShellController::moveDown()
{
    moveRows(1);
}

void ShellController::moveRows(int direction)
{
    if (!rowsCanMove(direction))
        return;
    const QList<int> rows = selectedRows();
    const QList<int> moved = direction < 0 ? m_files->moveUp(rows) : m_files->moveDown(rows);
    CustomTableView *table = m_ui->mainTableView;
    table->setFocus();
    QItemSelection selection;
    for (const int row : moved)
        selection.select(m_files->index(row, 0), m_files->index(row, m_files->columnCount() - 1));
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!moved.isEmpty()) {
        // The first of the moved rows in the direction they went is brought into view.
        const auto leading = direction < 0 ? std::min_element(moved.begin(), moved.end())
                                           : std::max_element(moved.begin(), moved.end());
        table->scrollTo(m_files->index(*leading, 0));
        forgetSortOrder();
    }
    // The selection followed the rows as they moved and says nothing of it: the move controls
    // are brought up to date here.
    updateMoveControls();
}

void ShellController::forgetSortOrder()
{
    // The list is in the user's own order now: no column claims it any more, and the next load
    // appends without sorting.
    m_ui->mainTableView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void ShellController::keyDownTableView(int direction)
{
    if (direction < 0)
        moveUp();
    else if (direction > 0)
        moveDown();
}

void ShellController::openFiles()
{
    for (const int row : selectedRows())
        m_workspace.openUrl(m_files->item(row)->filePath());
}

void ShellController::openEnclodingFolder()
{
    QList<QUrl> files;
    for (const int row : selectedRows())
        files << m_files->item(row)->filePath();
    if (!files.isEmpty())
        m_workspace.revealFiles(files);
}

void ShellController::getInfo()
{
    QList<QUrl> files;
    for (const int row : selectedRows())
        files << m_files->item(row)->filePath();
    if (!files.isEmpty())
        m_workspace.showProperties(files);
}

bool ShellController::containsPDFFiles() const
{
    for (const int row : selectedRows()) {
        if (m_files->item(row)->type().toUpper() == QLatin1String("PDF"))
            return true;
    }
    return false;
}

bool ShellController::containsMultiPageFiles() const
{
    static const QStringList multiPage{QStringLiteral("TIF"), QStringLiteral("TIFF"),
                                       QStringLiteral("PDF")};
    for (const int row : selectedRows()) {
        if (multiPage.contains(m_files->item(row)->type().toUpper()))
            return true;
    }
    return false;
}

// Export -----------------------------------------------------------------------------------

void ShellController::exportAction()
{
    endEditing(m_window.get());
    const QString name = QStringLiteral("Export %1.txt")
                             .arg(formatDate(QDateTime::currentDateTime(),
                                             QStringLiteral("dd-MMM-yyyy hh-mm-ss a")));
    auto *panel =
        new QFileDialog(m_window.get(), QStringLiteral("Export List To Tab Delimited Text File :"));
    panel->setObjectName(QStringLiteral("exportPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setNameFilter(tr("Text files (*.txt)"));
    panel->setDefaultSuffix(QStringLiteral("txt"));
    panel->setDirectory(chooserFolder(ChooserPurpose::Export));
    panel->selectFile(name);
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString &path) {
        rememberChooserFolder(ChooserPurpose::Export, QFileInfo(path).absolutePath());
        exportTo(path);
    });
    panel->open();
}

bool ShellController::exportTo(const QString &path)
{
    QString reason;
    if (AtomicFile::writeWhole(path, exportText(m_files->files()), &reason))
        return true;
    logError(QStringLiteral("export"), reason);
    // The earlier file, if any, is untouched; the user should know the list was not written.
    alert(tr("Unable to export the list to %1: %2").arg(path, reason));
    return false;
}

} // namespace folioset
