#pragma once

#include <QString>

namespace folioset {

// A stable identifier of this machine in UUID form: the system's machine id when it has one
// ("/etc/machine-id"), otherwise one made up once and kept in `fallbackFile`.
QString machineIdentifier(const QString &fallbackFile);

} // namespace folioset
