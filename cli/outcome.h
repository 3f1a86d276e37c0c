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
    int page = 0;   // 1-based page within the input; 0 when the input failed as a whole
    QString reason; // the log's fixed text where there is one
    QString detail; // the system's words for it, when they say more
};

// What a finished run means for the caller of the command.
struct Outcome
{
    bool succeeded = false;
    QStringList problems;            // one line per input or output that did not come through
    QList<FailedInput> failedInputs; // the inputs among those problems, each not reached one too
};

// The run succeeded when its closing message is the all-created one, every planned PDF was
// written, and every planned input gave at least one page and no page failed. An input whose
// pages were converted into a PDF that could not be written failed too: it is to be run again.
Outcome assessRun(const QString &message, const Log &log, const QList<OutputFile> &plan);

// The closing message that means every planned PDF was written.
const QString &allCreatedMessage();
// The status the log gives a page or a PDF that came through.
const QString &completedStatus();

// "Unable to load image! The JPEG data is truncated": a fixed status and, when they say more,
// the system's words.
QString withDetail(const QString &status, const QString &detail);

// The inputs whose pages are in an output's document, in page order, each once.
QStringList inputsOf(const LogFiles &output);

} // namespace folioset::cli
