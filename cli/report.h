#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace folioset::cli {

struct FailedInput;
struct RejectedPath;
struct SkippedEntry;

// What a run did, for a batch system that reads it instead of the messages: one compact JSON
// object per line. "kind" tells them apart: "output" (path, pages, bytes, status, the inputs
// whose pages went into it, and for one that failed the system's words in "detail") for each
// planned PDF, "input" (path, page, reason, and "detail" when the system's words say more than
// the reason) for each input or page that reached no PDF, and a closing "run" (status) that
// also shows the report is complete.
class Report
{
public:
    enum class OutputStatus { Written, NoPages, Failed, NotStarted };
    enum class RunStatus { Succeeded, Failed, Stopped };

    void addOutput(const QString &path, int pages, qint64 bytes, OutputStatus status,
                   const QStringList &inputs, const QString &detail = {});
    void addFailedInput(const FailedInput &input);
    void addRejectedPath(const RejectedPath &rejected);
    void addSkippedEntry(const SkippedEntry &skipped);

    // The lines so far, closed by the run's own; `reason` says why a run ended before it
    // converted anything.
    QByteArray text(RunStatus status, const QString &reason = {}) const;

private:
    QByteArray m_lines;
};

} // namespace folioset::cli
