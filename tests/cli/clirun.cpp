#include "clirun.h"

#include <QDir>
#include <QFile>

#include <grp.h>
#include <unistd.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace clirun {

QProcessEnvironment isolatedEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
    QDir().mkpath(home + QStringLiteral("/tmp"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

Result run(const QStringList &arguments, const QProcessEnvironment &environment,
           const QByteArray &input, const std::function<void()> &inChild)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(FOLIOSET_CLI_PATH), arguments);
    Result result;
    if (!process.waitForStarted())
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

PdfReading readPdf(const QString &path, const QString &password)
{
    PdfReading reading;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        const QByteArray file = QFile::encodeName(path);
        const QByteArray secret = password.toUtf8();
        pdf.processFile(file.constData(), password.isEmpty() ? nullptr : secret.constData());
        reading.opened = true;
        reading.encrypted = pdf.isEncrypted();
        reading.pages = int(QPDFPageDocumentHelper(pdf).getAllPages().size());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (info.isDictionary() && info.getKey("/Title").isString())
            reading.title = QString::fromStdString(info.getKey("/Title").getUTF8Value());
    } catch (const QPDFExc &e) {
        reading.needsPassword = e.getErrorCode() == qpdf_e_password;
    } catch (const std::exception &) {
    }
    return reading;
}

QStringList allEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void becomeOrdinaryUser()
{
    constexpr gid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(125);
}

bool openToEveryone(const QString &folder)
{
    return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther);
}

} // namespace clirun

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace clirun {

TerminalRun::TerminalRun(const QStringList &arguments, const QProcessEnvironment &environment)
{
    int slave = -1;
    if (::openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
        return;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    m_process.setProcessEnvironment(environment);
    m_process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    m_process.start(QStringLiteral(FOLIOSET_CLI_PATH), arguments);
    m_process.waitForStarted();
    m_process.closeWriteChannel();
    ::close(slave);
}

TerminalRun::~TerminalRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
    if (m_master >= 0)
        ::close(m_master);
}

void TerminalRun::drain(int waitMilliseconds)
{
    pollfd request{m_master, POLLIN, 0};
    if (::poll(&request, 1, waitMilliseconds) > 0) {
        char buffer[4096];
        ssize_t count;
        while ((count = ::read(m_master, buffer, sizeof buffer)) > 0)
            m_terminal.append(buffer, count);
    }
    m_process.waitForReadyRead(0);
    m_out += m_process.readAllStandardOutput();
}

bool TerminalRun::waitForTerminal(const QByteArray &text, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_terminal.contains(text) && clock.elapsed() < milliseconds &&
           m_process.state() == QProcess::Running)
        drain(5);
    drain(0);
    return m_terminal.contains(text);
}

bool TerminalRun::waitForStandardOutput(const QByteArray &text, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_out.contains(text) && clock.elapsed() < milliseconds &&
           m_process.state() == QProcess::Running)
        drain(5);
    return m_out.contains(text);
}

bool TerminalRun::finish(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (m_process.state() == QProcess::Running && clock.elapsed() < milliseconds) {
        drain(5);
        m_process.waitForFinished(5);
    }
    drain(0);
    return m_process.state() == QProcess::NotRunning;
}

} // namespace clirun
