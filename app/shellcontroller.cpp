#include "shellcontroller.h"

#include "bindings.h"
#include "pagetab.h"
#include "sheet.h"
#include "ui_PDFSettingsPanel.h"
#include "ui_ProcessViewPanel.h"

#include "filelist/customtableview.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "model/filetypes.h"
#include "model/outputplan.h"
#include "model/utilities.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"
#include "resources/usermanual.h"
#include "usage/usagesreportingwindowcontroller.h"
#include "widgets/keycharacter.h"
#include "widgets/numberfield.h"
#include "widgets/stepper.h"
#include "widgets/toolbuttonaccessibility.h"
#include "widgets/valuelabel.h"
#include "widgets/windowheight.h"
#include "windows/aboutwindowcontroller.h"
#include "windows/eulawindowcontroller.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

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

ShellController::ShellController(Workspace &workspace, QObject *parent)
    : QObject(parent), m_workspace(workspace)
{
    // Before the toolbars are made: their on/off items must act when a screen reader asks.
    installToolButtonAccessibility();
}

ShellController::~ShellController()
{
    closeDown();
}

void ShellController::closeDown()
{
    if (m_process) {
        m_process->stop();
        m_process->abortWriting();
        m_process->wait();
    }
    if (m_loader)
        m_loader->disconnect(this);
    if (m_window) {
        // Nothing the window still says on its way out may reach a controller being destroyed.
        for (QObject *element : m_window->findChildren<QObject *>())
            element->disconnect(this);
        m_window->disconnect(this);
    }
}

void ShellController::prepareWindow()
{
    m_window->setWindowTitle(Utilities::getAppTitle());
    m_files = new FileListModel(m_ui->mainTableView);
    m_ui->mainTableView->setModel(m_files);
    QHeaderView *header = m_ui->mainTableView->horizontalHeader();
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
    m_ui->loadingIndicator->setVisible(false);
    m_ui->groupMultiPagePDFStepper->setMinimum(2);
    m_ui->groupMultiPagePDFStepper->setMaximum(99999);

    auto *pdf = new Sheet(m_window.get());
    m_pdfSettingsPanel = pdf;
    m_pdfUi = std::make_unique<::Ui::PDFSettingsPanel>();
    m_pdfUi->setupUi(m_pdfSettingsPanel);
    pdf->setRejectHandler([this] { cancelPDFSettings(); });
    keepTallEnoughForItsLines(pdf);
    auto *progress = new Sheet(m_window.get());
    m_processViewPanel = progress;
    m_processUi = std::make_unique<::Ui::ProcessViewPanel>();
    m_processUi->setupUi(m_processViewPanel);
    keepTallEnoughForItsLines(progress);
    // Escape or closing the sheet cancels a running conversion; once it is over, it closes.
    progress->setRejectHandler([this] {
        if (m_process && !m_process->isCompleted())
            cancelProcessAction();
        else
            closeProcessAction();
    });
    m_ui->cancelBtn->setVisible(false);
}

void ShellController::createSupportFolders()
{
    if (Utilities::createApplicationUsersFolder(QString()))
        Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
}

void ShellController::loadSettings()
{
    allowedFileTypes();
    m_settings = std::make_unique<Settings>();
    m_pageSetup = storedPageSetup();
    if (!m_pdfSettings)
        m_pdfSettings = std::make_unique<PDFSettings>();
    m_isProcessing = false;
    m_process = std::make_unique<Process>();
    bindSettings();
    connectSharedControls();
    connectSheets();
    connectFileList();
}

void ShellController::markKeyCharacters(
    std::initializer_list<std::pair<QAbstractButton *, const char *>> buttons)
{
    // The keyboard character becomes the button's mnemonic; the colour stays the style's.
    for (const auto &[button, character] : buttons)
        markKeyCharacter(button, QString::fromLatin1(character));
}

void ShellController::markKeyCharacters()
{
    markKeyCharacters({{m_ui->singleImagePDFBtn, "1"},
                       {m_ui->singleMultiPagePDFBtn, "2"},
                       {m_ui->groupMultiPagePDFBtn, "3"},
                       {m_ui->applyDocumentSetingsbtn, "d"},
                       {m_ui->pdfSetingsbtn, "S"},
                       {m_ui->setCurrentAsDefaultOutputFolderPathBtn, "d"},
                       {m_ui->openFolderAfterConversionBtn, "p"},
                       {m_processUi->viewLogBtn, "l"},
                       {m_processUi->cancelProcessBtn, "c"}});
}

void ShellController::completeStartUp()
{
    m_ui->settingTabView->setCurrentIndex(0);
    resetView(true);
    observeSettings();
    setupVersion();
    setupToolbarAndMenuItems();
    // The window as designed, unless the screen is smaller: then as much of it as the screen
    // holds (never below the least size its controls need).
    if (const QScreen *screen = m_window->screen())
        m_window->resize(m_window->size().boundedTo(screen->availableGeometry().size()));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // The keyboard starts where the work is: in the list.
    m_ui->mainTableView->setFocus(Qt::ActiveWindowFocusReason);
    createUsagesReport();
    updateTimeTakenLabel(QString());
}

void ShellController::setupToolbarAndMenuItems()
{
    insertAgreementMenuItem();
}

void ShellController::observeSettings()
{
    connect(m_settings.get(), &Settings::groupMultiPagePDFCountChanged, this,
            &ShellController::updateTotalLabel);
    connect(m_settings.get(), &Settings::outputFolderPathChanged, this,
            [this] { applyOutputFolderRule(); });
}

void ShellController::bindSettings()
{
    Settings *s = m_settings.get();
    MainWindowElements &ui = *m_ui;
    bind::text(ui.singleMultiPagePDFName, s, &Settings::singleMultiPagePDFName,
               &Settings::setSingleMultiPagePDFName, &Settings::singleMultiPagePDFNameChanged);
    bind::text(ui.groupMultiPagePDFName, s, &Settings::groupMultiPagePDFName,
               &Settings::setGroupMultiPagePDFName, &Settings::groupMultiPagePDFNameChanged);
    bind::check(ui.applyDocumentSetingsbtn, s, &Settings::isApplyDocumentSetings,
                &Settings::setIsApplyDocumentSetings, &Settings::isApplyDocumentSetingsChanged);
    bind::check(ui.setCurrentAsDefaultOutputFolderPathBtn, s,
                &Settings::isSetCurrentAsDefaultOutputFolderPath,
                &Settings::setIsSetCurrentAsDefaultOutputFolderPath,
                &Settings::isSetCurrentAsDefaultOutputFolderPathChanged);
    bind::check(ui.openFolderAfterConversionBtn, s, &Settings::isOpenFolderAfterConversion,
                &Settings::setIsOpenFolderAfterConversion,
                &Settings::isOpenFolderAfterConversionChanged);
    bind::check(ui.clearProcessedFilesBtn, s, &Settings::isClearProcessedFiles,
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
    connect(ui.groupMultiPagePDFCount, &QLineEdit::textEdited, this, [this] {
        controlTextDidChange(m_ui->groupMultiPagePDFCount);
        m_settings->setGroupMultiPagePDFCount(m_ui->groupMultiPagePDFCount->value());
    });
    connect(ui.groupMultiPagePDFStepper, &Stepper::valueChanged, s,
            &Settings::setGroupMultiPagePDFCount);

    ui.outputFolderPathField->setText(s->outputFolderPath());
    connect(s, &Settings::outputFolderPathChanged, ui.outputFolderPathField,
            [this] { m_ui->outputFolderPathField->setText(m_settings->outputFolderPath()); });
    connect(s, &Settings::isApplyDocumentSetingsChanged, this,
            &ShellController::refreshDocumentSummary);
    refreshDocumentSummary();
}

void ShellController::connectSharedControls()
{
    MainWindowElements &ui = *m_ui;
    for (QAbstractButton *mode : {static_cast<QAbstractButton *>(ui.singleImagePDFBtn),
                                  static_cast<QAbstractButton *>(ui.singleMultiPagePDFBtn),
                                  static_cast<QAbstractButton *>(ui.groupMultiPagePDFBtn)}) {
        connect(mode, &QAbstractButton::clicked, this,
                [this, mode] { combineOptionChanged(mode); });
    }
    connect(ui.pdfSetingsbtn, &QPushButton::clicked, this, &ShellController::openPDFSettings);
    connect(m_files, &FileListModel::checkMarkEdited, this, &ShellController::updateTotalLabel);
    connect(ui.mainTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateMoveControls(); });
    // A sort carries the highlighted rows elsewhere without a word from the selection.
    connect(m_files, &QAbstractItemModel::layoutChanged, this, [this] { updateMoveControls(); });
    connect(m_files, &QAbstractItemModel::rowsInserted, this, &ShellController::updateTotalLabel);
    connect(m_files, &QAbstractItemModel::rowsRemoved, this, &ShellController::updateTotalLabel);
    connect(m_files, &QAbstractItemModel::modelReset, this, &ShellController::updateTotalLabel);

    connect(ui.quitMenuItem, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    connect(ui.convertMenuItem, &QAction::triggered, this, [this] { convertAction(); });
    connect(ui.openLogFolderMenuItem, &QAction::triggered, this, &ShellController::openLogFolder);
    connect(ui.minimizeMenuItem, &QAction::triggered, m_window.get(), &QWidget::showMinimized);
    connect(ui.openAppMenuItem, &QAction::triggered, this, &ShellController::openAppAction);
    connect(ui.helpMenuItem, &QAction::triggered, this, &ShellController::helpAction);
    connect(ui.websiteMenuItem, &QAction::triggered, this, &ShellController::websiteAction);
    connect(ui.rateUsMenuItem, &QAction::triggered, this, &ShellController::rateUs);
    connect(ui.aboutMenuItem, &QAction::triggered, this, &ShellController::aboutAction,
            Qt::UniqueConnection);
}

void ShellController::createUsagesReport()
{
    m_reviewURL = reviewAddressFormat.arg(productNumber);
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

void ShellController::applicationDidFinishLaunching()
{
    if (m_usagesReport)
        m_usagesReport->validate(false);
}

void ShellController::applicationShouldTerminate()
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
    storeWindowState();
    m_settings->synchronize();
}

bool ShellController::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows && m_window->isVisible() && !m_window->isMinimized())
        return false;
    openAppAction();
    return true;
}

void ShellController::openAppAction()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ShellController::searchAction()
{
    endEditing(m_window.get());
}

bool ShellController::inculdeSubfolders() const
{
    return Preferences().value(includeSubfoldersKey).toBool();
}

void ShellController::setInculdeSubfolders(bool include)
{
    QString reason;
    if (!Preferences().setValue(includeSubfoldersKey, include, &reason))
        logError(QStringLiteral("setInculdeSubfolders:"), reason);
}

void ShellController::setCombineOptions(int mode)
{
    MainWindowElements &ui = *m_ui;
    // The three are one radio group (arrows choose among them), which would not let the checked
    // one be cleared: a stored mode none of them stands for checks none.
    const std::initializer_list<QAbstractButton *> modes{
        static_cast<QAbstractButton *>(ui.singleImagePDFBtn),
        static_cast<QAbstractButton *>(ui.singleMultiPagePDFBtn),
        static_cast<QAbstractButton *>(ui.groupMultiPagePDFBtn)};
    for (QAbstractButton *button : modes) {
        button->setAutoExclusive(false);
        button->setChecked(false);
    }
    // A window without the second label of the single-PDF mode leaves it out.
    const auto each = [](std::initializer_list<QWidget *> controls, bool enabled) {
        for (QWidget *control : controls) {
            if (control)
                control->setEnabled(enabled);
        }
    };
    each({ui.groupMultiPagePDFCount, ui.groupMultiPagePDFStepper, ui.singleImagePDFLabel,
          ui.singleMultiPagePDFLabel1, ui.singleMultiPagePDFLabel2, ui.groupMultiPagePDFLabel1,
          ui.groupMultiPagePDFLabel2, ui.singleMultiPagePDFName, ui.groupMultiPagePDFName},
         false);
    switch (mode) {
    case 0:
        ui.singleImagePDFBtn->setChecked(true);
        each({ui.singleImagePDFLabel}, true);
        break;
    case 1:
        ui.singleMultiPagePDFBtn->setChecked(true);
        each({ui.singleMultiPagePDFLabel1, ui.singleMultiPagePDFLabel2, ui.singleMultiPagePDFName},
             true);
        break;
    case 2:
        ui.groupMultiPagePDFBtn->setChecked(true);
        each({ui.groupMultiPagePDFCount, ui.groupMultiPagePDFStepper, ui.groupMultiPagePDFLabel1,
              ui.groupMultiPagePDFLabel2, ui.groupMultiPagePDFName},
             true);
        break;
    default:
        break;
    }
    for (QAbstractButton *button : modes)
        button->setAutoExclusive(true);
    updateTotalLabel();
}

void ShellController::combineOptionChanged(QAbstractButton *sender)
{
    if (!sender)
        return;
    m_settings->setCombineOptionIndex(sender->property("tag").toInt());
    m_settings->synchronize();
    setCombineOptions(m_settings->combineOptionIndex());
}

void ShellController::updateTotalLabel()
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
    // Nothing is converted while a load is still filling the list: the plan would miss what
    // arrives later, and the load's end would free the window under the run.
    const bool convertible = toCreate > 0 && !m_isProcessing;
    setConvertEnabled(convertible);
    m_ui->convertMenuItem->setEnabled(convertible);
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

QString ShellController::sanitisedNumericText(int tag, const QString &text)
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

void ShellController::controlTextDidChange(QLineEdit *field)
{
    if (!field)
        return;
    const QString rewritten = sanitisedNumericText(field->property("tag").toInt(), field->text());
    if (rewritten != field->text())
        field->setText(rewritten);
    field->setFocus();
}

void ShellController::openLogFolder()
{
    const QString logs = QDir(Utilities::getAppPath()).filePath(QStringLiteral("Logs"));
    Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
    m_workspace.openUrl(QUrl::fromLocalFile(logs));
}

void ShellController::setupVersion()
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

void ShellController::insertAgreementMenuItem()
{
    QMenu *application = m_ui->mainMenu->actions().value(0)->menu();
    if (!application ||
        application->findChild<QAction *>(QStringLiteral("licenseAgreementMenuItem")))
        return;
    auto *agreement = new QAction(tr("End-User License Agreement..."), application);
    agreement->setObjectName(QStringLiteral("licenseAgreementMenuItem"));
    agreement->setToolTip(tr("End-User License Agreement"));
    agreement->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(agreement, &QAction::triggered, this, &ShellController::showLicenseAgreement);
    // A separator at index 3 and the agreement right after it, at index 4.
    QAction *fourth = application->actions().value(3);
    application->insertSeparator(fourth);
    application->insertAction(fourth, agreement);
}

void ShellController::aboutAction()
{
    if (m_about)
        delete m_about;
    m_about = new AboutWindowController(&m_workspace, m_window.get());
    m_about->setAttribute(Qt::WA_DeleteOnClose);
    showSheet(m_about);
}

void ShellController::showLicenseAgreement()
{
    if (m_agreement)
        delete m_agreement;
    m_agreement = new EULAWindowController(m_window.get());
    m_agreement->setAttribute(Qt::WA_DeleteOnClose);
    showSheet(m_agreement);
}

void ShellController::helpAction()
{
    QString reason;
    const QString manual = userManualPath(&reason);
    if (manual.isEmpty()) {
        systemLog(QStringLiteral("Error in [helpAction:] : %1").arg(reason));
        return;
    }
    m_workspace.openUrl(QUrl::fromLocalFile(manual));
}

void ShellController::websiteAction()
{
    m_workspace.openUrl(QUrl(websiteAddress));
}

void ShellController::rateUs()
{
    // The desktop's software centre shows the program's own page for an appstream address.
    const QUrl review = m_usagesReport ? QUrl(m_usagesReport->reviewURL())
                                       : QUrl(QStringLiteral("appstream://com.quillmark.Folioset"));
    m_workspace.openUrl(review);
}

void ShellController::endEditing(QWidget *within)
{
    // Leaving the field commits what is being typed, as a click elsewhere would; the keyboard
    // then stays where it was, so that a command given from it does not lose the user's place.
    QWidget *focus = within ? within->focusWidget() : nullptr;
    if (focus) {
        focus->clearFocus();
        focus->setFocus(Qt::OtherFocusReason);
    }
}

void ShellController::showSheet(QDialog *sheet)
{
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

} // namespace folioset
