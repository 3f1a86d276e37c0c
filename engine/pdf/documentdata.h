#pragma once

#include "document.h"
#include "imagestream.h"
#include "outline.h"
#include "spillfile.h"

#include <qpdf/QPDF.hh>

#include <QSizeF>

#include <memory>
#include <vector>

namespace folioset::pdf {

struct PageRecord
{
    QPDFObjectHandle object;
    QSizeF mediaBox;
    int rotate = 0;
};

struct Document::Private
{
    std::shared_ptr<QPDF> pdf = QPDF::create();
    std::vector<PageRecord> pages;
    std::shared_ptr<SpillFile> spill;
    std::shared_ptr<WriteContext> context = std::make_shared<WriteContext>();
    bool outlineRoot = false;
    bool sixteenBit = false; // 16-bit samples came with PDF 1.5
    std::vector<OutlineEntry> outline;

    SpillFile *spillFile(QString *reason);
    const PageRecord *page(int pageNumber) const;
};

} // namespace folioset::pdf
