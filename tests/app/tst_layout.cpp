// Every window of both editions at its smallest and larger: nothing cut, overlapping or outside
// its window; and where each file chooser opens.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "filelist/importfileswindowcontroller.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "widgets/flowbar.h"
#include "widgets/keycharacter.h"
#include "widgets/segmentedcontrol.h"
#include "widgets/stepper.h"
#include "widgets/valuelabel.h"
#include "windows/aboutwindowcontroller.h"
#include "windows/eulawindowcontroller.h"
#include "windows/reviewwindowcontroller.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace folioset;
using namespace folioset::testing;

namespace {

// Widgets whose insides are their own business: a scroll area's viewport and bars, a field's
// clear button, a stepper's arrows, a combo box's popup.
bool isOpaque(const QWidget *w)
{
    return qobject_cast<const QAbstractScrollArea *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QTabBar *>(w) ||
           qobject_cast<const Stepper *>(w) || qobject_cast<const QProgressBar *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w);
}

bool isControl(const QWidget *w)
{
    return isOpaque(w) || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QLabel *>(w);
}

QString nameOf(const QWidget *w)
{
    QString name = w->objectName();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        name += QStringLiteral(" \"%1\"").arg(button->text());
    return name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name;
}

// The controls the user sees in `window`, each once: a control inside an opaque one is part of
// it, as is anything in another window.
QList<QWidget *> shownControls(QWidget *window)
{
    QList<QWidget *> found;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (w->window() != window || !w->isVisibleTo(window) || !isControl(w))
            continue;
        bool inside = false;
        for (QWidget *up = w->parentWidget(); up && up != window; up = up->parentWidget())
            inside = inside || isOpaque(up);
        if (!inside)
            found << w;
    }
    return found;
}

// The width a label's text needs, line by line.
int textWidth(const QLabel *label)
{
    const QString text =
        label->textFormat() == Qt::RichText ||
                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()))
            ? QString()
        : label->buddy() ? withoutMnemonics(label->text())
                         : label->text();
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    return widest;
}

// What is wrong with `window` at its present size: controls cut short of what they need, text
// cut that should be whole, controls over each other or outside their window. `overlays` are
// controls drawn over others on purpose.
QStringList faultsOf(QWidget *window, const QStringList &overlays = {})
{
    QStringList faults;
    const QList<QWidget *> controls = shownControls(window);
    const QRect inside = window->rect();
    QHash<QWidget *, QRect> boxes;
    for (QWidget *w : controls) {
        const QRect box(w->mapTo(window, QPoint()), w->size());
        boxes.insert(w, box);
        if (!inside.contains(box))
            faults << QStringLiteral("%1 lies outside its window").arg(nameOf(w));
        for (QWidget *up = w->parentWidget(); up && up != window; up = up->parentWidget()) {
            if (!QRect(up->mapTo(window, QPoint()), up->size()).contains(box)) {
                faults << QStringLiteral("%1 is cut by %2").arg(nameOf(w), nameOf(up));
                break;
            }
        }
        const auto *label = qobject_cast<const QLabel *>(w);
        const auto *value = qobject_cast<const ValueLabel *>(w);
        const bool mayElide = value && value->elideMode() != Qt::ElideNone;
        if (label && label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                faults << QStringLiteral("%1 is %2 high, its lines need %3")
                              .arg(nameOf(w))
                              .arg(label->height())
                              .arg(label->heightForWidth(label->width()));
        } else if (label && !mayElide && label->pixmap().isNull()) {
            if (textWidth(label) > label->contentsRect().width())
                faults << QStringLiteral("%1 shows \"%2\" in %3 pixels of %4")
                              .arg(nameOf(w), label->text())
                              .arg(label->contentsRect().width())
                              .arg(textWidth(label));
        } else if (!label && w->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
            const QSize need = w->minimumSizeHint();
            if (need.isValid() && (w->width() < need.width() || w->height() < need.height()))
                faults << QStringLiteral("%1 is %2x%3, needs %4x%5")
                              .arg(nameOf(w))
                              .arg(w->width())
                              .arg(w->height())
                              .arg(need.width())
                              .arg(need.height());
        }
        if (const auto *tabs = qobject_cast<const QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                if (tabs->tabRect(i).width() <
                    tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)))
                    faults << QStringLiteral("tab %1 is cut").arg(tabs->tabText(i));
            }
        }
    }
    // A row that may wrap takes as many lines as it needs, and no more: no empty line under it.
    for (const FlowBar *bar : window->findChildren<FlowBar *>()) {
        if (bar->isVisibleTo(window) && bar->height() != bar->heightForWidth(bar->width()))
            faults << QStringLiteral("%1 is %2 high for %3 line(s) of %4")
                          .arg(nameOf(bar))
                          .arg(bar->height())
                          .arg(bar->lineCount())
                          .arg(bar->heightForWidth(bar->width()));
    }
    for (qsizetype i = 0; i < controls.size(); ++i) {
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            QWidget *a = controls.at(i);
            QWidget *b = controls.at(j);
            if (a->isAncestorOf(b) || b->isAncestorOf(a) || overlays.contains(a->objectName()) ||
                overlays.contains(b->objectName()))
                continue;
            if (boxes.value(a).intersects(boxes.value(b)))
                faults << QStringLiteral("%1 overlaps %2").arg(nameOf(a), nameOf(b));
        }
    }
    return faults;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyWindowFitsAtEverySize_data();
    void everyWindowFitsAtEverySize();
    void choosersOpenWhereTheyWereUsedLast_data();
    void choosersOpenWhereTheyWereUsedLast();

private:
    void start(Edition edition);
    void addFiles(int count);
    // Shows `window` at its smallest and at 1.5 and 2 times that, and reports what is wrong at
    // each size.
    void checkSizes(QWidget *window, const QStringList &overlays = {});
    // Opens the chooser of that name the way the user does and returns it once it shows.
    QFileDialog *openChooser(const QString &chooser);
    std::unique_ptr<EULAWindowController> m_agreement;

    QTemporaryDir m_inputs;
    std::unique_ptr<QTemporaryDir> m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<ShellController> m_controller;
};

void TestLayout::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
}

void TestLayout::init()
{
    for (const Edition edition : {Edition::Folioset1, Edition::Folioset2}) {
        useEdition(edition);
        QFile::remove(Preferences().fileName());
    }
    m_out = std::make_unique<QTemporaryDir>();
    m_workspace.clear();
}

void TestLayout::cleanup()
{
    m_agreement.reset();
    m_controller.reset();
    useEdition(Edition::Folioset2);
}

void TestLayout::start(Edition edition)
{
    m_controller = startEdition(edition, m_workspace);
    QVERIFY(m_controller);
}

void TestLayout::addFiles(int count)
{
    QVERIFY(addJpegs(*m_controller, m_inputs, count));
}

void TestLayout::checkSizes(QWidget *window, const QStringList &overlays)
{
    QVERIFY(window->isVisible());
    QCoreApplication::processEvents();
    // Wrapped lines make a narrower window taller: the smallest size is where it settles.
    QSize smallest;
    for (int round = 0; round < 20; ++round) {
        const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
        if (least == smallest)
            break;
        smallest = least;
        window->resize(smallest);
        QTest::qWait(10);
    }
    qInfo() << window->objectName() << "smallest" << smallest;

    for (const qreal scale : {1.0, 1.5, 2.0}) {
        // A window fixed in one direction (the About window's height) is checked at its size.
        const QSize size = (QSizeF(smallest) * scale).toSize().boundedTo(window->maximumSize());
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        QCoreApplication::processEvents();
        const QStringList faults = faultsOf(window, overlays);
        QVERIFY2(
            faults.isEmpty(),
            qPrintable(QStringLiteral("at %1x%2: ").arg(window->width()).arg(window->height()) +
                       faults.join(QStringLiteral("; "))));
    }
}

void TestLayout::everyWindowFitsAtEverySize_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("window");
    for (const Edition edition : {Edition::Folioset2, Edition::Folioset1}) {
        const char *name = edition == Edition::Folioset2 ? "folioset2" : "folioset1";
        QStringList windows{"main window",
                            "main window busy",
                            "main window empty",
                            "pdfSettingsPanel 0",
                            "pdfSettingsPanel 1",
                            "pdfSettingsPanel 2",
                            "pdfSettingsPanel 3",
                            "processViewPanel",
                            "importFilesPanel",
                            "About",
                            "EULA",
                            "ReviewUs"};
        if (edition == Edition::Folioset2)
            windows << "outputSettingPanel";
        else
            windows << "main window without settings";
        for (const QString &window : windows)
            QTest::addRow("%s %s", name, qPrintable(window)) << int(edition) << window;
    }
}

void TestLayout::everyWindowFitsAtEverySize()
{
    QFETCH(int, edition);
    QFETCH(QString, window);
    start(Edition(edition));
    if (!window.endsWith(QLatin1String("empty")))
        addFiles(12);
    ShellController &shell = *m_controller;
    if (window.startsWith(QLatin1String("main window"))) {
        // No larger than a small laptop's 1280x720 screen leaves, less its panels and the
        // window's title bar.
        const QSize smallest = shell.window()->minimumSize();
        QVERIFY2(smallest.width() <= 1280 && smallest.height() <= 720 - 80,
                 qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
        if (window.endsWith(QLatin1String("busy")))
            shell.updateTimeTakenLabel(QStringLiteral("Total Time Taken : In Process... 14/200"));
        if (window.endsWith(QLatin1String("without settings")))
            static_cast<ClassicAppDelegate &>(shell).toggleSettings();
        // The classic list's drop hint is drawn over the list on purpose.
        checkSizes(shell.window(), {QStringLiteral("lableDragAndDrop")});
    } else if (window.startsWith(QLatin1String("pdfSettingsPanel"))) {
        shell.openPDFSettings();
        shell.pdfSettingsSegmentedChanged(window.right(1).toInt());
        checkSizes(shell.pdfSettingsPanel());
    } else if (window == QLatin1String("processViewPanel")) {
        shell.settings().setOutputFolderPath(m_out->path());
        shell.convertAction();
        QVERIFY(waitForRunToEnd(shell));
        checkSizes(shell.processViewPanel());
    } else if (window == QLatin1String("importFilesPanel")) {
        shell.openImportFilesPanel();
        checkSizes(shell.importFilesPanel());
    } else if (window == QLatin1String("outputSettingPanel")) {
        auto &controller = static_cast<FoliosetAppDelegate &>(shell);
        controller.showOutputSettings();
        checkSizes(controller.outputSettingPanel());
    } else {
        std::unique_ptr<QDialog> dialog;
        if (window == QLatin1String("About"))
            dialog = std::make_unique<AboutWindowController>(&m_workspace, shell.window());
        else if (window == QLatin1String("EULA"))
            dialog = std::make_unique<EULAWindowController>(shell.window());
        else
            dialog = std::make_unique<ReviewWindowController>(&m_workspace, shell.window());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        checkSizes(dialog.get());
    }
}

void TestLayout::choosersOpenWhereTheyWereUsedLast_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("chooser");
    for (const Edition edition : {Edition::Folioset2, Edition::Folioset1}) {
        const char *name = edition == Edition::Folioset2 ? "folioset2" : "folioset1";
        QStringList choosers{"addFilesPanel",     "addFolderPanel",    "exportPanel",
                             "outputFolderPanel", "importFileChooser", "agreementSavePanel"};
        if (edition == Edition::Folioset2)
            choosers << "outputFolderChooser";
        for (const QString &chooser : choosers)
            QTest::addRow("%s %s", name, qPrintable(chooser)) << int(edition) << chooser;
    }
}

QFileDialog *TestLayout::openChooser(const QString &chooser)
{
    ShellController &shell = *m_controller;
    if (chooser == QLatin1String("addFilesPanel")) {
        shell.addFiles();
    } else if (chooser == QLatin1String("addFolderPanel")) {
        shell.addFolder();
    } else if (chooser == QLatin1String("exportPanel")) {
        shell.exportAction();
    } else if (chooser == QLatin1String("outputFolderPanel")) {
        if (auto *second = qobject_cast<FoliosetAppDelegate *>(&shell)) {
            second->showOutputSettings();
            second->chooseOutputFolder();
        } else {
            static_cast<ClassicAppDelegate &>(shell).chooseOutputFolder();
        }
    } else if (chooser == QLatin1String("outputFolderChooser")) {
        shell.convertAction(); // no output folder yet: the convert command asks for one
    } else if (chooser == QLatin1String("importFileChooser")) {
        shell.openImportFilesPanel();
        shell.importFilesPanel()->browseImportFileAction();
    } else {
        m_agreement = std::make_unique<EULAWindowController>(shell.window());
        m_agreement->show();
        m_agreement->saveAsAction();
    }
    QFileDialog *found = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        for (QWidget *w : QApplication::allWidgets()) {
            auto *panel = qobject_cast<QFileDialog *>(w);
            if (panel && panel->objectName() == chooser && panel->isVisible())
                found = panel;
        }
        return found != nullptr;
    });
    return shown ? found : nullptr;
}

void TestLayout::choosersOpenWhereTheyWereUsedLast()
{
    QFETCH(int, edition);
    QFETCH(QString, chooser);
    start(Edition(edition));
    addFiles(2);
    ShellController &shell = *m_controller;
    const QString place = m_out->filePath(chooser);
    QVERIFY(QDir().mkpath(place + QStringLiteral("/inside")));
    QVERIFY(fixtures::writeJpeg(place + QStringLiteral("/chosen.jpg"), QSize(8, 8)));
    QVERIFY(fixtures::writeBytes(place + QStringLiteral("/list.txt"), "/nowhere/x.jpg\n"));
    const QString chosen =
        chooser.contains(QLatin1String("Folder"))        ? place + QStringLiteral("/inside")
        : chooser == QLatin1String("addFilesPanel")      ? place + QStringLiteral("/chosen.jpg")
        : chooser == QLatin1String("exportPanel")        ? place + QStringLiteral("/exported.txt")
        : chooser == QLatin1String("agreementSavePanel") ? place + QStringLiteral("/eula.pdf")
                                                         : place + QStringLiteral("/list.txt");
    // Where an output folder was chosen, or the folder of what was chosen, or where it was
    // chosen from.
    const QString remembered = chooser.startsWith(QLatin1String("output")) ? chosen : place;

    // The first time: the home folder, never the working directory.
    QFileDialog *panel = openChooser(chooser);
    QVERIFY(panel);
    QCOMPARE(panel->directory().absolutePath(), QDir::homePath());
    panel->selectFile(chosen);
    static_cast<QDialog *>(panel)->accept();
    // Let what the choice started end: a load, a run, a file written.
    QVERIFY(QTest::qWaitFor(
        [&] { return !shell.loader().isRunning() && (!shell.isProcessing() || shell.process()); }));
    if (chooser == QLatin1String("outputFolderChooser")) {
        QVERIFY(waitForRunToEnd(shell));
        shell.closeProcessAction();
    }
    if (chooser == QLatin1String("agreementSavePanel")) {
        QTRY_VERIFY(QFileInfo::exists(chosen));
        m_agreement.reset();
    }
    // The settings' own folder would take precedence; this is about the chooser's memory.
    shell.settings().setOutputFolderPath(QString());

    panel = openChooser(chooser);
    QVERIFY(panel);
    QCOMPARE(panel->directory().absolutePath(), remembered);
    panel->reject();
    m_agreement.reset();

    // Kept beside the settings, not inside them.
    const QVariantMap folders = Preferences().value(QStringLiteral("CHOOSERFOLDERS")).toMap();
    QCOMPARE(folders.size(), 1);
    QCOMPARE(folders.first().toString(), remembered);
    const QVariantMap settings = Preferences().value(QStringLiteral("SETTINGS")).toMap();
    QVERIFY(!settings.contains(QStringLiteral("CHOOSERFOLDERS")));
    QVERIFY(!settings.contains(folders.firstKey()));

    // A folder that has gone since: the nearest one left of it.
    QVERIFY(QDir(place).removeRecursively());
    panel = openChooser(chooser);
    QVERIFY(panel);
    QCOMPARE(panel->directory().absolutePath(), QDir(m_out->path()).absolutePath());
    panel->reject();
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
