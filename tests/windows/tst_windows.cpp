#include "platform/bundleinfo.h"
#include "platform/edition.h"
#include "platform/workspace.h"
#include "windows/aboutwindowcontroller.h"
#include "windows/alerts.h"
#include "windows/eulawindowcontroller.h"
#include "windows/reviewwindowcontroller.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrlQuery>

using namespace folioset;

namespace {

template <typename T> T *shown(const QString &objectName = {})
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *const window : windows) {
        if (window->isVisible() && (objectName.isEmpty() || window->objectName() == objectName))
            if (auto *const typed = qobject_cast<T *>(window))
                return typed;
    }
    return nullptr;
}

template <typename T> T *child(const QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

void pressEscape(QWidget *window)
{
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
}

// Every child lies inside the window and is as tall as its contents need.
void verifyNothingClipped(const QWidget *window)
{
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (const QWidget *const widget : children) {
        const QRect area(widget->mapTo(window, QPoint()), widget->size());
        const int needed = widget->hasHeightForWidth() ? widget->heightForWidth(widget->width())
                                                       : widget->minimumSizeHint().height();
        QVERIFY2(window->rect().contains(area) && widget->height() >= needed,
                 qPrintable(widget->objectName()));
    }
}

struct CountingDelegate : ReviewWindowControllerDelegate
{
    void reviewWindowControllerDidFinished(ReviewWindowController *controller) override
    {
        ++count;
        last = controller;
    }
    int count = 0;
    ReviewWindowController *last = nullptr;
};

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(640, 480);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup()
    {
        m_window.reset();
        setEdition(Edition::Folioset2);
    }

    void editions_data()
    {
        QTest::addColumn<int>("edition");
        QTest::addColumn<QString>("name");
        QTest::newRow("folioset2") << int(Edition::Folioset2) << "Folioset";
        QTest::newRow("folioset1") << int(Edition::Folioset1) << "Folioset Classic";
    }

    void aboutShowsTheEdition_data() { editions_data(); }
    void aboutShowsTheEdition()
    {
        QFETCH(int, edition);
        QFETCH(QString, name);
        setEdition(Edition(edition));
        const QString title = name + " (" + infoEntry("CFBundleVersion") + ")";
        QVERIFY(QRegularExpression("^\\d+\\.\\d+").match(infoEntry("CFBundleVersion")).hasMatch());
        RecordingWorkspace workspace;
        // Shown twice: each showing is a new window, filled afresh.
        for (int showing = 1; showing <= 2; ++showing) {
            const QPointer<AboutWindowController> about =
                AboutWindowController::showSheet(&workspace, m_window.get());
            QVERIFY(QTest::qWaitForWindowExposed(about));
            QCOMPARE(about->windowModality(), Qt::WindowModal);
            QCOMPARE(child<QLabel>(about, "titleLabel")->text(), title);
            QCOMPARE(child<QLabel>(about, "headerLabel")->text(),
                     "Thank you for using " + name + ".");
            QCOMPARE(child<QLabel>(about, "copyrightLabel")->text(),
                     QStringLiteral("Copyright © 2026 Quillmark. All rights reserved."));
            QCOMPARE(child<QPushButton>(about, "okButton")->toolTip(),
                     "Click to continue with " + name + ".");
            QCOMPARE(about->height(), 207);
            verifyNothingClipped(about);

            auto *const link = child<QPushButton>(about, "emailLink");
            QCOMPARE(link->text(), "support@quillmark.example");
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(workspace.calls().size(), showing);
            const QUrl mail = workspace.calls().last().urls.value(0);
            QVERIFY(QRegularExpression("^[!-~]+$").match(mail.toEncoded()).hasMatch());
            QCOMPARE(mail.scheme() + ':' + mail.path(), "mailto:support@quillmark.example");
            const QUrlQuery query(mail);
            QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded),
                     "Support for [" + title + "]");
            QCOMPARE(query.queryItemValue("body", QUrl::FullyDecoded),
                     "Note:\rPlease explain your issues with details if necessary with screenshot "
                     "of application.");

            child<QPushButton>(about, "okButton")->click();
            QTRY_VERIFY(about.isNull());
        }
    }

    void agreementNamesTheProgramEverywhere_data() { editions_data(); }
    void agreementNamesTheProgramEverywhere()
    {
        QFETCH(int, edition);
        QFETCH(QString, name);
        setEdition(Edition(edition));
        QFile source(":/text/eula.html");
        QVERIFY(source.open(QIODevice::ReadOnly));
        const qsizetype places = QString::fromUtf8(source.readAll()).count("##APPTITLE##");
        QVERIFY(places >= 5);

        EULAWindowController agreement(m_window.get());
        agreement.open();
        const QString text = child<QTextBrowser>(&agreement, "descriptionTextView")->toPlainText();
        QVERIFY(!text.contains("##"));
        QCOMPARE(text.count(name), places - 1); // one is in the <title>, which is not shown
        QCOMPARE(child<QLabel>(&agreement, "headerLabel")->text(),
                 name + " End-User License Agreement:");
        const auto *const close = child<QPushButton>(&agreement, "closeButton");
        QVERIFY(close->isVisible());
        QCOMPARE(close->toolTip(), "Click to close dialog.");
        QCOMPARE(child<QPushButton>(&agreement, "printButton")->toolTip(),
                 "Click to print End-User License Agreement.");
        QCOMPARE(child<QPushButton>(&agreement, "saveAsButton")->toolTip(),
                 "Click to save End-User License Agreement.");
    }

    void agreementSavesAMultiPagePdfOrNothing()
    {
        QTemporaryDir folder;
        const auto scratch = [] { return QDir::temp().entryList({"agreement-*"}, QDir::Files); };
        const QStringList before = scratch();
        EULAWindowController agreement(m_window.get());
        agreement.open();
        child<QPushButton>(&agreement, "saveAsButton")->click();
        auto *const dialog = shown<QFileDialog>();
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), &agreement);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
                 "Folioset End-User License Agreement.pdf");
        dialog->selectFile(folder.filePath("agreement")); // the suffix is the dialog's to add
        static_cast<QDialog *>(dialog)->accept();

        const QString path = folder.filePath("agreement.pdf");
        QTRY_VERIFY(QFileInfo::exists(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
        QPDF pdf;
        pdf.processFile(path.toLocal8Bit().constData());
        QVERIFY(QPDFPageDocumentHelper(pdf).getAllPages().size() >= 2);
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
            QStringList{"agreement.pdf"});

        // A folder that does not exist: nothing is written, and the scratch copy is gone too.
        QString reason;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Error in \\(saveAsPdf\\) : .+"));
        QVERIFY(!agreement.saveAsPdf(folder.filePath("missing/agreement.pdf"), &reason));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!QFileInfo::exists(folder.filePath("missing")));
        QCOMPARE(scratch(), before);
    }

    void noticeShowsTheMessageVerbatimAndWaits_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<int>("code");
        QTest::newRow("format markers") << "Cannot read %@ (%d) from %1" << false << 1;
        QTest::newRow("ampersand, markup") << "Tom & Jerry <b>x</b>.png" << false << 1;
        QTest::newRow("Escape") << "%2 %%" << true << 0;
    }
    void noticeShowsTheMessageVerbatimAndWaits()
    {
        QFETCH(QString, message);
        QFETCH(bool, escape);
        QFETCH(int, code);
        bool returned = false;
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *const box = shown<QMessageBox>("informationAlertPanel");
            if (!box)
                return;
            poll.stop();
            QTest::qWait(50);
            const auto *const label = child<QLabel>(box, "qt_msgbox_informativelabel");
            seen = {box->text(), box->informativeText(), returned ? "returned" : "waiting",
                    box->parentWidget() == m_window.get() ? "sheet" : "elsewhere",
                    label && label->textFormat() == Qt::PlainText ? "plain" : "guessed"};
            escape ? pressEscape(box) : box->buttons().value(0)->click();
        });
        poll.start(10);
        const int answer = informationAlertPanel(m_window.get(), "Conversion failed", message);
        returned = true;
        QCOMPARE(seen, QStringList({"Conversion failed", message, "waiting", "sheet", "plain"}));
        QCOMPARE(answer, code);
    }

    void alertAnswersOnce_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("code");
        const QStringList three{"Save", "Cancel", "Don't Save"};
        QTest::newRow("default") << QStringList{"Yes", "No"} << "0" << 1;
        QTest::newRow("alternate") << QStringList{"Yes", "No"} << "1" << 0;
        QTest::newRow("other") << three << "2" << -1;
        QTest::newRow("Escape") << three << "escape" << 0;
        QTest::newRow("Escape, one button") << QStringList{"OK"} << "escape" << 0;
        QTest::newRow("closed") << three << "close" << 0;
        QTest::newRow("closed, one button") << QStringList{"OK"} << "close" << 0;
    }
    void alertAnswersOnce()
    {
        QFETCH(QStringList, titles);
        QFETCH(QString, action);
        QFETCH(int, code);
        auto *const alert = new Alert(m_window.get());
        for (const QString &title : titles)
            alert->addButtonWithTitle(title);
        QList<int> answers;
        const auto held = std::make_shared<int>();
        alert->beginSheetModalForWindow(m_window.get(), [&answers, held](int a) { answers << a; });
        QCOMPARE(shown<Alert>("alertSheet"), alert);
        QCOMPARE(alert->windowModality(), Qt::WindowModal);
        QVERIFY(answers.isEmpty());

        if (action == "escape")
            pressEscape(alert);
        else if (action == "close")
            alert->close();
        else
            alert->alertButtons().at(action.toInt())->click();
        QVERIFY(!alert->isVisible());
        alert->reject(); // a late dismissal is no second answer
        QCOMPARE(answers, QList<int>{code});
        QCOMPARE(held.use_count(), 1);
    }

    void reviewTellsTheDelegateOncePerShowing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("action");
        const QString url = "https://quillmark.example/review?app=folioset";
        QTest::newRow("review") << url << "reviewButton";
        QTest::newRow("review, no address") << QString() << "reviewButton";
        QTest::newRow("not now") << url << "notNowButton";
        QTest::newRow("Escape") << url << "escape";
        QTest::newRow("closed") << url << "close";
    }
    void reviewTellsTheDelegateOncePerShowing()
    {
        QFETCH(QString, url);
        QFETCH(QString, action);
        RecordingWorkspace workspace;
        CountingDelegate delegate;
        ReviewWindowController review(&workspace, m_window.get());
        QVERIFY(review.reviewURL().isEmpty());
        review.setReviewURL(url);
        review.setDelegate(&delegate);
        const bool opens = action == "reviewButton" && !url.isEmpty();
        for (int showing = 1; showing <= 2; ++showing) {
            review.open();
            QVERIFY(QTest::qWaitForWindowExposed(&review));
            QCOMPARE(delegate.count, showing - 1);
            if (action == "escape")
                pressEscape(&review);
            else if (action == "close")
                review.close();
            else
                child<QPushButton>(&review, qPrintable(action))->click();
            QVERIFY(!review.isVisible());
            review.reviewCancelAction(); // a late action is no second answer
            QCOMPARE(delegate.count, showing);
            QCOMPARE(delegate.last, &review);
            QCOMPARE(workspace.calls().size(), opens ? showing : 0);
        }
        if (opens)
            QCOMPARE(workspace.calls().last().urls, QList<QUrl>{QUrl(url)});
    }

    void reviewCheckBoxFollowsTheProperty()
    {
        ReviewWindowController review(nullptr, m_window.get());
        auto *const box = child<QCheckBox>(&review, "neverAskmeAgainButton");
        QVERIFY(!review.neverAskForReview() && !box->isChecked());
        QSignalSpy changes(&review, &ReviewWindowController::neverAskForReviewChanged);
        review.setProperty("neverAskForReview", true);
        QVERIFY(box->isChecked());
        review.open();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        QVERIFY(!review.neverAskForReview());
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().value(0).toBool(), false);
    }

private:
    std::unique_ptr<QWidget> m_window;
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
