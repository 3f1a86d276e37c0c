#pragma once

#include <QStringList>

namespace folioset {

// The user's per-user application data folders (the XDG data home). Normally exactly one;
// empty when the platform cannot name one.
QStringList userDataFolders();

// The folder itself when it exists, else its closest ancestor that does, else the home folder:
// where a chooser opens for a folder that has gone.
QString nearestExistingFolder(const QString &path);

} // namespace folioset
