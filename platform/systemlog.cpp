#include "systemlog.h"

#include <QDebug>

namespace folioset {

void systemLog(const QString &line)
{
    qCritical().noquote() << line;
}

void logError(const QString &operation, const QString &reason)
{
    systemLog(QStringLiteral("Error in (%1) : %2").arg(operation, reason));
}

} // namespace folioset
