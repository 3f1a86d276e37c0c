#pragma once

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace folioset {

class CustomTableView;
class NumberField;
class Stepper;
class ValueLabel;

// The named elements that both editions' main windows carry, whatever else each window has and
// wherever it puts them. The code both controllers share addresses the window through these;
// each controller fills them from its own form. An element a window does not have stays null.
struct MainWindowElements
{
    CustomTableView *mainTableView = nullptr;
    QWidget *leftBox = nullptr;
    QWidget *rightBox = nullptr;
    QTabWidget *settingTabView = nullptr;
    ValueLabel *labelTotalFiles = nullptr;
    ValueLabel *labelStatusTime = nullptr;
    QProgressBar *loadingIndicator = nullptr;
    QPushButton *cancelBtn = nullptr;

    // The mode controls.
    QRadioButton *singleImagePDFBtn = nullptr;
    QRadioButton *singleMultiPagePDFBtn = nullptr;
    QRadioButton *groupMultiPagePDFBtn = nullptr;
    QLabel *singleImagePDFLabel = nullptr;
    QLabel *singleMultiPagePDFLabel1 = nullptr;
    QLabel *singleMultiPagePDFLabel2 = nullptr; // the first generation only
    QLabel *groupMultiPagePDFLabel1 = nullptr;
    QLabel *groupMultiPagePDFLabel2 = nullptr;
    QLineEdit *singleMultiPagePDFName = nullptr;
    QLineEdit *groupMultiPagePDFName = nullptr;
    NumberField *groupMultiPagePDFCount = nullptr;
    Stepper *groupMultiPagePDFStepper = nullptr;

    // Document and output options.
    QCheckBox *applyDocumentSetingsbtn = nullptr;
    QPushButton *pdfSetingsbtn = nullptr;
    ValueLabel *documentSummaryLabel = nullptr;
    QLineEdit *outputFolderPathField = nullptr;
    QCheckBox *setCurrentAsDefaultOutputFolderPathBtn = nullptr;
    QCheckBox *openFolderAfterConversionBtn = nullptr;
    QCheckBox *clearProcessedFilesBtn = nullptr;

    // Menus.
    QMenuBar *mainMenu = nullptr;
    QAction *aboutMenuItem = nullptr;
    QAction *quitMenuItem = nullptr;
    QAction *addFilesMenuItem = nullptr;
    QAction *addFolderMenuItem = nullptr;
    QAction *importMenuItem = nullptr;
    QAction *exportMenuItem = nullptr;
    QAction *removeMenuItem = nullptr;
    QAction *convertMenuItem = nullptr;
    QAction *openLogFolderMenuItem = nullptr;
    QAction *minimizeMenuItem = nullptr;
    QAction *openAppMenuItem = nullptr;
    QAction *helpMenuItem = nullptr;
    QAction *websiteMenuItem = nullptr;
    QAction *rateUsMenuItem = nullptr;

    // Takes the elements a main window form has under these names.
    template <typename Form> void takeFrom(Form &form)
    {
        mainTableView = form.mainTableView;
        leftBox = form.leftBox;
        rightBox = form.rightBox;
        settingTabView = form.settingTabView;
        labelTotalFiles = form.labelTotalFiles;
        labelStatusTime = form.labelStatusTime;
        loadingIndicator = form.loadingIndicator;
        cancelBtn = form.cancelBtn;
        singleImagePDFBtn = form.singleImagePDFBtn;
        singleMultiPagePDFBtn = form.singleMultiPagePDFBtn;
        groupMultiPagePDFBtn = form.groupMultiPagePDFBtn;
        singleImagePDFLabel = form.singleImagePDFLabel;
        singleMultiPagePDFLabel1 = form.singleMultiPagePDFLabel1;
        groupMultiPagePDFLabel1 = form.groupMultiPagePDFLabel1;
        groupMultiPagePDFLabel2 = form.groupMultiPagePDFLabel2;
        singleMultiPagePDFName = form.singleMultiPagePDFName;
        groupMultiPagePDFName = form.groupMultiPagePDFName;
        groupMultiPagePDFCount = form.groupMultiPagePDFCount;
        groupMultiPagePDFStepper = form.groupMultiPagePDFStepper;
        applyDocumentSetingsbtn = form.applyDocumentSetingsbtn;
        pdfSetingsbtn = form.pdfSetingsbtn;
        documentSummaryLabel = form.documentSummaryLabel;
        mainMenu = form.mainMenu;
        aboutMenuItem = form.aboutMenuItem;
        quitMenuItem = form.quitMenuItem;
        addFilesMenuItem = form.addFilesMenuItem;
        addFolderMenuItem = form.addFolderMenuItem;
        importMenuItem = form.importMenuItem;
        exportMenuItem = form.exportMenuItem;
        removeMenuItem = form.removeMenuItem;
        convertMenuItem = form.convertMenuItem;
        openLogFolderMenuItem = form.openLogFolderMenuItem;
        minimizeMenuItem = form.minimizeMenuItem;
        openAppMenuItem = form.openAppMenuItem;
        helpMenuItem = form.helpMenuItem;
        websiteMenuItem = form.websiteMenuItem;
        rateUsMenuItem = form.rateUsMenuItem;
    }
};

} // namespace folioset
