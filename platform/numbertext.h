#pragma once

#include <QStringView>

namespace folioset {

// The whole number a text begins with, as a person reads it: leading blanks skipped, an
// optional sign, then decimal digits; 0 when there are none ("12abc" is 12, "abc" is 0).
// Clamped to the 32-bit range.
int leadingInteger(QStringView text);

} // namespace folioset
