#include "tiffpage.h"

#include "decodinglimits.h"
#include "filestamp.h"
#include "iccprofile.h"
#include "imageencoder.h"
#include "jpegfacts.h"
#include "tiffdirectory.h"
#include "tiffhandle.h"
#include "tiffrgbareader.h"
#include "tiffrowreader.h"

#include <QFile>

#include <vector>

namespace folioset::image {

namespace {

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

struct Strip
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The page's only strip, when it lies whole inside the file.
std::optional<Strip> wholeStrip(TIFF *tiff, const TiffDirectory &d, std::int64_t fileSize)
{
    if (d.tiled || d.strips != 1)
        return std::nullopt;
    const Strip strip{TIFFGetStrileOffset(tiff, 0), TIFFGetStrileByteCount(tiff, 0)};
    if (strip.length < 4 || strip.offset + strip.length > std::uint64_t(fileSize))
        return std::nullopt;
    return strip;
}

bool carriesGroup4(const TiffDirectory &d)
{
    return d.compression == COMPRESSION_CCITTFAX4 && d.samplesPerPixel == 1 &&
           d.bitsPerSample == 1 && d.fillOrder == FILLORDER_MSB2LSB &&
           (d.group4Options & GROUP4OPT_UNCOMPRESSED) == 0 &&
           (d.photometric == PHOTOMETRIC_MINISWHITE || d.photometric == PHOTOMETRIC_MINISBLACK);
}

// Decodes every row once: carried data is not looked at again until the PDF is written, and a
// damaged page must fail here, not in the middle of the write.
bool decodesWhole(const QString &path, int page, const TiffDirectory &d, QString *reason)
{
    const auto reader = TiffRowReader::open(path, page, d, reason);
    if (!reader)
        return false;
    std::vector<unsigned char> row(reader->format().colourRowBytes());
    for (int y = 0; y < int(d.height); ++y) {
        if (!reader->readRow(row.data(), nullptr, reason))
            return false;
    }
    return true;
}

// JPEG data the PDF reader decodes to the colours libtiff gives: 8-bit gray, or three
// components whose markers say YCbCr for a YCbCr page and RGB for an RGB one.
std::optional<JpegFacts> carriedJpeg(const QString &path, const TiffDirectory &d,
                                     const QByteArray &tables, const Strip &data)
{
    if (d.compression != COMPRESSION_JPEG || d.extraSamples != 0 || d.bitsPerSample != 8)
        return std::nullopt;
    const auto facts = readJpegStreamFacts(path, tables, data.offset, data.length, nullptr);
    if (!facts || facts->arithmetic || facts->width != int(d.width) ||
        facts->height != int(d.height))
        return std::nullopt;
    const bool gray =
        d.photometric == PHOTOMETRIC_MINISBLACK && facts->colorSpace == ColorSpace::Gray;
    const bool rgb = facts->colorSpace == ColorSpace::Rgb &&
                     ((d.photometric == PHOTOMETRIC_YCBCR && !facts->rgbWithoutTransform) ||
                      (d.photometric == PHOTOMETRIC_RGB && facts->rgbWithoutTransform));
    return gray || rgb ? facts : std::nullopt;
}

// libtiff keeps the shared tables apart from the strips: tables without their end marker, then
// the strip without its start marker, make one JPEG.
QByteArray jpegTables(TIFF *tiff)
{
    std::uint32_t length = 0;
    void *data = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_JPEGTABLES, &length, &data) || !data || length < 4)
        return {};
    const QByteArray tables(static_cast<const char *>(data), qsizetype(length));
    if (!tables.startsWith("\xFF\xD8") || !tables.endsWith("\xFF\xD9"))
        return {};
    return tables.left(tables.size() - 2);
}

} // namespace

int countTiffPages(const QString &path, QString *reason)
{
    const auto handle = TiffHandle::openFile(path, kMaxHeldBytes, reason);
    if (!handle)
        return 0;
    const TiffDirectory first = readTiffDirectory(handle->get());
    if (const auto tooLarge = checkDimensions(first.width, first.height)) {
        fail(reason, *tooLarge);
        return 0;
    }
    return std::max(1, int(TIFFNumberOfDirectories(handle->get())));
}

std::optional<ImageFacts> readTiffFacts(const QString &path, int page, QString *reason)
{
    const auto handle = TiffHandle::openFile(path, kMaxHeldBytes, reason);
    if (!handle)
        return std::nullopt;
    if (!TIFFSetDirectory(handle->get(), tdir_t(page))) {
        fail(reason,
             handle->error(QStringLiteral("Unable to find page %1 of the image").arg(page + 1)));
        return std::nullopt;
    }
    const TiffDirectory d = readTiffDirectory(handle->get());
    return ImageFacts{int(d.width), int(d.height), d.resolution, d.orientation};
}

std::optional<PageImage> makeTiffPage(const QString &path, int page, const SpillAccess &spill,
                                      QString *reason)
{
    const auto handle = TiffHandle::openFile(path, kMaxHeldBytes, reason);
    if (!handle)
        return std::nullopt;
    TIFF *tiff = handle->get();
    if (!TIFFSetDirectory(tiff, tdir_t(page))) {
        fail(reason,
             handle->error(QStringLiteral("Unable to find page %1 of the image").arg(page + 1)));
        return std::nullopt;
    }
    const TiffDirectory d = readTiffDirectory(tiff);
    const std::uint64_t samples = std::uint64_t(d.width) * d.height * d.samplesPerPixel;
    auto tooLarge = checkDimensions(d.width, d.height);
    if (!tooLarge)
        tooLarge = checkDecodedBytes(d.width, d.height, samples * d.bitsPerSample / 8);
    if (tooLarge) {
        fail(reason, *tooLarge);
        return std::nullopt;
    }
    PageImage result;
    result.resolution = d.resolution;
    result.orientation = d.orientation;
    const auto stamp = fileStamp(path);
    const auto strip = stamp ? wholeStrip(tiff, d, stamp->size) : std::nullopt;
    EmbeddedImage &image = result.image;
    image.width = int(d.width);
    image.height = int(d.height);
    if (strip) {
        image.origin = StreamOrigin::inFile(path, stamp->size, stamp->modified, {});
        if (carriesGroup4(d)) {
            if (!decodesWhole(path, page, d, reason))
                return std::nullopt;
            image.bitsPerComponent = 1;
            image.colorSpace = ColorSpace::Gray;
            image.invertedDecode = d.photometric == PHOTOMETRIC_MINISWHITE;
            image.iccProfile = checkedIccProfile(d.iccProfile, 1);
            image.filter = StreamFilter::CcittG4;
            image.origin.ranges = {{strip->offset, strip->length}};
            return result;
        }
        const QByteArray tables = jpegTables(tiff);
        const std::uint64_t skip = tables.isEmpty() ? 0 : 2;
        const Strip data{strip->offset + skip, strip->length - skip};
        if (const auto jpeg = carriedJpeg(path, d, tables, data)) {
            image.colorSpace = jpeg->colorSpace;
            image.dctWithoutColorTransform = jpeg->rgbWithoutTransform;
            image.iccProfile = checkedIccProfile(d.iccProfile, image.components());
            image.filter = StreamFilter::Dct;
            image.origin.prefix = tables;
            image.origin.ranges = {{data.offset, data.length}};
            if (jpeg->rgbWithoutTransform)
                sayComponentsAreRgb(image.origin);
            return result;
        }
    }
    std::unique_ptr<RowReader> reader;
    if (TiffRowReader::reads(d))
        reader = TiffRowReader::open(path, page, d, reason);
    else
        reader = TiffRgbaReader::open(path, page, d, reason);
    if (!reader)
        return std::nullopt;
    SpillFile *file = spill(reason);
    if (!file)
        return std::nullopt;
    auto encoded = encodeImage(*reader, *file, reason);
    if (!encoded)
        return std::nullopt;
    result.image = std::move(*encoded);
    return result;
}

} // namespace folioset::image
