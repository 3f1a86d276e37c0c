#include "support/imagefixtures.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace fixtures {

namespace {

struct FileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openForWriting(const QString &path)
{
    return FilePtr(std::fopen(QFile::encodeName(path).constData(), "wb"));
}

void put16le(QByteArray &out, int v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void put32le(QByteArray &out, quint32 v)
{
    put16le(out, int(v & 0xFFFF));
    put16le(out, int(v >> 16));
}

std::vector<unsigned char> jpegRow(const QImage &image, int y, JpegColor color)
{
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    std::vector<unsigned char> row;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb p = line[x];
        switch (color) {
        case JpegColor::Gray:
            row.push_back(static_cast<unsigned char>(qGray(p)));
            break;
        case JpegColor::YCbCr:
        case JpegColor::Rgb:
            row.insert(row.end(),
                       {static_cast<unsigned char>(qRed(p)), static_cast<unsigned char>(qGreen(p)),
                        static_cast<unsigned char>(qBlue(p))});
            break;
        case JpegColor::AdobeCmyk: {
            // Inverted, as Adobe applications store it: 255 is no ink.
            const int k = 255 - std::max({qRed(p), qGreen(p), qBlue(p)});
            row.insert(row.end(), {static_cast<unsigned char>(255 - (255 - qRed(p) - k)),
                                   static_cast<unsigned char>(255 - (255 - qGreen(p) - k)),
                                   static_cast<unsigned char>(255 - (255 - qBlue(p) - k)),
                                   static_cast<unsigned char>(255 - k)});
            break;
        }
        }
    }
    return row;
}

} // namespace

QByteArray exifBlock(int orientation, int dpi)
{
    QByteArray tiff("II*\0", 4);
    put32le(tiff, 8); // IFD0 right after the header
    const int entries = dpi > 0 ? 4 : 1;
    put16le(tiff, entries);
    const quint32 rationals = 8 + 2 + quint32(entries) * 12 + 4;
    put16le(tiff, 0x0112);
    put16le(tiff, 3);
    put32le(tiff, 1);
    put16le(tiff, orientation);
    put16le(tiff, 0);
    if (dpi > 0) {
        for (int i = 0; i < 2; ++i) {
            put16le(tiff, 0x011A + i);
            put16le(tiff, 5);
            put32le(tiff, 1);
            put32le(tiff, rationals + quint32(i) * 8);
        }
        put16le(tiff, 0x0128);
        put16le(tiff, 3);
        put32le(tiff, 1);
        put16le(tiff, 2);
        put16le(tiff, 0);
    }
    put32le(tiff, 0); // no IFD1
    if (dpi > 0) {
        for (int i = 0; i < 2; ++i) {
            put32le(tiff, quint32(dpi));
            put32le(tiff, 1);
        }
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

bool writeJpegWith(const QString &path, const QImage &source, const JpegOptions &options)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    FilePtr file = openForWriting(path);
    if (!file)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file.get());
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    switch (options.color) {
    case JpegColor::Gray:
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegColor::YCbCr:
    case JpegColor::Rgb:
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        break;
    case JpegColor::AdobeCmyk:
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&cinfo);
    if (options.color == JpegColor::Rgb) {
        jpeg_set_colorspace(&cinfo, JCS_RGB);
        if (options.rgbWithoutAdobeMarker)
            cinfo.write_Adobe_marker = FALSE;
    }
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    if (options.jfifDpi > 0) {
        cinfo.write_JFIF_header = TRUE;
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(options.jfifDpi);
        cinfo.Y_density = UINT16(options.jfifDpi);
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (options.exifOrientation > 0) {
        const QByteArray exif = exifBlock(options.exifOrientation, options.exifDpi);
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(exif.constData()),
                          unsigned(exif.size()));
    }
    for (int y = 0; y < image.height(); ++y) {
        std::vector<unsigned char> row = jpegRow(image, y, options.color);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool writePngWith(const QString &path, const QImage &image, const PngOptions &options)
{
    const int w = image.width(), h = image.height(), depth = options.bitDepth;
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA64);
    const QImage gray16 = image.convertToFormat(QImage::Format_Grayscale16);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QImage indexed = image.format() == QImage::Format_Indexed8 ? image : QImage();
    const int channels = options.colorType == 2   ? 3
                         : options.colorType == 4 ? 2
                         : options.colorType == 6 ? 4
                                                  : 1;

    std::vector<std::vector<unsigned char>> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        auto &row = rows[std::size_t(y)];
        row.assign(std::size_t((w * channels * depth + 7) / 8), 0);
        const auto *wide = reinterpret_cast<const QRgba64 *>(rgba.constScanLine(y));
        const auto *grayWide = reinterpret_cast<const quint16 *>(gray16.constScanLine(y));
        const auto *narrow = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        std::size_t bit = 0;
        const auto put = [&](unsigned value) {
            if (depth == 16) {
                row[bit / 8] = static_cast<unsigned char>(value >> 8);
                row[bit / 8 + 1] = static_cast<unsigned char>(value);
            } else if (depth == 8) {
                row[bit / 8] = static_cast<unsigned char>(value);
            } else {
                row[bit / 8] |= static_cast<unsigned char>(value << (8 - depth - bit % 8));
            }
            bit += std::size_t(depth);
        };
        for (int x = 0; x < w; ++x) {
            const QRgba64 p = wide[x];
            const QRgb q = narrow[x];
            switch (options.colorType) {
            case 0:
                put(depth == 16 ? grayWide[x] : unsigned(qGray(q)) >> (8 - depth));
                break;
            case 3:
                put(indexed.constScanLine(y)[x]);
                break;
            case 2:
            case 6:
                for (const auto &[c16, c8] :
                     {std::pair{p.red(), qRed(q)}, std::pair{p.green(), qGreen(q)},
                      std::pair{p.blue(), qBlue(q)}})
                    put(depth == 16 ? c16 : unsigned(c8));
                if (options.colorType == 6)
                    put(depth == 16 ? p.alpha() : unsigned(qAlpha(q)));
                break;
            case 4:
                put(depth == 16 ? grayWide[x] : unsigned(qGray(q)));
                put(depth == 16 ? p.alpha() : unsigned(qAlpha(q)));
                break;
            }
        }
    }

    FilePtr file = openForWriting(path);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, options.colorType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (options.colorType == 3) {
        for (const QRgb c : indexed.colorTable())
            palette.push_back({png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c))});
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        if (options.transparentIndex >= 0) {
            std::vector<png_byte> alpha(std::size_t(options.transparentIndex) + 1, 255);
            alpha.back() = 0;
            png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
        }
    }
    if (options.dotsPerMetre > 0)
        png_set_pHYs(png, info, png_uint_32(options.dotsPerMetre),
                     png_uint_32(options.dotsPerMetre), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto &row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writeGif(const QString &path, const QList<QImage> &frames, int transparentIndex)
{
    if (frames.isEmpty())
        return false;
    const QImage &first = frames.first();
    QByteArray out("GIF89a");
    put16le(out, first.width());
    put16le(out, first.height());
    out.append(char(0xF7)).append('\0').append('\0'); // 256-entry global table
    QList<QRgb> table = first.colorTable();
    table.resize(256, qRgb(0, 0, 0));
    for (const QRgb c : std::as_const(table))
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    for (const QImage &frame : frames) {
        out.append("\x21\xF9\x04", 3);
        out.append(char(transparentIndex >= 0 ? 0x05 : 0x04));
        put16le(out, 10);
        out.append(char(std::max(0, transparentIndex))).append('\0');
        out.append(char(0x2C));
        put16le(out, 0);
        put16le(out, 0);
        put16le(out, frame.width());
        put16le(out, frame.height());
        out.append('\0');
        out.append(char(8)); // minimum code size

        // Every pixel a literal 9-bit code, with a clear code often enough that the decoder's
        // table never grows past 9 bits.
        QByteArray codes;
        quint32 acc = 0;
        int bits = 0;
        const auto pushCode = [&](int code) {
            acc |= quint32(code) << bits;
            bits += 9;
            while (bits >= 8) {
                codes.append(char(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        };
        int sinceClear = 0;
        pushCode(256);
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (sinceClear == 250) {
                    pushCode(256);
                    sinceClear = 0;
                }
                pushCode(frame.constScanLine(y)[x]);
                ++sinceClear;
            }
        }
        pushCode(257);
        if (bits > 0)
            codes.append(char(acc & 0xFF));
        for (qsizetype i = 0; i < codes.size(); i += 255) {
            const QByteArray block = codes.mid(i, 255);
            out.append(char(block.size())).append(block);
        }
        out.append('\0');
    }
    out.append(char(0x3B));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

bool writeTiff16(const QString &path, const QImage &image, bool gray)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    const QImage source =
        image.convertToFormat(gray ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
    const int spp = gray ? 1 : 3;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(source.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(source.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(spp));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(16));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    std::vector<uint16_t> row(std::size_t(source.width() * spp));
    bool ok = true;
    for (int y = 0; y < source.height() && ok; ++y) {
        if (gray) {
            std::memcpy(row.data(), source.constScanLine(y), row.size() * 2);
        } else {
            const auto *line = reinterpret_cast<const QRgba64 *>(source.constScanLine(y));
            for (int x = 0; x < source.width(); ++x) {
                row[std::size_t(3 * x)] = line[x].red();
                row[std::size_t(3 * x + 1)] = line[x].green();
                row[std::size_t(3 * x + 2)] = line[x].blue();
            }
        }
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) >= 0;
    }
    ok = ok && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    return ok;
}

} // namespace fixtures
