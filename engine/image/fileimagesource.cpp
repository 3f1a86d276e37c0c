#include "fileimagesource.h"

#include "bmprowreader.h"
#include "decodinglimits.h"
#include "gifrowreader.h"
#include "iccprofile.h"
#include "imageencoder.h"
#include "jpegrowreader.h"
#include "pngrowreader.h"
#include "qimagerowreader.h"
#include "tiffpage.h"

#include <QFile>
#include <QImageReader>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folioset::image {

namespace {

constexpr off_t kHeadBytes = 128 * 1024;

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
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)) ||
        head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4)))
        return FileFormat::Tiff;
    return FileFormat::Other;
}

bool refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

std::optional<PageImage> encodePage(RowReader *reader, Resolution resolution, int orientation,
                                    const SpillAccess &spill, QString *reason)
{
    if (!reader)
        return std::nullopt;
    SpillFile *file = spill(reason);
    if (!file)
        return std::nullopt;
    auto image = encodeImage(*reader, *file, reason);
    if (!image)
        return std::nullopt;
    return PageImage{std::move(*image), resolution, orientation};
}

} // namespace

std::unique_ptr<FileImageSource> FileImageSource::openFile(const QString &path, QString *reason)
{
    // One open and one fstat tell whether the file is there, what kind it is, its size, its
    // first bytes and its stamp: a batch of small files pays for every system call. Non-blocking,
    // so that a FIFO named by mistake is refused instead of waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        refuse(reason, errno == ENOENT || errno == ENOTDIR
                           ? QStringLiteral("The file does not exist")
                           : QStringLiteral("Unable to open the image file: ") +
                                 QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    const auto closeLater = qScopeGuard([fd] { ::close(fd); });
    struct stat status
    {};
    if (::fstat(fd, &status) != 0) {
        refuse(reason, QStringLiteral("Unable to open the image file"));
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        refuse(reason, QStringLiteral("The file is not a regular file"));
        return nullptr;
    }
    if (status.st_size == 0) {
        refuse(reason, QStringLiteral("The image file is empty"));
        return nullptr;
    }
    // A small JPEG is read whole at once: its headers and its end marker, in one system call.
    QByteArray head(qsizetype(std::min<off_t>(status.st_size, kHeadBytes)), Qt::Uninitialized);
    const ssize_t got = readAt(fd, head.data(), std::size_t(head.size()), 0);
    if (got < 0) {
        refuse(reason, QStringLiteral("Unable to open the image file"));
        return nullptr;
    }
    head.truncate(got);
    auto source = std::unique_ptr<FileImageSource>(new FileImageSource);
    source->m_path = path;
    source->m_format = sniff(head);
    source->m_stamp = FileStamp{std::int64_t(status.st_size), modificationTime(status)};
    const Opened opened{fd, status, head};
    if (!source->readHeaders(reason, &opened))
        return nullptr;
    return source;
}

bool FileImageSource::readHeaders(QString *reason, const Opened *opened) const
{
    switch (m_format) {
    case FileFormat::Jpeg:
        m_jpeg = opened ? readJpegFacts(opened->fd, opened->status, opened->head, reason)
                        : readJpegFacts(m_path, reason);
        return m_jpeg.has_value();
    case FileFormat::Png:
        m_png = readPngFacts(m_path, reason);
        return m_png.has_value();
    case FileFormat::Bmp:
        m_bmp = readBmpHeader(m_path, reason);
        return m_bmp.has_value();
    case FileFormat::Gif:
        m_gif = readGifFacts(m_path, reason);
        if (m_gif)
            m_frames = int(m_gif->frames.size());
        return m_gif.has_value();
    case FileFormat::Tiff: {
        const int pages = countTiffPages(m_path, reason);
        m_frames = std::max(1, pages);
        return pages > 0;
    }
    case FileFormat::Other:
        break;
    }
    prepareQtImageReading();
    QImageReader reader(m_path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return refuse(reason, QStringLiteral("Unable to read the image header"));
    const int frames = reader.imageCount();
    const QSize size = reader.size();
    if (const auto tooLarge = checkDimensions(size.width(), size.height()))
        return refuse(reason, size.isValid() ? *tooLarge
                                             : QStringLiteral("Unable to read the image header"));
    m_frames = std::max(1, frames);
    return true;
}

bool FileImageSource::refresh(QString *reason) const
{
    const auto now = fileStamp(m_path);
    if (m_stamp && now == m_stamp)
        return true;
    // Taken before the headers are read again: a change while they are read shows next time.
    m_stamp = now;
    return readHeaders(reason);
}

std::optional<PageImage> FileImageSource::makePageImage(int index, const SpillAccess &spill,
                                                        QString *reason) const
{
    if (index < 0 || index >= m_frames) {
        refuse(reason, QStringLiteral("The image has no page %1").arg(index + 1));
        return std::nullopt;
    }
    // Carried data is checked against the stamp taken with the headers when it is copied. Data
    // decoded here must agree with the headers it is decoded by, so the file is looked at again.
    const bool carried = (m_format == FileFormat::Jpeg && m_jpeg && !m_jpeg->arithmetic) ||
                         (m_format == FileFormat::Png && m_png && m_png->isCarriable());
    if (!carried && m_format != FileFormat::Tiff && m_format != FileFormat::Other &&
        !refresh(reason))
        return std::nullopt;
    switch (m_format) {
    case FileFormat::Jpeg:
        if (!m_jpeg->arithmetic)
            return carriedJpeg();
        return encodePage(JpegRowReader::open(m_path, *m_jpeg, reason).get(), m_jpeg->resolution,
                          m_jpeg->orientation, spill, reason);
    case FileFormat::Png:
        if (m_png->isCarriable())
            return carriedPng();
        return encodePage(PngRowReader::open(m_path, *m_png, reason).get(), m_png->resolution, 1,
                          spill, reason);
    case FileFormat::Bmp:
        return encodePage(BmpRowReader::open(m_path, *m_bmp, reason).get(), m_bmp->resolution, 1,
                          spill, reason);
    case FileFormat::Gif:
        if (index >= int(m_gif->frames.size())) {
            refuse(reason, QStringLiteral("The GIF file is truncated"));
            return std::nullopt;
        }
        return encodePage(GifRowReader::open(m_path, *m_gif, index, reason).get(), {}, 1, spill,
                          reason);
    case FileFormat::Tiff:
        return makeTiffPage(m_path, index, spill, reason);
    case FileFormat::Other:
        return decodedByQt(index, spill, reason);
    }
    return std::nullopt;
}

std::optional<ImageFacts> FileImageSource::imageFacts(int index, QString *reason) const
{
    if (index < 0 || index >= m_frames) {
        refuse(reason, QStringLiteral("The image has no page %1").arg(index + 1));
        return std::nullopt;
    }
    switch (m_format) {
    case FileFormat::Jpeg:
        return ImageFacts{m_jpeg->width, m_jpeg->height, m_jpeg->resolution, m_jpeg->orientation};
    case FileFormat::Png:
        return ImageFacts{m_png->width, m_png->height, m_png->resolution, 1};
    case FileFormat::Bmp:
        return ImageFacts{m_bmp->width, m_bmp->height, m_bmp->resolution, 1};
    case FileFormat::Gif:
        return ImageFacts{m_gif->width, m_gif->height, {}, 1};
    case FileFormat::Tiff:
        return readTiffFacts(m_path, index, reason);
    case FileFormat::Other:
        break;
    }
    // Decoded by Qt, which turns the pixels by their orientation tag.
    prepareQtImageReading();
    QImageReader reader(m_path);
    reader.setDecideFormatFromContent(true);
    QSize size = reader.size();
    if (!size.isValid()) {
        refuse(reason, QStringLiteral("Unable to read the image header"));
        return std::nullopt;
    }
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return ImageFacts{size.width(), size.height(), {}, 1};
}

PageImage FileImageSource::carriedJpeg() const
{
    const JpegFacts &facts = *m_jpeg;
    PageImage page;
    EmbeddedImage &image = page.image;
    image.width = facts.width;
    image.height = facts.height;
    image.colorSpace = facts.colorSpace;
    image.invertedDecode = facts.adobeInverted;
    image.dctWithoutColorTransform = facts.rgbWithoutTransform;
    image.iccProfile = facts.iccProfile;
    image.filter = StreamFilter::Dct;
    image.origin =
        StreamOrigin::inFile(m_path, facts.fileSize, facts.modified, {{0, facts.dataLength}});
    if (facts.rgbWithoutTransform)
        sayComponentsAreRgb(image.origin);
    page.resolution = facts.resolution;
    page.orientation = facts.orientation;
    return page;
}

PageImage FileImageSource::carriedPng() const
{
    const PngFacts &facts = *m_png;
    PageImage page;
    EmbeddedImage &image = page.image;
    image.width = facts.width;
    image.height = facts.height;
    image.bitsPerComponent = facts.bitDepth;
    image.colorSpace = facts.colorType == 2   ? ColorSpace::Rgb
                       : facts.colorType == 3 ? ColorSpace::Indexed
                                              : ColorSpace::Gray;
    image.palette = facts.palette;
    image.iccProfile = checkedIccProfile(facts.iccProfile, facts.colorType == 0 ? 1 : 3);
    image.filter = StreamFilter::FlatePredict;
    image.origin = StreamOrigin::inFile(m_path, facts.fileSize, facts.modified, facts.idat);
    page.resolution = facts.resolution;
    return page;
}

// Formats the program has no reader of its own for are decoded whole by Qt, within the limit
// set for it.
std::optional<PageImage> FileImageSource::decodedByQt(int index, const SpillAccess &spill,
                                                      QString *reason) const
{
    prepareQtImageReading();
    QImageReader reader(m_path);
    reader.setDecideFormatFromContent(true);
    // Orientation tags of these formats are applied to the pixels, which costs nothing extra.
    reader.setAutoTransform(true);
    if (index > 0 && !reader.jumpToImage(index)) {
        refuse(reason, QStringLiteral("Unable to find page %1 of the image").arg(index + 1));
        return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        refuse(reason, QStringLiteral("Unable to decode the image (%1)").arg(reader.errorString()));
        return std::nullopt;
    }
    QImageRowReader rows(image);
    return encodePage(&rows, {}, 1, spill, reason);
}

} // namespace folioset::image

namespace folioset::image {

std::unique_ptr<ImageSource> ImageSource::open(const QString &path, QString *reason)
{
    return FileImageSource::openFile(path, reason);
}

} // namespace folioset::image
