// The Page tab of the PDF settings sheet in both editions: what it stores and where, what a
// damaged stored layout gives, the drawing of the highlighted file's page, and the run's pages.

#include "app/classicappdelegate.h"
#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "platform/edition.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "shelltesting.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"
#include "widgets/pagepreview.h"
#include "widgets/segmentedcontrol.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace folioset;

namespace {

QStringList g_log;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_log << message;
}

const QString pageSetupKey = QStringLiteral("PAGESETUP");
constexpr int kPageTab = 3;

QSizeF firstPageSize(const QString &path)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    auto box =
        QPDFPageDocumentHelper(pdf).getAllPages().at(0).getObjectHandle().getKey("/MediaBox");
    return {box.getArrayItem(2).getNumericValue(), box.getArrayItem(3).getNumericValue()};
}

} // namespace

class TestPageTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void applyStoresTheLayoutUnderItsOwnKey();
    void aStoredLayoutThatCannotBeUsedGivesTheImagesOwnSize_data();
    void aStoredLayoutThatCannotBeUsedGivesTheImagesOwnSize();
    void marginsWithoutRoomAreNotApplied();
    void theDrawingShowsTheHighlightedFile();
    void theRunLaysOutItsPagesWithoutDocumentSettings();
    void theClassicEditionHasTheSameTab();

private:
    template <typename T> T *element(const char *name) const
    {
        return testing::element<T>(*m_controller, name);
    }
    void start(bool classic = false);
    void openPageTab();
    QString jpeg(const QString &name, QSize size);

    QTemporaryDir m_inputs;
    QTemporaryDir m_out;
    RecordingWorkspace m_workspace;
    std::unique_ptr<ShellController> m_controller;
    QtMessageHandler m_previous = nullptr;
};

void TestPageTab::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
}

void TestPageTab::init()
{
    setEdition(Edition::Folioset2);
    QCoreApplication::setApplicationName(editionName());
    QFile::remove(Preferences().fileName());
    m_workspace.clear();
    g_log.clear();
    m_previous = qInstallMessageHandler(capture);
}

void TestPageTab::cleanup()
{
    m_controller.reset();
    qInstallMessageHandler(m_previous);
    setEdition(Edition::Folioset2);
    QCoreApplication::setApplicationName(editionName());
}

void TestPageTab::start(bool classic)
{
    if (classic) {
        auto controller = std::make_unique<ClassicAppDelegate>(m_workspace);
        controller->awakeFromNib();
        m_controller = std::move(controller);
    } else {
        auto controller = std::make_unique<FoliosetAppDelegate>(m_workspace);
        controller->awakeFromNib();
        m_controller = std::move(controller);
    }
    QVERIFY(QTest::qWaitForWindowExposed(m_controller->window()));
}

void TestPageTab::openPageTab()
{
    m_controller->openPDFSettings();
    QTRY_VERIFY(m_controller->pdfSettingsPanel()->isVisible());
    element<SegmentedControl>("pdfSettingsSegmented")->click(kPageTab);
    QCOMPARE(element<QStackedWidget>("pdfSettingsTab")->currentIndex(), kPageTab);
}

QString TestPageTab::jpeg(const QString &name, QSize size)
{
    const QString path = m_inputs.filePath(name);
    // Written without a stated resolution.
    if (!QFileInfo::exists(path) &&
        !fixtures::writeJpegWith(path, fixtures::patternImage(size), {}))
        return {};
    return path;
}

void TestPageTab::applyStoresTheLayoutUnderItsOwnKey()
{
    start();
    QCOMPARE(m_controller->pageSetup(), pdf::PageSetup());

    // Cancel drops what was chosen.
    openPageTab();
    element<QComboBox>("pageSizePopup")->setCurrentIndex(2);
    element<QPushButton>("cancelPDFSettingsBtn")->click();
    QCOMPARE(m_controller->pageSetup(), pdf::PageSetup());
    QVERIFY(!Preferences().contains(pageSetupKey));

    openPageTab();
    QCOMPARE(element<QComboBox>("pageSizePopup")->currentIndex(), 0);
    QVERIFY(!element<QComboBox>("pageFitPopup")->isEnabled()); // the image's size is not scaled
    element<QComboBox>("pageSizePopup")->setCurrentIndex(2);   // A4
    QVERIFY(element<QComboBox>("pageFitPopup")->isEnabled());
    QVERIFY(!element<QDoubleSpinBox>("pageWidthField")->isEnabled());
    element<QComboBox>("pageFitPopup")->setCurrentIndex(1); // fill
    for (const char *margin :
         {"marginTopField", "marginRightField", "marginBottomField", "marginLeftField"})
        element<QDoubleSpinBox>(margin)->setValue(10);
    element<QSpinBox>("defaultDpiField")->setValue(300);
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QVERIFY(!m_controller->pdfSettingsPanel()->isVisible());

    QCOMPARE(m_controller->pageSetup().paper, pdf::PaperSize::A4);
    QCOMPARE(m_controller->pageSetup().fit, pdf::ImageFit::Fill);
    QCOMPARE(m_controller->pageSetup().defaultDpi, 300.0);
    const QVariantMap stored = Preferences().value(pageSetupKey).toMap();
    QCOMPARE(stored.value(QStringLiteral("pageSize")).toString(), QStringLiteral("A4"));
    QCOMPARE(stored.value(QStringLiteral("fit")).toString(), QStringLiteral("fill"));
    QCOMPARE(stored.value(QStringLiteral("margins")).toString(), QStringLiteral("10mm"));
    QCOMPARE(stored.value(QStringLiteral("defaultDpi")).toString(), QStringLiteral("300"));
    // The settings entry keeps exactly the fields it had.
    const QVariantMap settings = Preferences().value(QStringLiteral("SETTINGS")).toMap();
    QCOMPARE(settings.keys(),
             (QStringList{"combineOptionIndex", "groupMultiPagePDFCount", "groupMultiPagePDFName",
                          "isApplyDocumentSetings", "isClearProcessedFiles",
                          "isOpenFolderAfterConversion", "isSetCurrentAsDefaultOutputFolderPath",
                          "outputFolderPath", "pdfSettings", "singleMultiPagePDFName"}));
    QCOMPARE(settings.value(QStringLiteral("pdfSettings")).toMap().size(), 10);

    // The next start reads it back, and the sheet shows it.
    m_controller.reset();
    start();
    QCOMPARE(m_controller->pageSetup().paper, pdf::PaperSize::A4);
    openPageTab();
    QCOMPARE(element<QComboBox>("pageSizePopup")->currentIndex(), 2);
    QCOMPARE(element<QDoubleSpinBox>("marginLeftField")->value(), 10.0);
    QCOMPARE(element<QSpinBox>("defaultDpiField")->value(), 300);
}

void TestPageTab::aStoredLayoutThatCannotBeUsedGivesTheImagesOwnSize_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored, as by an earlier version
    QTest::addColumn<QString>("logged");  // empty: nothing to say
    QTest::newRow("none, as an earlier version left it") << QVariant() << QString();
    QTest::newRow("a paper this version does not know")
        << QVariant(QVariantMap{{"pageSize", "B5"}, {"fit", "into"}}) << "unknown pageSize 'B5'";
    QTest::newRow("a plain text") << QVariant(QStringLiteral("A4"))
                                  << "the stored page layout is not a group of entries";
    QTest::newRow("margins that leave no room")
        << QVariant(QVariantMap{{"pageSize", "A5"}, {"margins", "90mm"}})
        << "a margin of 90 mm is half the page or more: A5 portrait is 148 mm wide, and "
           "automatic orientation uses it for tall and square images";
}

void TestPageTab::aStoredLayoutThatCannotBeUsedGivesTheImagesOwnSize()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, logged);
    if (stored.isValid())
        QVERIFY(Preferences().setValue(pageSetupKey, stored));
    start();
    QCOMPARE(m_controller->pageSetup(), pdf::PageSetup());
    const QStringList lines = g_log.filter(QStringLiteral("page layout"));
    if (logged.isEmpty()) {
        QVERIFY2(lines.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
    } else {
        QCOMPARE(lines, QStringList{QStringLiteral("The stored page layout cannot be used (%1): "
                                                   "pages take the image's own size")
                                        .arg(logged)});
    }
    openPageTab();
    QCOMPARE(element<QComboBox>("pageSizePopup")->currentIndex(), 0);
}

void TestPageTab::marginsWithoutRoomAreNotApplied()
{
    start();
    openPageTab();
    element<QComboBox>("pageSizePopup")->setCurrentIndex(3);        // A5
    element<QComboBox>("pageOrientationPopup")->setCurrentIndex(1); // portrait
    element<QDoubleSpinBox>("marginLeftField")->setValue(80);
    element<QDoubleSpinBox>("marginRightField")->setValue(70);
    auto *problem = element<QLabel>("pageProblemLabel");
    QVERIFY(problem->isVisible());
    QCOMPARE(problem->text(), QStringLiteral("No page can be made: the left and right margins (80 "
                                             "mm + 70 mm) leave no room: A5 portrait is 148 mm "
                                             "wide."));
    element<SegmentedControl>("pdfSettingsSegmented")->click(0);
    element<QPushButton>("applyPDFSettingsBtn")->click();
    // Not taken: the sheet stays, back on the Page tab, and nothing is stored.
    QVERIFY(m_controller->pdfSettingsPanel()->isVisible());
    QCOMPARE(element<QStackedWidget>("pdfSettingsTab")->currentIndex(), kPageTab);
    QCOMPARE(m_controller->pageSetup(), pdf::PageSetup());
    QVERIFY(!Preferences().contains(pageSetupKey));

    element<QDoubleSpinBox>("marginRightField")->setValue(60);
    QVERIFY(!problem->isVisible());
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QVERIFY(!m_controller->pdfSettingsPanel()->isVisible());
    QCOMPARE(m_controller->pageSetup().paper, pdf::PaperSize::A5);
}

void TestPageTab::theDrawingShowsTheHighlightedFile()
{
    start();
    const QString wide = jpeg(QStringLiteral("wide.jpg"), {400, 200});
    const QString tall = jpeg(QStringLiteral("tall.jpg"), {200, 400});
    QVERIFY(!wide.isEmpty() && !tall.isEmpty());
    m_controller->files().append({FileItem::initWithURL(QUrl::fromLocalFile(wide)),
                                  FileItem::initWithURL(QUrl::fromLocalFile(tall))});
    auto *table = element<QTableView>("mainTableView");
    table->selectRow(1);

    openPageTab();
    auto *preview = element<PagePreview>("pagePreview");
    auto *caption = element<QLabel>("pagePreviewCaption");
    // The image's own size: 200 x 400 points at the assumed 72 dpi.
    QCOMPARE(preview->paper(), QSizeF(200, 400));
    QVERIFY2(caption->text().startsWith(QLatin1String("tall.jpg: 200 x 400 pixels, no resolution "
                                                      "stated")),
             qPrintable(caption->text()));
    // A4 stays upright for the tall photo, which fills its height inside 10 mm margins.
    element<QComboBox>("pageSizePopup")->setCurrentIndex(2);
    element<QDoubleSpinBox>("marginTopField")->setValue(10);
    element<QDoubleSpinBox>("marginBottomField")->setValue(10);
    element<QDoubleSpinBox>("marginLeftField")->setValue(10);
    element<QDoubleSpinBox>("marginRightField")->setValue(10);
    QCOMPARE(preview->paper().toSize(), QSize(595, 842));
    const double margin = 10 * 72 / 25.4;
    QVERIFY(std::abs(preview->image().height() - (841.8898 - 2 * margin)) < 1e-3);
    QVERIFY(std::abs(preview->image().width() - preview->image().height() / 2) < 1e-9);
    QVERIFY(!preview->isCut());
    QCOMPARE(preview->accessibleDescription(),
             QStringLiteral("Page 210 x 297 mm; image 138.5 x 277 mm, 35.75 mm from the left and "
                            "10 mm from the top."));
    element<QPushButton>("cancelPDFSettingsBtn")->click();

    // The wide one on A4 filled: landscape, and cut.
    table->selectRow(0);
    openPageTab();
    element<QComboBox>("pageSizePopup")->setCurrentIndex(2);
    element<QComboBox>("pageFitPopup")->setCurrentIndex(1);
    QCOMPARE(preview->paper().toSize(), QSize(842, 595));
    QVERIFY(preview->isCut());
    QVERIFY(caption->text().startsWith(QLatin1String("wide.jpg")));
    element<QPushButton>("cancelPDFSettingsBtn")->click();

    // Nothing in the list: a sample photo.
    m_controller->files().removeIf([](const FileItem &) { return true; });
    openPageTab();
    QVERIFY(caption->text().startsWith(QLatin1String("No file is highlighted")));
    QCOMPARE(preview->paper(), QSizeF(800, 600));
}

void TestPageTab::theRunLaysOutItsPagesWithoutDocumentSettings()
{
    QVERIFY(testing::storeSettings({{QStringLiteral("outputFolderPath"), m_out.path()},
                                    {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
                                    {QStringLiteral("isOpenFolderAfterConversion"), false},
                                    {QStringLiteral("isApplyDocumentSetings"), false}}));
    QVERIFY(Preferences().setValue(
        pageSetupKey,
        QVariantMap{{"pageSize", "Letter"}, {"orientation", "landscape"}, {"margins", "0.5in"}}));
    start();
    const QString photo = jpeg(QStringLiteral("photo.jpg"), {64, 48});
    m_controller->files().append({FileItem::initWithURL(QUrl::fromLocalFile(photo))});
    m_controller->convertAction();
    QVERIFY(testing::waitForRunToEnd(*m_controller));
    QCOMPARE(firstPageSize(m_out.filePath(QStringLiteral("photo.pdf"))), QSizeF(792, 612));
}

void TestPageTab::theClassicEditionHasTheSameTab()
{
    setEdition(Edition::Folioset1);
    QCoreApplication::setApplicationName(editionName());
    QFile::remove(Preferences().fileName());
    start(true);
    openPageTab();
    element<QComboBox>("pageSizePopup")->setCurrentIndex(4); // Letter
    element<QPushButton>("applyPDFSettingsBtn")->click();
    QCOMPARE(Preferences().value(pageSetupKey).toMap().value(QStringLiteral("pageSize")),
             QVariant(QStringLiteral("Letter")));
    QCOMPARE(m_controller->pageSetup().paper, pdf::PaperSize::Letter);
}

QTEST_MAIN(TestPageTab)
#include "tst_pagetab.moc"
