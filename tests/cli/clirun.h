#pragma once

// Running the real folioset-cli and reading back what it wrote.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace clirun {

struct Result
{
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// An environment whose preferences and support folders lie inside `home`, so that no run of
// the tests can touch a real user's files.
QProcessEnvironment isolatedEnvironment(const QString &home);

// Runs the command with `arguments`, feeding `input` to its standard input, and waits.
// `inChild` runs in the child process before the command starts (limits, signals).
Result run(const QStringList &arguments, const QProcessEnvironment &environment,
           const QByteArray &input = {}, const std::function<void()> &inChild = {});

struct PdfReading
{
    bool opened = false;
    bool needsPassword = false;
    bool encrypted = false;
    int pages = 0;
    QString title;
};

PdfReading readPdf(const QString &path, const QString &password = {});

// Every entry of a folder, hidden ones included, sorted by name.
QStringList allEntries(const QString &folder);

// Permissions and limits do not bind root: a test that runs as root runs the command as
// nobody instead. For `inChild` (ends the child with 125 when it cannot change user).
void becomeOrdinaryUser();
// Lets everyone read, write and enter `folder`, for a command run as nobody.
bool openToEveryone(const QString &folder);

} // namespace clirun

namespace clirun {

// A run whose standard error is a terminal, as when a person watches it: the command draws its
// progress line there. The terminal's output is collected while waiting, so that the command
// never blocks on a full terminal.
class TerminalRun
{
public:
    TerminalRun(const QStringList &arguments, const QProcessEnvironment &environment);
    ~TerminalRun();
    TerminalRun(const TerminalRun &) = delete;
    TerminalRun &operator=(const TerminalRun &) = delete;

    bool started() const { return m_master >= 0 && m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Waits until the terminal has shown `text` (true) or `milliseconds` passed or the run ended.
    bool waitForTerminal(const QByteArray &text, int milliseconds);
    bool waitForStandardOutput(const QByteArray &text, int milliseconds);
    bool finish(int milliseconds);

    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() != QProcess::NormalExit; }
    const QByteArray &terminal() const { return m_terminal; }
    const QByteArray &standardOutput() const { return m_out; }

private:
    void drain(int waitMilliseconds);

    QProcess m_process;
    int m_master = -1;
    QByteArray m_terminal;
    QByteArray m_out;
};

} // namespace clirun
