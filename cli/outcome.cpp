#include "outcome.h"

#include "engine/probe/probes.h"
#include "engine/process.h"

#include <QDir>
#include <QHash>
#include <QSet>

namespace folioset::cli {

namespace {

QString pageStatus(const LogFile &page)
{
    // An empty status is what the run leaves when a page failed in an unexpected way.
    return page.status.isEmpty() ? QStringLiteral("could not be converted") : page.status;
}

QString describePage(const LogFile &page)
{
    const QString status = withDetail(pageStatus(page), page.reason);
    if (hasTiffName(page.sourceFile))
        return QStringLiteral("%1 (page %2): %3")
            .arg(page.sourceFile)
            .arg(page.sourcePageNo)
            .arg(status);
    return QStringLiteral("%1: %2").arg(page.sourceFile, status);
}

} // namespace

const QString &completedStatus()
{
    static const QString text = QStringLiteral("Completed");
    return text;
}

const QString &allCreatedMessage()
{
    static const QString text = QStringLiteral("All files created successfully.");
    return text;
}

QString withDetail(const QString &status, const QString &detail)
{
    if (detail.isEmpty() || detail == status)
        return status;
    return status + QLatin1Char(' ') + detail;
}

QStringList inputsOf(const LogFiles &output)
{
    QStringList inputs;
    QSet<QString> seen;
    for (const LogFile &page : output.logFiles) {
        if (page.targetPageNo > 0 && !seen.contains(page.sourceFile)) {
            seen.insert(page.sourceFile);
            inputs << page.sourceFile;
        }
    }
    return inputs;
}

Outcome assessRun(const QString &message, const Log &log, const QList<OutputFile> &plan)
{
    Outcome outcome;
    QHash<QString, int> entriesPerSource;
    for (const LogFiles &output : log.files) {
        for (const LogFile &page : output.logFiles) {
            ++entriesPerSource[page.sourceFile];
            if (page.status != completedStatus()) {
                outcome.problems << describePage(page);
                const QString reason = pageStatus(page);
                outcome.failedInputs.append({page.sourceFile, page.sourcePageNo, reason,
                                             page.reason == reason ? QString() : page.reason});
            }
        }
        if (output.status == completedStatus())
            continue;
        outcome.problems << QStringLiteral("%1: %2").arg(
            QDir(output.targetPath).filePath(output.filename),
            withDetail(output.status, output.reason));
        // Converted, but into a PDF that is not on disk: as much to be run again as a failure.
        for (const QString &source : inputsOf(output))
            outcome.failedInputs.append({source, 0, output.status, output.reason});
    }

    int notReached = 0;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        for (const FileItemPtr &item : plan.at(i).fileItems) {
            const QString source = item->filePath().toLocalFile();
            if (entriesPerSource.contains(source))
                continue;
            if (i < log.files.size() && hasTiffName(source) &&
                Process::getPageRanges(item.get()).isEmpty()) {
                outcome.problems << QStringLiteral("%1: no pages selected").arg(source);
                outcome.failedInputs.append({source, 0, QStringLiteral("no pages selected"), {}});
            } else {
                ++notReached;
                outcome.failedInputs.append({source, 0, QStringLiteral("not converted"), {}});
            }
        }
    }
    if (notReached > 0)
        outcome.problems << QStringLiteral("%1 input(s) not converted").arg(notReached);

    outcome.succeeded = message == allCreatedMessage() && outcome.problems.isEmpty();
    return outcome;
}

} // namespace folioset::cli
