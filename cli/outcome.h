#pragma once

#include "engine/log.h"
#include "model/outputfile.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace folioset::cli {

// An input, or one page of it, that did not reach a PDF.
struct FailedInput
{
    QString path;
    int page = 0; // 1-based page within the input; 0 when the input failed as a whole
    QString reason;
};

// What a finished run means for the caller of the command.
struct Outcome
{
    bool succeeded = false;
    QStringList problems;            // one line per input or output that did not come through
    QList<FailedInput> failedInputs; // the inputs among those problems, each not reached one too
};

// The run succeeded when its closing message is the all-created one, every planned PDF was
// written, and every planned input gave at least one page and no page failed.
Outcome assessRun(const QString &message, const Log &log, const QList<OutputFile> &plan);

// The closing message that means every planned PDF was written.
const QString &allCreatedMessage();
// The status the log gives a page or a PDF that came through.
const QString &completedStatus();

} // namespace folioset::cli
