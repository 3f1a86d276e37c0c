#include "foliosetappdelegate.h"

#include "sheet.h"
#include "ui_MainWindow2.h"
#include "ui_OutputSettingPanel.h"
#include "ui_ProcessViewPanel.h"

#include "filelist/filelistmodel.h"
#include "platform/workspace.h"
#include "widgets/keycharacter.h"
#include "widgets/windowheight.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolButton>

#include <climits>

namespace folioset {

FoliosetAppDelegate::FoliosetAppDelegate(Workspace &workspace, QObject *parent)
    : ShellController(workspace, parent)
{}

FoliosetAppDelegate::~FoliosetAppDelegate()
{
    closeDown();
}

void FoliosetAppDelegate::awakeFromNib()
{
    buildWindow();
    createSupportFolders();
    loadSettings();
    connectWindow();
    connectOutputSheet();
    buildHeaderMenu();
    setCombineOptions(m_settings->combineOptionIndex());
    markKeyCharacters();
    completeStartUp();
    m_form->filesFoldersSegmented->setSelected(inculdeSubfolders(), 2);
    loadStoredRecentItems();
}

void FoliosetAppDelegate::buildWindow()
{
    m_window = std::make_unique<QMainWindow>();
    m_form = std::make_unique<::Ui::MainWindow2>();
    m_form->setupUi(m_window.get());
    auto *output = new Sheet(m_window.get());
    m_outputSettingPanel = output;
    m_outputUi = std::make_unique<::Ui::OutputSettingPanel>();
    m_outputUi->setupUi(m_outputSettingPanel);
    output->setRejectHandler([this] { closeOutputSetting(); });
    keepTallEnoughForItsLines(output);

    m_ui = std::make_unique<MainWindowElements>();
    m_ui->takeFrom(*m_form);
    m_ui->outputFolderPathField = m_outputUi->outputFolderPathField;
    m_ui->setCurrentAsDefaultOutputFolderPathBtn =
        m_outputUi->setCurrentAsDefaultOutputFolderPathBtn;
    m_ui->openFolderAfterConversionBtn = m_outputUi->openFolderAfterConversionBtn;
    m_ui->clearProcessedFilesBtn = m_outputUi->clearProcessedFilesBtn;
    prepareWindow();

    // Segment 2 stands for the include-subfolders choice; the others run their commands.
    m_form->filesFoldersSegmented->setSegmentKind(2, SegmentedControl::Kind::Toggle);
    m_form->mainTableView->horizontalHeader()->setSectionsMovable(true);
    m_form->splitView->setStretchFactor(0, 1);
    m_form->splitView->setStretchFactor(1, 0);
    m_form->splitView->setSizes({620, 400});
    // Neither the split view nor the main window knows of wrapped lines: the settings pane says
    // what it needs, and so does the window's content, whose top row may take a second line.
    keepTallEnoughForItsLines(m_form->rightBox);
    keepTallEnoughForItsLines(m_form->centralWidget);
    orderTabs();
}

void FoliosetAppDelegate::orderTabs()
{
    // Tab reads the window as the user works in it: the list, then the commands (those on the
    // list, the recent folders, the conversion's, help), then the settings. The segmented
    // controls are made of one button per segment, so the order is set on the buttons themselves.
    ::Ui::MainWindow2 &ui = *m_form;
    QList<QWidget *> order{ui.mainTableView};
    const auto segments = [&order](const SegmentedControl *control) {
        for (int i = 0; i < control->segmentCount(); ++i)
            order << control->button(i);
    };
    segments(ui.filesFoldersSegmented);
    segments(ui.navigationSegmented);
    order << ui.recentFoldersPopup << ui.cancelBtn;
    segments(ui.commandSegmented);
    segments(ui.helpSegmented);
    order << ui.settingTabView << ui.singleImagePDFBtn << ui.singleMultiPagePDFBtn
          << ui.singleMultiPagePDFName << ui.groupMultiPagePDFBtn << ui.groupMultiPagePDFCount
          << ui.groupMultiPagePDFStepper << ui.groupMultiPagePDFName << ui.applyDocumentSetingsbtn
          << ui.pdfSetingsbtn;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void FoliosetAppDelegate::connectWindow()
{
    ::Ui::MainWindow2 &ui = *m_form;
    connect(ui.filesFoldersSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::filesFoldersSegmentedChanged);
    connect(ui.navigationSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::navigationSegmentedChanged);
    connect(ui.commandSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::commandSegmentedChanged);
    connect(ui.helpSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::helpSegmentedChanged);
    connect(ui.outputSettingsMenuItem, &QAction::triggered, this,
            &FoliosetAppDelegate::showOutputSettings);
    connect(ui.mainTableView, &QAbstractItemView::doubleClicked, this,
            &FoliosetAppDelegate::fileDoubleClicked);
}

void FoliosetAppDelegate::buildHeaderMenu()
{
    m_headerContextMenu = new QMenu(m_window.get());
    m_headerContextMenu->setObjectName(QStringLiteral("headerContextMenu"));
    QHeaderView *header = m_form->mainTableView->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint &at) {
        menuNeedsUpdate(m_headerContextMenu);
        m_headerContextMenu->popup(header->mapToGlobal(at));
    });
}

void FoliosetAppDelegate::menuNeedsUpdate(QMenu *menu)
{
    if (menu != m_headerContextMenu)
        return;
    menu->clear();
    QHeaderView *header = m_form->mainTableView->horizontalHeader();
    static const QStringList fixed{QStringLiteral("isselected"), QStringLiteral("name"),
                                   QStringLiteral("pages")};
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        const FileListModel::Column &info = FileListModel::columns().at(column);
        if (fixed.contains(info.identifier))
            continue;
        const QString title = info.title.isEmpty() ? tr("Encrypted") : info.title;
        QAction *item = menu->addAction(title);
        item->setCheckable(true);
        item->setChecked(!header->isSectionHidden(column));
        connect(item, &QAction::toggled, this,
                [header, column](bool shown) { header->setSectionHidden(column, !shown); });
    }
}

void FoliosetAppDelegate::fileDoubleClicked(const QModelIndex &index)
{
    const FileItemPtr item = m_files->item(index.row());
    if (!index.isValid() || !item)
        return;
    if (!m_workspace.openUrl(item->filePath()))
        m_workspace.revealFiles({item->filePath()});
}

void FoliosetAppDelegate::storeWindowState()
{
    storeRecentItems();
}

void FoliosetAppDelegate::resetView(bool enable)
{
    ::Ui::MainWindow2 &ui = *m_form;
    const bool hasFiles = !m_files->files().isEmpty();
    ui.mainTableView->setEnabled(enable);
    // Lines and bands only where there are rows; the empty list shows its hint on a plain field.
    ui.mainTableView->setShowGrid(hasFiles);
    ui.mainTableView->setAlternatingRowColors(hasFiles);
    for (const int segment : {0, 2, 3, 5})
        ui.filesFoldersSegmented->setSegmentEnabled(segment, enable);
    for (const int segment : {1, 4})
        ui.filesFoldersSegmented->setSegmentEnabled(segment, enable && hasFiles);
    ui.navigationSegmented->setSegmentEnabled(2, enable && hasFiles);
    updateMoveControls();
    ui.commandSegmented->setSegmentEnabled(0, enable);
    for (QAction *item : {ui.addFilesMenuItem, ui.addFolderMenuItem, ui.importMenuItem})
        item->setEnabled(enable);
    ui.exportMenuItem->setEnabled(enable && hasFiles);
    ui.removeMenuItem->setEnabled(enable && hasFiles);
    for (QWidget *control :
         {static_cast<QWidget *>(ui.settingTabView), static_cast<QWidget *>(ui.recentFoldersPopup)})
        control->setEnabled(enable);
    setCombineOptions(m_settings->combineOptionIndex());
    applyOutputFolderRule();
    m_window->update();
}

void FoliosetAppDelegate::updateMoveControls()
{
    m_form->navigationSegmented->setSegmentEnabled(0, rowsCanMove(-1));
    m_form->navigationSegmented->setSegmentEnabled(1, rowsCanMove(1));
}

void FoliosetAppDelegate::setConvertEnabled(bool enabled)
{
    m_form->commandSegmented->setSegmentEnabled(1, enabled);
}

void FoliosetAppDelegate::applyOutputFolderRule()
{
    applyDefaultFolderRule();
}

void FoliosetAppDelegate::filesFoldersSegmentedChanged(int segment)
{
    switch (segment) {
    case 0:
        addFiles();
        break;
    case 1:
        selectDeselectRemoveAll(4);
        break;
    case 3:
        importAction();
        break;
    case 4:
        exportAction();
        break;
    case 2:
        setInculdeSubfolders(!inculdeSubfolders());
        m_form->filesFoldersSegmented->setSelected(inculdeSubfolders(), segment);
        break;
    case 5:
        openLogFolder();
        break;
    default:
        break;
    }
}

void FoliosetAppDelegate::navigationSegmentedChanged(int segment)
{
    if (segment == 0)
        moveUp();
    else if (segment == 1)
        moveDown();
    else if (segment == 2)
        selectDeselectRemoveAll(3);
}

void FoliosetAppDelegate::commandSegmentedChanged(int segment)
{
    if (segment == 0) {
        showOutputSettings();
        m_form->mainTableView->viewport()->update();
    } else if (segment == 1) {
        convertAction();
    }
}

void FoliosetAppDelegate::helpSegmentedChanged(int segment)
{
    if (segment == 0)
        websiteAction();
    else if (segment == 1)
        helpAction();
    else if (segment == 2)
        rateUs();
}

} // namespace folioset
