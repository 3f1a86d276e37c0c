// The page-range rule text ("1-3,12-9"), steps and reversed steps, against inputs of a few
// page counts. First byte: the kind (4 is no kind the program knows); second: which input;
// then two step bytes; the rest is the range text as UTF-8.

#include "engine/process.h"
#include "model/fileitem.h"
#include "model/selectionrange.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include <tiffio.h>

using namespace folioset;

namespace {

// A TIFF of `pages` one-pixel pages.
QString writeTiff(const QString &path, int pages)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        std::abort();
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 1);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        unsigned char pixel = 0;
        if (TIFFWriteScanline(tiff, &pixel, 0, 0) < 0 || !TIFFWriteDirectory(tiff))
            std::abort();
    }
    TIFFClose(tiff);
    return path;
}

QList<FileItemPtr> &items()
{
    static QTemporaryDir folder;
    static QList<FileItemPtr> made = [] {
        QList<FileItemPtr> list;
        for (const int pages : {1, 12, 1000}) {
            const QString path = folder.filePath(QStringLiteral("p%1.tif").arg(pages));
            list << FileItem::initWithURL(QUrl::fromLocalFile(writeTiff(path, pages)));
            if (!list.last() || list.last()->pages() != pages)
                std::abort();
        }
        return list;
    }();
    return made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const FileItemPtr &item = items().at(data[1] % items().size());
    auto rule = std::make_shared<SelectionRange>();
    rule->setPageRangeType(data[0] % 5);
    rule->setPageSteps(std::int8_t(data[2]));
    rule->setPageStepsReversed(std::int8_t(data[3]));
    rule->setPageRange(
        QString::fromUtf8(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4)));
    item->setSelection(rule);
    const QList<int> pages = Process::getPageRanges(item.get());
    // Every page listed exists, and none twice.
    QList<int> sorted = pages;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end() ||
        (!sorted.isEmpty() && (sorted.first() < 1 || sorted.last() > item->pages())))
        __builtin_trap();
    rule->description();
    SelectionRange copy;
    copy.setRange(rule->parseRange());
    copy.isEqual(rule.get());
    return 0;
}
