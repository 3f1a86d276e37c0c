#include "foliosetappdelegate.h"

#include "bindings.h"
#include "sheet.h"
#include "ui_MainWindow2.h"
#include "ui_OutputSettingPanel.h"
#include "ui_PDFSettingsPanel.h"
#include "ui_ProcessViewPanel.h"

#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/filetypes.h"
#include "model/outputplan.h"
#include "model/utilities.h"
#include "platform/mainthread.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"
#include "resources/usermanual.h"
#include "usage/usagesreportingwindowcontroller.h"
#include "widgets/keycharacter.h"
#include "windows/aboutwindowcontroller.h"
#include "windows/eulawindowcontroller.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolButton>

#include <climits>

namespace folioset {

namespace {

const QString includeSubfoldersKey = QStringLiteral("INCLUDESUBFOLDERS");
const QString productName = QStringLiteral("Folioset");
const QString websiteAddress = QStringLiteral("https://quillmark.example/folioset/");
const QString reviewAddressFormat = QStringLiteral("https://quillmark.example/review.php?pid=%1");
const QString productNumber = QStringLiteral("2006");

// "Folioset" in a menu title becomes the display name; an edition with its own name shows it.
void renameItems(QMenu *menu, bool (QString::*matches)(const QString &, Qt::CaseSensitivity) const)
{
    if (!menu)
        return;
    const QString name = Utilities::getAppTitle();
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        if ((action->text().*matches)(productName, Qt::CaseSensitive))
            action->setText(QString(action->text()).replace(productName, name));
    }
}

} // namespace

FoliosetAppDelegate::FoliosetAppDelegate(Workspace &workspace, QObject *parent)
    : QObject(parent), m_workspace(workspace)
{}

FoliosetAppDelegate::~FoliosetAppDelegate()
{
    if (m_process) {
        m_process->stop();
        m_process->abortWriting();
        m_process->wait();
    }
}

void FoliosetAppDelegate::awakeFromNib()
{
    m_isOutputFolderSelected = false;
    buildWindow();
    m_window->setWindowTitle(Utilities::getAppTitle());
    if (Utilities::createApplicationUsersFolder(QString()))
        Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
    allowedFileTypes();
    m_settings = std::make_unique<Settings>();
    if (!m_pdfSettings)
        m_pdfSettings = std::make_unique<PDFSettings>();
    m_isProcessing = false;
    m_process = std::make_unique<Process>();
    bindSettings();
    connectWindow();
    connectSheets();
    connectFileList();
    setCombineOptions(m_settings->combineOptionIndex());

    const QColor text = m_window->palette().color(QPalette::ButtonText);
    setButtonKeyCharacter(m_ui->singleImagePDFBtn, QStringLiteral("1"), text);
    setButtonKeyCharacter(m_ui->singleMultiPagePDFBtn, QStringLiteral("2"), text);
    setButtonKeyCharacter(m_ui->groupMultiPagePDFBtn, QStringLiteral("3"), text);
    setButtonKeyCharacter(m_ui->applyDocumentSetingsbtn, QStringLiteral("d"), text);
    setButtonKeyCharacter(m_ui->pdfSetingsbtn, QStringLiteral("S"), text);
    setButtonKeyCharacter(m_outputUi->setCurrentAsDefaultOutputFolderPathBtn, QStringLiteral("d"),
                          text);
    setButtonKeyCharacter(m_outputUi->openFolderAfterConversionBtn, QStringLiteral("p"), text);
    setButtonKeyCharacter(m_processUi->viewLogBtn, QStringLiteral("l"), text);
    setButtonKeyCharacter(m_processUi->cancelProcessBtn, QStringLiteral("c"), text);

    m_ui->settingTabView->setCurrentIndex(0);
    resetView(true);
    connect(m_settings.get(), &Settings::groupMultiPagePDFCountChanged, this,
            &FoliosetAppDelegate::updateTotalLabel);
    connect(m_settings.get(), &Settings::outputFolderPathChanged, this,
            &FoliosetAppDelegate::applyOutputFolderRule);
    setupVersion();
    setupToolbarAndMenuItems();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_reviewURL = reviewAddressFormat.arg(productNumber);
    createUsagesReport();
    m_ui->filesFoldersSegmented->setSelected(inculdeSubfolders(), 2);
    loadStoredRecentItems();
    updateTimeTakenLabel(QString());
}

void FoliosetAppDelegate::buildWindow()
{
    m_window = std::make_unique<QMainWindow>();
    m_ui = std::make_unique<::Ui::MainWindow2>();
    m_ui->setupUi(m_window.get());

    m_files = new FileListModel(m_ui->mainTableView);
    m_ui->mainTableView->setModel(m_files);
    QHeaderView *header = m_ui->mainTableView->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    const QList<QPair<QString, int>> widths{
        {QStringLiteral("isselected"), 28},  {QStringLiteral("secured"), 26},
        {QStringLiteral("name"), 200},       {QStringLiteral("pages"), 52},
        {QStringLiteral("selection"), 100},  {QStringLiteral("sizeInKB"), 72},
        {QStringLiteral("type"), 52},        {QStringLiteral("dateModified"), 150},
        {QStringLiteral("dateCreated"), 150}};
    for (const auto &[column, width] : widths)
        header->resizeSection(FileListModel::columnOf(column), width);
    m_ui->mainTableView->verticalHeader()->hide();
    m_ui->splitView->setStretchFactor(0, 1);
    m_ui->splitView->setStretchFactor(1, 0);
    m_ui->splitView->setSizes({620, 400});
    m_ui->loadingIndicator->setVisible(false);
    m_ui->groupMultiPagePDFStepper->setMinimum(2);
    m_ui->groupMultiPagePDFStepper->setMaximum(99999);

    auto *output = new Sheet(m_window.get());
    m_outputSettingPanel = output;
    m_outputUi = std::make_unique<::Ui::OutputSettingPanel>();
    m_outputUi->setupUi(m_outputSettingPanel);
    output->setRejectHandler([this] { closeOutputSetting(); });
    auto *pdf = new Sheet(m_window.get());
    m_pdfSettingsPanel = pdf;
    m_pdfUi = std::make_unique<::Ui::PDFSettingsPanel>();
    m_pdfUi->setupUi(m_pdfSettingsPanel);
    pdf->setRejectHandler([this] { cancelPDFSettings(); });
    auto *progress = new Sheet(m_window.get());
    m_processViewPanel = progress;
    m_processUi = std::make_unique<::Ui::ProcessViewPanel>();
    m_processUi->setupUi(m_processViewPanel);
    // Escape or closing the sheet cancels a running conversion; once it is over, it closes.
    progress->setRejectHandler([this] {
        if (m_process && !m_process->isCompleted())
            cancelProcessAction();
        else
            closeProcessAction();
    });
    m_ui->cancelBtn->setVisible(false);
    orderTabs();
}

void FoliosetAppDelegate::orderTabs()
{
    // Tab walks the window as it is read: the top row, the list, the settings, the bottom row.
    // The segmented controls are made of one button per segment, so the order is set on the
    // buttons themselves.
    ::Ui::MainWindow2 &ui = *m_ui;
    QList<QWidget *> order;
    const auto segments = [&order](const SegmentedControl *control) {
        for (int i = 0; i < control->segmentCount(); ++i)
            order << control->button(i);
    };
    segments(ui.filesFoldersSegmented);
    segments(ui.navigationSegmented);
    order << ui.recentFoldersPopup << ui.mainTableView << ui.cancelBtn << ui.settingTabView
          << ui.singleImagePDFBtn << ui.singleMultiPagePDFBtn << ui.singleMultiPagePDFName
          << ui.groupMultiPagePDFBtn << ui.groupMultiPagePDFCount << ui.groupMultiPagePDFStepper
          << ui.groupMultiPagePDFName << ui.applyDocumentSetingsbtn << ui.pdfSetingsbtn;
    segments(ui.helpSegmented);
    segments(ui.commandSegmented);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void FoliosetAppDelegate::bindSettings()
{
    Settings *s = m_settings.get();
    bind::text(m_ui->singleMultiPagePDFName, s, &Settings::singleMultiPagePDFName,
               &Settings::setSingleMultiPagePDFName, &Settings::singleMultiPagePDFNameChanged);
    bind::text(m_ui->groupMultiPagePDFName, s, &Settings::groupMultiPagePDFName,
               &Settings::setGroupMultiPagePDFName, &Settings::groupMultiPagePDFNameChanged);
    bind::check(m_ui->applyDocumentSetingsbtn, s, &Settings::isApplyDocumentSetings,
                &Settings::setIsApplyDocumentSetings, &Settings::isApplyDocumentSetingsChanged);
    bind::check(m_outputUi->setCurrentAsDefaultOutputFolderPathBtn, s,
                &Settings::isSetCurrentAsDefaultOutputFolderPath,
                &Settings::setIsSetCurrentAsDefaultOutputFolderPath,
                &Settings::isSetCurrentAsDefaultOutputFolderPathChanged);
    bind::check(m_outputUi->openFolderAfterConversionBtn, s, &Settings::isOpenFolderAfterConversion,
                &Settings::setIsOpenFolderAfterConversion,
                &Settings::isOpenFolderAfterConversionChanged);
    bind::check(m_outputUi->clearProcessedFilesBtn, s, &Settings::isClearProcessedFiles,
                &Settings::setIsClearProcessedFiles, &Settings::isClearProcessedFilesChanged);

    // The group size: a number field, sanitised as it is typed, and a stepper beside it.
    const auto showCount = [this] {
        const QString text = QString::number(m_settings->groupMultiPagePDFCount());
        if (m_ui->groupMultiPagePDFCount->text() != text)
            m_ui->groupMultiPagePDFCount->setText(text);
        const QSignalBlocker quiet(m_ui->groupMultiPagePDFStepper);
        m_ui->groupMultiPagePDFStepper->setValue(m_settings->groupMultiPagePDFCount());
    };
    showCount();
    connect(s, &Settings::groupMultiPagePDFCountChanged, this, showCount);
    connect(m_ui->groupMultiPagePDFCount, &QLineEdit::textEdited, this, [this] {
        controlTextDidChange(m_ui->groupMultiPagePDFCount);
        m_settings->setGroupMultiPagePDFCount(m_ui->groupMultiPagePDFCount->value());
    });
    connect(m_ui->groupMultiPagePDFStepper, &Stepper::valueChanged, s,
            &Settings::setGroupMultiPagePDFCount);

    m_outputUi->outputFolderPathField->setText(s->outputFolderPath());
    connect(s, &Settings::outputFolderPathChanged, m_outputUi->outputFolderPathField,
            [this] { m_outputUi->outputFolderPathField->setText(m_settings->outputFolderPath()); });
    connect(s, &Settings::isApplyDocumentSetingsChanged, this,
            &FoliosetAppDelegate::refreshDocumentSummary);
    refreshDocumentSummary();
}

void FoliosetAppDelegate::connectWindow()
{
    ::Ui::MainWindow2 &ui = *m_ui;
    connect(ui.filesFoldersSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::filesFoldersSegmentedChanged);
    connect(ui.navigationSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::navigationSegmentedChanged);
    connect(ui.commandSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::commandSegmentedChanged);
    connect(ui.helpSegmented, &SegmentedControl::segmentClicked, this,
            &FoliosetAppDelegate::helpSegmentedChanged);
    for (QAbstractButton *mode : {static_cast<QAbstractButton *>(ui.singleImagePDFBtn),
                                  static_cast<QAbstractButton *>(ui.singleMultiPagePDFBtn),
                                  static_cast<QAbstractButton *>(ui.groupMultiPagePDFBtn)}) {
        connect(mode, &QAbstractButton::clicked, this,
                [this, mode] { combineOptionChanged(mode); });
    }
    connect(ui.pdfSetingsbtn, &QPushButton::clicked, this, &FoliosetAppDelegate::openPDFSettings);
    connect(m_files, &FileListModel::checkMarkEdited, this, &FoliosetAppDelegate::updateTotalLabel);
    connect(ui.mainTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FoliosetAppDelegate::updateMoveSegments);
    connect(m_files, &QAbstractItemModel::rowsInserted, this,
            &FoliosetAppDelegate::updateTotalLabel);
    connect(m_files, &QAbstractItemModel::rowsRemoved, this,
            &FoliosetAppDelegate::updateTotalLabel);
    connect(m_files, &QAbstractItemModel::modelReset, this, &FoliosetAppDelegate::updateTotalLabel);

    connect(ui.quitMenuItem, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    connect(ui.outputSettingsMenuItem, &QAction::triggered, this,
            &FoliosetAppDelegate::showOutputSettings);
    connect(ui.convertMenuItem, &QAction::triggered, this, [this] {
        if (m_ui->commandSegmented->isSegmentEnabled(1) && m_ui->commandSegmented->isEnabled())
            convertAction();
    });
    connect(ui.openLogFolderMenuItem, &QAction::triggered, this,
            &FoliosetAppDelegate::openLogFolder);
    connect(ui.minimizeMenuItem, &QAction::triggered, m_window.get(), &QWidget::showMinimized);
    connect(ui.openAppMenuItem, &QAction::triggered, this, &FoliosetAppDelegate::openAppAction);
    connect(ui.helpMenuItem, &QAction::triggered, this, &FoliosetAppDelegate::helpAction);
    connect(ui.websiteMenuItem, &QAction::triggered, this, &FoliosetAppDelegate::websiteAction);
    connect(ui.rateUsMenuItem, &QAction::triggered, this, &FoliosetAppDelegate::rateUs);
}

void FoliosetAppDelegate::createUsagesReport()
{
    m_usagesReport = new UsagesReportingWindowController(&m_workspace, m_window.get(), this);
    m_usagesReport->setReviewFileCountLimit(500);
    m_usagesReport->setIsReviewEnabled(true);
    m_usagesReport->setReviewURL(m_reviewURL);
    if (m_usagesReport->features().isEmpty()) {
        for (int mode = 0; mode <= 2; ++mode)
            m_usagesReport->features() << FeatureUsages::initWithName(combineModeName(mode));
        m_usagesReport->save();
    }
}

void FoliosetAppDelegate::applicationDidFinishLaunching()
{
    if (m_usagesReport)
        m_usagesReport->validate(false);
}

void FoliosetAppDelegate::applicationShouldTerminate()
{
    endEditing(m_window.get());
    m_loader->cancel();
    if (m_process && !m_process->isCompleted() && m_process->isCombining()) {
        // The PDF being written is abandoned: it never appears, and an earlier file keeps its
        // place. What was finished before stays.
        m_process->stop();
        m_process->abortWriting();
        m_process->wait();
    }
    storeRecentItems();
    m_settings->synchronize();
}

bool FoliosetAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows && m_window->isVisible() && !m_window->isMinimized())
        return false;
    openAppAction();
    return true;
}

void FoliosetAppDelegate::openAppAction()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool FoliosetAppDelegate::inculdeSubfolders() const
{
    return Preferences().value(includeSubfoldersKey).toBool();
}

void FoliosetAppDelegate::setInculdeSubfolders(bool include)
{
    QString reason;
    if (!Preferences().setValue(includeSubfoldersKey, include, &reason))
        logError(QStringLiteral("setInculdeSubfolders:"), reason);
}

void FoliosetAppDelegate::resetView(bool enable)
{
    ::Ui::MainWindow2 &ui = *m_ui;
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
    updateMoveSegments();
    ui.commandSegmented->setSegmentEnabled(0, enable);
    for (QAction *item : {ui.addFilesMenuItem, ui.addFolderMenuItem, ui.importMenuItem})
        item->setEnabled(enable);
    ui.exportMenuItem->setEnabled(enable && hasFiles);
    for (QWidget *control :
         {static_cast<QWidget *>(ui.settingTabView), static_cast<QWidget *>(ui.recentFoldersPopup)})
        control->setEnabled(enable);
    setCombineOptions(m_settings->combineOptionIndex());
    applyOutputFolderRule();
    m_window->update();
}

void FoliosetAppDelegate::resetViewObject(bool enable)
{
    onMainThread(MainThreadCall::Wait, [this, enable] { resetView(enable); });
}

void FoliosetAppDelegate::updateMoveSegments()
{
    // Up needs a highlighted row below the first, down one above the last.
    const QModelIndexList rows = m_ui->mainTableView->selectionModel()
                                     ? m_ui->mainTableView->selectionModel()->selectedRows()
                                     : QModelIndexList();
    int first = INT_MAX;
    int last = -1;
    for (const QModelIndex &row : rows) {
        first = std::min(first, row.row());
        last = std::max(last, row.row());
    }
    const bool usable = m_ui->mainTableView->isEnabled() && !rows.isEmpty();
    m_ui->navigationSegmented->setSegmentEnabled(0, usable && first > 0);
    m_ui->navigationSegmented->setSegmentEnabled(1, usable && last < m_files->rowCount() - 1);
}

void FoliosetAppDelegate::applyOutputFolderRule()
{
    const bool hasFolder = !m_settings->outputFolderPath().isEmpty();
    m_isOutputFolderSelected = hasFolder;
    if (!hasFolder)
        m_settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
    m_outputUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(hasFolder);
}

void FoliosetAppDelegate::setCombineOptions(int mode)
{
    ::Ui::MainWindow2 &ui = *m_ui;
    for (QAbstractButton *button : {static_cast<QAbstractButton *>(ui.singleImagePDFBtn),
                                    static_cast<QAbstractButton *>(ui.singleMultiPagePDFBtn),
                                    static_cast<QAbstractButton *>(ui.groupMultiPagePDFBtn)})
        button->setChecked(false);
    const QList<QWidget *> modeControls{ui.groupMultiPagePDFCount,  ui.groupMultiPagePDFStepper,
                                        ui.singleImagePDFLabel,     ui.singleMultiPagePDFLabel1,
                                        ui.groupMultiPagePDFLabel1, ui.groupMultiPagePDFLabel2,
                                        ui.singleMultiPagePDFName,  ui.groupMultiPagePDFName};
    for (QWidget *control : modeControls)
        control->setEnabled(false);
    switch (mode) {
    case 0:
        ui.singleImagePDFBtn->setChecked(true);
        ui.singleImagePDFLabel->setEnabled(true);
        break;
    case 1:
        ui.singleMultiPagePDFBtn->setChecked(true);
        ui.singleMultiPagePDFLabel1->setEnabled(true);
        ui.singleMultiPagePDFName->setEnabled(true);
        break;
    case 2:
        ui.groupMultiPagePDFBtn->setChecked(true);
        for (QWidget *control : {static_cast<QWidget *>(ui.groupMultiPagePDFCount),
                                 static_cast<QWidget *>(ui.groupMultiPagePDFStepper),
                                 static_cast<QWidget *>(ui.groupMultiPagePDFLabel1),
                                 static_cast<QWidget *>(ui.groupMultiPagePDFLabel2),
                                 static_cast<QWidget *>(ui.groupMultiPagePDFName)})
            control->setEnabled(true);
        break;
    default:
        break;
    }
    updateTotalLabel();
}

void FoliosetAppDelegate::combineOptionChanged(QAbstractButton *sender)
{
    if (!sender)
        return;
    m_settings->setCombineOptionIndex(sender->property("tag").toInt());
    m_settings->synchronize();
    setCombineOptions(m_settings->combineOptionIndex());
}

void FoliosetAppDelegate::updateTotalLabel()
{
    const QList<FileItemPtr> &all = m_files->files();
    const int checked = int(std::count_if(all.cbegin(), all.cend(), [](const FileItemPtr &item) {
        return item && item->isSelected();
    }));
    // A stored group size of 0 or less must never be divided by.
    const int groupSize = std::max(1, m_settings->groupMultiPagePDFCount());
    int toCreate = 0;
    switch (m_settings->combineOptionIndex()) {
    case 0:
        toCreate = checked;
        break;
    case 1:
        toCreate = checked > 0 ? 1 : 0;
        break;
    case 2:
        toCreate = int((qint64(checked) + groupSize - 1) / groupSize);
        break;
    default:
        break;
    }
    m_ui->commandSegmented->setSegmentEnabled(1, toCreate > 0);
    m_ui->convertMenuItem->setEnabled(toCreate > 0);
    m_ui->labelTotalFiles->setText(
        QStringLiteral("%1 Total file(s); %2 file selected; Total PDF file(s) to create: %3")
            .arg(all.size())
            .arg(checked)
            .arg(toCreate));
    m_ui->labelTotalFiles->update();
    // While files arrive the line counts them; the time label keeps saying a load is running.
    if (!m_isProcessing)
        updateTimeTakenLabel(QString());
}

void FoliosetAppDelegate::setButtonKeyCharacter(QAbstractButton *button, const QString &keyChar,
                                                const QColor &color)
{
    // The keyboard character becomes the button's mnemonic; the colour stays the style's.
    Q_UNUSED(color);
    markKeyCharacter(button, keyChar);
}

QString FoliosetAppDelegate::sanitisedNumericText(int tag, const QString &text)
{
    if (tag != 30001 && tag != 30002)
        return text;
    const QString fallback = tag == 30001 ? QStringLiteral("2") : QStringLiteral("1");
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && !text.at(first).isDigit())
        ++first;
    while (last > first && !text.at(last - 1).isDigit())
        --last;
    const QString trimmed = text.mid(first, last - first);
    qint64 value = 0;
    for (qsizetype i = 0; i < trimmed.size() && trimmed.at(i).isDigit() && value < INT_MAX; ++i)
        value = value * 10 + trimmed.at(i).digitValue();
    return value == 0 ? fallback : trimmed;
}

void FoliosetAppDelegate::controlTextDidChange(QLineEdit *field)
{
    if (!field)
        return;
    const QString rewritten = sanitisedNumericText(field->property("tag").toInt(), field->text());
    if (rewritten != field->text())
        field->setText(rewritten);
    field->setFocus();
}

void FoliosetAppDelegate::filesFoldersSegmentedChanged(int segment)
{
    SegmentedControl *control = m_ui->filesFoldersSegmented;
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
        control->setSelected(inculdeSubfolders(), segment);
        return;
    case 5:
        openLogFolder();
        break;
    default:
        break;
    }
    control->setSelected(false, segment);
}

void FoliosetAppDelegate::navigationSegmentedChanged(int segment)
{
    if (segment == 0)
        moveUp();
    else if (segment == 1)
        moveDown();
    else if (segment == 2)
        selectDeselectRemoveAll(3);
    m_ui->navigationSegmented->setSelected(false, segment);
}

void FoliosetAppDelegate::commandSegmentedChanged(int segment)
{
    if (segment == 0) {
        showOutputSettings();
        m_ui->mainTableView->viewport()->update();
    } else if (segment == 1) {
        convertAction();
    }
    m_ui->commandSegmented->setSelected(false, segment);
}

void FoliosetAppDelegate::helpSegmentedChanged(int segment)
{
    if (segment == 0)
        websiteAction();
    else if (segment == 1)
        helpAction();
    else if (segment == 2)
        rateUs();
    if (segment == 0 || segment == 1)
        m_ui->helpSegmented->setSelected(false, segment);
}

void FoliosetAppDelegate::openLogFolder()
{
    const QString logs = QDir(Utilities::getAppPath()).filePath(QStringLiteral("Logs"));
    Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
    m_workspace.openUrl(QUrl::fromLocalFile(logs));
}

void FoliosetAppDelegate::setupVersion()
{
    const QList<QAction *> top = m_ui->mainMenu->actions();
    if (top.isEmpty())
        return;
    renameItems(top.first()->menu(), &QString::endsWith);
    for (QAction *item : top) {
        if (withoutMnemonics(item->text()) == QLatin1String("Window"))
            renameItems(item->menu(), &QString::startsWith);
    }
    renameItems(top.last()->menu(), &QString::startsWith);
}

void FoliosetAppDelegate::setupToolbarAndMenuItems()
{
    connect(m_ui->aboutMenuItem, &QAction::triggered, this, &FoliosetAppDelegate::aboutAction,
            Qt::UniqueConnection);
    QMenu *application = m_ui->mainMenu->actions().value(0)->menu();
    if (!application)
        return;
    auto *agreement = new QAction(tr("End-User License Agreement..."), application);
    agreement->setObjectName(QStringLiteral("licenseAgreementMenuItem"));
    agreement->setToolTip(tr("End-User License Agreement"));
    agreement->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(agreement, &QAction::triggered, this, &FoliosetAppDelegate::showLicenseAgreement);
    // A separator at index 3 and the agreement right after it, at index 4.
    QAction *fourth = application->actions().value(3);
    application->insertSeparator(fourth);
    application->insertAction(fourth, agreement);
}

void FoliosetAppDelegate::aboutAction()
{
    if (m_about)
        delete m_about;
    m_about = new AboutWindowController(&m_workspace, m_window.get());
    m_about->setAttribute(Qt::WA_DeleteOnClose);
    showSheet(m_about);
}

void FoliosetAppDelegate::showLicenseAgreement()
{
    if (m_agreement)
        delete m_agreement;
    m_agreement = new EULAWindowController(m_window.get());
    m_agreement->setAttribute(Qt::WA_DeleteOnClose);
    showSheet(m_agreement);
}

void FoliosetAppDelegate::helpAction()
{
    QString reason;
    const QString manual = userManualPath(&reason);
    if (manual.isEmpty()) {
        systemLog(QStringLiteral("Error in [helpAction:] : %1").arg(reason));
        return;
    }
    m_workspace.openUrl(QUrl::fromLocalFile(manual));
}

void FoliosetAppDelegate::websiteAction()
{
    m_workspace.openUrl(QUrl(websiteAddress));
}

void FoliosetAppDelegate::rateUs()
{
    // The desktop's software centre shows the program's own page for an appstream address.
    const QUrl review = m_usagesReport ? QUrl(m_usagesReport->reviewURL())
                                       : QUrl(QStringLiteral("appstream://com.quillmark.Folioset"));
    m_workspace.openUrl(review);
}

void FoliosetAppDelegate::endEditing(QWidget *within)
{
    // Leaving the field commits what is being typed, as a click elsewhere would.
    QWidget *focus = within ? within->focusWidget() : nullptr;
    if (focus)
        focus->clearFocus();
}

void FoliosetAppDelegate::showSheet(QDialog *sheet)
{
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

QString FoliosetAppDelegate::alertTitle() const
{
    return Utilities::getAppTitle();
}

} // namespace folioset
