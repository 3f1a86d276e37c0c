#include "jpegfacts.h"

#include "exif.h"
#include "decodinglimits.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace folioset::pdf {

namespace {

// libjpeg reports fatal errors through a callback that must not return: jump back out of it.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr, int) {}

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

bool readHeader(std::FILE *file, Header *header)
{
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onFatalError;
    errors.pub.emit_message = onMessage;
    errors.message[0] = 0;
    if (setjmp(errors.jump)) {
        std::memcpy(header->message, errors.message, sizeof header->message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
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
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExif &&
            std::memcmp(m->data, kExif, sizeof kExif) == 0) {
            header->exif = parseExif(m->data + sizeof kExif, m->data_length - sizeof kExif);
            break;
        }
    }
    header->scanStart = std::ftell(file) - long(cinfo.src->bytes_in_buffer);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Reads a file forward through a small window, for walking markers without loading the file.
class ByteReader
{
public:
    ByteReader(QFile &file, qint64 from) : m_file(file) { m_file.seek(from); }

    bool next(unsigned char *byte)
    {
        if (m_pos == m_buffer.size()) {
            m_buffer = m_file.read(64 * 1024);
            m_pos = 0;
            if (m_buffer.isEmpty())
                return false;
        }
        *byte = static_cast<unsigned char>(m_buffer[m_pos++]);
        ++m_consumed;
        return true;
    }

    bool skip(qint64 count)
    {
        unsigned char ignored;
        for (qint64 i = 0; i < count; ++i) {
            if (!next(&ignored))
                return false;
        }
        return true;
    }

    qint64 consumed() const { return m_consumed; }

private:
    QFile &m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0;
};

// Walks the scans marker by marker from `scanStart` (entropy-coded data escapes 0xFF, so a
// marker there is real) and returns the offset just past the end-of-image marker.
std::optional<qint64> walkToEndOfImage(QFile &file, qint64 scanStart)
{
    ByteReader reader(file, scanStart);
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
std::optional<std::uint64_t> imageLength(QFile &file, qint64 scanStart)
{
    constexpr qint64 kTailWindow = 64 * 1024;
    const qint64 size = file.size();
    const qint64 tailStart = std::max(scanStart, size - kTailWindow);
    if (!file.seek(tailStart))
        return std::nullopt;
    const QByteArray tail = file.read(size - tailStart);
    if (tail.size() != size - tailStart)
        return std::nullopt;
    if (tail.lastIndexOf("\xFF\xD9") >= 0)
        return std::uint64_t(size);
    if (const auto end = walkToEndOfImage(file, scanStart))
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

} // namespace

std::optional<JpegFacts> readJpegFacts(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(reason, QStringLiteral("Unable to open the image file"));
        return std::nullopt;
    }
    if (file.size() == 0) {
        fail(reason, QStringLiteral("The image file is empty"));
        return std::nullopt;
    }
    std::FILE *stream = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!stream) {
        fail(reason, QStringLiteral("Unable to open the image file"));
        return std::nullopt;
    }
    Header header{};
    const bool ok = readHeader(stream, &header);
    std::fclose(stream);
    if (!ok) {
        fail(reason, QStringLiteral("Unable to read the image header (%1)")
                         .arg(QString::fromLocal8Bit(header.message)));
        return std::nullopt;
    }
    if (const auto tooLarge = checkDimensions(header.width, header.height)) {
        fail(reason, *tooLarge);
        return std::nullopt;
    }
    const auto colorSpace = colorSpaceOf(header);
    if (!colorSpace || header.precision != 8) {
        fail(reason, QStringLiteral("Unsupported JPEG colour layout"));
        return std::nullopt;
    }
    const auto length = imageLength(file, header.scanStart);
    if (!length) {
        fail(reason, QStringLiteral("The JPEG data is truncated (no end-of-image marker)"));
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
    facts.fileSize = file.size();
    facts.dataLength = *length;
    return facts;
}

} // namespace folioset::pdf
