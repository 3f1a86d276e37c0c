#include "console.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace folioset::cli {

namespace {

void put(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int terminalWidth()
{
    winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

Console::Console(bool quiet) : m_quiet(quiet), m_showsProgress(!quiet && ::isatty(STDERR_FILENO)) {}

void Console::info(const QString &line)
{
    if (m_quiet)
        return;
    clearProgress();
    put(stdout, line + QLatin1Char('\n'));
}

void Console::note(const QString &line)
{
    if (m_quiet)
        return;
    clearProgress();
    put(stderr, line + QLatin1Char('\n'));
}

void Console::error(const QString &line)
{
    clearProgress();
    put(stderr, line + QLatin1Char('\n'));
}

void Console::progress(const QString &line)
{
    if (!m_showsProgress)
        return;
    // A line wider than the terminal would wrap, and \r would then redraw only its tail.
    const int width = std::max(10, terminalWidth() - 1);
    const QString shown = line.size() > width ? line.left(width - 3) + QStringLiteral("...") : line;
    put(stderr, QStringLiteral("\r\x1b[K") + shown);
    m_progressShown = true;
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    put(stderr, QStringLiteral("\r\x1b[K"));
    m_progressShown = false;
}

} // namespace folioset::cli
