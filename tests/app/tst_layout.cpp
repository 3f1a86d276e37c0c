// Every window of both editions at its smallest and larger: nothing cut, overlapping or outside
// its window; and where each file chooser opens.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "filelist/importfileswindowcontroller.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "widgets/keycharacter.h"
#include "widgets/segmentedcontrol.h"
#include "widgets/stepper.h"
#include "widgets/valuelabel.h"
#include "windows/aboutwindowcontroller.h"
#include "windows/eulawindowcontroller.h"
#include "windows/reviewwindowcontroller.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
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

void useEdition(Edition edition)
{
    setEdition(edition);
    QCoreApplication::setApplicationName(editionName());
}

// Widgets whose insides are their own business: a scroll area's viewport and bars, a field's
// clear button, a stepper's arrows, a combo box's popup.
bool isOpaque(const QWidget *w)
{
    return qobject_cast<const QAbstractScrollArea *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QTabBar *>(w) ||
           qobject_cast<const Stepper *>(w) || qobject_cast<const QProgressBar *>(w);
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

private:
    void start(Edition edition);
    void addFiles(int count);
    // Shows `window` at its smallest and at 1.5 and 2 times that, and reports what is wrong at
    // each size.
    void checkSizes(QWidget *window, const QStringList &overlays = {});

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
    m_controller.reset();
    useEdition(Edition::Folioset2);
}

void TestLayout::start(Edition edition)
{
    useEdition(edition);
    if (edition == Edition::Folioset1)
        m_controller = std::make_unique<ClassicAppDelegate>(m_workspace);
    else
        m_controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
    m_controller->awakeFromNib();
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

void TestLayout::addFiles(int count)
{
    QList<FileItemPtr> items;
    for (int i = 0; i < count; ++i) {
        const QString path = m_inputs.filePath(QStringLiteral("a%1.jpg").arg(i));
        if (!QFileInfo::exists(path))
            QVERIFY(fixtures::writeJpeg(path, QSize(64, 48), i + 1));
        items << FileItem::initWithURL(QUrl::fromLocalFile(path));
    }
    m_controller->files().append(items);
    m_controller->resetView(true);
}

void TestLayout::checkSizes(QWidget *window, const QStringList &overlays)
{
    QVERIFY(window->isVisible());
    QCoreApplication::processEvents();
    // Wrapped lines make a narrower window taller: the smallest size is where it settles.
    window->resize(window->minimumSize().expandedTo(window->minimumSizeHint()));
    QCoreApplication::processEvents();
    const QSize smallest = window->minimumSize().expandedTo(window->minimumSizeHint());
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

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
