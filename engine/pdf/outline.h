#pragma once

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <vector>

namespace folioset::pdf {

struct OutlineEntry
{
    QString title;
    QPDFObjectHandle page;
    double mediaBoxHeight = 0;
};

// Puts an /Outlines tree of top-level entries into the catalog, replacing any from an earlier
// call. qpdf only reads outlines, so the dictionaries are built here.
void installOutline(QPDF &pdf, const std::vector<OutlineEntry> &entries);

} // namespace folioset::pdf
