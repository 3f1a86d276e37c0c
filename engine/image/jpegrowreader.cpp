#include "jpegrowreader.h"

#include "jpegsource.h"

namespace folioset::image {

struct JpegRowReader::Decoder
{
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    QFile file;
    std::unique_ptr<JpegSource> source;
    bool created = false;

    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }

    // libjpeg leaves by a jump on errors: nothing in these frames needs destroying.
    bool start(J_COLOR_SPACE out)
    {
        errors.install(reinterpret_cast<j_common_ptr>(&cinfo));
        if (setjmp(errors.jump))
            return false;
        jpeg_create_decompress(&cinfo);
        created = true;
        source->install(&cinfo);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = out;
        jpeg_start_decompress(&cinfo);
        return true;
    }

    bool scanline(unsigned char *row)
    {
        if (setjmp(errors.jump))
            return false;
        JSAMPROW rows[] = {row};
        return jpeg_read_scanlines(&cinfo, rows, 1) == 1;
    }
};

JpegRowReader::JpegRowReader() : d(std::make_unique<Decoder>()) {}

JpegRowReader::~JpegRowReader() = default;

std::unique_ptr<JpegRowReader> JpegRowReader::open(const QString &path, const JpegFacts &facts,
                                                   QString *reason)
{
    auto reader = std::unique_ptr<JpegRowReader>(new JpegRowReader);
    RowFormat &f = reader->m_format;
    f.width = facts.width;
    f.height = facts.height;
    f.colorSpace = facts.colorSpace;
    f.invertedDecode = facts.adobeInverted;
    f.iccProfile = facts.iccProfile;
    // A progressive file is decoded from coefficients kept for the whole image.
    const std::uint64_t held = facts.progressive ? std::uint64_t(f.width + 16) * (f.height + 16) *
                                                       std::uint64_t(f.components()) * 2
                                                 : std::uint64_t(f.width) * 64;
    Decoder &d = *reader->d;
    if (!reader->fitsLimit(held, reason) || !openFile(d.file, path, reason))
        return nullptr;
    d.source = std::make_unique<JpegSource>(d.file.handle(), 0, facts.dataLength);
    const J_COLOR_SPACE out = f.colorSpace == ColorSpace::Gray   ? JCS_GRAYSCALE
                              : f.colorSpace == ColorSpace::Cmyk ? JCS_CMYK
                                                                 : JCS_RGB;
    if (!d.start(out)) {
        if (reason)
            *reason = QStringLiteral("Unable to decode the image (%1)")
                          .arg(QString::fromLocal8Bit(d.errors.message));
        return nullptr;
    }
    return reader;
}

bool JpegRowReader::readRow(unsigned char *colour, unsigned char *, QString *reason)
{
    if (d->scanline(colour))
        return true;
    if (reason)
        *reason = QStringLiteral("Unable to decode the image (%1)")
                      .arg(QString::fromLocal8Bit(d->errors.message[0] ? d->errors.message
                                                                       : "no more rows"));
    return false;
}

} // namespace folioset::image
