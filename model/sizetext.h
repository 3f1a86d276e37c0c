#pragma once

#include <QString>

namespace folioset {

// The file table's short size text: "1000 KB" up to a million bytes, then " 1.5 MB", "10 MB",
// " 1.1 GB"... (a one-digit number keeps the leading blank of its four-character field).
// Computed in single precision, as the table has always shown it.
QString sizeText(qint64 bytes);

} // namespace folioset
