#include "importfileswindowcontroller.h"

#include "pathlist.h"
#include "ui_ImportFiles.h"

#include "model/utilities.h"
#include "platform/chooserfolders.h"
#include "platform/edition.h"
#include "platform/systemlog.h"
#include "widgets/keycharacter.h"
#include "widgets/windowheight.h"
#include "windows/alerts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

namespace folioset {

ImportFilesWindowController::ImportFilesWindowController(QWidget *window)
    : QDialog(window), m_ui(std::make_unique<::Ui::ImportFiles>())
{
    m_ui->setupUi(this);
    keepTallEnoughForItsLines(this);
    setWindowModality(Qt::WindowModal);
    markKeyCharacter(m_ui->importFromFileBtn, QStringLiteral("F"), KeyCharacterMatch::LastSameCase);
    markKeyCharacter(m_ui->importFromTextBtn, QStringLiteral("T"), KeyCharacterMatch::LastSameCase);
    markKeyCharacter(m_ui->pasteFromClipboardBtn, QStringLiteral("p"));
    markKeyCharacter(m_ui->importBtn, QStringLiteral("i"));
    for (QAbstractButton *method : {static_cast<QAbstractButton *>(m_ui->importFromFileBtn),
                                    static_cast<QAbstractButton *>(m_ui->importFromTextBtn)}) {
        connect(method, &QAbstractButton::clicked, this,
                [this, method] { importMethodChanged(method->property("tag").toInt()); });
    }
    connect(m_ui->browseBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::browseImportFileAction);
    connect(m_ui->pasteFromClipboardBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::pasetFromClipboardAction);
    connect(m_ui->importBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::importAction);
    connect(m_ui->cancelImportBtn, &QPushButton::clicked, this,
            &ImportFilesWindowController::cancelAction);
    importMethodChanged(0);
}

ImportFilesWindowController::~ImportFilesWindowController() = default;

void ImportFilesWindowController::resetView()
{
    m_ui->importFile->clear();
    m_ui->importText->clear();
    m_files.clear();
    showCount();
}

void ImportFilesWindowController::showCount()
{
    m_ui->totalFilesFound->setText(QStringLiteral("Total Files Found : %1").arg(m_files.size()));
}

void ImportFilesWindowController::importMethodChanged(int tag)
{
    // Both methods off first; switching discards what was entered for the other. The first
    // generation leaves the text box editable throughout.
    const bool switchesEditing = !isFirstGeneration();
    m_ui->importFile->clear();
    m_ui->importFile->setEnabled(false);
    m_ui->importText->clear();
    if (switchesEditing)
        m_ui->importText->setReadOnly(true);
    m_ui->importText->setEnabled(false);
    m_ui->browseBtn->setEnabled(false);
    m_ui->pasteFromClipboardBtn->setEnabled(false);
    // One radio group, lifted while both are cleared.
    for (QRadioButton *method : {m_ui->importFromFileBtn, m_ui->importFromTextBtn}) {
        method->setAutoExclusive(false);
        method->setChecked(false);
    }
    if (tag == 0) {
        m_ui->importFile->setEnabled(true);
        m_ui->browseBtn->setEnabled(true);
        m_ui->importFromFileBtn->setChecked(true);
        m_ui->importFromFileBtn->setFocus();
    } else if (tag == 1) {
        m_ui->importText->setEnabled(true);
        if (switchesEditing)
            m_ui->importText->setReadOnly(false);
        m_ui->pasteFromClipboardBtn->setEnabled(true);
        m_ui->importFromTextBtn->setChecked(true);
        m_ui->importFromTextBtn->setFocus();
    }
    for (QRadioButton *method : {m_ui->importFromFileBtn, m_ui->importFromTextBtn})
        method->setAutoExclusive(true);
}

void ImportFilesWindowController::browseImportFileAction()
{
    auto *panel = new QFileDialog(this, tr("Select Text File To Import:"));
    panel->setObjectName(QStringLiteral("importFileChooser"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setNameFilter(tr("Text files (*.txt)"));
    panel->setDirectory(chooserFolder(ChooserPurpose::ImportList));
    connect(panel, &QFileDialog::fileSelected, this, [this](const QString &path) {
        rememberChooserFolder(ChooserPurpose::ImportList, QFileInfo(path).absolutePath());
        m_ui->importFile->setText(path);
    });
    panel->open();
}

void ImportFilesWindowController::pasetFromClipboardAction()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    parseText(text);
    QStringList paths;
    for (const QUrl &url : std::as_const(m_files))
        paths << url.toLocalFile();
    m_ui->importText->setPlainText(paths.join(QLatin1Char('\n')));
}

void ImportFilesWindowController::parseText(const QString &text)
{
    m_files.clear();
    try {
        m_files = parsePathList(text, m_allowedTypes.split(QLatin1Char(',')));
    } catch (const std::exception &e) {
        logError(QStringLiteral("parseText:"), QString::fromUtf8(e.what()));
    }
    showCount();
}

void ImportFilesWindowController::parseFile(const QString &path)
{
    m_ui->importFile->setText(path);
    m_files.clear();
    try {
        m_files = parsePathListFile(path, m_allowedTypes.split(QLatin1Char(',')));
    } catch (const std::exception &e) {
        logError(QStringLiteral("parseFile:"), QString::fromUtf8(e.what()));
    }
    showCount();
}

void ImportFilesWindowController::notice(const QString &message)
{
    showNotice(this, Utilities::getAppTitle(), message);
}

void ImportFilesWindowController::importAction()
{
    if (QWidget *focus = focusWidget())
        focus->clearFocus();
    const bool fromFile = m_ui->importFromFileBtn->isChecked();
    const bool fromText = m_ui->importFromTextBtn->isChecked();
    if (fromFile && m_ui->importFile->text().isEmpty()) {
        notice(QStringLiteral("Please select file to import!"));
        m_ui->browseBtn->setFocus();
        return;
    }
    if (fromText && m_ui->importText->toPlainText().isEmpty()) {
        notice(QStringLiteral("Please paste file(s) path to import!"));
        m_ui->importText->setFocus();
        return;
    }
    if (fromFile)
        parseFile(m_ui->importFile->text());
    else if (fromText)
        parseText(m_ui->importText->toPlainText());
    if (m_files.isEmpty()) {
        notice(QStringLiteral("No File(s) Found!"));
        return;
    }
    finish();
}

void ImportFilesWindowController::cancelAction()
{
    if (QWidget *focus = focusWidget())
        focus->clearFocus();
    // The first generation only closes the sheet: what was found stays until the next opening,
    // and the list is not told.
    if (isFirstGeneration()) {
        hide();
        return;
    }
    m_files.clear();
    finish();
}

void ImportFilesWindowController::finish()
{
    if (m_delegate)
        m_delegate->ImportFilesWindowControllerDidFinish(this);
    hide();
}

} // namespace folioset
