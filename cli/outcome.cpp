#include "outcome.h"

#include "engine/process.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace folioset::cli {

namespace {

// The run converts pages by number only for these; every other input is one image.
bool isTiff(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return suffix == QLatin1String("TIF") || suffix == QLatin1String("TIFF");
}

QString pageStatus(const LogFile &page)
{
    // An empty status is what the run leaves when a page failed in an unexpected way.
    return page.status.isEmpty() ? QStringLiteral("could not be converted") : page.status;
}

QString describePage(const LogFile &page)
{
    const QString status = pageStatus(page);
    if (isTiff(page.sourceFile))
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

Outcome assessRun(const QString &message, const Log &log, const QList<OutputFile> &plan)
{
    Outcome outcome;
    QHash<QString, int> entriesPerSource;
    for (const LogFiles &output : log.files) {
        for (const LogFile &page : output.logFiles) {
            ++entriesPerSource[page.sourceFile];
            if (page.status != completedStatus()) {
                outcome.problems << describePage(page);
                outcome.failedInputs.append({page.sourceFile, page.sourcePageNo, pageStatus(page)});
            }
        }
        if (output.status != completedStatus())
            outcome.problems << QStringLiteral("%1: %2").arg(
                QDir(output.targetPath).filePath(output.filename), output.status);
    }

    int notReached = 0;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        for (const FileItemPtr &item : plan.at(i).fileItems) {
            const QString source = item->filePath().toLocalFile();
            if (entriesPerSource.contains(source))
                continue;
            if (i < log.files.size() && isTiff(source) &&
                Process::getPageRanges(item.get()).isEmpty()) {
                outcome.problems << QStringLiteral("%1: no pages selected").arg(source);
                outcome.failedInputs.append({source, 0, QStringLiteral("no pages selected")});
            } else {
                ++notReached;
                outcome.failedInputs.append({source, 0, QStringLiteral("not converted")});
            }
        }
    }
    if (notReached > 0)
        outcome.problems << QStringLiteral("%1 input(s) not converted").arg(notReached);

    outcome.succeeded = message == allCreatedMessage() && outcome.problems.isEmpty();
    return outcome;
}

} // namespace folioset::cli
