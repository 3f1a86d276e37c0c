#pragma once

#include "model/outputfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>

class QThread;

namespace folioset {

// One background load at a time: walks the request's locations on a thread of its own, probes
// each new file there (pages, size), and hands the items to the main thread in batches, so the
// list the window shows is never half-changed and the window keeps answering while tens of
// thousands of files arrive. Files already in the list are passed over without being probed.
class FileLoader : public QObject
{
    Q_OBJECT

public:
    explicit FileLoader(QObject *parent = nullptr);
    ~FileLoader() override; // stops a running load and waits for it

    // `known`: the URLs already in the list. Ignored while a load runs.
    void start(const Arguments &request, QSet<QUrl> known);
    // Asks the load to stop before its next candidate; what was found so far still arrives.
    void cancel() { m_keepGoing = false; }
    bool isRunning() const { return m_running; }
    // Waits until a running load has delivered everything (for callers that must not go on).
    void wait();

signals:
    // New items in the order found, none already in the list or in an earlier batch.
    void itemsFound(const QList<FileItemPtr> &items);
    // After the last batch.
    void finished();

private:
    void run(const Arguments &request, QSet<QUrl> known);

    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_keepGoing{false};
    std::atomic<int> m_batchesInFlight{0};
    bool m_running = false;
};

} // namespace folioset
