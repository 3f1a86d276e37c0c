#include "eulawindowcontroller.h"

#include "model/utilities.h"
#include "platform/atomicfile.h"
#include "platform/chooserfolders.h"
#include "platform/systemlog.h"
#include "ui_EULA.h"
#include "widgets/windowheight.h"
#include "windows/alerts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextDocument>

namespace folioset {

namespace {

QString agreementHtml(const QString &name)
{
    QFile file(QStringLiteral(":/text/eula.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll())
        .replace(QStringLiteral("##APPTITLE##"), name.toHtmlEscaped());
}

// The agreement's name in printed and saved copies.
QString documentTitle()
{
    return EULAWindowController::tr("%1 End-User License Agreement").arg(Utilities::getAppTitle());
}

} // namespace

EULAWindowController::EULAWindowController(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::EULAWindowController>())
{
    m_ui->setupUi(this);
    keepTallEnoughForItsLines(this);
    const QString name = Utilities::getAppTitle();
    m_ui->headerLabel->setText(tr("%1 End-User License Agreement:").arg(name));
    m_ui->descriptionTextView->setHtml(agreementHtml(name));
    // Room between the text and the frame; printing sets its own page margins.
    m_ui->descriptionTextView->document()->setDocumentMargin(10);
    m_ui->closeButton->show();
    m_ui->printButton->setToolTip(tr("Click to print End-User License Agreement."));
    m_ui->saveAsButton->setToolTip(tr("Click to save End-User License Agreement."));
    m_ui->closeButton->setToolTip(tr("Click to close dialog."));

    connect(m_ui->printButton, &QPushButton::clicked, this, &EULAWindowController::printAction);
    connect(m_ui->saveAsButton, &QPushButton::clicked, this, &EULAWindowController::saveAsAction);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &EULAWindowController::closeAction);
}

EULAWindowController::~EULAWindowController() = default;

EULAWindowController *EULAWindowController::showSheet(QWidget *window)
{
    auto *const agreement = new EULAWindowController(window);
    agreement->setAttribute(Qt::WA_DeleteOnClose);
    agreement->open();
    return agreement;
}

QString EULAWindowController::proposedFileName()
{
    return documentTitle() + QStringLiteral(".pdf");
}

void EULAWindowController::printAction()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setDocName(documentTitle());
        m_printDialog = std::make_unique<QPrintDialog>(m_printer.get(), this);
        m_printDialog->setWindowTitle(tr("Print End-User License Agreement"));
        connect(m_printDialog.get(), &QDialog::accepted, this,
                [this] { m_ui->descriptionTextView->document()->print(m_printer.get()); });
    }
    m_printDialog->setWindowModality(Qt::WindowModal);
    m_printDialog->open();
}

void EULAWindowController::saveAsAction()
{
    const QString folder = chooserFolder(ChooserPurpose::Agreement);
    auto *const dialog =
        new QFileDialog(this, tr("Save End-User License Agreement"),
                        QDir(folder).filePath(proposedFileName()), tr("PDF (*.pdf)"));
    dialog->setObjectName(QStringLiteral("agreementSavePanel"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    // Queued: a failure notice then comes after the file dialog has gone, not on top of it.
    connect(dialog, &QFileDialog::fileSelected, this, [](const QString &path) {
        rememberChooserFolder(ChooserPurpose::Agreement, QFileInfo(path).absolutePath());
    });
    connect(dialog, &QFileDialog::fileSelected, this, &EULAWindowController::saveChosenFile,
            Qt::QueuedConnection);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void EULAWindowController::saveChosenFile(const QString &path)
{
    QString reason;
    if (!saveAsPdf(path, &reason))
        informationAlertPanel(this, tr("The agreement could not be saved."), reason);
}

void EULAWindowController::closeAction()
{
    accept();
}

bool EULAWindowController::saveAsPdf(const QString &path, QString *reason)
{
    QString failure;
    if (writePdf(path, &failure))
        return true;
    logError(QStringLiteral("saveAsPdf"), failure);
    if (reason)
        *reason = failure;
    return false;
}

bool EULAWindowController::writePdf(const QString &path, QString *reason)
{
    // QPrinter reports no write errors, so it prints into a scratch file; only a complete PDF
    // is then written to the chosen place, in one checked step.
    QTemporaryFile scratch(QDir(QDir::tempPath()).filePath(QStringLiteral("agreement-XXXXXX.pdf")));
    if (!scratch.open()) {
        *reason = scratch.errorString();
        return false;
    }
    scratch.close();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch.fileName());
    printer.setDocName(documentTitle());
    printer.setCreator(Utilities::getAppTitle());
    m_ui->descriptionTextView->document()->print(&printer);

    QFile printed(scratch.fileName());
    if (!printed.open(QIODevice::ReadOnly)) {
        *reason = printed.errorString();
        return false;
    }
    const QByteArray bytes = printed.readAll();
    if (!bytes.startsWith("%PDF-") || !bytes.trimmed().endsWith("%%EOF")) {
        *reason = tr("The agreement could not be laid out as a PDF file.");
        return false;
    }
    return AtomicFile::writeWhole(path, bytes, reason);
}

} // namespace folioset
