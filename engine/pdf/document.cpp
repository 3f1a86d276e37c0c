#include "document.h"

#include "documentdata.h"
#include "engine/image/fileimagesource.h"
#include "pagelayout.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <mutex>

#include <malloc.h>

namespace folioset::pdf {

using image::FileImageSource;
using image::SpillAccess;

namespace {

QByteArray pdfNumber(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

QPDFObjectHandle makePage(QPDF &pdf, QPDFObjectHandle xobject, const PageLayout &layout,
                          SharedObjects &shared)
{
    QByteArray content = "q";
    for (const double v : layout.matrix)
        content += ' ' + pdfNumber(v);
    content += " cm /Im0 Do Q\n";

    auto xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", xobject);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);

    auto page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", shared.name("/Page"));
    page.replaceKey("/MediaBox", shared.box(layout.mediaWidth, layout.mediaHeight));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", shared.contents(pdf, content));
    if (layout.rotate != 0)
        page.replaceKey("/Rotate", shared.integer(layout.rotate));
    return pdf.makeIndirectObject(page);
}

// QPDFWriter gathers every stream whole in memory before it writes it: a 2.5 MB JPEG becomes a
// few buffers of that size, allocated, copied and freed once per page. Above glibc's default
// threshold each of them is a fresh mmap whose pages fault in one by one and go back to the
// kernel on free, which made a 200-photo merge take 7 s instead of 1 s. Served from the heap
// and kept there, the same few megabytes are reused page after page, so memory use still
// follows the largest stream, not the document. Streams past 32 MB are rare enough to keep
// their own mappings, which also caps what the heap can hold on to.
void tuneAllocatorForStreams()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    });
}

} // namespace

SpillFile *Document::Private::spillFile(QString *reason)
{
    if (!spill) {
        spill = image::SpillFile::create(reason);
        context->spill = spill;
    }
    return spill.get();
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
    d->pdf->emptyPDF();
}

Document::~Document() = default;

int Document::pageCount() const
{
    return int(d->pages.size());
}

bool Document::appendImagePage(const ImageSource &source, int index, QString *reason)
{
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
                                             image->resolution, image->orientation);
        QPDF &pdf = *d->pdf;
        const QPDFObjectHandle xobject =
            makeImageXObject(pdf, image->image, d->context, d->profiles, d->shared);
        const QPDFObjectHandle page = makePage(pdf, xobject, layout, d->shared);
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
        const auto &mask = image->image.softMask;
        d->needsPdf15 = d->needsPdf15 || image->image.bitsPerComponent == 16 ||
                        (mask && mask->bitsPerComponent == 16) || d->profiles.needsPdf15();
        d->pages.push_back({page, QSizeF(layout.mediaWidth, layout.mediaHeight), layout.rotate});
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
    d->outline.push_back({title, page->object, page->mediaBox.height()});
}

} // namespace folioset::pdf
