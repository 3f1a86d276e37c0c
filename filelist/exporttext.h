#pragma once

#include "model/fileitem.h"

#include <QByteArray>
#include <QList>

namespace folioset {

// The list as tab-delimited UTF-8 text: a header line, then one line per item in list order
// (checked or not): name, pages, size text, type, modified, accessed and created dates, folder.
// Dates read like "2011-03-04 15:02:11 +0000" (in UTC); one that cannot be read, as for a file
// that has gone, is "(null)". Fields are neither quoted nor escaped.
QByteArray exportText(const QList<FileItemPtr> &files);

} // namespace folioset
