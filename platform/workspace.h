#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QUrl>

namespace folioset {

// Everything the program asks of the desktop: open a file, folder or web address with its
// default application, show files in the file manager, show their properties. Tests use
// RecordingWorkspace so that no other program is ever started.
class Workspace
{
public:
    virtual ~Workspace() = default;
    virtual bool openUrl(const QUrl &url) = 0;
    virtual bool revealFiles(const QList<QUrl> &files) = 0;
    virtual bool showProperties(const QList<QUrl> &files) = 0;
};

// The freedesktop file manager over D-Bus, falling back to opening the folder. Safe to call
// from any thread: the request is handed to the main thread.
class DesktopWorkspace final : public Workspace
{
public:
    bool openUrl(const QUrl &url) override;
    bool revealFiles(const QList<QUrl> &files) override;
    bool showProperties(const QList<QUrl> &files) override;
};

class RecordingWorkspace final : public Workspace
{
public:
    struct Call
    {
        QString action; // "open", "reveal" or "properties"
        QList<QUrl> urls;
    };

    bool openUrl(const QUrl &url) override;
    bool revealFiles(const QList<QUrl> &files) override;
    bool showProperties(const QList<QUrl> &files) override;

    QList<Call> calls() const;
    void clear();

private:
    void record(const QString &action, const QList<QUrl> &urls);

    mutable QMutex m_mutex;
    QList<Call> m_calls;
};

} // namespace folioset
