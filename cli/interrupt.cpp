#include "interrupt.h"

#include "platform/atomicfile.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace folioset::cli {

namespace {

// Shared with the signal handler, which may touch nothing else.
volatile sig_atomic_t interruptCount = 0;
int pipeFds[2] = {-1, -1};
// Ctrl-C, and the polite end a batch system sends when a job runs out of time: both stop the
// run after its current image, so the report and the log still say what was done.
constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction previousActions[2];

void onInterrupt(int)
{
    if (interruptCount == 0) {
        interruptCount = 1;
        const int savedErrno = errno;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
        errno = savedErrno;
        return;
    }
    removePendingTemporaryFiles();
    ::_exit(130);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    interruptCount = 0;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(kSignals[0], &action, &previousActions[0]) != 0 ||
        ::sigaction(kSignals[1], &action, &previousActions[1]) != 0) {
        ::sigaction(kSignals[0], &previousActions[0], nullptr);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    m_installed = true;
    m_notifier = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InterruptGuard::drain);
}

InterruptGuard::~InterruptGuard()
{
    if (!m_installed)
        return;
    m_notifier.reset();
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &previousActions[i], nullptr);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void InterruptGuard::drain()
{
    char buffer[16];
    while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
    }
    emit interrupted();
}

} // namespace folioset::cli
