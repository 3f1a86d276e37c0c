#pragma once

#include <QString>

namespace folioset {

// The running edition's user manual as a PDF file on disk that the desktop's viewer can open:
// the built-in manual copied into the per-user cache folder. A cached copy with the same bytes
// is used as it is; any other is replaced whole. Empty, with the reason, when the copy cannot
// be made. The edition is told by QCoreApplication::applicationName() ("folioset1" for the
// first generation, the current edition otherwise).
QString userManualPath(QString *reason = nullptr);

} // namespace folioset
