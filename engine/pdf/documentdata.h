#pragma once

#include "document.h"
#include "engine/image/spillfile.h"
#include "icccolourspaces.h"
#include "imagestream.h"
#include "outline.h"
#include "sharedobjects.h"

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
    // Whether the file must say PDF 1.5: 16-bit samples and version 4 colour profiles came with it.
    bool needsPdf15 = false;
    IccColourSpaces profiles;
    SharedObjects shared;
    std::vector<OutlineEntry> outline;

    SpillFile *spillFile(QString *reason);
    const PageRecord *page(int pageNumber) const;
};

} // namespace folioset::pdf
