#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

namespace folioset {

enum class MainThreadCall { Queue, Wait };

// Runs `call` on the application's main thread: at once when already there (or when there is
// no application object, as in a plain test); otherwise queued, and with Wait the calling thread
// blocks until it has run.
template <typename F> void onMainThread(MainThreadCall how, F &&call)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(app, std::forward<F>(call),
                              how == MainThreadCall::Wait ? Qt::BlockingQueuedConnection
                                                          : Qt::QueuedConnection);
}

} // namespace folioset
