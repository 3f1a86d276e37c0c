#pragma once

#include "shellcontroller.h"

class QAction;
class QToolBar;

namespace Ui {
class MainWindow1;
} // namespace Ui

namespace folioset {

// The controller of the folioset1 window: one button per list command, a toolbar, a settings
// pane beside the list that the user shows or hides (remembered under "SHOWSETTINGS"), a split
// view whose second pane starts folded away, and a convert command that checks the output
// folder itself with alerts in front of the whole program. Everything else is ShellController's.
class ClassicAppDelegate : public ShellController
{
    Q_OBJECT

public:
    explicit ClassicAppDelegate(Workspace &workspace, QObject *parent = nullptr);
    ~ClassicAppDelegate() override;

    void awakeFromNib() override;

    ::Ui::MainWindow1 &ui() const { return *m_form; }

    // Whether the settings pane is shown; stored under "SHOWSETTINGS".
    bool showSettings() const { return m_showSettings; }
    // Shows or hides the settings pane: the toolbar's selected item, the pane itself and the
    // width the list takes (the window's width less 5, or less the pane's width and 9).
    void showSettings(bool show);
    void toggleSettings();
    void toggleRightView();
    void collapseRightView();
    void uncollapseRightView();

    // The toolbar's "About" item: added once, at the front, by setupToolbarAndMenuItems().
    void setupToolbarAndMenuItems() override;
    QAction *toolbarItemForItemIdentifier(const QString &identifier);
    // The toolbar item carrying `identifier`, or null.
    static QAction *toolbarItem(const QToolBar *toolbar, const QString &identifier);

    void resetView(bool enable) override;
    void chooseOutputFolder();
    // Goes straight to combine(), which checks the folder and the names first.
    void convertAction() override;
    void combine() override;

protected:
    void setConvertEnabled(bool enabled) override;
    void updateMoveControls() override;
    void applyOutputFolderRule() override;
    bool includeSubfoldersForLoad() const override;
    void dropAccepted() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void connectWindow();
    void restoreShowSettings();
    void placePanes();
    void fitContentToPanes();
    // Why the output folder cannot take the PDFs; empty when it can.
    QString outputFolderProblem() const;
    void showOutputFolderSettings();

    std::unique_ptr<::Ui::MainWindow1> m_form;
    bool m_showSettings = false;
};

} // namespace folioset
