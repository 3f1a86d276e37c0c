// Writes the benchmark's input sets. Every picture depends only on its set and index, so a
// corpus made twice is the same bytes, and a file already present is kept as it is.
//
//   folioset_makecorpus SET FOLDER COUNT
//
// SET is photos (4000x3000 JPEG), small (640x480 JPEG), scans (A4 300 dpi gray PNG),
// tiffs (ten A4 300 dpi LZW pages: even files bilevel, odd files 8-bit gray), bmps
// (2000x1500 24-bit), gifs (800x600, 256-colour palette), or one of the single large TIFF
// pages: largegray (20000x20000 8-bit text scan, LZW), largeg4 (the same page bilevel, Group 4
// in one strip), largergb (12000x9000 photo, LZW), or mixed (the soak run's inputs: small
// JPEG, PNG, BMP, GIF and TIFF pictures, every tenth file damaged and named NAME-bad.EXT).

#include "gifwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QStringList>

#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int a4Width = 2480;
constexpr int a4Height = 3508;
constexpr int dotsPerMetre300 = 11811;

// Smooth colour fields (sky, skin, walls) plus sensor noise: what a camera JPEG spends its
// bytes on. Made a row at a time from one generator, so a picture of any size needs one row.
class PhotoRows
{
public:
    PhotoRows(int width, int height, quint32 seed)
        : m_width(width), m_height(height), m_random(seed), m_fx(1.0 + m_random.bounded(3.0)),
          m_fy(1.0 + m_random.bounded(3.0)), m_phase(m_random.bounded(6.28))
    {}

    // Rows are made in order: the noise continues from the row before.
    void next(uchar *line)
    {
        const double v = double(m_y++) / m_height;
        for (int x = 0; x < m_width; ++x) {
            const double u = double(x) / m_width;
            const double wave = std::sin(m_fx * 6.28 * u + m_phase) * std::cos(m_fy * 6.28 * v);
            const int noise = int(m_random.bounded(15)) - 7;
            const int r = int(128 + 90 * wave + 30 * u) + noise;
            const int g = int(110 + 70 * std::sin(6.28 * (u + v) + m_phase)) + noise;
            const int b = int(150 - 80 * v + 40 * wave) + noise;
            line[3 * x] = uchar(std::clamp(r, 0, 255));
            line[3 * x + 1] = uchar(std::clamp(g, 0, 255));
            line[3 * x + 2] = uchar(std::clamp(b, 0, 255));
        }
    }

private:
    int m_width, m_height, m_y = 0;
    QRandomGenerator m_random;
    double m_fx, m_fy, m_phase;
};

QImage photoLike(int width, int height, quint32 seed)
{
    PhotoRows rows(width, height, seed);
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        rows.next(image.scanLine(y));
    return image;
}

// A page of dark strokes on white: lines of "words" of short vertical and slanted marks.
QImage textScan(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(a4Width, a4Height, QImage::Format_Grayscale8);
    image.fill(250);
    for (int line = 0; line < 60; ++line) {
        const int baseline = 250 + line * 52;
        int x = 200;
        while (x < a4Width - 250) {
            const int word = 3 + int(random.bounded(8));
            for (int c = 0; c < word; ++c, x += 20) {
                const int height = 18 + int(random.bounded(14));
                const int slant = int(random.bounded(7)) - 3;
                for (int dy = 0; dy < height; ++dy) {
                    uchar *row = image.scanLine(baseline - dy);
                    const int cx = x + slant * dy / height;
                    for (int dx = 0; dx < 3; ++dx)
                        row[cx + dx] = uchar(20 + random.bounded(40));
                }
            }
            x += 25;
        }
    }
    image.setDotsPerMeterX(dotsPerMetre300);
    image.setDotsPerMeterY(dotsPerMetre300);
    return image;
}

bool writeTiffPages(const QString &path, quint32 seed, bool bilevel)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    bool ok = true;
    for (int page = 0; page < 10 && ok; ++page) {
        const QImage gray = textScan(seed * 16 + page);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, a4Width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, a4Height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, page, 10);
        QByteArray row(bilevel ? (a4Width + 7) / 8 : a4Width, '\0');
        for (int y = 0; y < a4Height && ok; ++y) {
            const uchar *source = gray.constScanLine(y);
            if (bilevel) {
                row.fill('\0');
                for (int x = 0; x < a4Width; ++x) {
                    if (source[x] < 128) // MINISWHITE: a set bit is black
                        row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
                }
            } else {
                std::copy(source, source + a4Width, row.begin());
            }
            ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return ok;
}

quint32 mix(quint32 a, quint32 b, quint32 c)
{
    quint32 h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// The look of textScan (lines of words of short strokes on paper, every 52 rows) for a page of
// any size, computed a row at a time from hashes instead of drawn.
void textRow(int y, int width, int height, quint32 seed, uchar *row)
{
    std::fill(row, row + width, uchar(250));
    const int line = (y - 250 + 51) / 52; // the first line whose baseline is at or below y
    const int baseline = 250 + line * 52;
    if (y < 250 - 31 || baseline > height - 250 || baseline - y >= 32)
        return;
    for (int cell = 0, x = 200; x < width - 250; ++cell, x += 20) {
        const quint32 h = mix(seed, quint32(line), quint32(cell));
        if (h % 7 == 0)
            continue; // between words
        const int strokeHeight = 18 + int(h >> 8) % 14;
        const int slant = int(h >> 16) % 7 - 3;
        const int dy = baseline - y;
        if (dy >= strokeHeight)
            continue;
        const int cx = x + slant * dy / strokeHeight;
        for (int dx = 0; dx < 3; ++dx)
            row[cx + dx] = uchar(20 + mix(seed, quint32(y), quint32(cx + dx)) % 40);
    }
}

// One page written a row at a time, LZW in strips of 64 rows or Group 4 in one strip (as
// scanners write them).
bool writeLargeTiff(const QString &path, int width, int height, int samples, bool bilevel,
                    const std::function<void(int y, uchar *row)> &fill)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 bilevel        ? PHOTOMETRIC_MINISWHITE
                 : samples == 3 ? PHOTOMETRIC_RGB
                                : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, bilevel ? height : 64);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    // libtiff would otherwise buffer a whole one-strip page before compressing it.
    TIFFWriteBufferSetup(tiff, nullptr, 1024 * 1024);
    std::vector<uchar> samplesRow(std::size_t(width) * std::size_t(samples));
    std::vector<uchar> bits(std::size_t(width + 7) / 8);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        fill(y, samplesRow.data());
        uchar *row = samplesRow.data();
        if (bilevel) {
            std::fill(bits.begin(), bits.end(), uchar(0));
            for (int x = 0; x < width; ++x) {
                if (samplesRow[std::size_t(x)] < 128) // MINISWHITE: a set bit is black
                    bits[std::size_t(x / 8)] |= uchar(0x80 >> (x % 8));
            }
            row = bits.data();
        }
        ok = TIFFWriteScanline(tiff, row, uint32_t(y), 0) >= 0;
    }
    ok = ok && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    return ok;
}

bool writeQtImage(const QString &path, const QImage &image, const char *format, int quality)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image);
}

// The damaged tenth of the mixed set, in turn: a JPEG cut in half, an empty file, noise, a
// TIFF header with nothing behind it, a GIF header followed by noise.
bool writeDamaged(const QString &path, int kind, quint32 seed)
{
    QByteArray bytes;
    QRandomGenerator random(seed);
    const auto noise = [&](int size) {
        QByteArray data(size, Qt::Uninitialized);
        for (char &c : data)
            c = char(random.bounded(256));
        return data;
    };
    switch (kind) {
    case 0: {
        QImage image = photoLike(480, 360, seed);
        QByteArray whole;
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "jpeg", 85);
        bytes = whole.left(whole.size() / 2);
        break;
    }
    case 1:
        break;
    case 2:
        bytes = noise(20000);
        break;
    case 3:
        bytes = QByteArray("II*\0\x08\0\0\0", 8);
        break;
    default:
        bytes = QByteArray("GIF89a") + noise(5000);
        break;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

const char *mixedKinds[] = {"jpg", "jpg", "png", "bmp", "gif", "tif", "jpg", "jpg", "png"};
const char *damagedKinds[] = {"jpg", "png", "bmp", "tif", "gif"};

QString mixedSuffix(int index)
{
    if (index % 10 == 9)
        return QStringLiteral("-bad.") + QLatin1String(damagedKinds[index / 10 % 5]);
    return QLatin1Char('.') + QLatin1String(mixedKinds[index % 10]);
}

bool writeMixed(const QString &path, quint32 seed, int index)
{
    if (index % 10 == 9)
        return writeDamaged(path, index / 10 % 5, seed);
    const QString format = QLatin1String(mixedKinds[index % 10]);
    if (format == QLatin1String("gif"))
        return bench::writeGif(path, photoLike(320, 240, seed));
    const QImage picture = format == QLatin1String("bmp") ? photoLike(320, 240, seed)
                                                          : photoLike(480, 360, seed);
    return writeQtImage(path, picture, format == QLatin1String("jpg") ? "jpeg" : qPrintable(format),
                        format == QLatin1String("jpg") ? 85 : -1);
}

struct Set
{
    const char *name;
    std::function<QString(int index)> suffix;
    std::function<bool(const QString &path, quint32 seed, int index)> write;
};

// Every file of the set has the same extension.
std::function<QString(int)> fixed(const char *extension)
{
    return [extension](int) { return QLatin1Char('.') + QLatin1String(extension); };
}

const Set sets[] = {
    {"photos", fixed("jpg"),
     [](const QString &path, quint32 seed, int) {
         return writeQtImage(path, photoLike(4000, 3000, seed), "jpeg", 90);
     }},
    {"small", fixed("jpg"),
     [](const QString &path, quint32 seed, int) {
         return writeQtImage(path, photoLike(640, 480, seed), "jpeg", 90);
     }},
    {"scans", fixed("png"),
     [](const QString &path, quint32 seed, int) {
         return writeQtImage(path, textScan(seed), "png", -1);
     }},
    {"tiffs", fixed("tif"),
     [](const QString &path, quint32 seed, int) { return writeTiffPages(path, seed, seed % 2 == 0); }},
    {"bmps", fixed("bmp"),
     [](const QString &path, quint32 seed, int) {
         return writeQtImage(path, photoLike(2000, 1500, seed), "bmp", -1);
     }},
    {"gifs", fixed("gif"),
     [](const QString &path, quint32 seed, int) {
         return bench::writeGif(path, photoLike(800, 600, seed));
     }},
    // Single large pages, for the memory benchmark (bench/largepage.sh).
    {"largegray", fixed("tif"),
     [](const QString &path, quint32 seed, int) {
         return writeLargeTiff(path, 20000, 20000, 1, false,
                               [&](int y, uchar *row) { textRow(y, 20000, 20000, seed, row); });
     }},
    {"largeg4", fixed("tif"),
     [](const QString &path, quint32 seed, int) {
         return writeLargeTiff(path, 20000, 20000, 1, true,
                               [&](int y, uchar *row) { textRow(y, 20000, 20000, seed, row); });
     }},
    {"largergb", fixed("tif"),
     [](const QString &path, quint32 seed, int) {
         PhotoRows rows(12000, 9000, seed);
         return writeLargeTiff(path, 12000, 9000, 3, false,
                               [&](int, uchar *row) { rows.next(row); });
     }},
    {"mixed", mixedSuffix, writeMixed},
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: folioset_makecorpus SET FOLDER COUNT\n");
        return 2;
    }
    const QString setName = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    const Set *set = nullptr;
    quint32 setIndex = 0;
    for (const Set &candidate : sets) {
        if (setName == QLatin1String(candidate.name))
            set = &candidate;
        if (!set)
            ++setIndex;
    }
    if (!set || count < 1 || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "folioset_makecorpus: bad set, count or folder\n");
        return 2;
    }
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("%1-%2%3")
                                                       .arg(setName)
                                                       .arg(i, 4, 10, QLatin1Char('0'))
                                                       .arg(set->suffix(i)));
        if (QFile::exists(path))
            continue;
        // A stopped run must not leave a half-written file that the next run would keep, nor
        // one that a folder walk or a shell pattern would pick up: hidden until complete.
        const QString partial =
            QDir(folder).filePath(QStringLiteral(".partial") + set->suffix(i));
        const quint32 seed = setIndex * 100003u + quint32(i) + 1u;
        if (!set->write(partial, seed, i) || !QFile::rename(partial, path)) {
            std::fprintf(stderr, "folioset_makecorpus: cannot write %s\n", qPrintable(path));
            QFile::remove(partial);
            return 1;
        }
    }
    return 0;
}
