#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

namespace folioset {

// Number of pages a conversion makes of an input, read from headers only: one per image of a
// file named .tif or .tiff, one for any other image file (an animated GIF included); for a file
// named .pdf that is no image, its PDF page count, and then `isEncrypted` is set to whether the
// PDF is encrypted (on every other path it is left as it was). 0 when nothing can be read.
// `password` is not used.
int getTiffPageCount(const QUrl &url, const QString &password, bool *isEncrypted);

// Whether the file is converted page by page: only one named .tif or .tiff (any case) is; every
// other name gives one image, whatever its contents hold.
bool hasTiffName(const QString &path);

// The first generation's form: no encryption flag; a PDF that gives no pages while locked is
// unlocked with `password` and counted again.
int getTiffPageCount(const QUrl &url, const QString &password);

// Elapsed time between two points: "mm:ss" under an hour, "hh:mm:ss" from one hour on (the
// first generation: words such as "1 hr(s) 2 min(s) 3 sec(s) "). Empty when either is invalid.
QString timeTakenString(const QDateTime &start, const QDateTime &end);
QString timeTakenClock(const QDateTime &start, const QDateTime &end);
QString timeTakenWords(const QDateTime &start, const QDateTime &end);

// Whether the running system is recent enough for the first generation's folder checks.
bool isLionOrLater();

} // namespace folioset
