#include "keyring.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace folioset {

namespace {

std::mutex chosenLock;
std::shared_ptr<Keyring> chosen;

struct JobQueue
{
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
};

// The thread shares the queue, so neither outlives the other's use of it; the thread is
// detached because a job may wait on a prompt for as long as the user lets it, and quitting must
// not wait with it.
std::shared_ptr<JobQueue> keyringQueue()
{
    static const std::shared_ptr<JobQueue> queue = [] {
        auto made = std::make_shared<JobQueue>();
        std::thread([made] {
            for (;;) {
                std::function<void()> job;
                {
                    std::unique_lock<std::mutex> hold(made->lock);
                    made->wake.wait(hold, [&made] { return !made->jobs.empty(); });
                    job = std::move(made->jobs.front());
                    made->jobs.pop_front();
                }
                job();
            }
        }).detach();
        return made;
    }();
    return queue;
}

} // namespace

QString passwordKindName(PasswordKind kind)
{
    return kind == PasswordKind::Open ? QStringLiteral("open") : QStringLiteral("permission");
}

void setKeyring(std::shared_ptr<Keyring> keyring)
{
    const std::lock_guard<std::mutex> hold(chosenLock);
    chosen = std::move(keyring);
}

std::shared_ptr<Keyring> keyring()
{
    const std::lock_guard<std::mutex> hold(chosenLock);
    return chosen;
}

void runOnKeyringThread(std::function<void()> job)
{
    const std::shared_ptr<JobQueue> queue = keyringQueue();
    {
        const std::lock_guard<std::mutex> hold(queue->lock);
        queue->jobs.push_back(std::move(job));
    }
    queue->wake.notify_one();
}

} // namespace folioset
