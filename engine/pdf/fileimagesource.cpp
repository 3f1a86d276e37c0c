#include "fileimagesource.h"

#include "containerfacts.h"
#include "decodedimage.h"
#include "decodinglimits.h"
#include "filestamp.h"
#include "jpegfacts.h"
#include "pngfacts.h"
#include "resolution.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <mutex>

namespace folioset::pdf {

namespace {

FileFormat sniff(const QByteArray &head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return FileFormat::Jpeg;
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return FileFormat::Png;
    if (head.startsWith("BM"))
        return FileFormat::Bmp;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return FileFormat::Gif;
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return FileFormat::Tiff;
    return FileFormat::Other;
}

void setDecodingLimit()
{
    // Qt's default ceiling (256 MB) refuses a 12,000 x 9,000 photo; ours admits every image
    // within the dimension limit, whose headers are checked before decoding.
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(kDecodeAllocationLimitMB); });
}

bool refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

// A reader positioned on frame `index`. GIF readers cannot jump: earlier frames are read and
// dropped.
bool positionReader(QImageReader &reader, FileFormat format, int index, QString *reason)
{
    if (index == 0)
        return true;
    if (format != FileFormat::Gif) {
        if (!reader.jumpToImage(index))
            return refuse(reason,
                          QStringLiteral("Unable to find page %1 of the image").arg(index + 1));
        return true;
    }
    QImage skipped;
    for (int i = 0; i < index; ++i) {
        if (!reader.read(&skipped))
            return refuse(reason,
                          QStringLiteral("Unable to find frame %1 of the image").arg(index + 1));
    }
    return true;
}

} // namespace

std::unique_ptr<FileImageSource> FileImageSource::openFile(const QString &path, QString *reason)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        refuse(reason, QStringLiteral("The file does not exist"));
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(reason, QStringLiteral("Unable to open the image file"));
        return nullptr;
    }
    if (file.size() == 0) {
        refuse(reason, QStringLiteral("The image file is empty"));
        return nullptr;
    }
    auto source = std::unique_ptr<FileImageSource>(new FileImageSource);
    source->m_path = path;
    source->m_format = sniff(file.read(8));
    file.close();

    switch (source->m_format) {
    case FileFormat::Jpeg:
        source->m_jpeg = readJpegFacts(path, reason);
        if (!source->m_jpeg)
            return nullptr;
        return source;
    case FileFormat::Png:
        source->m_png = readPngFacts(path, reason);
        if (!source->m_png)
            return nullptr;
        return source;
    case FileFormat::Bmp:
        if (!readBmpFacts(path, reason))
            return nullptr;
        break;
    case FileFormat::Gif:
        if (const auto facts = readGifFacts(path, reason)) {
            source->m_frames = facts->completeFrames;
            return source;
        }
        return nullptr;
    default:
        break;
    }
    setDecodingLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        refuse(reason, QStringLiteral("Unable to read the image header"));
        return nullptr;
    }
    // Qt's TIFF reader counts its directories from where the header read left the file: asked
    // after size(), a three-page TIFF answers 1. Count first.
    const int frames = reader.imageCount();
    const QSize size = reader.size();
    if (const auto tooLarge = checkDimensions(size.width(), size.height())) {
        refuse(reason,
               size.isValid() ? *tooLarge : QStringLiteral("Unable to read the image header"));
        return nullptr;
    }
    source->m_frames = std::max(1, frames);
    return source;
}

// The facts read at open while the file is unchanged, which is one stat instead of a second
// read; read again otherwise. Whatever changes after this is caught when the data is copied.
std::optional<JpegFacts> FileImageSource::jpegFacts(QString *reason) const
{
    if (m_jpeg && fileStamp(m_path) == FileStamp{m_jpeg->fileSize, m_jpeg->modified})
        return m_jpeg;
    return readJpegFacts(m_path, reason);
}

std::optional<PngFacts> FileImageSource::pngFacts(QString *reason) const
{
    if (m_png && fileStamp(m_path) == FileStamp{m_png->fileSize, m_png->modified})
        return m_png;
    return readPngFacts(m_path, reason);
}

std::optional<PageImage> FileImageSource::makePageImage(int index, const SpillAccess &spill,
                                                        QString *reason) const
{
    if (index < 0 || index >= m_frames) {
        refuse(reason, QStringLiteral("The image has no page %1").arg(index + 1));
        return std::nullopt;
    }
    switch (m_format) {
    case FileFormat::Jpeg: {
        const auto facts = jpegFacts(reason);
        if (!facts)
            return std::nullopt;
        if (facts->arithmetic)
            return decodeFrame(index, facts->resolution, 1, spill, reason);
        PageImage page;
        EmbeddedImage &image = page.image;
        image.width = facts->width;
        image.height = facts->height;
        image.colorSpace = facts->colorSpace;
        image.invertedDecode = facts->adobeInverted;
        image.dctWithoutColorTransform = facts->rgbWithoutTransform;
        image.filter = StreamFilter::Dct;
        image.origin = {StreamOrigin::Kind::SourceFile,
                        m_path,
                        facts->fileSize,
                        facts->modified,
                        {{0, facts->dataLength}}};
        page.resolution = facts->resolution;
        page.orientation = facts->orientation;
        return page;
    }
    case FileFormat::Png: {
        const auto facts = pngFacts(reason);
        if (!facts)
            return std::nullopt;
        if (!facts->isCarriable())
            return decodeFrame(index, facts->resolution, 1, spill, reason);
        PageImage page;
        EmbeddedImage &image = page.image;
        image.width = facts->width;
        image.height = facts->height;
        image.bitsPerComponent = facts->bitDepth;
        image.colorSpace = facts->colorType == 2   ? ColorSpace::Rgb
                           : facts->colorType == 3 ? ColorSpace::Indexed
                                                   : ColorSpace::Gray;
        image.palette = facts->palette;
        image.filter = StreamFilter::FlatePredict;
        image.origin = {StreamOrigin::Kind::SourceFile, m_path, facts->fileSize, facts->modified,
                        facts->idat};
        page.resolution = facts->resolution;
        return page;
    }
    case FileFormat::Bmp: {
        const auto facts = readBmpFacts(m_path, reason);
        if (!facts)
            return std::nullopt;
        return decodeFrame(index, facts->resolution, 1, spill, reason);
    }
    case FileFormat::Tiff:
        return decodeFrame(index, tiffResolution(m_path, index), 1, spill, reason);
    case FileFormat::Gif: {
        const auto facts = readGifFacts(m_path, reason);
        if (!facts)
            return std::nullopt;
        if (index >= facts->completeFrames) {
            refuse(reason, QStringLiteral("The GIF file is truncated"));
            return std::nullopt;
        }
        return decodeFrame(index, {}, 1, spill, reason);
    }
    case FileFormat::Other:
        return decodeFrame(index, {}, 1, spill, reason);
    }
    return std::nullopt;
}

std::optional<PageImage> FileImageSource::decodeFrame(int index, Resolution resolution,
                                                      int orientation, const SpillAccess &spill,
                                                      QString *reason) const
{
    setDecodingLimit();
    QImageReader reader(m_path);
    reader.setDecideFormatFromContent(true);
    // Orientation tags of decoded formats are applied to the pixels, which costs nothing extra.
    reader.setAutoTransform(true);
    if (!positionReader(reader, m_format, index, reason))
        return std::nullopt;
    const QSize size = reader.size();
    if (size.isValid()) {
        if (const auto tooLarge = checkDimensions(size.width(), size.height())) {
            refuse(reason, *tooLarge);
            return std::nullopt;
        }
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        refuse(reason, QStringLiteral("Unable to decode the image (%1)").arg(reader.errorString()));
        return std::nullopt;
    }
    if (m_format == FileFormat::Gif && image.depth() == 32) {
        if (QImage indexed = toPalette(image); !indexed.isNull())
            image = std::move(indexed);
    }
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        std::swap(resolution.x, resolution.y);
    SpillFile *file = spill(reason);
    if (!file)
        return std::nullopt;
    auto embedded = embedDecodedImage(image, *file, reason);
    if (!embedded)
        return std::nullopt;
    return PageImage{std::move(*embedded), resolution, orientation};
}

} // namespace folioset::pdf

namespace folioset::pdf {

std::unique_ptr<ImageSource> ImageSource::open(const QString &path, QString *reason)
{
    return FileImageSource::openFile(path, reason);
}

} // namespace folioset::pdf
