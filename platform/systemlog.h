#pragma once

#include <QString>

namespace folioset {

// Writes one line to the system log (standard error and the journal through Qt's message handler).
void systemLog(const QString &line);

// The house format of a caught failure: "Error in (operation) : reason".
void logError(const QString &operation, const QString &reason);

} // namespace folioset
