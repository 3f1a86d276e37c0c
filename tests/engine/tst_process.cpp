#include "engine/process.h"
#include "model/outputplan.h"
#include "model/settings.h"
#include "model/utilities.h"
#include "platform/preferences.h"
#include "platform/workspace.h"
#include "support/fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace folioset;

namespace {

struct RecordingObserver : ProcessObserver
{
    QStringList labels;
    void updateTimeTakenLabel(const QString &text) override { labels << text; }
};

std::unique_ptr<QPDF> openPdf(const QString &path, const QString &password = {})
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processFile(QFile::encodeName(path).constData(), password.toUtf8().constData());
    return pdf;
}

int pageCount(QPDF &pdf)
{
    return int(QPDFPageDocumentHelper(pdf).getAllPages().size());
}

QString infoEntry(QPDF &pdf, const char *key)
{
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    if (!info.isDictionary() || !info.hasKey(key))
        return {};
    return QString::fromStdString(info.getKey(key).getUTF8Value());
}

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir m_in;
    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<Settings> m_settings;
    RecordingWorkspace m_workspace;
    RecordingObserver m_observer;

    QString in(const QString &name) const { return m_in.filePath(name); }
    QString out(const QString &name) const { return m_out->filePath(name); }

    FileItemPtr item(const QString &name) const
    {
        return FileItem::initWithURL(QUrl::fromLocalFile(in(name)));
    }

    std::unique_ptr<Process> makeRun(const QList<FileItemPtr> &items)
    {
        auto process = std::make_unique<Process>();
        process->setIsCombining(true);
        process->setSettings(m_settings.get());
        process->setOutputFolder(m_out->path());
        process->setObserver(&m_observer);
        process->setWorkspace(&m_workspace);
        process->outputFiles() = planOutputFiles(items, *m_settings, m_out->path());
        process->setTotalFileSelected(int(selectedItems(items).size()));
        return process;
    }

    void merge(const QString &name)
    {
        m_settings->setCombineOptionIndex(1);
        m_settings->setSingleMultiPagePDFName(name);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(Utilities::createApplicationUsersFolder(QString()));
        QVERIFY(Utilities::createApplicationUsersFolder(QStringLiteral("Logs")));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(
                fixtures::writeJpeg(in(QStringLiteral("photo%1.jpg").arg(i)), QSize(64, 48), i));
        QVERIFY(fixtures::writePng(in(QStringLiteral("art.png")),
                                   fixtures::patternImage(QSize(30, 20), 3, QImage::Format_RGB32)));
        QList<QImage> pages;
        for (int i = 0; i < 3; ++i)
            pages << fixtures::patternImage(QSize(40 + 10 * i, 30), i);
        QVERIFY(fixtures::writeTiff(in(QStringLiteral("scan.tiff")), pages));
        QVERIFY(
            fixtures::writeBytes(in(QStringLiteral("broken.png")), "\x89PNG\r\n\x1a\nnot really"));
        QVERIFY(fixtures::writeBytes(in(QStringLiteral("broken.tif")), "II*\0garbage"));
    }

    void init()
    {
        m_out = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(Settings::Source::Defaults);
        m_settings->setIsOpenFolderAfterConversion(true);
        m_workspace.clear();
        m_observer.labels.clear();
    }

    void emptyPlanStillSavesTheLog()
    {
        auto run = makeRun({});
        run->start();
        QCOMPARE(run->message(), QStringLiteral("All files created successfully."));
        QVERIFY(run->isCompleted());
        QVERIFY(!run->isCombining());
        QVERIFY(run->log().files.isEmpty());
        QVERIFY(QFile::exists(run->log().logFilePath()));
        QVERIFY(run->log().startTime <= run->log().endTime);
        QVERIFY(m_workspace.calls().isEmpty());
        QCOMPARE(m_observer.labels, QStringList{QStringLiteral("Total Time Taken : 00:00 0/0")});
    }

    void undecodableImageGivesNoPages()
    {
        auto run = makeRun({item(QStringLiteral("broken.png"))});
        run->start();
        QCOMPARE(run->log().files.size(), 1);
        const LogFiles &entry = run->log().files.first();
        QCOMPARE(entry.filename, QStringLiteral("broken.pdf"));
        QCOMPARE(entry.targetPath, m_out->path());
        QCOMPARE(entry.status, QStringLiteral("No Pages!"));
        QCOMPARE(entry.pages, 0);
        QCOMPARE(entry.logFiles.size(), 1);
        QCOMPARE(entry.logFiles.first().sourcePageNo, 1);
        QCOMPARE(entry.logFiles.first().targetPageNo, 0);
        QCOMPARE(entry.logFiles.first().status, QStringLiteral("Unable to load image!"));
        QCOMPARE(run->totalFileCreated(), 0);
        QCOMPARE(run->totalFileProcessed(), 1);
        QCOMPARE(run->message(), QStringLiteral("Total 0 files created successfully."));
        QVERIFY(!QFile::exists(out(QStringLiteral("broken.pdf"))));
        QVERIFY(m_workspace.calls().isEmpty()); // nothing created, nothing opened
    }

    void singleModeWritesOnePdfPerItemAndOpensTheFolder()
    {
        auto run = makeRun({item(QStringLiteral("photo1.jpg")), item(QStringLiteral("art.png")),
                            item(QStringLiteral("scan.tiff"))});
        run->start();
        QCOMPARE(run->message(), QStringLiteral("All files created successfully."));
        QCOMPARE(run->totalFileCreated(), 3);
        QCOMPARE(run->totalFileProcessed(), 3);
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("photo1.pdf")))), 1);
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("art.pdf")))), 1);
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("scan.pdf")))), 3);
        QCOMPARE(run->log().files.at(2).pages, 3);
        QCOMPARE(m_workspace.calls().size(), 1);
        QCOMPARE(m_workspace.calls().first().urls.first(), QUrl::fromLocalFile(m_out->path()));
        run->viewLog();
        QCOMPARE(m_workspace.calls().last().urls.first(),
                 QUrl::fromLocalFile(run->log().logFilePath()));
    }

    void tiffPageListAndOneBookmarkPerInput()
    {
        merge(QStringLiteral("book"));
        m_settings->setIsApplyDocumentSetings(true);
        m_settings->pdfSettings()->setBookmarkType(2);
        const FileItemPtr tiff = item(QStringLiteral("scan.tiff"));
        auto rule = std::make_shared<SelectionRange>();
        rule->setPageRangeType(SelectionRange::Ranges);
        rule->setPageRange(QStringLiteral("3-3,1-1"));
        tiff->setSelection(rule);
        auto run = makeRun({tiff, item(QStringLiteral("photo2.jpg"))});
        run->start();
        const LogFiles &entry = run->log().files.first();
        QCOMPARE(entry.logFiles.size(), 3);
        QCOMPARE(entry.logFiles[0].sourcePageNo, 3);
        QCOMPARE(entry.logFiles[0].targetPageNo, 1);
        QCOMPARE(entry.logFiles[1].sourcePageNo, 1);
        QCOMPARE(entry.logFiles[1].targetPageNo, 2);
        QCOMPARE(entry.logFiles[2].targetPageNo, 3);
        QCOMPARE(entry.pages, 3);

        auto pdf = openPdf(out(QStringLiteral("book.pdf")));
        QCOMPARE(pageCount(*pdf), 3);
        // Source page 3 is 60 pixels wide, page 1 is 40: the order shows in the media boxes.
        auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        QCOMPARE(pages[0].getAttribute("/MediaBox", false).getArrayItem(2).getNumericValue(), 60.0);
        QCOMPARE(pages[1].getAttribute("/MediaBox", false).getArrayItem(2).getNumericValue(), 40.0);
        QPDFOutlineDocumentHelper outlines(*pdf);
        auto top = outlines.getTopLevelOutlines();
        QCOMPARE(top.size(), size_t(2));
        QCOMPARE(QString::fromStdString(top[0].getTitle()), QStringLiteral("scan"));
        QCOMPARE(QString::fromStdString(top[1].getTitle()), QStringLiteral("photo2"));
        QPDFObjectHandle dest = top[0].getDest();
        QVERIFY(dest.isArray());
        QCOMPARE(dest.getArrayItem(0).getObjGen(), pages[0].getObjectHandle().getObjGen());
        QCOMPARE(dest.getArrayItem(1).getName(), std::string("/XYZ"));
        QCOMPARE(dest.getArrayItem(3).getNumericValue(), 30.0 + 72.0);
        QCOMPARE(dest.getArrayItem(2).getNumericValue(), 0.0);
    }

    void bookmarkLabels_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("label");
        QTest::newRow("name") << 1 << "photo3.jpg";
        QTest::newRow("stem") << 2 << "photo3";
        QTest::newRow("path") << 3 << QString(m_in.filePath(QStringLiteral("photo3.jpg"))).mid(1);
        QTest::newRow("other kind") << 9 << "";
    }
    void bookmarkLabels()
    {
        QFETCH(int, kind);
        QFETCH(QString, label);
        merge(QStringLiteral("marks"));
        m_settings->setIsApplyDocumentSetings(true);
        m_settings->pdfSettings()->setBookmarkType(kind);
        auto run = makeRun({item(QStringLiteral("photo3.jpg"))});
        run->start();
        auto pdf = openPdf(out(QStringLiteral("marks.pdf")));
        auto top = QPDFOutlineDocumentHelper(*pdf).getTopLevelOutlines();
        QCOMPARE(top.size(), size_t(1));
        QCOMPARE(QString::fromStdString(top[0].getTitle()), label);
    }

    void documentSettingsOffWriteNoneOfThem()
    {
        merge(QStringLiteral("plain"));
        PDFSettings *pdf = m_settings->pdfSettings();
        pdf->setTitle(QStringLiteral("Secret title"));
        pdf->setPdfOpenPassword(QStringLiteral("pw"));
        pdf->setBookmarkType(1);
        auto run =
            makeRun({item(QStringLiteral("photo1.jpg")), item(QStringLiteral("photo2.jpg"))});
        run->start();
        auto written = openPdf(out(QStringLiteral("plain.pdf")));
        QVERIFY(!written->isEncrypted());
        QCOMPARE(infoEntry(*written, "/Title"), QString());
        QCOMPARE(infoEntry(*written, "/Producer"), Utilities::getAppTitle());
        QVERIFY(QPDFOutlineDocumentHelper(*written).getTopLevelOutlines().empty());
        QCOMPARE(m_settings->pdfSettings()->pdfPermissionPassword(), QString());
    }

    void documentInfoIsWritten()
    {
        merge(QStringLiteral("info"));
        m_settings->setIsApplyDocumentSetings(true);
        PDFSettings *pdf = m_settings->pdfSettings();
        pdf->setTitle(QStringLiteral("Tïtle & <more>"));
        pdf->setSubject(QStringLiteral("Subject"));
        pdf->setAuthor(QStringLiteral("Author"));
        pdf->setKeywords(QStringLiteral("a, b"));
        auto run = makeRun({item(QStringLiteral("photo1.jpg"))});
        run->start();
        auto written = openPdf(out(QStringLiteral("info.pdf")));
        QVERIFY(!written->isEncrypted());
        QCOMPARE(infoEntry(*written, "/Title"), QStringLiteral("Tïtle & <more>"));
        QCOMPARE(infoEntry(*written, "/Subject"), QStringLiteral("Subject"));
        QCOMPARE(infoEntry(*written, "/Author"), QStringLiteral("Author"));
        QCOMPARE(infoEntry(*written, "/Keywords"), QStringLiteral("a, b"));
        QCOMPARE(infoEntry(*written, "/Creator"), Utilities::getAppTitle());
    }

    void passwordsAndKeyLength_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("permission");
        QTest::addColumn<int>("strength");
        QTest::addColumn<bool>("canPrint");
        QTest::addColumn<bool>("canCopy");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("owner"); // empty: an owner password nobody knows
        QTest::newRow("permission only, 40 bit") << ""
                                                 << "perm" << 0 << false << true << 2 << "perm";
        QTest::newRow("open only, nothing withheld") << "open"
                                                     << "" << 1 << true << true << 3 << "open";
        QTest::newRow("open only, no copying") << "open"
                                               << "" << 1 << true << false << 3 << "";
        QTest::newRow("open only, no printing") << "open"
                                                << "" << 0 << false << true << 2 << "";
        QTest::newRow("both, strength 5 is 128") << "open"
                                                 << "perm" << 5 << false << false << 3 << "perm";
    }
    void passwordsAndKeyLength()
    {
        QFETCH(QString, open);
        QFETCH(QString, permission);
        QFETCH(int, strength);
        QFETCH(bool, canPrint);
        QFETCH(bool, canCopy);
        QFETCH(int, revision);
        QFETCH(QString, owner);
        merge(QStringLiteral("locked"));
        m_settings->setIsApplyDocumentSetings(true);
        PDFSettings *pdf = m_settings->pdfSettings();
        pdf->setPdfOpenPassword(open);
        pdf->setPdfPermissionPassword(permission);
        pdf->setEncryptionStrength(strength);
        pdf->setCanPrint(canPrint);
        pdf->setCanCopy(canCopy);
        auto run = makeRun({item(QStringLiteral("photo1.jpg"))});
        run->start();
        QCOMPARE(run->totalFileCreated(), 1);
        QCOMPARE(run->hasUnliftableRights(), owner.isEmpty());

        const QString path = out(QStringLiteral("locked.pdf"));
        if (!open.isEmpty())
            QVERIFY_THROWS_EXCEPTION(QPDFExc, openPdf(path));
        auto written = openPdf(path, open);
        QVERIFY(written->isEncrypted());
        int R = 0, P = 0, V = 0;
        QPDF::encryption_method_e stream, string, file;
        QVERIFY(written->isEncrypted(R, P, V, stream, string, file));
        QCOMPARE(R, revision);
        QCOMPARE(written->allowPrintHighRes() || written->allowPrintLowRes(), canPrint);
        QCOMPARE(written->allowExtractAll(), canCopy);
        QVERIFY(!written->allowModifyAll());
        QVERIFY(!written->allowModifyAnnotation());
        // The owner password unlocks everything; the open password alone lifts nothing that
        // is withheld.
        QCOMPARE(written->ownerPasswordMatched(), open == owner);
        if (!owner.isEmpty())
            QVERIFY(openPdf(path, owner)->ownerPasswordMatched());
        // An empty permission password is filled in the live settings, as the window shows,
        // only where the open password may serve as the owner's.
        QCOMPARE(m_settings->pdfSettings()->pdfPermissionPassword(), owner);
    }

    // What the run could not convert is counted apart from what it could, by image and by
    // page; an image is not counted converted because it was handled.
    void failedImagesAndPagesAreCounted()
    {
        merge(QStringLiteral("counted"));
        QVERIFY(fixtures::writeBytes(in(QStringLiteral("zero.jpg")), QByteArray()));
        // Listed with three pages, it has lost its last by the time it is converted.
        const QString shrinking = in(QStringLiteral("shrinking.tiff"));
        QVERIFY(QFile::copy(in(QStringLiteral("scan.tiff")), shrinking));
        const FileItemPtr tiff = item(QStringLiteral("shrinking.tiff"));
        QCOMPARE(tiff->pages(), 3);
        QVERIFY(fixtures::writeTiff(shrinking, {fixtures::patternImage(QSize(20, 20), 1),
                                                fixtures::patternImage(QSize(20, 20), 2)}));
        auto run = makeRun({item(QStringLiteral("photo1.jpg")), item(QStringLiteral("zero.jpg")),
                            tiff, item(QStringLiteral("broken.tif"))});
        run->start();
        QCOMPARE(run->message(), QStringLiteral("All files created successfully."));
        QCOMPARE(run->totalFileProcessed(), 4);
        QCOMPARE(run->imagesNotConverted(), 2);
        QCOMPARE(run->pagesNotConverted(), 1);
        QVERIFY(!run->isStopped());
        QStringList reasons;
        for (const LogFile &page : run->log().files.first().logFiles)
            reasons << (page.status == QLatin1String("Completed") ? QString() : page.reason);
        QCOMPARE(reasons.size(), 6);
        for (const int failed : {1, 4, 5})
            QVERIFY2(!reasons.at(failed).isEmpty(), qPrintable(reasons.join('|')));
        QCOMPARE(reasons.at(1), QStringLiteral("The image file is empty"));
    }

    void cancelAfterTheThirdOfFiveItems()
    {
        merge(QStringLiteral("partial"));
        QList<FileItemPtr> items;
        for (int i = 1; i <= 5; ++i)
            items << item(QStringLiteral("photo%1.jpg").arg(i));
        auto run = makeRun(items);
        Process *raw = run.get();
        connect(
            raw, &Process::fileInProcessChanged, raw,
            [raw] {
                if (raw->fileInProcess() == QStringLiteral("photo3.jpg"))
                    raw->stop();
            },
            Qt::DirectConnection);
        run->start();
        QCOMPARE(run->message(), QStringLiteral("Process cancelled!"));
        QVERIFY(run->isStopped());
        QCOMPARE(run->totalFileProcessed(), 3);
        QCOMPARE(run->totalFileCreated(), 1);
        QCOMPARE(run->log().files.first().status, QStringLiteral("Completed"));
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("partial.pdf")))), 3);
    }

    void cancelEndsBeforeTheNextOutputFile()
    {
        m_settings->setCombineOptionIndex(0);
        auto run =
            makeRun({item(QStringLiteral("photo1.jpg")), item(QStringLiteral("photo2.jpg"))});
        Process *raw = run.get();
        connect(
            raw, &Process::totalFileCreatedChanged, raw, [raw] { raw->stop(); },
            Qt::DirectConnection);
        run->start();
        QCOMPARE(run->log().files.size(), 1);
        QVERIFY(QFile::exists(out(QStringLiteral("photo1.pdf"))));
        QVERIFY(!QFile::exists(out(QStringLiteral("photo2.pdf"))));
        QCOMPARE(run->message(), QStringLiteral("Process cancelled!"));
    }

    void progressTextDuringAndAfterTheRun()
    {
        merge(QStringLiteral("ten"));
        QList<FileItemPtr> items;
        for (int i = 0; i < 10; ++i)
            items << item(QStringLiteral("photo%1.jpg").arg(i % 5 + 1));
        auto run = makeRun(items);
        run->start();
        QCOMPARE(m_observer.labels.size(), 2);
        QCOMPARE(m_observer.labels.first(),
                 QStringLiteral("Total Time Taken : In Process... 10/1"));
        QCOMPARE(m_observer.labels.last(),
                 QStringLiteral("Total Time Taken : %1 10/1").arg(run->timeTaken()));
        QVERIFY(run->timeTaken() != QStringLiteral("In Process..."));
        QCOMPARE(run->outputFileInProcess(), QString());
        QCOMPARE(run->fileInProcess(), QString());
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("ten.pdf")))), 10);
    }

    void badInputsAreLoggedAndTheRunGoesOn()
    {
        merge(QStringLiteral("mixed"));
        const QString vanishing = in(QStringLiteral("vanishing.jpg"));
        QVERIFY(fixtures::writeJpeg(vanishing, QSize(20, 20)));
        QVERIFY(fixtures::writeBytes(in(QStringLiteral("zero.gif")), QByteArray()));
        QVERIFY(fixtures::writeBytes(in(QStringLiteral("truncated.png")),
                                     fixtures::readBytes(in(QStringLiteral("art.png"))).left(60)));
        const QList<FileItemPtr> items = {
            item(QStringLiteral("photo1.jpg")), item(QStringLiteral("vanishing.jpg")),
            item(QStringLiteral("zero.gif")),   item(QStringLiteral("truncated.png")),
            item(QStringLiteral("broken.tif")), item(QStringLiteral("photo2.jpg"))};
        QVERIFY(QFile::remove(vanishing));
        auto run = makeRun(items);
        run->start();
        const LogFiles &entry = run->log().files.first();
        QCOMPARE(entry.status, QStringLiteral("Completed"));
        QCOMPARE(entry.pages, 2);
        QStringList statuses;
        for (const LogFile &page : entry.logFiles)
            statuses << page.status;
        const QString image = QStringLiteral("Unable to load image!");
        QCOMPARE(statuses, (QStringList{QStringLiteral("Completed"), image, image, image, image,
                                        QStringLiteral("Completed")}));
        QCOMPARE(run->totalFileProcessed(), 6);
        QCOMPARE(pageCount(*openPdf(out(QStringLiteral("mixed.pdf")))), 2);
    }

    void unwritableFolderFailsTheSaveAndKeepsNothing()
    {
        m_settings->setCombineOptionIndex(0);
        auto run = makeRun({item(QStringLiteral("photo1.jpg"))});
        const QString missing = m_out->filePath(QStringLiteral("no/such/folder"));
        run->outputFiles().first().filename = missing + QStringLiteral("/photo1.pdf");
        run->start();
        QCOMPARE(run->log().files.first().status, QStringLiteral("Unable to save file!"));
        QCOMPARE(run->log().files.first().pages, 1);
        QCOMPARE(run->totalFileCreated(), 0);
        // Converted pages that never reached the disk are a failure, not a count of zero.
        QCOMPARE(run->message(), Utilities::getAppTitle() +
                                     QStringLiteral(" unable to create some of the files!\r\n"
                                                    "Please check log for more information."));
    }

    void existingFileIsReplacedOnlyBySuccess()
    {
        m_settings->setCombineOptionIndex(0);
        const QString target = out(QStringLiteral("broken.pdf"));
        QVERIFY(fixtures::writeBytes(target, "precious"));
        auto run = makeRun({item(QStringLiteral("broken.png"))});
        run->start();
        QCOMPARE(fixtures::readBytes(target), QByteArray("precious"));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("broken.pdf")});
    }

    void destroyingARunningProcessStopsItWithoutHanging()
    {
        m_settings->setCombineOptionIndex(0); // a label call after every one of 40 files
        QList<FileItemPtr> items;
        for (int i = 0; i < 40; ++i)
            items << item(QStringLiteral("photo%1.jpg").arg(i % 5 + 1));
        auto run = makeRun(items);
        QElapsedTimer timer;
        timer.start();
        run->startInBackground();
        // The run now blocks on its label calls to this thread, which is busy here.
        QTRY_VERIFY(run->totalFileProcessed() > 0 || run->isCompleted());
        run.reset();
        QVERIFY(timer.elapsed() < 20000);
        const QStringList left = QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(left.size() < 40);
        for (const QString &name : left)
            QVERIFY2(name.endsWith(QStringLiteral(".pdf")), qPrintable(name));
    }

    void backgroundRunWritesSettingsBackOnTheMainThread()
    {
        merge(QStringLiteral("bg"));
        m_settings->setIsApplyDocumentSetings(true);
        m_settings->pdfSettings()->setPdfOpenPassword(QStringLiteral("open"));
        m_settings->pdfSettings()->setTitle(QString()); // absent
        auto run = makeRun({item(QStringLiteral("photo1.jpg"))});
        QSignalSpy completed(run.get(), &Process::isCompletedChanged);
        run->startInBackground();
        QTRY_VERIFY_WITH_TIMEOUT(run->isCompleted(), 20000);
        QCOMPARE(run->message(), QStringLiteral("All files created successfully."));
        QCOMPARE(m_settings->pdfSettings()->pdfPermissionPassword(), QStringLiteral("open"));
        QVERIFY(!m_settings->pdfSettings()->title().isNull());
        QCOMPARE(m_observer.labels.size(), 2);
        // What the window shows is what the next save stores.
        m_settings->synchronize();
        const QVariantMap stored = Preferences().value(QStringLiteral("SETTINGS")).toMap();
        QCOMPARE(stored.value(QStringLiteral("pdfSettings"))
                     .toMap()
                     .value(QStringLiteral("pdfPermissionPassword"))
                     .toString(),
                 QStringLiteral("open"));
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
