#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace folioset {

// What became of one page of one input.
struct LogFile
{
    QString sourceFile;   // full path of the input
    int sourcePageNo = 0; // 1-based page within the input
    int targetPageNo = 0; // 1-based page within the output; 0 when no page was made
    QString status;
    // The system's words for a failure ("The JPEG data is truncated"), beside the fixed status
    // texts; for whoever shows the run, not part of the stored log.
    QString reason;
};

// What became of one output document.
struct LogFiles
{
    QString filename;   // last path component of the output
    QString targetPath; // the folder holding the output
    QString status;
    int pages = 0;
    QList<LogFile> logFiles;
    QString reason; // why it was not written, in the system's words; not stored
};

// The record of one conversion run, written as XML into the "Logs" support folder.
class Log
{
public:
    Log() = default;
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;
    Log(Log &&) = default;
    Log &operator=(Log &&) = default;

    QDateTime startTime = QDateTime::currentDateTime();
    QDateTime endTime = QDateTime::currentDateTime();
    QList<LogFiles> files;

    // Where the last save() put (or tried to put) the log; empty before that. The name is the
    // end time, "ddMMyyHHmmss.log"; when a log of that name exists, "ddMMyyHHmmss-2.log" and
    // on: an existing log is never replaced.
    const QString &logFilePath() const { return m_logFilePath; }

    // False only when the document could not be built. A document that could not be written is
    // reported to the system log but still counts as saved: losing the log must never fail a
    // conversion that itself succeeded.
    bool save();
    // Whether the last save() put the log on disk.
    bool isWritten() const { return m_written; }

    // Where save() writes; empty (the default) means the "Logs" folder of the support folder.
    void setLogFolder(const QString &folder) { m_logFolder = folder; }
    const QString &logFolder() const { return m_logFolder; }

private:
    QString m_logFilePath;
    QString m_logFolder;
    bool m_written = false;
};

} // namespace folioset
