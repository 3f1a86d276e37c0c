#include "classicappdelegate.h"

#include "ui_MainWindow1.h"

#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/utilities.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"
#include "resources/resourceimage.h"
#include "widgets/windowheight.h"
#include "windows/alerts.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QHeaderView>
#include <QMainWindow>
#include <QResizeEvent>

namespace folioset {

namespace {

const QString showSettingsKey = QStringLiteral("SHOWSETTINGS");
const QString aboutIdentifier = QStringLiteral("ABOUT");

} // namespace

ClassicAppDelegate::ClassicAppDelegate(Workspace &workspace, QObject *parent)
    : ShellController(workspace, parent)
{}

ClassicAppDelegate::~ClassicAppDelegate()
{
    closeDown();
}

void ClassicAppDelegate::awakeFromNib()
{
    buildWindow();
    createSupportFolders();
    collapseRightView();
    loadSettings();
    connectWindow();
    setCombineOptions(m_settings->combineOptionIndex());
    restoreShowSettings();

    markKeyCharacters({{m_form->removeBtn, "r"},
                       {m_form->importBtn, "i"},
                       {m_form->addFilesBtn, "f"},
                       {m_form->addFolderBtn, "o"},
                       {m_form->inculdeSubfoldersBtn, "u"},
                       {m_form->convertBtn, "c"}});
    markKeyCharacters();
    completeStartUp();
}

void ClassicAppDelegate::buildWindow()
{
    m_window = std::make_unique<QMainWindow>();
    m_form = std::make_unique<::Ui::MainWindow1>();
    m_form->setupUi(m_window.get());
    m_ui = std::make_unique<MainWindowElements>();
    m_ui->takeFrom(*m_form);
    m_ui->singleMultiPagePDFLabel2 = m_form->singleMultiPagePDFLabel2;
    m_ui->outputFolderPathField = m_form->outputFolderPathField;
    m_ui->setCurrentAsDefaultOutputFolderPathBtn = m_form->setCurrentAsDefaultOutputFolderPathBtn;
    m_ui->openFolderAfterConversionBtn = m_form->openFolderAfterConversionBtn;
    m_ui->clearProcessedFilesBtn = m_form->clearProcessedFilesBtn;
    prepareWindow();

    // The list draws no hint of its own: the label over it does, and lets drops through.
    m_form->mainTableView->setDisableDrawing(true);
    m_form->lableDragAndDrop->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Items carry no encryption flag in this edition, so its column would stand empty.
    m_form->mainTableView->horizontalHeader()->setSectionHidden(
        FileListModel::columnOf(QStringLiteral("secured")), true);

    m_form->preferencesToolbarItem->setIcon(resourceIcon(QStringLiteral("settings.png")));
    m_form->exportToolbarItem->setIcon(resourceIcon(QStringLiteral("export.png")));
    auto *selected = new QActionGroup(m_form->mainToolbar);
    selected->addAction(m_form->preferencesToolbarItem);
    selected->addAction(m_form->dummyToolbarItem);

    m_form->mainSplitView->setStretchFactor(0, 1);
    m_form->mainSplitView->setStretchFactor(1, 0);
    // The settings pane is as wide as its widest line needs.
    QWidget *pane = m_form->rightBox;
    pane->resize(std::max(pane->width(), pane->minimumSizeHint().width()), pane->height());
    m_form->contentBox->installEventFilter(this);
    // What the panes need changes as they are polished and filled: the window follows.
    m_form->leftBox->installEventFilter(this);
    m_form->rightBox->installEventFilter(this);
}

void ClassicAppDelegate::connectWindow()
{
    ::Ui::MainWindow1 &ui = *m_form;
    connect(ui.addFilesBtn, &QPushButton::clicked, this, &ClassicAppDelegate::addFiles);
    connect(ui.addFolderBtn, &QPushButton::clicked, this, &ClassicAppDelegate::addFolder);
    connect(ui.importBtn, &QPushButton::clicked, this, &ClassicAppDelegate::importAction);
    connect(ui.removeBtn, &QPushButton::clicked, this, &ClassicAppDelegate::removeFiles);
    connect(ui.searchBtn, &QPushButton::clicked, this, [this] {
        searchAction();
        updateTotalLabel();
    });
    ui.inculdeSubfoldersBtn->setChecked(inculdeSubfolders());
    connect(ui.inculdeSubfoldersBtn, &QCheckBox::toggled, this,
            &ClassicAppDelegate::setInculdeSubfolders);
    connect(ui.convertBtn, &QPushButton::clicked, this, &ClassicAppDelegate::convertAction);

    connect(ui.openFileButton, &QPushButton::clicked, this, &ClassicAppDelegate::openFiles);
    connect(ui.getInfoButton, &QPushButton::clicked, this, &ClassicAppDelegate::getInfo);
    connect(ui.openEnclosedFolderButton, &QPushButton::clicked, this,
            &ClassicAppDelegate::openEnclodingFolder);
    for (QPushButton *button : {ui.selectAllButton, ui.deselectAllButton,
                                ui.removeSelectedFilesButton, ui.removeAllFilesButton}) {
        connect(button, &QPushButton::clicked, this,
                [this, button] { selectDeselectRemoveAll(button->property("tag").toInt()); });
    }
    connect(ui.moveUpButton, &QPushButton::clicked, this, &ClassicAppDelegate::moveUp);
    connect(ui.moveDownButton, &QPushButton::clicked, this, &ClassicAppDelegate::moveDown);

    connect(ui.preferencesToolbarItem, &QAction::triggered, this,
            &ClassicAppDelegate::toggleSettings);
    connect(ui.settingsMenuItem, &QAction::triggered, this, &ClassicAppDelegate::toggleSettings);
    connect(ui.exportToolbarItem, &QAction::triggered, this, &ClassicAppDelegate::exportAction);
    connect(ui.chooseOutputFolderBtn, &QPushButton::clicked, this,
            &ClassicAppDelegate::chooseOutputFolder);
}

// The settings pane --------------------------------------------------------------------------

void ClassicAppDelegate::restoreShowSettings()
{
    Preferences preferences;
    if (preferences.contains(showSettingsKey)) {
        m_showSettings = preferences.value(showSettingsKey).toBool();
    } else {
        m_showSettings = true;
        QString reason;
        if (!preferences.setValue(showSettingsKey, true, &reason))
            logError(QStringLiteral("awakeFromNib"), reason);
    }
    showSettings(m_showSettings);
}

void ClassicAppDelegate::showSettings(bool show)
{
    (show ? m_form->preferencesToolbarItem : m_form->dummyToolbarItem)->setChecked(true);
    m_form->rightBox->setVisible(show);
    fitContentToPanes();
    placePanes();
}

void ClassicAppDelegate::fitContentToPanes()
{
    // The window may be as narrow as the list's buttons allow, with the pane beside them when
    // it is shown, and as low as the taller of the two allows, wrapped lines included: the
    // panes are placed by hand, so no layout tells the window how small it may get.
    QWidget *list = m_form->leftBox;
    QWidget *pane = m_form->rightBox;
    const bool shown = !pane->isHidden();
    m_form->contentBox->setMinimumSize(
        list->minimumSizeHint().width() + (shown ? pane->width() + 9 : 5),
        list->y() + std::max(heightForItsLines(list), shown ? heightForItsLines(pane) : 0));
}

void ClassicAppDelegate::placePanes()
{
    // The list keeps its origin; it takes the width the settings pane leaves, or all of it but
    // a margin. The first pane of the split view is as wide as the window while the second is
    // folded away, as it is unless the user opens it; it is measured itself so that the panes
    // follow it however late the window's own size arrives.
    const int width = m_form->contentBox->width();
    QWidget *list = m_form->leftBox;
    QWidget *pane = m_form->rightBox;
    const int height = std::max(0, m_form->contentBox->height() - list->y());
    const bool shown = !pane->isHidden();
    list->setGeometry(list->x(), list->y(), shown ? width - (pane->width() + 9) : width - 5,
                      height);
    pane->setGeometry(width - pane->width() - 3, list->y(), pane->width(), height);
}

bool ClassicAppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (m_form && watched == m_form->contentBox && event->type() == QEvent::Resize) {
        placePanes();
        // A narrower list may wrap its rows of buttons onto more lines.
        fitContentToPanes();
    }
    if (m_form && (watched == m_form->leftBox || watched == m_form->rightBox) &&
        event->type() == QEvent::LayoutRequest)
        fitContentToPanes();
    return ShellController::eventFilter(watched, event);
}

void ClassicAppDelegate::toggleSettings()
{
    m_showSettings = !m_showSettings;
    QString reason;
    if (!Preferences().setValue(showSettingsKey, m_showSettings, &reason))
        logError(QStringLiteral("toggleSettings:"), reason);
    showSettings(m_showSettings);
}

void ClassicAppDelegate::toggleRightView()
{
    if (m_form->mainSplitView->isSecondPaneCollapsed())
        uncollapseRightView();
    else
        collapseRightView();
}

void ClassicAppDelegate::collapseRightView()
{
    SplitView *split = m_form->mainSplitView;
    if (split->count() < 2)
        return;
    split->widget(1)->hide();
    split->setSizes({split->width(), 0});
    split->update();
}

void ClassicAppDelegate::uncollapseRightView()
{
    SplitView *split = m_form->mainSplitView;
    if (split->count() < 2)
        return;
    QWidget *first = split->widget(0);
    QWidget *second = split->widget(1);
    const int secondWidth = std::max(second->width(), 2 * SplitView::secondPaneMinimum);
    const int divider = split->handleWidth();
    // A window too narrow to give the second pane room beside what the first needs grows.
    const int lacking = first->minimumWidth() + divider + secondWidth - split->width();
    if (lacking > 0) {
        m_window->resize(m_window->width() + lacking, m_window->height());
        split->resize(split->width() + lacking, split->height());
    }
    second->show();
    split->refresh(); // the divider comes back with the pane before the widths are shared out
    split->setSizes({split->width() - secondWidth - divider, secondWidth});
    split->update();
}

// The toolbar ------------------------------------------------------------------------------

void ClassicAppDelegate::setupToolbarAndMenuItems()
{
    insertAgreementMenuItem();
    QToolBar *toolbar = m_form->mainToolbar;
    // Not for the user to rearrange, hide or tear off.
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    if (toolbarItem(toolbar, aboutIdentifier))
        return;
    if (QAction *about = toolbarItemForItemIdentifier(aboutIdentifier))
        toolbar->insertAction(toolbar->actions().value(0), about);
}

QAction *ClassicAppDelegate::toolbarItemForItemIdentifier(const QString &identifier)
{
    if (identifier != aboutIdentifier)
        return nullptr;
    auto *item =
        new QAction(resourceIcon(QStringLiteral("user.png")), tr("About"), m_form->mainToolbar);
    item->setObjectName(QStringLiteral("aboutToolbarItem"));
    item->setProperty("itemIdentifier", identifier);
    item->setProperty("paletteLabel", QStringLiteral("ABOUT"));
    item->setToolTip(QStringLiteral("About ") + Utilities::getAppTitle());
    connect(item, &QAction::triggered, this, &ClassicAppDelegate::aboutAction);
    return item;
}

QAction *ClassicAppDelegate::toolbarItem(const QToolBar *toolbar, const QString &identifier)
{
    const QList<QAction *> items = toolbar ? toolbar->actions() : QList<QAction *>();
    for (QAction *item : items) {
        if (item->property("itemIdentifier").toString() == identifier)
            return item;
    }
    return nullptr;
}

// Window state -----------------------------------------------------------------------------

void ClassicAppDelegate::resetView(bool enable)
{
    ::Ui::MainWindow1 &ui = *m_form;
    const bool hasFiles = !m_files->files().isEmpty();
    ui.removeBtn->setEnabled(enable && hasFiles);
    for (QWidget *control : std::initializer_list<QWidget *>{
             ui.importBtn, ui.addFilesBtn, ui.addFolderBtn, ui.searchBtn, ui.inculdeSubfoldersBtn,
             ui.mainTableView, ui.settingTabView})
        control->setEnabled(enable);
    for (QAction *item : ui.mainToolbar->actions())
        item->setEnabled(enable);
    for (QAction *item :
         {ui.addFilesMenuItem, ui.addFolderMenuItem, ui.importMenuItem, ui.settingsMenuItem})
        item->setEnabled(enable);
    ui.exportToolbarItem->setEnabled(enable && hasFiles);
    ui.exportMenuItem->setEnabled(enable && hasFiles);
    ui.removeMenuItem->setEnabled(enable && hasFiles);
    for (QWidget *command : std::initializer_list<QWidget *>{
             ui.openFileButton, ui.getInfoButton, ui.openEnclosedFolderButton, ui.selectAllButton,
             ui.deselectAllButton, ui.removeSelectedFilesButton, ui.removeAllFilesButton})
        command->setEnabled(enable && hasFiles);
    updateMoveControls();
    setCombineOptions(m_settings->combineOptionIndex());
    applyOutputFolderRule();
    // The invitation to drop files stands only while the list is empty and takes them: not
    // while a load is filling it.
    ui.lableDragAndDrop->setVisible(!hasFiles && enable);
    m_window->update();
}

void ClassicAppDelegate::updateMoveControls()
{
    m_form->moveUpButton->setEnabled(rowsCanMove(-1));
    m_form->moveDownButton->setEnabled(rowsCanMove(1));
}

void ClassicAppDelegate::setConvertEnabled(bool enabled)
{
    m_form->convertBtn->setEnabled(enabled);
}

void ClassicAppDelegate::applyOutputFolderRule()
{
    m_form->openFolderAfterConversionBtn->setEnabled(applyDefaultFolderRule());
}

bool ClassicAppDelegate::includeSubfoldersForLoad() const
{
    return m_form->inculdeSubfoldersBtn->isChecked();
}

void ClassicAppDelegate::dropAccepted()
{
    m_form->lableDragAndDrop->hide();
}

// Output folder and conversion -------------------------------------------------------------

void ClassicAppDelegate::chooseOutputFolder()
{
    showOutputFolderPanel(m_window.get(), QStringLiteral("Select Output Folder:"));
}

void ClassicAppDelegate::convertAction()
{
    combine();
}

QString ClassicAppDelegate::outputFolderProblem() const
{
    // The probe answers "later" on every system this program runs on, so there is no
    // converting without a folder: an empty path counts as a missing folder.
    const QString folder = m_settings->outputFolderPath();
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return QStringLiteral(
            "Output folder missing or invalid path!\r\nPlease select valid output folder.");
    if (!info.isWritable())
        return QStringLiteral(
            "Output folder is non-writable!\r\nPlease select writable output folder.");
    return {};
}

void ClassicAppDelegate::showOutputFolderSettings()
{
    if (!m_showSettings)
        toggleSettings();
    m_ui->settingTabView->setCurrentIndex(1);
    m_form->chooseOutputFolderBtn->setFocus();
}

void ClassicAppDelegate::combine()
{
    try {
        endEditing(m_window.get());
        const QString problem = outputFolderProblem();
        if (!problem.isEmpty()) {
            alert(problem);
            showOutputFolderSettings();
            return;
        }
        m_ui->settingTabView->setCurrentIndex(0);
        if (!checkNames())
            return;
        m_outputFolder = m_settings->outputFolderPath();
        ShellController::combine();
    } catch (const std::exception &e) {
        logError(QStringLiteral("combine"), QString::fromUtf8(e.what()));
    }
}

} // namespace folioset
