#include "pngrowreader.h"

#include "iccprofile.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>

#include <png.h>
#include <unistd.h>

namespace folioset::image {

namespace {

unsigned sampleAt(const unsigned char *row, std::size_t index, int bits)
{
    if (bits == 16)
        return unsigned(row[2 * index]) << 8 | row[2 * index + 1];
    if (bits == 8)
        return row[index];
    const std::size_t bit = index * std::size_t(bits);
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
}

void setSample(unsigned char *row, std::size_t index, unsigned value, int bits)
{
    const std::size_t bit = index * std::size_t(bits);
    const int shift = 8 - bits - int(bit % 8);
    const unsigned mask = ((1u << bits) - 1) << shift;
    row[bit / 8] = static_cast<unsigned char>((row[bit / 8] & ~mask) | (value << shift));
}

} // namespace

// One libpng reader with a file position of its own. libpng reports errors by a jump: every
// call into it is made from a function whose frame holds nothing to destroy.
class PngRowReader::Pass
{
public:
    Pass(int fd) : m_fd(fd) {}
    ~Pass() { png_destroy_read_struct(&m_png, &m_info, nullptr); }

    bool start(int skipRows, std::size_t rowBytes)
    {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
        m_info = m_png ? png_create_info_struct(m_png) : nullptr;
        if (!m_info)
            return false;
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_set_read_fn(m_png, this, onRead);
        png_read_info(m_png, m_info);
        png_start_read_image(m_png);
        return skip(skipRows, rowBytes);
    }

    bool row(unsigned char *out)
    {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_read_row(m_png, out, nullptr);
        return true;
    }

    const char *message() const { return m_message; }

private:
    bool skip(int rows, std::size_t rowBytes)
    {
        m_scratch.resize(rowBytes);
        for (int i = 0; i < rows; ++i) {
            if (!row(m_scratch.data()))
                return false;
        }
        return true;
    }

    static void onError(png_structp png, png_const_charp text)
    {
        auto *self = static_cast<Pass *>(png_get_error_ptr(png));
        std::snprintf(self->m_message, sizeof self->m_message, "%s", text);
        png_longjmp(png, 1);
    }
    static void onWarning(png_structp, png_const_charp) {}
    static void onRead(png_structp png, png_bytep data, png_size_t length)
    {
        auto *self = static_cast<Pass *>(png_get_io_ptr(png));
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got =
                ::pread(self->m_fd, data + done, length - done, off_t(self->m_offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                png_error(png, "The PNG file is truncated");
            done += std::size_t(got);
        }
        self->m_offset += done;
    }

    int m_fd;
    std::uint64_t m_offset = 0;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::vector<unsigned char> m_scratch;
    char m_message[256] = "Unable to decode the image";
};

PngRowReader::~PngRowReader() = default;

std::unique_ptr<PngRowReader> PngRowReader::open(const QString &path, const PngFacts &facts,
                                                 QString *reason)
{
    auto reader = std::unique_ptr<PngRowReader>(new PngRowReader);
    reader->m_facts = facts;
    RowFormat &f = reader->m_format;
    f.width = facts.width;
    f.height = facts.height;
    f.bitsPerComponent = facts.bitDepth;
    const int type = facts.colorType;
    f.colorSpace = type == 2 || type == 6 ? ColorSpace::Rgb
                   : type == 3            ? ColorSpace::Indexed
                                          : ColorSpace::Gray;
    if (type == 3) {
        f.palette = facts.palette;
        f.palette.resize(3 * (1 << facts.bitDepth), '\0'); // indices past PLTE show black
    }
    f.alphaBits = type == 4 || type == 6 ? facts.bitDepth : facts.hasTransparency ? 8 : 0;
    f.iccProfile = checkedIccProfile(facts.iccProfile, type == 0 || type == 4 ? 1 : 3);

    const std::size_t rawBytes =
        (std::size_t(facts.width) * std::size_t(facts.channels()) * std::size_t(facts.bitDepth) +
         7) /
        8;
    const int passes = facts.interlaced ? 7 : 1;
    // libpng keeps two rows and a zlib window per reader.
    const std::uint64_t held = std::uint64_t(passes) * (3 * rawBytes + 64 * 1024);
    if (!reader->fitsLimit(held, reason) || !openFile(reader->m_file, path, reason))
        return nullptr;
    reader->m_raw.resize(rawBytes);
    reader->m_passRow.resize(rawBytes);
    int before = 0; // rows of the passes before this one
    for (int pass = 0; pass < passes; ++pass) {
        const int columns = facts.interlaced ? int(PNG_PASS_COLS(facts.width, pass)) : 1;
        const int rows = facts.interlaced ? int(PNG_PASS_ROWS(facts.height, pass)) : 0;
        auto reader1 = std::make_unique<Pass>(reader->m_file.handle());
        if (!reader1->start(before, rawBytes)) {
            if (reason)
                *reason = QStringLiteral("Unable to decode the image (%1)")
                              .arg(QString::fromLocal8Bit(reader1->message()));
            return nullptr;
        }
        reader->m_passes.push_back(std::move(reader1));
        if (columns > 0)
            before += rows;
    }
    return reader;
}

// The row's pixels from every pass that holds some of them.
bool PngRowReader::assemble(QString *reason)
{
    const auto failed = [&](const Pass &pass) {
        if (reason)
            *reason = QStringLiteral("Unable to decode the image (%1)")
                          .arg(QString::fromLocal8Bit(pass.message()));
        return false;
    };
    if (!m_facts.interlaced)
        return m_passes.front()->row(m_raw.data()) || failed(*m_passes.front());
    const int pixelBits = m_facts.channels() * m_facts.bitDepth;
    const std::size_t pixelBytes = std::size_t(pixelBits / 8);
    for (int pass = 0; pass < 7; ++pass) {
        if (!PNG_ROW_IN_INTERLACE_PASS(m_y, pass) || PNG_PASS_COLS(m_facts.width, pass) == 0)
            continue;
        Pass &reader = *m_passes[std::size_t(pass)];
        if (!reader.row(m_passRow.data()))
            return failed(reader);
        const int columns = int(PNG_PASS_COLS(m_facts.width, pass));
        for (int i = 0; i < columns; ++i) {
            const int x = int(PNG_PASS_START_COL(pass)) + (i << PNG_PASS_COL_SHIFT(pass));
            if (pixelBits >= 8)
                std::memcpy(m_raw.data() + std::size_t(x) * pixelBytes,
                            m_passRow.data() + std::size_t(i) * pixelBytes, pixelBytes);
            else
                setSample(m_raw.data(), std::size_t(x),
                          sampleAt(m_passRow.data(), std::size_t(i), pixelBits), pixelBits);
        }
    }
    return true;
}

// Alpha of a transparent colour (gray or RGB) or of palette entries (tRNS).
void PngRowReader::transparency(const unsigned char *raw, unsigned char *alpha) const
{
    const QByteArray &trns = m_facts.transparency;
    const int bits = m_facts.bitDepth;
    const auto *t = reinterpret_cast<const unsigned char *>(trns.constData());
    const auto keyAt = [&](int i) { return unsigned(t[2 * i]) << 8 | t[2 * i + 1]; };
    const int colours = m_facts.colorType == 2 ? 3 : 1;
    for (int x = 0; x < m_facts.width; ++x) {
        if (m_facts.colorType == 3) {
            const unsigned index = sampleAt(raw, std::size_t(x), bits);
            alpha[x] = index < unsigned(trns.size()) ? t[index] : 255;
            continue;
        }
        bool key = trns.size() >= 2 * colours;
        for (int c = 0; c < colours && key; ++c)
            key = sampleAt(raw, std::size_t(x * colours + c), bits) == keyAt(c);
        alpha[x] = key ? 0 : 255;
    }
}

bool PngRowReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    if (m_y >= m_facts.height) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    if (!assemble(reason))
        return false;
    ++m_y;
    const int type = m_facts.colorType;
    if (type != 4 && type != 6) {
        std::memcpy(colour, m_raw.data(), m_format.colourRowBytes());
        if (alpha)
            transparency(m_raw.data(), alpha);
        return true;
    }
    const std::size_t sample = std::size_t(m_facts.bitDepth / 8);
    const std::size_t colourBytes = (type == 6 ? 3 : 1) * sample;
    for (int x = 0; x < m_facts.width; ++x) {
        const unsigned char *pixel = m_raw.data() + std::size_t(x) * (colourBytes + sample);
        std::memcpy(colour + std::size_t(x) * colourBytes, pixel, colourBytes);
        std::memcpy(alpha + std::size_t(x) * sample, pixel + colourBytes, sample);
    }
    return true;
}

} // namespace folioset::image
