#pragma once

#include "engine/log.h"
#include "model/outputfile.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace folioset::cli {

// What a finished run means for the caller of the command.
struct Outcome
{
    bool succeeded = false;
    QStringList problems; // one line per input or output that did not come through
};

// The run succeeded when its closing message is the all-created one, every planned PDF was
// written, and every planned input gave at least one page and no page failed.
Outcome assessRun(const QString &message, const Log &log, const QList<OutputFile> &plan);

// The closing message that means every planned PDF was written.
const QString &allCreatedMessage();

} // namespace folioset::cli
