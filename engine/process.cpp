#include "process.h"

#include "openahead.h"

#include "engine/image/imagesource.h"
#include "engine/pdf/document.h"
#include "engine/probe/probes.h"
#include "model/settings.h"
#include "model/utilities.h"
#include "platform/edition.h"
#include "platform/mainthread.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <exception>

namespace folioset {

namespace {

const QString completed = QStringLiteral("Completed");
const QString unableToLoadPage = QStringLiteral("Unable to load page!");
const QString unableToLoadImage = QStringLiteral("Unable to load image!");
const QString unableToSaveFile = QStringLiteral("Unable to save file!");
const QString noPages = QStringLiteral("No Pages!");
const QString writingFile = QStringLiteral("Writing File On Disk...");
const QString inProcess = QStringLiteral("In Process...");

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString(QLatin1String("")) : path.left(std::max<qsizetype>(slash, 1));
}

QString reasonOf(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// 128 bits, as hex digits: within the 32 bytes that the oldest kind of encryption reads of a
// password.
QString randomPassword()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

} // namespace

Process::Process(QObject *parent) : QObject(parent) {}

Process::~Process()
{
    if (m_thread && m_thread->isRunning()) {
        stop();
        abortWriting();
    }
    wait();
}

void Process::setIsCombining(bool combining)
{
    if (m_isCombining.exchange(combining) != combining)
        emit isCombiningChanged();
}

void Process::setTotalFileSelected(int count)
{
    if (m_totalFileSelected.exchange(count) != count)
        emit totalFileSelectedChanged();
}

void Process::setIsCompleted(bool value)
{
    if (m_isCompleted.exchange(value) != value)
        emit isCompletedChanged();
}

QString Process::fileInProcess() const
{
    QMutexLocker lock(&m_textMutex);
    return m_fileInProcess;
}

QString Process::outputFileInProcess() const
{
    QMutexLocker lock(&m_textMutex);
    return m_outputFileInProcess;
}

QString Process::timeTaken() const
{
    QMutexLocker lock(&m_textMutex);
    return m_timeTaken;
}

QString Process::message() const
{
    QMutexLocker lock(&m_textMutex);
    return m_message;
}

void Process::setText(QString &field, const QString &value, void (Process::*changed)())
{
    {
        QMutexLocker lock(&m_textMutex);
        if (field == value)
            return;
        field = value;
    }
    emit(this->*changed)();
}

void Process::addTo(std::atomic<int> &counter, void (Process::*changed)())
{
    ++counter;
    emit(this->*changed)();
}

void Process::setSettings(Settings *live)
{
    m_liveSettings = live;
    m_settings = live ? live->copy() : nullptr;
}

void Process::stop()
{
    try {
        setIsCombining(false);
    } catch (const std::exception &e) {
        logError(QStringLiteral("Process=>stop"), reasonOf(e));
    }
}

void Process::viewLog()
{
    try {
        if (m_workspace && !m_log.logFilePath().isEmpty())
            m_workspace->openUrl(QUrl::fromLocalFile(m_log.logFilePath()));
    } catch (const std::exception &e) {
        logError(QStringLiteral("Process=>viewLog"), reasonOf(e));
    }
}

void Process::startInBackground()
{
    wait();
    m_thread.reset(QThread::create([this] { start(); }));
    m_thread->start();
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        // The system would not give the run a thread. Run it here rather than never: queued,
        // so that the caller still sees it start and end through its signals, as it would.
        m_thread.reset();
        QMetaObject::invokeMethod(
            this, [this] { start(); }, Qt::QueuedConnection);
    }
}

void Process::wait()
{
    if (!m_thread || QThread::currentThread() == m_thread.get())
        return;
    // The run may be blocked on a call it handed to this thread; keep answering such calls, or
    // both threads would wait for each other.
    QCoreApplication *app = QCoreApplication::instance();
    const bool onMain = app && QThread::currentThread() == app->thread();
    while (!m_thread->wait(QDeadlineTimer(onMain ? 10 : QDeadlineTimer::Forever))) {
        if (onMain)
            QCoreApplication::sendPostedEvents(app, QEvent::MetaCall);
    }
}

void Process::sendTimeTakenLabel()
{
    const QString text = QStringLiteral("Total Time Taken : %1 %2/%3")
                             .arg(timeTaken())
                             .arg(m_totalFileProcessed.load())
                             .arg(m_outputFiles.size());
    if (m_observer)
        onMainThread(MainThreadCall::Wait,
                     [this, text] { m_observer->updateTimeTakenLabel(text); });
}

void Process::start()
{
    setIsCompleted(false);
    m_log.startTime = QDateTime::currentDateTime();
    setText(m_message, QStringLiteral(""), &Process::messageChanged);
    bool failed = false;

    QStringList inputs;
    for (const OutputFile &output : std::as_const(m_outputFiles)) {
        for (const FileItemPtr &item : output.fileItems) {
            if (item)
                inputs << item->localPath();
        }
    }
    m_openAhead = std::make_unique<OpenAhead>(std::move(inputs));
    try {
        for (const OutputFile &output : std::as_const(m_outputFiles)) {
            if (!m_isCombining)
                break;
            convertOutputFile(output, &failed);
            sendTimeTakenLabel();
            setText(m_fileInProcess, QStringLiteral(""), &Process::fileInProcessChanged);
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("Process=>start"), reasonOf(e));
        failed = true;
    }
    m_openAhead.reset();

    m_log.endTime = QDateTime::currentDateTime();
    m_log.save();

    m_isStopped = !m_isCombining;
    QString closing;
    if (failed)
        closing = Utilities::getAppTitle() +
                  QStringLiteral(" unable to create some of the files!\r\nPlease check log for "
                                 "more information.");
    else if (m_isCombining && m_totalFileCreated == m_outputFiles.size())
        closing = QStringLiteral("All files created successfully.");
    else if (m_isCombining)
        closing =
            QStringLiteral("Total %1 files created successfully.").arg(m_totalFileCreated.load());
    else
        closing = QStringLiteral("Process cancelled!");
    setText(m_message, closing, &Process::messageChanged);
    setText(m_timeTaken, timeTakenString(m_log.startTime, m_log.endTime),
            &Process::timeTakenChanged);
    setText(m_outputFileInProcess, QStringLiteral(""), &Process::outputFileInProcessChanged);
    setIsCombining(false);
    sendTimeTakenLabel();

    if (m_settings && m_settings->isOpenFolderAfterConversion() && m_totalFileCreated > 0) {
        const QString folder =
            isFirstGeneration() ? m_settings->outputFolderPath() : m_outputFolder;
        if (m_workspace && !folder.isEmpty())
            m_workspace->openUrl(QUrl::fromLocalFile(folder));
    }
    setIsCompleted(true);
}

void Process::convertOutputFile(const OutputFile &output, bool *failed)
{
    m_log.files.append(LogFiles{});
    LogFiles &entry = m_log.files.last();
    entry.filename = lastComponent(output.filename);
    entry.targetPath = folderOf(output.filename);
    setText(m_outputFileInProcess, entry.filename, &Process::outputFileInProcessChanged);

    pdf::Document document;
    document.setScratchFolder(entry.targetPath);
    document.setPageSetup(m_pageSetup);
    const PDFSettings *pdfSettings = m_settings ? m_settings->pdfSettings() : nullptr;
    if (pdfSettings && pdfSettings->bookmarkType() > 0 && !document.hasOutlineRoot())
        document.ensureOutlineRoot();

    bool writable = true;
    try {
        for (const FileItemPtr &item : output.fileItems) {
            if (!m_isCombining)
                break;
            if (!item)
                continue;
            setText(m_fileInProcess, lastComponent(item->localPath()),
                    &Process::fileInProcessChanged);
            // An output that has no room for its scratch data cannot be written whole: the
            // rest of its items would be converted for nothing.
            writable = addItemPages(document, *item, entry);
            if (!writable)
                break;
            addTo(m_totalFileProcessed, &Process::totalFileProcessedChanged);
            if (!m_isCombining)
                break;
        }
    } catch (const std::exception &) {
        // Whatever was gathered is still written; the closing message tells the user to look.
        *failed = true;
    }

    entry.pages += document.pageCount();
    setText(m_outputFileInProcess, writingFile, &Process::outputFileInProcessChanged);
    if (!writable) {
        entry.status = unableToSaveFile;
        entry.reason = document.scratchFailure();
        systemLog(QStringLiteral("Unable to save %1: %2").arg(output.filename, entry.reason));
        *failed = true;
    } else if (document.pageCount() == 0) {
        entry.status = noPages;
    } else if (writeDocument(document, output.filename, &entry.reason)) {
        entry.status = completed;
        addTo(m_totalFileCreated, &Process::totalFileCreatedChanged);
    } else {
        entry.status = unableToSaveFile;
        // Pages that were converted but never reached the disk are a failure, not a count.
        *failed = true;
    }
}

void Process::countFailures(int pagesMade, int pagesFailed)
{
    if (pagesFailed == 0)
        return;
    if (pagesMade == 0)
        ++m_imagesNotConverted;
    else
        m_pagesNotConverted += pagesFailed;
    emit notConvertedChanged();
}

// False when the document lost its scratch data and can no longer be written; the page in
// progress says why.
bool Process::addItemPages(pdf::Document &document, const FileItem &item, LogFiles &entry)
{
    const QString path = item.localPath();
    const bool applySettings = m_settings && m_settings->isApplyDocumentSetings();
    const auto lostScratch = [&document](LogFile &page) {
        page.status = page.reason = document.scratchFailure();
        return !page.status.isEmpty();
    };

    if (hasTiffName(path)) {
        QString reason;
        const std::unique_ptr<image::ImageSource> source = m_openAhead->take(path, &reason);
        if (!source) {
            // An unreadable TIFF would otherwise vanish from a merged document without a trace.
            entry.logFiles.append(LogFile{path, 1, 0, unableToLoadImage, reason});
            systemLog(QStringLiteral("%1: %2").arg(path, reason));
            countFailures(0, 1);
            return true;
        }
        bool bookmarkPending = true;
        int made = 0;
        int failedPages = 0;
        for (const int n : getPageRanges(&item)) {
            entry.logFiles.append(LogFile{path, n, 0, QString(), QString()});
            try {
                LogFile &page = entry.logFiles.last();
                if (document.appendImagePage(*source, n - 1, &reason)) {
                    ++made;
                    page.targetPageNo = document.pageCount();
                    page.status = completed;
                    if (bookmarkPending && applySettings) {
                        addBookmarks(document, document.pageCount(), item.filePath());
                        bookmarkPending = false;
                    }
                } else if (lostScratch(page)) {
                    countFailures(made, failedPages);
                    return false;
                } else {
                    ++failedPages;
                    page.status = unableToLoadPage;
                    page.reason = reason;
                    systemLog(QStringLiteral("%1, page %2: %3").arg(path).arg(n).arg(reason));
                }
            } catch (const std::exception &e) {
                // The rest of this TIFF is skipped; its entry keeps no status.
                ++failedPages;
                entry.logFiles.last().reason = reasonOf(e);
                break;
            }
        }
        countFailures(made, failedPages);
        return true;
    }

    entry.logFiles.append(LogFile{path, 1, 0, QString(), QString()});
    LogFile &page = entry.logFiles.last();
    try {
        QString reason;
        const std::unique_ptr<image::ImageSource> source = m_openAhead->take(path, &reason);
        if (source && document.appendImagePage(*source, 0, &reason)) {
            page.targetPageNo = document.pageCount();
            page.status = completed;
            if (applySettings)
                addBookmarks(document, document.pageCount(), item.filePath());
            return true;
        }
        if (source && lostScratch(page))
            return false;
        page.status = unableToLoadImage;
        page.reason = reason;
        systemLog(QStringLiteral("%1: %2").arg(path, reason));
    } catch (const std::exception &e) {
        page.status = page.reason = reasonOf(e);
    }
    countFailures(0, 1);
    return true;
}

bool Process::writeDocument(pdf::Document &document, const QString &path, QString *reason)
{
    pdf::WriteOptions options;
    options.producer = Utilities::getAppTitle();
    if (m_settings && m_settings->isApplyDocumentSetings()) {
        PDFSettings &pdfSettings = *m_settings->pdfSettings();
        pdfSettings.fillAbsentTexts();
        options.info =
            pdf::DocumentInfo{pdfSettings.title(), pdfSettings.subject(), pdfSettings.author(),
                              pdfSettings.keywords(), Utilities::getAppTitle()};
        const bool restricted = !pdfSettings.canPrint() || !pdfSettings.canCopy();
        const QString open = pdfSettings.pdfOpenPassword();
        QString owner = pdfSettings.pdfPermissionPassword();
        if (!open.isEmpty() || !owner.isEmpty()) {
            if (owner.isEmpty() && restricted) {
                // With the open password as the owner's, whoever may open the file could lift
                // what it forbids. An owner password nobody knows makes the restriction hold;
                // it is kept nowhere.
                owner = randomPassword();
                m_hasUnliftableRights = true;
            } else if (owner.isEmpty()) {
                // Nothing is withheld: the open password serves as the owner's, and the window
                // shows it so.
                pdfSettings.setPdfPermissionPassword(open);
                owner = open;
            }
            options.security = pdf::Security{open, owner, pdfSettings.canPrint(),
                                             pdfSettings.canCopy(), pdfSettings.keyBits()};
        }
        writeBackSettings(!restricted);
    }
    if (document.write(path, options, &m_abortWrite, reason))
        return true;
    systemLog(QStringLiteral("Unable to save %1: %2").arg(path, reason ? *reason : QString()));
    return false;
}

void Process::writeBackSettings(bool permissionFromOpenPassword)
{
    if (!m_liveSettings)
        return;
    // The window shows the live record; it is changed on its own thread only.
    onMainThread(MainThreadCall::Wait, [live = m_liveSettings, permissionFromOpenPassword] {
        PDFSettings &pdfSettings = *live->pdfSettings();
        pdfSettings.fillAbsentTexts();
        if (permissionFromOpenPassword && !pdfSettings.pdfOpenPassword().isEmpty() &&
            pdfSettings.pdfPermissionPassword().isEmpty())
            pdfSettings.setPdfPermissionPassword(pdfSettings.pdfOpenPassword());
    });
}

} // namespace folioset
