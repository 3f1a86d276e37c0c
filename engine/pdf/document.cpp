#include "document.h"

#include "documentdata.h"
#include "engine/image/fileimagesource.h"
#include "pagelayout.h"

#include <mutex>

#include <malloc.h>

namespace folioset::pdf {

using image::FileImageSource;
using image::SpillAccess;

namespace {

// Streams of image files are read ahead into buffers of up to a few megabytes, and copied
// through one of a megabyte, once per page. Above glibc's default threshold each of them would
// be a fresh mmap whose pages fault in one by one and go back to the kernel on free. Served from
// the heap and kept there, the same few megabytes are reused page after page, so memory use
// still follows the largest stream, not the document. Blocks past 32 MB are rare enough to keep
// their own mappings, which also caps what the heap can hold on to.
void tuneAllocatorForStreams()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    });
}

QByteArray drawing(const PageLayout &layout)
{
    QByteArray content = "q";
    if (!layout.clip.isEmpty()) {
        const QRectF &clip = layout.clip;
        for (const double v : {clip.x(), clip.y(), clip.width(), clip.height()})
            content += ' ' + pdfNumber(v);
        content += " re W n";
    }
    for (const double v : layout.matrix)
        content += ' ' + pdfNumber(v);
    return content + " cm /Im0 Do Q\n";
}

} // namespace

SpillFile *Document::Private::spillFile(QString *reason)
{
    if (!scratchFailure.isEmpty()) {
        if (reason)
            *reason = scratchFailure;
        return nullptr;
    }
    if (!spill) {
        QString why;
        spill = image::SpillFile::create(scratchFolder, &why);
        context->spill = spill;
        if (!spill)
            scratchFailure = why;
        if (reason)
            *reason = why;
    }
    return spill.get();
}

int Document::Private::contentsFor(const QByteArray &content)
{
    auto found = contentIndexes.find(content);
    if (found == contentIndexes.end()) {
        contents.push_back(content);
        found = contentIndexes.insert(content, int(contents.size() - 1));
    }
    return found.value();
}

const PageRecord *Document::Private::page(int pageNumber) const
{
    if (pageNumber < 1 || pageNumber > int(pages.size()))
        return nullptr;
    return &pages[std::size_t(pageNumber - 1)];
}

Document::Document() : d(std::make_unique<Private>())
{
    tuneAllocatorForStreams();
}

Document::~Document() = default;

int Document::pageCount() const
{
    return int(d->pages.size());
}

void Document::setScratchFolder(const QString &folder)
{
    d->scratchFolder = folder;
}

QString Document::scratchFailure() const
{
    if (!d->scratchFailure.isEmpty())
        return d->scratchFailure;
    return d->spill ? d->spill->failure() : QString();
}

void Document::setPageSetup(const PageSetup &setup)
{
    d->pageSetup = setup;
    d->pageSetupProblem = setup.problem();
}

bool Document::appendImagePage(const ImageSource &source, int index, QString *reason)
{
    if (!d->pageSetupProblem.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("The page layout cannot be used: ") + d->pageSetupProblem;
        return false;
    }
    std::unique_ptr<FileImageSource> reopened;
    const auto *file = dynamic_cast<const FileImageSource *>(&source);
    if (!file) {
        reopened = FileImageSource::openFile(source.path(), reason);
        if (!reopened)
            return false;
        file = reopened.get();
    }
    const SpillAccess spill = [this](QString *why) { return d->spillFile(why); };
    const auto image = file->makePageImage(index, spill, reason);
    if (!image)
        return false;
    try {
        const PageLayout layout = layoutPage(image->image.width, image->image.height,
                                             image->resolution, image->orientation, d->pageSetup);
        PageRecord page{QSizeF(layout.mediaWidth, layout.mediaHeight), layout.rotate,
                        d->contentsFor(drawing(layout)),
                        ImageRecord::from(image->image, *d->context, d->profiles)};
        const auto &mask = image->image.softMask;
        d->needsPdf15 = d->needsPdf15 || image->image.bitsPerComponent == 16 ||
                        (mask && mask->bitsPerComponent == 16) || d->profiles.needsPdf15();
        d->pages.push_back(std::move(page));
    } catch (const std::exception &e) {
        if (reason)
            *reason = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

QSizeF Document::mediaBoxSize(int pageNumber) const
{
    const PageRecord *page = d->page(pageNumber);
    return page ? page->mediaBox : QSizeF();
}

QSizeF Document::displaySize(int pageNumber) const
{
    const PageRecord *page = d->page(pageNumber);
    if (!page)
        return {};
    return page->rotate % 180 == 0 ? page->mediaBox : page->mediaBox.transposed();
}

bool Document::hasOutlineRoot() const
{
    return d->outlineRoot;
}

void Document::ensureOutlineRoot()
{
    d->outlineRoot = true;
}

void Document::addOutlineEntry(const QString &title, int pageNumber)
{
    const PageRecord *page = d->page(pageNumber);
    if (!page)
        return;
    d->outlineRoot = true;
    d->outline.push_back({title, pageNumber, page->mediaBox.height()});
}

} // namespace folioset::pdf
