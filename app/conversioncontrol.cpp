// From the convert command to the closed progress sheet.

#include "foliosetappdelegate.h"

#include "ui_MainWindow2.h"
#include "ui_OpenPanelCustomView.h"
#include "ui_ProcessViewPanel.h"

#include "filelist/filelistmodel.h"
#include "model/outputplan.h"
#include "model/utilities.h"
#include "platform/chooserfolders.h"
#include "platform/paths.h"
#include "platform/systemlog.h"
#include "usage/usagesreportingwindowcontroller.h"
#include "widgets/valuelabel.h"
#include "windows/alerts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMainWindow>

#include <algorithm>

namespace folioset {

namespace {

const QString idleTimeText = QStringLiteral("Total Time Taken : %1 %2/%3");

// Why a name cannot become a file name in the output folder; empty when it can. `suffix` is
// what the plan appends (".pdf", or a group number and ".pdf").
QString nameProblem(const QString &name, const QString &suffix)
{
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("PDF file name cannot contain \"/\"!\r\nPlease enter another name.");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("PDF file name cannot contain control characters!\r\n"
                                  "Please enter another name.");
    }
    if ((name + suffix).toUtf8().size() > 255)
        return QStringLiteral("PDF file name is too long!\r\nPlease enter a shorter name.");
    return {};
}

// The rows naming the PDF and the image in progress.
void showProgressRows(::Ui::ProcessViewPanel &ui, bool show)
{
    for (QWidget *row :
         {static_cast<QWidget *>(ui.outputFileTitle),
          static_cast<QWidget *>(ui.outputFileInProcessLabel), static_cast<QWidget *>(ui.fileTitle),
          static_cast<QWidget *>(ui.fileInProcessLabel)})
        row->setVisible(show);
}

// What the sheet adds to the run's closing message: what could not be converted or written,
// where to read more, and rights that nobody can lift. One sentence a line; empty when there is
// nothing to add.
QString shortcomings(const Process &run, const PDFSettings &pdfSettings)
{
    QStringList lines;
    if (const int images = run.imagesNotConverted())
        lines << QObject::tr("%n image file(s) could not be converted.", nullptr, images);
    if (const int pages = run.pagesNotConverted())
        lines << QObject::tr("%n page(s) could not be converted.", nullptr, pages);
    if (!run.isCompleted())
        return lines.join(QLatin1Char('\n'));
    const QString unableToSave = QStringLiteral("Unable to save file!");
    const int unwritten =
        int(std::count_if(run.log().files.cbegin(), run.log().files.cend(),
                          [&](const LogFiles &output) { return output.status == unableToSave; }));
    if (unwritten > 0)
        lines << QObject::tr("%n PDF file(s) could not be written.", nullptr, unwritten);
    if (!lines.isEmpty())
        lines << (run.log().isWritten() ? QObject::tr("View Log lists them.")
                                        : QObject::tr("The log could not be written."));
    if (run.hasUnliftableRights()) {
        const QString withheld = !pdfSettings.canPrint() && !pdfSettings.canCopy()
                                     ? QObject::tr("printing and copying")
                                 : !pdfSettings.canPrint() ? QObject::tr("printing")
                                                           : QObject::tr("copying");
        lines << QObject::tr("No permissions password was set: nobody can lift the restriction "
                             "on %1.")
                     .arg(withheld);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void ShellController::alert(const QString &message)
{
    showNotice(m_window.get(), Utilities::getAppTitle(), message);
}

bool ShellController::checkNames()
{
    const int mode = m_settings->combineOptionIndex();
    if (mode == 1) {
        const QString name = m_settings->singleMultiPagePDFName();
        QString problem = name.isEmpty() ? QStringLiteral("Please enter new PDF file name!")
                                         : nameProblem(name, QStringLiteral(".pdf"));
        if (!problem.isEmpty()) {
            alert(problem);
            m_ui->singleMultiPagePDFName->setFocus();
            return false;
        }
    } else if (mode == 2) {
        if (m_settings->groupMultiPagePDFCount() < 2)
            m_settings->setGroupMultiPagePDFCount(2);
        const QString name = m_settings->groupMultiPagePDFName();
        const qsizetype groups = selectedItems(m_files->files()).size();
        const QString suffix =
            QString::number(std::max<qsizetype>(groups, 1)) + QStringLiteral(".pdf");
        const QString problem = name.isEmpty()
                                    ? QStringLiteral("Please enter new PDF file base name!")
                                    : nameProblem(name, suffix);
        if (!problem.isEmpty()) {
            alert(problem);
            m_ui->groupMultiPagePDFName->setFocus();
            return false;
        }
    }
    return true;
}

void FoliosetAppDelegate::convertAction()
{
    try {
        endEditing(m_window.get());
        m_ui->settingTabView->setCurrentIndex(0);
        if (!checkNames())
            return;
        m_outputFolder = m_settings->outputFolderPath();
        const QFileInfo folder(m_outputFolder);
        if (!m_outputFolder.isEmpty() && folder.isDir() && folder.isWritable()) {
            combine();
            return;
        }
        QString message;
        if (m_outputFolder.isEmpty())
            message = QStringLiteral("Please select output folder!");
        else if (!folder.isDir())
            message = QStringLiteral("Output folder [ %1 ] is missing!\r\nPlease select valid "
                                     "output folder.")
                          .arg(m_outputFolder);
        else
            message = QStringLiteral("Application does not have write permission for selected "
                                     "output folder!\r\n[ %1 ]\r\nPlease select valid output "
                                     "folder.")
                          .arg(m_outputFolder);
        makeOutputFolderChooser(message)->open();
    } catch (const std::exception &e) {
        systemLog(QStringLiteral("Error in convertAction : %1").arg(QString::fromUtf8(e.what())));
    }
}

QFileDialog *FoliosetAppDelegate::makeOutputFolderChooser(const QString &message)
{
    auto *chooser = new QFileDialog(m_window.get(), QStringLiteral("Choose Output Folder : "));
    chooser->setObjectName(QStringLiteral("outputFolderChooser"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowModality(Qt::WindowModal);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    // Where the stored folder was (or the nearest that is left of it); without one, where the
    // user chose an output folder last.
    chooser->setDirectory(m_settings->outputFolderPath().isEmpty()
                              ? chooserFolder(ChooserPurpose::OutputFolder)
                              : nearestExistingFolder(m_settings->outputFolderPath()));
    chooser->setLabelText(QFileDialog::Accept, tr("Convert"));

    auto *accessory = new QWidget(chooser);
    auto accessoryUi = std::make_shared<::Ui::OpenPanelCustomView>();
    accessoryUi->setupUi(accessory);
    accessoryUi->openPanelMessage->setText(message);
    accessoryUi->isSetCurrentAsDefaultOutputFolder->setChecked(false);
    accessoryUi->isOpenFolderAfterConversion->setChecked(m_settings->isOpenFolderAfterConversion());
    if (auto *grid = qobject_cast<QGridLayout *>(chooser->layout()))
        grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());

    connect(chooser, &QFileDialog::fileSelected, this, [this, accessoryUi](const QString &folder) {
        if (folder.isEmpty())
            return;
        rememberChooserFolder(ChooserPurpose::OutputFolder, folder);
        const bool makeDefault = accessoryUi->isSetCurrentAsDefaultOutputFolder->isChecked();
        const bool openAfter = accessoryUi->isOpenFolderAfterConversion->isChecked();
        QMetaObject::invokeMethod(
            this,
            [this, folder, makeDefault, openAfter] {
                if (!QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable()) {
                    alert(QStringLiteral("Application does not have write permission for "
                                         "selected output folder!\r\n[ %1 ]\r\nPlease try again "
                                         "or later.")
                              .arg(folder));
                    return;
                }
                m_outputFolder = QDir::cleanPath(folder);
                if (makeDefault) {
                    m_settings->setOutputFolderPath(m_outputFolder);
                    m_settings->setIsSetCurrentAsDefaultOutputFolderPath(true);
                    m_settings->synchronize();
                }
                if (openAfter)
                    m_settings->setIsOpenFolderAfterConversion(true);
                combine();
            },
            Qt::QueuedConnection);
    });
    return chooser;
}

void ShellController::combine()
{
    try {
        m_process = std::make_unique<Process>();
        Process &run = *m_process;
        run.setIsCombining(true);
        run.setSettings(m_settings.get());
        run.setPageSetup(m_pageSetup);
        run.setOutputFolder(m_outputFolder);
        run.outputFiles() = planOutputFiles(m_files->files(), *m_settings, m_outputFolder);
        if (m_settings->combineOptionIndex() >= 0 && m_settings->combineOptionIndex() <= 2)
            run.setTotalFileSelected(int(selectedItems(m_files->files()).size()));
        run.setObserver(this);
        run.setWorkspace(&m_workspace);

        holdFocus();
        resetView(false);
        startProcess();
        m_ui->loadingIndicator->setVisible(false);
        resetViewForProcess(false);

        // The run changes its properties on its own thread; these reach the sheet queued.
        for (const auto changed :
             {&Process::fileInProcessChanged, &Process::outputFileInProcessChanged,
              &Process::totalFileProcessedChanged, &Process::totalFileCreatedChanged,
              &Process::messageChanged, &Process::notConvertedChanged})
            connect(&run, changed, this, &FoliosetAppDelegate::refreshProcessSheet);
        connect(&run, &Process::isCompletedChanged, this, [this] {
            if (m_process && m_process->isCompleted())
                processFinished();
        });
        showProcessSheet();
        run.startInBackground();
    } catch (const std::exception &e) {
        logError(QStringLiteral("combine"), QString::fromUtf8(e.what()));
    }
}

void ShellController::showProcessSheet()
{
    ::Ui::ProcessViewPanel &ui = *m_processUi;
    const Process &run = *m_process;
    ui.processHeadline->setText(
        tr("Converting %n image file(s)", nullptr, run.totalFileSelected()) +
        tr(" into %n PDF file(s)...", nullptr, int(m_process->outputFiles().size())));
    ui.processProgress->setRange(0, std::max(1, run.totalFileSelected()));
    ui.processProgress->setValue(0);
    ui.processMessageLabel->clear();
    ui.processProblemsLabel->clear();
    ui.processProblemsLabel->hide();
    showProgressRows(ui, true);
    ui.cancelProcessBtn->setEnabled(true);
    ui.closeProcessBtn->setEnabled(false);
    ui.viewLogBtn->setEnabled(false);
    refreshProcessSheet();
    showSheet(m_processViewPanel);
    ui.cancelProcessBtn->setFocus();
}

void ShellController::refreshProcessSheet()
{
    if (!m_process)
        return;
    ::Ui::ProcessViewPanel &ui = *m_processUi;
    const Process &run = *m_process;
    ui.outputFileInProcessLabel->setText(run.outputFileInProcess());
    ui.fileInProcessLabel->setText(run.fileInProcess());
    ui.processProgress->setValue(std::min(run.totalFileProcessed(), ui.processProgress->maximum()));
    // An image that was handled but gave no page is not called converted.
    ui.processCountsLabel->setText(
        tr("%1 of %2 image file(s) converted; %3 of %4 PDF file(s) written")
            .arg(run.totalFileProcessed() - run.imagesNotConverted())
            .arg(run.totalFileSelected())
            .arg(run.totalFileCreated())
            .arg(m_process->outputFiles().size()));
    ui.processMessageLabel->setText(
        QString(run.message()).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    // The window cannot change the settings while the sheet is up: they are the run's.
    const QString more = shortcomings(run, *m_settings->pdfSettings());
    ui.processProblemsLabel->setText(more);
    ui.processProblemsLabel->setVisible(!more.isEmpty());
}

void ShellController::processFinished()
{
    refreshProcessSheet();
    ::Ui::ProcessViewPanel &ui = *m_processUi;
    ui.processHeadline->setText(m_process->isStopped() ? tr("Conversion stopped")
                                                       : tr("Conversion finished"));
    // Nothing is in progress any more: the "now converting" rows would only stand empty.
    showProgressRows(ui, false);
    ui.cancelProcessBtn->setEnabled(false);
    ui.viewLogBtn->setEnabled(m_process->log().isWritten());
    ui.closeProcessBtn->setEnabled(true);
    ui.closeProcessBtn->setDefault(true);
    ui.closeProcessBtn->setFocus();
    emit processCompleted();
}

void ShellController::cancelProcessAction()
{
    if (m_process)
        m_process->setIsCombining(false);
}

void ShellController::viewLogAction()
{
    if (m_process)
        m_process->viewLog();
}

void ShellController::closeProcessAction()
{
    m_processViewPanel->hide();
    if (m_settings->isClearProcessedFiles()) {
        m_files->removeIf([](const FileItem &item) { return item.isSelected(); });
        m_ui->mainTableView->clearSelection();
    }
    resetViewForProcess(true);
    stopProcess();
    resetView(true);
    const QString mode = combineModeName(m_settings->combineOptionIndex());
    if (m_usagesReport && m_process && !mode.isEmpty())
        m_usagesReport->updateUsages(mode, m_process->totalFileProcessed());
    m_process.reset();
}

void ShellController::startProcess()
{
    m_processingLabelColor = m_window->palette().color(QPalette::Disabled, QPalette::WindowText);
    QPalette palette = m_ui->labelTotalFiles->palette();
    palette.setColor(QPalette::WindowText, m_processingLabelColor);
    m_ui->labelTotalFiles->setPalette(palette);
    m_isProcessing = true;
    emit isProcessingChanged();
    m_ui->loadingIndicator->setVisible(true);
}

void ShellController::holdFocus()
{
    // The controls about to be disabled hand the focus on to whatever is still enabled.
    if (!m_focusBeforeBusy)
        m_focusBeforeBusy = m_window->focusWidget();
}

void ShellController::stopProcess()
{
    m_processingLabelColor = m_window->palette().color(QPalette::Active, QPalette::WindowText);
    m_ui->labelTotalFiles->setPalette(m_window->palette());
    m_isProcessing = false;
    emit isProcessingChanged();
    m_ui->loadingIndicator->setVisible(false);
    updateTotalLabel();
    // Once the window is enabled again (right after this), the keyboard goes back where it was.
    QMetaObject::invokeMethod(
        this,
        [this] {
            QWidget *back = std::exchange(m_focusBeforeBusy, nullptr);

            if (back && back->isEnabled() && back->isVisible() && !m_isProcessing)
                back->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

void ShellController::resetViewForProcess(bool enabled)
{
    m_ui->cancelBtn->setEnabled(enabled);
    setConvertEnabled(enabled);
    m_ui->convertMenuItem->setEnabled(enabled);
    m_window->repaint();
}

void ShellController::updateTimeTakenLabel(const QString &text)
{
    const QString shown =
        text.isEmpty() ? idleTimeText.arg(QStringLiteral("00:00")).arg(0).arg(0) : text;
    m_processUi->labelTimeTaken->setText(shown);
    m_processUi->labelTimeTaken->repaint();
    // Under the list the line only speaks while there is something to tell.
    m_ui->labelStatusTime->setText(shown);
    m_ui->labelStatusTime->setVisible(!text.isEmpty());
}

} // namespace folioset
