#pragma once

#include "document.h"
#include "engine/image/spillfile.h"
#include "icccolourspaces.h"
#include "imagestream.h"
#include "outline.h"

#include <QByteArray>
#include <QHash>
#include <QSizeF>

#include <memory>
#include <vector>

namespace folioset::pdf {

struct PageRecord
{
    QSizeF mediaBox;
    int rotate = 0;
    int contents = 0; // among the document's content streams
    std::unique_ptr<ImageRecord> image;
};

struct Document::Private
{
    std::vector<PageRecord> pages;
    std::shared_ptr<SpillFile> spill;
    QString scratchFolder;
    QString scratchFailure; // the scratch file could not be made
    std::shared_ptr<WriteContext> context = std::make_shared<WriteContext>();
    bool outlineRoot = false;
    // Whether the file must say PDF 1.5: 16-bit samples and version 4 colour profiles came with it.
    bool needsPdf15 = false;
    IccColourSpaces profiles;
    // Pages that draw their image alike (same size, same placement) draw it with one stream.
    std::vector<QByteArray> contents;
    QHash<QByteArray, int> contentIndexes;
    std::vector<OutlineEntry> outline;
    PageSetup pageSetup;
    QString pageSetupProblem;

    SpillFile *spillFile(QString *reason);
    const PageRecord *page(int pageNumber) const;
    int contentsFor(const QByteArray &content);
};

} // namespace folioset::pdf
