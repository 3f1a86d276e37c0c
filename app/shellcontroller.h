#pragma once

#include "engine/process.h"
#include "filelist/importfileswindowcontroller.h"
#include "mainwindowelements.h"
#include "model/fileitem.h"
#include "model/pdfsettings.h"
#include "model/settings.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QAbstractButton;
class QDialog;
class QLineEdit;
class QMainWindow;
class QMenu;

namespace Ui {
class PDFSettingsPanel;
class ProcessViewPanel;
} // namespace Ui

namespace folioset {

class FileListModel;
class FileLoader;
class PageTab;
class UsagesReportingWindowController;
class Workspace;

// What the application controllers of both editions share: the file list, the settings, the
// working copy of the PDF settings and the current run; gathering files, the list commands,
// export, the PDF settings sheet, the road from a started run to the closed progress sheet, the
// menus and the help commands. Each edition's controller derives from it, builds its own main
// window and says what differs through the hooks below. Main thread only; a run reaches it
// through updateTimeTakenLabel(), which the run calls on this thread while it waits.
//
// Its work is split by topic: start-up pieces, quit, menus and the mode controls here
// (shellcontroller.cpp), the PDF settings sheet (settingssheets.cpp), the file list
// (filelistcontrol.cpp) and the run and its progress sheet (conversioncontrol.cpp).
class ShellController : public QObject,
                        public ProcessObserver,
                        public ImportFilesWindowControllerDelegate
{
    Q_OBJECT
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(bool inculdeSubfolders READ inculdeSubfolders WRITE setInculdeSubfolders)

public:
    ~ShellController() override;

    // Start-up: builds the window and its sheets, loads the settings, lays out the controls.
    virtual void awakeFromNib() = 0;
    void applicationDidFinishLaunching();
    // Quit: commits a value being typed, stops a run (its partial PDF is never kept) and saves
    // the settings. Never refuses.
    void applicationShouldTerminate();
    // Brings the window back when the application is activated without a visible window.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

    QMainWindow *window() const { return m_window.get(); }
    FileListModel &files() const { return *m_files; }
    Settings &settings() const { return *m_settings; }
    PDFSettings &pdfSettings() const { return *m_pdfSettings; }
    // How the pages of the window's runs are laid out (the PDF settings sheet's Page tab).
    const pdf::PageSetup &pageSetup() const { return m_pageSetup; }
    Process *process() const { return m_process.get(); }
    QDialog *pdfSettingsPanel() const { return m_pdfSettingsPanel; }
    QDialog *processViewPanel() const { return m_processViewPanel; }
    ::Ui::PDFSettingsPanel &pdfSettingsUi() const { return *m_pdfUi; }
    ::Ui::ProcessViewPanel &processUi() const { return *m_processUi; }
    QString reviewURL() const { return m_reviewURL; }
    UsagesReportingWindowController *usagesReport() const { return m_usagesReport; }

    bool isProcessing() const { return m_isProcessing; }
    // The stored include-subfolders choice.
    bool inculdeSubfolders() const;
    void setInculdeSubfolders(bool include);

    // Window state.
    virtual void resetView(bool enable) = 0;
    void setCombineOptions(int mode);
    void combineOptionChanged(QAbstractButton *sender);
    void updateTotalLabel();
    // The rewrite of a numeric field's text on each change: the field's default ("2" for tag
    // 30001, "1" for tag 30002) for no number or zero, else the text without non-digits at
    // either end. Any other tag keeps the text.
    static QString sanitisedNumericText(int tag, const QString &text);
    void controlTextDidChange(QLineEdit *field);

    // Menus and help.
    void setupVersion();
    void aboutAction();
    void showLicenseAgreement();
    void helpAction();
    void websiteAction();
    void rateUs();
    void openAppAction();
    void searchAction();
    void openLogFolder();

    // PDF settings sheet.
    void openPDFSettings();
    void pdfSettingsSegmentedChanged(int segment);
    void applyPDFSettings();
    void cancelPDFSettings();

    // Gathering files.
    void addFiles();
    void addFolder();
    // The background load of a request; the window is disabled until it ends.
    void loadURLs(const Arguments &request);
    void cancelAction();
    bool dropURLs(const QList<QUrl> &urls);
    void importAction();
    void openImportFilesPanel();
    void ImportFilesWindowControllerDidFinish(ImportFilesWindowController *sheet) override;
    ImportFilesWindowController *importFilesPanel() const { return m_importFilesPanel; }
    FileLoader &loader() const { return *m_loader; }

    // List commands.
    void selectDeselectRemoveAll(int code);
    void removeFiles();
    void checkUncheckInvertSelection(int code);
    void checkUncheckInvertAll(int code);
    void moveUp();
    void moveDown();
    void keyDownTableView(int direction);
    void openFiles();
    void openEnclodingFolder();
    void getInfo();
    void exportAction();
    bool exportTo(const QString &path);
    bool containsPDFFiles() const;
    bool containsMultiPageFiles() const;
    QMenu *filesContextMenu() const { return m_filesContextMenu; }

    // Conversion.
    virtual void convertAction() = 0;
    // Plans the checked items into the run's folder and starts the run with its progress sheet.
    virtual void combine();
    void cancelProcessAction();
    void viewLogAction();
    void closeProcessAction();
    void startProcess();
    void stopProcess();
    // The convert command, its menu item and the load's cancel button, off while a run holds
    // the window and on again once its sheet is closed.
    void resetViewForProcess(bool enabled);
    void updateTimeTakenLabel(const QString &text) override;

signals:
    void isProcessingChanged();
    // The run of the progress sheet has ended; its closing message is final.
    void processCompleted();

protected:
    ShellController(Workspace &workspace, QObject *parent);

    // What each edition's window decides for itself.
    virtual void setConvertEnabled(bool enabled) = 0;
    virtual void updateMoveControls() = 0;
    // The options that need an output folder follow whether the settings hold one.
    virtual void applyOutputFolderRule() = 0;
    // The part both editions share: without an output folder, keeping it as the default is off
    // and cannot be turned on. Returns whether the settings hold one.
    bool applyDefaultFolderRule();
    // The include-subfolders choice a load requested now uses.
    virtual bool includeSubfoldersForLoad() const { return inculdeSubfolders(); }
    // Folders the user has just chosen or dropped, before their load starts.
    virtual void foldersChosen(const QStringList &folders) { Q_UNUSED(folders); }
    virtual void dropAccepted() {}
    // What quitting stores besides the settings.
    virtual void storeWindowState() {}

    // Stops a run and takes the window down while the edition's controller still answers the
    // window's last signals; each controller's destructor calls it first.
    void closeDown();

    // Start-up steps both editions take, in the order each calls them.
    void prepareWindow();
    void createSupportFolders();
    void loadSettings();
    void connectSharedControls();
    // Marks each button's keyboard character; without a list, the nine both windows carry.
    void
    markKeyCharacters(std::initializer_list<std::pair<QAbstractButton *, const char *>> buttons);
    void markKeyCharacters();
    // The last steps: the first settings tab, the enabled window, the settings observed, the
    // menus and toolbar, the window in front, the usage reporter and the idle time label.
    void completeStartUp();
    virtual void setupToolbarAndMenuItems();
    void insertAgreementMenuItem();

    void endEditing(QWidget *within);
    void showSheet(QDialog *sheet);
    // A notice whose message is `message`, titled with the display title, in the form the
    // running edition shows notices in; returns once it is dismissed.
    void alert(const QString &message);
    // The mode's file names, with the group size raised to 2 on the way; false (after saying
    // why) when the run cannot start.
    bool checkNames();
    void refreshDocumentSummary();
    QList<int> selectedRows() const;
    // Whether the highlighted rows can move up (-1) or down (+1): up needs them below the first
    // row, down above the last, and the list must be usable.
    bool rowsCanMove(int direction) const;
    // Moves the highlighted rows one place up (-1) or down (+1), when they can go there.
    void moveRows(int direction);
    void afterListChange();
    // Rows were moved by hand: the list is sorted by no column any more.
    void forgetSortOrder();
    // Remembers where the keyboard is before the window is disabled; stopProcess() puts it back.
    void holdFocus();
    // The folder chooser whose choice becomes the settings' output folder, on `parent`.
    void showOutputFolderPanel(QWidget *parent, const QString &message);

    Workspace &m_workspace;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<MainWindowElements> m_ui;
    QString m_outputFolder; // the folder of the run being started
    std::unique_ptr<Settings> m_settings;
    FileListModel *m_files = nullptr;                          // owned by the window's table
    UsagesReportingWindowController *m_usagesReport = nullptr; // a child of this object
    std::unique_ptr<Process> m_process;
    bool m_isProcessing = false;

private:
    void observeSettings();
    void createUsagesReport();
    void connectSheets();
    void connectFileList();
    void buildFileMenu();
    void bindSettings();
    void loadPdfSettingsIntoSheet();
    void showProcessSheet();
    void refreshProcessSheet();
    void processFinished();
    void flipCheckMarksOfSelection();
    void loadFinished();

    // The sheets are children of the window, which owns them.
    QDialog *m_pdfSettingsPanel = nullptr;
    std::unique_ptr<::Ui::PDFSettingsPanel> m_pdfUi;
    QDialog *m_processViewPanel = nullptr;
    std::unique_ptr<::Ui::ProcessViewPanel> m_processUi;
    QPointer<QDialog> m_about;
    QPointer<QDialog> m_agreement;
    ImportFilesWindowController *m_importFilesPanel = nullptr; // made at first use
    QMenu *m_filesContextMenu = nullptr;
    FileLoader *m_loader = nullptr;
    QDateTime m_loadStarted;
    bool m_loadGrew = false;

    std::unique_ptr<PDFSettings> m_pdfSettings;
    pdf::PageSetup m_pageSetup;
    std::unique_ptr<PageTab> m_pageTab;
    QString m_reviewURL;
    QColor m_processingLabelColor;
    // Where the keyboard was when the window was taken away for a load or a run.
    QPointer<QWidget> m_focusBeforeBusy;
};

} // namespace folioset
