#include "workspace.h"

#include "mainthread.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

namespace folioset {

namespace {

bool callFileManager(const QString &method, const QList<QUrl> &files)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    QStringList uris;
    for (const QUrl &url : files)
        uris << url.toString(QUrl::FullyEncoded);
    message << uris << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QUrl folderOf(const QUrl &file)
{
    return QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
}

} // namespace

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    if (!url.isValid())
        return false;
    onMainThread(MainThreadCall::Queue, [url] { QDesktopServices::openUrl(url); });
    return true;
}

bool DesktopWorkspace::revealFiles(const QList<QUrl> &files)
{
    if (files.isEmpty())
        return false;
    onMainThread(MainThreadCall::Queue, [files] {
        if (!callFileManager(QStringLiteral("ShowItems"), files))
            QDesktopServices::openUrl(folderOf(files.first()));
    });
    return true;
}

bool DesktopWorkspace::showProperties(const QList<QUrl> &files)
{
    if (files.isEmpty())
        return false;
    onMainThread(MainThreadCall::Queue, [files] {
        if (!callFileManager(QStringLiteral("ShowItemProperties"), files))
            QDesktopServices::openUrl(folderOf(files.first()));
    });
    return true;
}

bool RecordingWorkspace::openUrl(const QUrl &url)
{
    record(QStringLiteral("open"), {url});
    return true;
}

bool RecordingWorkspace::revealFiles(const QList<QUrl> &files)
{
    record(QStringLiteral("reveal"), files);
    return true;
}

bool RecordingWorkspace::showProperties(const QList<QUrl> &files)
{
    record(QStringLiteral("properties"), files);
    return true;
}

QList<RecordingWorkspace::Call> RecordingWorkspace::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

void RecordingWorkspace::clear()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}

void RecordingWorkspace::record(const QString &action, const QList<QUrl> &urls)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append({action, urls});
}

} // namespace folioset
