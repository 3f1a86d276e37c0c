#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace folioset::cli {

// Ctrl-C (or SIGTERM) while a run is going: the first one is handed to the main thread as
// interrupted(),
// so that the run can stop after its current image and still write what it has; a second one
// removes the temporary files of any PDF being written and ends the process at once with
// status 130. One instance at a time; the previous handling comes back when it is destroyed.
class InterruptGuard : public QObject
{
    Q_OBJECT

public:
    InterruptGuard();
    ~InterruptGuard() override;
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    bool isInstalled() const { return m_installed; }

signals:
    void interrupted();

private:
    void drain();

    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace folioset::cli
