// The PDF settings sheet of both editions and the output settings sheet of folioset2.

#include "foliosetappdelegate.h"
#include "pagetab.h"

#include "ui_OutputSettingPanel.h"
#include "ui_PDFSettingsPanel.h"
#include "ui_ProcessViewPanel.h"

#include "filelist/customtableview.h"
#include "filelist/filelistmodel.h"
#include "model/utilities.h"
#include "platform/chooserfolders.h"
#include "widgets/valuelabel.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>

#include <algorithm>

namespace folioset {

namespace {

QList<QRadioButton *> bookmarkButtons(const ::Ui::PDFSettingsPanel &ui)
{
    return {ui.bookmarkNoneBtn, ui.bookmarkNameBtn, ui.bookmarkStemBtn, ui.bookmarkPathBtn};
}

constexpr int kPageTab = 3;
// The encryption choices in the order of the sheet's pop-up.
constexpr int keyChoices[] = {40, 128, 256};

// What each key protects against, said plainly under the choice.
QString encryptionNote(int bits)
{
    if (bits >= 256)
        return QObject::tr("Keeps out everyone without the password, also those with password-"
                           "cracking tools, as long as the password is long and not a word. "
                           "Current PDF readers open it.");
    if (bits > 40)
        return QObject::tr("Keeps out casual readers only: RC4 is no longer considered safe and "
                           "freely available tools can break it. Choose it only for a reader "
                           "that cannot open AES.");
    return QObject::tr("Keeps out nobody who tries: freely available tools remove a 40-bit key "
                       "in seconds. Choose it only for the oldest readers.");
}

// Under the pop-up, and as its description for screen readers.
void showEncryptionNote(::Ui::PDFSettingsPanel &ui, int bits)
{
    ui.encryptionNote->setText(encryptionNote(bits));
    ui.encryptionStrengthPopup->setAccessibleDescription(encryptionNote(bits));
}

QString keyName(int bits)
{
    return bits >= 256 ? QObject::tr("256-bit AES") : QObject::tr("%1-bit RC4").arg(bits);
}

} // namespace

void FoliosetAppDelegate::connectOutputSheet()
{
    ::Ui::OutputSettingPanel &out = *m_outputUi;
    connect(out.chooseOutputFolderBtn, &QPushButton::clicked, this,
            &FoliosetAppDelegate::chooseOutputFolder);
    connect(out.outputButtons, &QDialogButtonBox::rejected, this,
            &FoliosetAppDelegate::closeOutputSetting);
    // Return closes the sheet, as Escape does: everything in it takes effect as it is changed.
    out.outputButtons->button(QDialogButtonBox::Close)->setDefault(true);
}

void ShellController::connectSheets()
{
    ::Ui::ProcessViewPanel &progress = *m_processUi;
    connect(progress.cancelProcessBtn, &QPushButton::clicked, this,
            &ShellController::cancelProcessAction);
    connect(progress.viewLogBtn, &QPushButton::clicked, this, &ShellController::viewLogAction);
    connect(progress.closeProcessBtn, &QPushButton::clicked, this,
            &ShellController::closeProcessAction);

    ::Ui::PDFSettingsPanel &pdf = *m_pdfUi;
    connect(pdf.pdfSettingsSegmented, &SegmentedControl::segmentClicked, this,
            &ShellController::pdfSettingsSegmentedChanged);
    connect(pdf.applyPDFSettingsBtn, &QPushButton::clicked, this,
            &ShellController::applyPDFSettings);
    connect(pdf.cancelPDFSettingsBtn, &QPushButton::clicked, this,
            &ShellController::cancelPDFSettings);
    connect(pdf.showPasswordsBtn, &QCheckBox::toggled, this, [this](bool show) {
        const auto mode = show ? QLineEdit::Normal : QLineEdit::Password;
        m_pdfUi->openPasswordField->setEchoMode(mode);
        m_pdfUi->permissionPasswordField->setEchoMode(mode);
    });
    auto *bookmarks = new QButtonGroup(m_pdfSettingsPanel);
    const QList<QRadioButton *> kinds = bookmarkButtons(pdf);
    for (qsizetype i = 0; i < kinds.size(); ++i)
        bookmarks->addButton(kinds.at(i), int(i));

    // Each control edits the working copy directly; only Apply copies it into the settings.
    PDFSettings *copy = m_pdfSettings.get();
    const auto text = [this](QLineEdit *field, void (PDFSettings::*set)(const QString &)) {
        connect(field, &QLineEdit::textEdited, this,
                [this, set](const QString &value) { (m_pdfSettings.get()->*set)(value); });
    };
    text(pdf.titleField, &PDFSettings::setTitle);
    text(pdf.subjectField, &PDFSettings::setSubject);
    text(pdf.authorField, &PDFSettings::setAuthor);
    text(pdf.keywordsField, &PDFSettings::setKeywords);
    text(pdf.openPasswordField, &PDFSettings::setPdfOpenPassword);
    text(pdf.permissionPasswordField, &PDFSettings::setPdfPermissionPassword);
    connect(pdf.encryptionStrengthPopup, &QComboBox::activated, this, [this, copy](int index) {
        copy->setKeyBits(keyChoices[std::clamp(index, 0, 2)]);
        showEncryptionNote(*m_pdfUi, copy->keyBits());
    });
    connect(pdf.canPrintBtn, &QCheckBox::clicked, this, [copy](bool on) { copy->setCanPrint(on); });
    connect(pdf.canCopyBtn, &QCheckBox::clicked, this, [copy](bool on) { copy->setCanCopy(on); });
    connect(bookmarks, &QButtonGroup::idClicked, this,
            [copy](int kind) { copy->setBookmarkType(kind); });
    m_pageTab = std::make_unique<PageTab>(pdf);

    // The keyring may give the stored passwords only after the window is up.
    connect(m_settings.get(), &Settings::passwordsArrived, this, [this] {
        refreshDocumentSummary();
        if (!m_pdfSettingsPanel->isVisible() || !m_pdfSettings->pdfOpenPassword().isEmpty() ||
            !m_pdfSettings->pdfPermissionPassword().isEmpty())
            return;
        const PDFSettings &stored = *m_settings->pdfSettings();
        m_pdfSettings->setPdfOpenPassword(stored.pdfOpenPassword());
        m_pdfSettings->setPdfPermissionPassword(stored.pdfPermissionPassword());
        m_pdfUi->openPasswordField->setText(stored.pdfOpenPassword());
        m_pdfUi->permissionPasswordField->setText(stored.pdfPermissionPassword());
    });
}

void FoliosetAppDelegate::showOutputSettings()
{
    m_outputUi->outputFolderPathField->setText(m_settings->outputFolderPath());
    applyOutputFolderRule();
    showSheet(m_outputSettingPanel);
}

void FoliosetAppDelegate::closeOutputSetting()
{
    endEditing(m_outputSettingPanel);
    m_outputSettingPanel->hide();
    m_ui->mainTableView->viewport()->update();
}

void FoliosetAppDelegate::chooseOutputFolder()
{
    showOutputFolderPanel(m_outputSettingPanel, tr("Choose Output Folder : "));
}

void ShellController::showOutputFolderPanel(QWidget *parent, const QString &message)
{
    auto *chooser = new QFileDialog(parent, message);
    chooser->setObjectName(QStringLiteral("outputFolderPanel"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setLabelText(QFileDialog::Accept, tr("Choose"));
    // The folder the PDFs go to now, or the one chosen last time for them.
    chooser->setDirectory(QFileInfo(m_settings->outputFolderPath()).isDir()
                              ? m_settings->outputFolderPath()
                              : chooserFolder(ChooserPurpose::OutputFolder));
    chooser->setWindowModality(Qt::WindowModal);
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString &folder) {
        if (folder.isEmpty())
            return;
        rememberChooserFolder(ChooserPurpose::OutputFolder, folder);
        m_settings->setOutputFolderPath(QDir::cleanPath(folder));
        m_settings->synchronize();
        setCombineOptions(m_settings->combineOptionIndex());
    });
    chooser->open();
}

bool ShellController::applyDefaultFolderRule()
{
    const bool hasFolder = !m_settings->outputFolderPath().isEmpty();
    if (!hasFolder)
        m_settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
    m_ui->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(hasFolder);
    return hasFolder;
}

void ShellController::openPDFSettings()
{
    m_pdfSettings->copyFrom(*m_settings->pdfSettings());
    loadPdfSettingsIntoSheet();
    // The page drawn is the highlighted file's first page to convert, else the list's first.
    const QList<int> rows = selectedRows();
    const FileItemPtr item = m_files->item(rows.isEmpty() ? 0 : rows.first());
    m_pageTab->show(m_pageSetup);
    m_pageTab->setPreviewImage(item ? item->localPath() : QString(),
                               item ? Process::getPageRanges(item.get()).value(0, 1) - 1 : 0);
    pdfSettingsSegmentedChanged(0);
    showSheet(m_pdfSettingsPanel);
}

void ShellController::loadPdfSettingsIntoSheet()
{
    ::Ui::PDFSettingsPanel &pdf = *m_pdfUi;
    const PDFSettings &copy = *m_pdfSettings;
    pdf.titleField->setText(copy.title());
    pdf.subjectField->setText(copy.subject());
    pdf.authorField->setText(copy.author());
    pdf.keywordsField->setText(copy.keywords());
    pdf.creatorField->setText(copy.pdfCreator());
    pdf.openPasswordField->setText(copy.pdfOpenPassword());
    pdf.permissionPasswordField->setText(copy.pdfPermissionPassword());
    pdf.showPasswordsBtn->setChecked(false);
    pdf.encryptionStrengthPopup->setCurrentIndex(
        int(std::find(std::begin(keyChoices), std::end(keyChoices), copy.keyBits()) -
            std::begin(keyChoices)));
    showEncryptionNote(pdf, copy.keyBits());
    pdf.canPrintBtn->setChecked(copy.canPrint());
    pdf.canCopyBtn->setChecked(copy.canCopy());
    const QList<QRadioButton *> kinds = bookmarkButtons(pdf);
    // A stored kind this window does not know selects none of the buttons.
    for (QRadioButton *kind : kinds)
        kind->setAutoExclusive(false);
    for (qsizetype i = 0; i < kinds.size(); ++i)
        kinds.at(i)->setChecked(i == copy.bookmarkType());
    for (QRadioButton *kind : kinds)
        kind->setAutoExclusive(true);
}

void ShellController::pdfSettingsSegmentedChanged(int segment)
{
    if (segment < 0 || segment >= m_pdfUi->pdfSettingsTab->count())
        return;
    m_pdfUi->pdfSettingsTab->setCurrentIndex(segment);
    for (int i = 0; i < m_pdfUi->pdfSettingsSegmented->segmentCount(); ++i)
        m_pdfUi->pdfSettingsSegmented->setSelected(i == segment, i);
}

void ShellController::applyPDFSettings()
{
    endEditing(m_pdfSettingsPanel);
    // A layout that makes no page is not taken; the Page tab says why.
    const pdf::PageSetup page = m_pageTab->setup();
    if (!page.problem().isEmpty()) {
        pdfSettingsSegmentedChanged(kPageTab);
        m_pdfUi->marginTopField->setFocus();
        return;
    }
    if (page != m_pageSetup) {
        m_pageSetup = page;
        storePageSetup(m_pageSetup);
    }
    m_settings->pdfSettings()->copyFrom(*m_pdfSettings);
    m_settings->synchronize();
    m_pdfSettingsPanel->hide();
    refreshDocumentSummary();
}

void ShellController::cancelPDFSettings()
{
    endEditing(m_pdfSettingsPanel);
    m_pdfSettingsPanel->hide();
}

void ShellController::refreshDocumentSummary()
{
    const PDFSettings &pdf = *m_settings->pdfSettings();
    QStringList lines;
    const auto orNone = [](const QString &text) { return text.isEmpty() ? tr("none") : text; };
    lines << tr("Title: %1").arg(orNone(pdf.title()));
    lines << tr("Author: %1").arg(orNone(pdf.author()));
    const bool secured = !pdf.pdfOpenPassword().isEmpty() || !pdf.pdfPermissionPassword().isEmpty();
    lines << (secured ? tr("Security: passwords set, %1").arg(keyName(pdf.keyBits()))
                      : tr("Security: none"));
    static const QStringList kinds{tr("none"), tr("file name"), tr("file name without extension"),
                                   tr("full path")};
    lines << tr("Bookmarks: %1").arg(kinds.value(pdf.bookmarkType(), tr("unknown kind")));
    m_ui->documentSummaryLabel->setText(lines.join(QLatin1Char('\n')));
    m_ui->documentSummaryLabel->setEnabled(m_settings->isApplyDocumentSetings());
}

} // namespace folioset
