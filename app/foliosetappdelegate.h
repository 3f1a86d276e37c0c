#pragma once

#include "recentitem.h"
#include "shellcontroller.h"

class QFileDialog;

namespace Ui {
class MainWindow2;
class OutputSettingPanel;
} // namespace Ui

namespace folioset {

// The controller of the folioset2 window: segmented controls for the list and the commands, an
// output settings sheet, a folder chooser when a conversion has nowhere to go, recent folders,
// a column menu and opening a file by double click. Everything else is ShellController's.
//
// Its own work is split by topic: start-up, quit and the window's commands here
// (foliosetappdelegate.cpp), the output settings sheet (settingssheets.cpp), the convert command
// (conversioncontrol.cpp) and the recent folders (recentfolders.cpp).
class FoliosetAppDelegate : public ShellController
{
    Q_OBJECT
    Q_PROPERTY(bool isOutputFolderSelected READ isOutputFolderSelected)

public:
    explicit FoliosetAppDelegate(Workspace &workspace, QObject *parent = nullptr);
    ~FoliosetAppDelegate() override;

    void awakeFromNib() override;

    ::Ui::MainWindow2 &ui() const { return *m_form; }
    QDialog *outputSettingPanel() const { return m_outputSettingPanel; }
    ::Ui::OutputSettingPanel &outputSettingUi() const { return *m_outputUi; }
    QString outputFolder() const { return m_outputFolder; }
    bool isOutputFolderSelected() const
    {
        return m_settings && !m_settings->outputFolderPath().isEmpty();
    }

    void resetView(bool enable) override;

    // Segmented controls.
    void filesFoldersSegmentedChanged(int segment);
    void navigationSegmentedChanged(int segment);
    void commandSegmentedChanged(int segment);
    void helpSegmentedChanged(int segment);

    // Output settings sheet.
    void showOutputSettings();
    void chooseOutputFolder();
    void closeOutputSetting();

    // The list's column menu and double click.
    QMenu *headerContextMenu() const { return m_headerContextMenu; }
    void menuNeedsUpdate(QMenu *menu);
    void fileDoubleClicked(const QModelIndex &index);

    // Recent folders (recentfolders.cpp).
    void addRecentItem(const QStringList &folders);
    void loadRecentFolders();
    void recentFolderChanged(int index);
    const QList<RecentItem> &recentItems() const { return m_recentItems; }

    void convertAction() override;

protected:
    void setConvertEnabled(bool enabled) override;
    void updateMoveControls() override;
    void applyOutputFolderRule() override;
    void foldersChosen(const QStringList &folders) override { addRecentItem(folders); }
    void storeWindowState() override;

private:
    void buildWindow();
    void orderTabs();
    void connectWindow();
    void connectOutputSheet();
    void buildHeaderMenu();
    QFileDialog *makeOutputFolderChooser(const QString &message);
    void loadStoredRecentItems();
    void storeRecentItems();
    void replaceListWithFolders(const QStringList &folders);

    std::unique_ptr<::Ui::MainWindow2> m_form;
    QDialog *m_outputSettingPanel = nullptr; // a child of the window
    std::unique_ptr<::Ui::OutputSettingPanel> m_outputUi;
    QMenu *m_headerContextMenu = nullptr;
    QList<RecentItem> m_recentItems;
};

} // namespace folioset
