#pragma once

#include <QStringList>

namespace folioset {

// The user's per-user application data folders (the XDG data home). Normally exactly one;
// empty when the platform cannot name one.
QStringList userDataFolders();

} // namespace folioset
