#include "fileloader.h"

#include "folderwalk.h"

#include "platform/systemlog.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

namespace folioset {

namespace {

// Big enough that the table is not redrawn per file, small enough that the first files show
// at once and the main thread never spends long on one batch.
constexpr int kBatchItems = 512;
constexpr int kBatchMilliseconds = 100;
constexpr int kBatchesAhead = 2;

} // namespace

FileLoader::FileLoader(QObject *parent) : QObject(parent) {}

FileLoader::~FileLoader()
{
    cancel();
    if (m_thread)
        m_thread->wait();
}

void FileLoader::start(const Arguments &request, QSet<QUrl> known)
{
    if (m_running)
        return;
    if (m_thread)
        m_thread->wait();
    m_running = true;
    m_keepGoing = true;
    m_thread.reset(QThread::create([this, request, known]() mutable { run(request, known); }));
    connect(m_thread.get(), &QThread::finished, this, [this] {
        m_running = false;
        emit finished();
    });
    m_thread->start();
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        // No thread to spare: the walk runs here, queued, so that it still ends as it would.
        m_thread.reset();
        QMetaObject::invokeMethod(
            this,
            [this, request, known = std::move(known)]() mutable {
                run(request, std::move(known));
                m_running = false;
                emit finished();
            },
            Qt::QueuedConnection);
    }
}

void FileLoader::wait()
{
    if (m_thread)
        m_thread->wait();
    QCoreApplication::sendPostedEvents(this);
}

void FileLoader::run(const Arguments &request, QSet<QUrl> known)
{
    QList<FileItemPtr> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    const auto deliver = [&] {
        if (batch.isEmpty())
            return;
        if (QThread::currentThread() == thread()) {
            emit itemsFound(std::exchange(batch, {})); // walking on the list's own thread
            sinceBatch.restart();
            return;
        }
        // The main thread appends while this thread goes on walking, but never falls more than
        // a couple of batches behind: queued work would otherwise keep it from drawing and
        // answering the user until the walk ends.
        while (m_batchesInFlight.load() >= kBatchesAhead && m_keepGoing.load())
            QThread::msleep(2);
        ++m_batchesInFlight;
        QMetaObject::invokeMethod(
            this,
            [this, items = std::move(batch)] {
                --m_batchesInFlight;
                emit itemsFound(items);
            },
            Qt::QueuedConnection);
        batch.clear();
        sinceBatch.restart();
    };
    try {
        walkForFiles(
            request, [this] { return m_keepGoing.load(); },
            [&](const QString &path) {
                const QUrl url = QUrl::fromLocalFile(path);
                if (known.contains(url))
                    return;
                known.insert(url);
                if (FileItemPtr item = FileItem::initWithURL(url))
                    batch << item;
                if (batch.size() >= kBatchItems || sinceBatch.elapsed() >= kBatchMilliseconds)
                    deliver();
            });
    } catch (const std::exception &e) {
        logError(request.isFolders ? QStringLiteral("addFolderToList:")
                                   : QStringLiteral("addFilesToList:"),
                 QString::fromUtf8(e.what()));
    }
    deliver();
}

} // namespace folioset
