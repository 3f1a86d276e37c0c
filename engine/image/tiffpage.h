#pragma once

#include "embeddedimage.h"
#include "spillfile.h"

#include <QString>

#include <optional>

namespace folioset::image {

// Page `page` (0-based) of a TIFF file. Data the PDF can carry as it is stays in the file: a
// Group 4 page in one strip (checked by decoding it once), a JPEG page in one strip whose
// colours a PDF reader turns the way libtiff does. Every other page is read with libtiff and
// compressed into the spill file.
std::optional<PageImage> makeTiffPage(const QString &path, int page, const SpillAccess &spill,
                                      QString *reason);

// Size, resolution and orientation of page `page` (0-based), from its directory.
std::optional<ImageFacts> readTiffFacts(const QString &path, int page, QString *reason);

// Pages in the file; 0, with a reason, when its first page cannot be read.
int countTiffPages(const QString &path, QString *reason);

} // namespace folioset::image
