#pragma once

#include <QString>

#include <vector>

namespace folioset::pdf {

class ObjectWriter;

struct OutlineEntry
{
    QString title;
    int page = 0; // 1-based
    double mediaBoxHeight = 0;
};

// Writes an /Outlines tree of top-level entries, given each page's object by page number - 1,
// and returns the root's object.
int writeOutline(ObjectWriter &writer, const std::vector<OutlineEntry> &entries,
                 const std::vector<int> &pageObjects);

} // namespace folioset::pdf
