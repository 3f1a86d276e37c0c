#pragma once

#include <QString>
#include <QStringList>

namespace folioset {

// The 14 extensions the program accepts: bmp, jpg, jpeg, png, gif, tif and tiff, each all in
// lower or all in upper case.
const QStringList &allowedFileTypes();

// Whether a file name's extension is one of them (a mixed-case "Jpg" is not).
bool isAllowedFileName(const QString &fileName);

} // namespace folioset
