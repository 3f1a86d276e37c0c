#include "jpegfacts.h"

#include "decodinglimits.h"
#include "exif.h"
#include "filestamp.h"
#include "iccprofile.h"
#include "jpegiccpieces.h"
#include "jpegsource.h"

#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>

namespace folioset::image {

namespace {

// Plain data only: the header is read in a function that longjmp may leave.
struct Header
{
    int width, height, components, precision;
    J_COLOR_SPACE colorSpace;
    bool progressive, arithmetic, adobe, jfif;
    int densityUnit, densityX, densityY;
    ExifFacts exif;
    long scanStart;
    char message[JMSG_LENGTH_MAX];
};

// The profile pieces are gathered after libjpeg has returned, where no jump can skip their
// destructors.
bool readHeader(JpegSource &source, Header *header, JpegIccPieces *icc)
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    errors.install(reinterpret_cast<j_common_ptr>(&cinfo));
    if (setjmp(errors.jump)) {
        std::memcpy(header->message, errors.message, sizeof header->message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    source.install(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);

    header->width = int(cinfo.image_width);
    header->height = int(cinfo.image_height);
    header->components = cinfo.num_components;
    header->precision = cinfo.data_precision;
    header->colorSpace = cinfo.jpeg_color_space;
    header->progressive = cinfo.progressive_mode;
    header->arithmetic = cinfo.arith_code;
    header->adobe = cinfo.saw_Adobe_marker;
    header->jfif = cinfo.saw_JFIF_marker;
    header->densityUnit = cinfo.density_unit;
    header->densityX = cinfo.X_density;
    header->densityY = cinfo.Y_density;
    header->exif = {};
    static constexpr unsigned char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    static constexpr unsigned char kIcc[] = "ICC_PROFILE"; // with its terminating zero
    bool exif = false;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (!exif && m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExif &&
            std::memcmp(m->data, kExif, sizeof kExif) == 0) {
            header->exif = parseExif(m->data + sizeof kExif, m->data_length - sizeof kExif);
            exif = true;
        } else if (m->marker == JPEG_APP0 + 2 && m->data_length > sizeof kIcc &&
                   std::memcmp(m->data, kIcc, sizeof kIcc) == 0) {
            icc->add(m->data + sizeof kIcc, m->data_length - sizeof kIcc);
        }
    }
    header->scanStart = long(source.offset) - long(cinfo.src->bytes_in_buffer);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Reads a file forward through a small window, for walking markers without loading the file.
class ByteReader
{
public:
    ByteReader(int fd, std::int64_t from) : m_fd(fd), m_offset(from) {}

    bool next(unsigned char *byte)
    {
        if (m_pos == m_length) {
            ssize_t got;
            do {
                got = ::pread(m_fd, m_buffer, sizeof m_buffer, off_t(m_offset));
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return false;
            m_offset += got;
            m_length = std::size_t(got);
            m_pos = 0;
        }
        *byte = m_buffer[m_pos++];
        ++m_consumed;
        return true;
    }

    bool skip(std::int64_t count)
    {
        unsigned char ignored;
        for (std::int64_t i = 0; i < count; ++i) {
            if (!next(&ignored))
                return false;
        }
        return true;
    }

    std::int64_t consumed() const { return m_consumed; }

private:
    int m_fd;
    std::int64_t m_offset;
    unsigned char m_buffer[64 * 1024];
    std::size_t m_pos = 0;
    std::size_t m_length = 0;
    std::int64_t m_consumed = 0;
};

// Walks the scans marker by marker from `scanStart` (entropy-coded data escapes 0xFF, so a
// marker there is real) and returns the offset just past the end-of-image marker.
std::optional<std::int64_t> walkToEndOfImage(int fd, std::int64_t scanStart)
{
    ByteReader reader(fd, scanStart);
    unsigned char byte = 0;
    while (reader.next(&byte)) {
        if (byte != 0xFF)
            continue;
        unsigned char marker = 0xFF;
        while (marker == 0xFF) {
            if (!reader.next(&marker))
                return std::nullopt;
        }
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // stuffed byte or restart marker inside a scan
        if (marker == 0xD9)
            return scanStart + reader.consumed();
        unsigned char hi = 0, lo = 0;
        if (!reader.next(&hi) || !reader.next(&lo))
            return std::nullopt;
        const int length = hi << 8 | lo;
        if (length < 2 || !reader.skip(length - 2))
            return std::nullopt;
    }
    return std::nullopt;
}

// How many bytes of the file make the image. The end-of-image marker normally closes the file,
// perhaps followed by a few padding bytes, which are kept so the stream equals the file. A
// long trailer (a camera's appended preview or video) is searched for the real end instead,
// and left out.
std::optional<std::uint64_t> imageLength(int fd, std::int64_t size, std::int64_t scanStart,
                                         const QByteArray &head)
{
    constexpr std::int64_t kTailWindow = 64 * 1024;
    const std::int64_t tailStart = std::max<std::int64_t>(scanStart, size - kTailWindow);
    std::string_view tail;
    std::vector<char> read;
    if (head.size() == size) {
        tail = std::string_view(head.constData() + tailStart, std::size_t(size - tailStart));
    } else {
        read.resize(std::size_t(size - tailStart));
        if (readAt(fd, read.data(), read.size(), std::uint64_t(tailStart)) != ssize_t(read.size()))
            return std::nullopt;
        tail = std::string_view(read.data(), read.size());
    }
    if (tail.rfind("\xFF\xD9") != std::string_view::npos)
        return std::uint64_t(size);
    if (const auto end = walkToEndOfImage(fd, scanStart))
        return std::uint64_t(*end);
    return std::nullopt;
}

std::optional<ColorSpace> colorSpaceOf(const Header &header)
{
    switch (header.components) {
    case 1:
        return ColorSpace::Gray;
    case 3:
        return ColorSpace::Rgb;
    case 4:
        return ColorSpace::Cmyk;
    default:
        return std::nullopt;
    }
}

Resolution resolutionOf(const Header &header)
{
    if (header.jfif && header.densityUnit == 1 && header.densityX > 0 && header.densityY > 0)
        return {double(header.densityX), double(header.densityY)};
    if (header.jfif && header.densityUnit == 2 && header.densityX > 0 && header.densityY > 0)
        return {header.densityX * 2.54, header.densityY * 2.54};
    return header.exif.resolution;
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

// What every JPEG tells in its header, whatever holds it; nothing, with a reason, for a layout
// a PDF cannot take.
std::optional<JpegFacts> readStream(JpegSource &source, Header &header, QString *reason)
{
    JpegIccPieces icc;
    if (!readHeader(source, &header, &icc)) {
        fail(reason, QStringLiteral("Unable to read the image header (%1)")
                         .arg(QString::fromLocal8Bit(header.message)));
        return std::nullopt;
    }
    if (const auto tooLarge = checkDimensions(header.width, header.height)) {
        fail(reason, *tooLarge);
        return std::nullopt;
    }
    // A reader decodes the whole picture, however little data the file holds.
    if (const auto tooLarge =
            checkDecodedBytes(header.width, header.height,
                              std::uint64_t(header.width) * std::uint64_t(header.height) *
                                  std::uint64_t(std::max(1, header.components)))) {
        fail(reason, *tooLarge);
        return std::nullopt;
    }
    const auto colorSpace = colorSpaceOf(header);
    if (!colorSpace || header.precision != 8) {
        fail(reason, QStringLiteral("Unsupported JPEG colour layout"));
        return std::nullopt;
    }
    JpegFacts facts;
    facts.width = header.width;
    facts.height = header.height;
    facts.colorSpace = *colorSpace;
    facts.adobeInverted = header.adobe && header.components == 4;
    facts.rgbWithoutTransform =
        header.components == 3 && header.colorSpace == JCS_RGB && !header.adobe;
    facts.progressive = header.progressive;
    facts.arithmetic = header.arithmetic;
    facts.resolution = resolutionOf(header);
    facts.orientation = header.exif.orientation;
    facts.iccProfile = checkedIccProfile(icc.joined(), header.components);
    return facts;
}

int openForReading(const QString &path, struct stat *status, QString *reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, status) != 0) {
        if (fd >= 0)
            ::close(fd);
        fail(reason, QStringLiteral("Unable to open the image file"));
        return -1;
    }
    return fd;
}

} // namespace

std::optional<JpegFacts> readJpegFacts(const QString &path, QString *reason)
{
    struct stat status
    {};
    const int fd = openForReading(path, &status, reason);
    if (fd < 0)
        return std::nullopt;
    const auto closeLater = qScopeGuard([fd] { ::close(fd); });
    return readJpegFacts(fd, status, {}, reason);
}

std::optional<JpegFacts> readJpegFacts(int fd, const struct stat &status, const QByteArray &head,
                                       QString *reason)
{
    if (status.st_size == 0) {
        fail(reason, QStringLiteral("The image file is empty"));
        return std::nullopt;
    }
    Header header{};
    JpegSource source(fd, std::uint64_t(head.size()), std::uint64_t(status.st_size), &head);
    auto facts = readStream(source, header, reason);
    if (!facts)
        return std::nullopt;
    const auto length = imageLength(fd, status.st_size, header.scanStart, head);
    if (!length) {
        fail(reason, QStringLiteral("The JPEG data is truncated (no end-of-image marker)"));
        return std::nullopt;
    }
    facts->fileSize = status.st_size;
    facts->modified = modificationTime(status);
    facts->dataLength = *length;
    return facts;
}

std::optional<JpegFacts> readJpegStreamFacts(const QString &path, const QByteArray &prefix,
                                             std::uint64_t offset, std::uint64_t length,
                                             QString *reason)
{
    struct stat status
    {};
    const int fd = openForReading(path, &status, reason);
    if (fd < 0)
        return std::nullopt;
    const auto closeLater = qScopeGuard([fd] { ::close(fd); });
    unsigned char last[2] = {};
    if (length < 4 || offset + length > std::uint64_t(status.st_size) ||
        ::pread(fd, last, 2, off_t(offset + length - 2)) != 2 || last[0] != 0xFF ||
        last[1] != JPEG_EOI) {
        fail(reason, QStringLiteral("The JPEG data is truncated (no end-of-image marker)"));
        return std::nullopt;
    }
    Header header{};
    JpegSource source(fd, offset, offset + length, &prefix);
    return readStream(source, header, reason);
}

void sayComponentsAreRgb(StreamOrigin &origin)
{
    // SOI, then APP14: length 14, "Adobe", version 100, no flags, transform 0 (none).
    static const QByteArray kStart("\xFF\xD8"
                                   "\xFF\xEE\x00\x0E"
                                   "Adobe\x00\x64\x00\x00\x00\x00\x00",
                                   18);
    if (!origin.prefix.isEmpty()) {
        origin.prefix = kStart + origin.prefix.mid(2);
    } else if (!origin.ranges.empty() && origin.ranges.front().length >= 2) {
        origin.prefix = kStart;
        origin.ranges.front().offset += 2;
        origin.ranges.front().length -= 2;
    }
}

} // namespace folioset::image
