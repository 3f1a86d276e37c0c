#pragma once

#include "engine/process.h"
#include "filelist/importfileswindowcontroller.h"
#include "model/fileitem.h"
#include "model/pdfsettings.h"
#include "model/settings.h"
#include "recentitem.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <memory>

class QAbstractButton;
class QDialog;
class QFileDialog;
class QLineEdit;
class QMainWindow;
class QMenu;

namespace Ui {
class MainWindow2;
class OutputSettingPanel;
class PDFSettingsPanel;
class ProcessViewPanel;
class OpenPanelCustomView;
} // namespace Ui

namespace folioset {

class FileListModel;
class FileLoader;
class UsagesReportingWindowController;
class Workspace;

// The one controller of the folioset2 window: owns the file list, the settings, the working
// copy of the PDF settings and the current run; wires the window's controls to the commands,
// keeps their enabled state consistent, and saves state at quit. Main thread only; a run reaches
// it through updateTimeTakenLabel(), which the run calls on this thread while it waits.
//
// Its work is split by topic: start-up, quit and the window's commands here
// (foliosetappdelegate.cpp), the two settings sheets (settingssheets.cpp) and the road from the
// convert command to the closed progress sheet (conversioncontrol.cpp).
class FoliosetAppDelegate : public QObject,
                            public ProcessObserver,
                            public ImportFilesWindowControllerDelegate
{
    Q_OBJECT
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(bool isOutputFolderSelected READ isOutputFolderSelected)
    Q_PROPERTY(bool inculdeSubfolders READ inculdeSubfolders WRITE setInculdeSubfolders)

public:
    explicit FoliosetAppDelegate(Workspace &workspace, QObject *parent = nullptr);
    ~FoliosetAppDelegate() override;

    // Start-up: builds the window and its sheets, loads the settings, lays out the controls.
    void awakeFromNib();
    void applicationDidFinishLaunching();
    // Quit: commits a value being typed, stops a run (its partial PDF is never kept) and saves
    // the settings. Never refuses.
    void applicationShouldTerminate();
    // Brings the window back when the application is activated without a visible window.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

    QMainWindow *window() const { return m_window.get(); }
    ::Ui::MainWindow2 &ui() const { return *m_ui; }
    FileListModel &files() const { return *m_files; }
    Settings &settings() const { return *m_settings; }
    PDFSettings &pdfSettings() const { return *m_pdfSettings; }
    Process *process() const { return m_process.get(); }
    QDialog *outputSettingPanel() const { return m_outputSettingPanel; }
    QDialog *pdfSettingsPanel() const { return m_pdfSettingsPanel; }
    QDialog *processViewPanel() const { return m_processViewPanel; }
    ::Ui::PDFSettingsPanel &pdfSettingsUi() const { return *m_pdfUi; }
    ::Ui::OutputSettingPanel &outputSettingUi() const { return *m_outputUi; }
    ::Ui::ProcessViewPanel &processUi() const { return *m_processUi; }
    QString outputFolder() const { return m_outputFolder; }
    QString reviewURL() const { return m_reviewURL; }

    bool isProcessing() const { return m_isProcessing; }
    bool isOutputFolderSelected() const { return m_isOutputFolderSelected; }
    bool inculdeSubfolders() const;
    void setInculdeSubfolders(bool include);

    // Window state.
    void resetView(bool enable);
    // resetView() for a worker thread, which hands it to this thread and waits.
    void resetViewObject(bool enable);
    void setCombineOptions(int mode);
    void combineOptionChanged(QAbstractButton *sender);
    void updateTotalLabel();
    void setButtonKeyCharacter(QAbstractButton *button, const QString &keyChar,
                               const QColor &color);
    // The rewrite of a numeric field's text on each change: the field's default ("2" for tag
    // 30001, "1" for tag 30002) for no number or zero, else the text without non-digits at
    // either end. Any other tag keeps the text.
    static QString sanitisedNumericText(int tag, const QString &text);
    void controlTextDidChange(QLineEdit *field);

    // Segmented controls.
    void filesFoldersSegmentedChanged(int segment);
    void navigationSegmentedChanged(int segment);
    void commandSegmentedChanged(int segment);
    void helpSegmentedChanged(int segment);

    // Menus.
    void setupVersion();
    void setupToolbarAndMenuItems();
    void aboutAction();
    void showLicenseAgreement();
    void helpAction();
    void websiteAction();
    void rateUs();
    void openAppAction();

    // Output settings sheet.
    void showOutputSettings();
    void chooseOutputFolder();
    void closeOutputSetting();

    // PDF settings sheet.
    void openPDFSettings();
    void pdfSettingsSegmentedChanged(int segment);
    void applyPDFSettings();
    void cancelPDFSettings();

    // Gathering files (filelistcontrol.cpp).
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
    void fileDoubleClicked(const QModelIndex &index);
    void exportAction();
    bool exportTo(const QString &path);
    bool containsPDFFiles() const;
    bool containsMultiPageFiles() const;
    QMenu *filesContextMenu() const { return m_filesContextMenu; }
    QMenu *headerContextMenu() const { return m_headerContextMenu; }
    void menuNeedsUpdate(QMenu *menu);

    // Recent folders (recentfolders.cpp).
    void addRecentItem(const QStringList &folders);
    void loadRecentFolders();
    void recentFolderChanged(int index);
    const QList<RecentItem> &recentItems() const { return m_recentItems; }

    UsagesReportingWindowController *usagesReport() const { return m_usagesReport; }

    // Conversion.
    void convertAction();
    void combine();
    void cancelProcessAction();
    void viewLogAction();
    void closeProcessAction();
    void startProcess();
    void stopProcess();
    void resetViewForProcess(bool enabled);
    void updateTimeTakenLabel(const QString &text) override;

signals:
    void isProcessingChanged();
    // The run of the progress sheet has ended; its closing message is final.
    void processCompleted();

private:
    void buildWindow();
    void orderTabs();
    void connectWindow();
    void connectSheets();
    void bindSettings();
    void applyOutputFolderRule();
    void updateMoveSegments();
    void endEditing(QWidget *within);
    void showSheet(QDialog *sheet);
    void loadPdfSettingsIntoSheet();
    void refreshDocumentSummary();
    QFileDialog *makeOutputFolderChooser(const QString &message);
    void outputFolderChosen(const QString &folder);
    bool checkNames();
    void showProcessSheet();
    void refreshProcessSheet();
    void processFinished();
    void openLogFolder();
    void buildFileMenus();
    void connectFileList();
    void flipCheckMarksOfSelection();
    void loadFinished();
    QList<int> selectedRows() const;
    void afterListChange();
    void loadStoredRecentItems();
    void storeRecentItems();
    void replaceListWithFolders(const QStringList &folders);
    void createUsagesReport();
    QString alertTitle() const;
    void alert(const QString &message);

    Workspace &m_workspace;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<::Ui::MainWindow2> m_ui;
    // The sheets are children of the window, which owns them.
    QDialog *m_outputSettingPanel = nullptr;
    std::unique_ptr<::Ui::OutputSettingPanel> m_outputUi;
    QDialog *m_pdfSettingsPanel = nullptr;
    std::unique_ptr<::Ui::PDFSettingsPanel> m_pdfUi;
    QDialog *m_processViewPanel = nullptr;
    std::unique_ptr<::Ui::ProcessViewPanel> m_processUi;
    QPointer<QDialog> m_about;
    ImportFilesWindowController *m_importFilesPanel = nullptr; // made at first use
    QMenu *m_filesContextMenu = nullptr;
    QMenu *m_headerContextMenu = nullptr;
    FileLoader *m_loader = nullptr;
    QList<RecentItem> m_recentItems;
    UsagesReportingWindowController *m_usagesReport = nullptr; // a child of this object
    QDateTime m_loadStarted;
    bool m_loadGrew = false;
    QPointer<QDialog> m_agreement;

    FileListModel *m_files = nullptr; // owned by the window's table
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<PDFSettings> m_pdfSettings;
    std::unique_ptr<Process> m_process;
    QString m_outputFolder;
    QString m_reviewURL;
    QColor m_processingLabelColor;
    bool m_isProcessing = false;
    bool m_isOutputFolderSelected = false;
};

} // namespace folioset
