#pragma once

#include <QString>

namespace folioset {

// The information entries of the running edition ("CFBundleDisplayName", "CFBundleName",
// "CFBundleVersion", "CFBundleIconFile", "NSHumanReadableCopyright"), read from the resource
// compiled into the program. An unknown key gives the empty text.
QString infoEntry(const QString &key);

} // namespace folioset
