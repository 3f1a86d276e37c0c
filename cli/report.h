#pragma once

#include <QByteArray>
#include <QString>

namespace folioset::cli {

struct FailedInput;
struct SkippedEntry;

// What a run did, for a batch system that reads it instead of the messages: one compact JSON
// object per line. "kind" tells them apart: "output" (path, pages, bytes, status) for each
// planned PDF, "input" (path, page, reason) for each input or page that reached no PDF, and a
// closing "run" (status) that also shows the report is complete.
class Report
{
public:
    enum class OutputStatus { Written, NoPages, Failed, NotStarted };
    enum class RunStatus { Succeeded, Failed, Stopped };

    void addOutput(const QString &path, int pages, qint64 bytes, OutputStatus status);
    void addFailedInput(const FailedInput &input);
    void addMissingArgument(const QString &argument);
    void addSkippedEntry(const SkippedEntry &skipped);

    // The lines so far, closed by the run's own; `reason` says why a run ended before it
    // converted anything.
    QByteArray text(RunStatus status, const QString &reason = {}) const;

private:
    QByteArray m_lines;
};

} // namespace folioset::cli
