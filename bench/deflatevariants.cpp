// Compares the ways of compressing re-encoded images on real files: each page is decoded once
// (untimed), then its rows go through the row filters and the deflate blocks of every variant.
// Prints the bytes each variant makes and the wall time it takes, over all pages.
//
//   folioset_deflatevariants [--variants auto,rle,zlib:6,libdeflate:8,...] FILE...
//
// auto is what a conversion does (a trial on each image's first block picks the method); rle is
// untagged rows through run-length zlib; ENGINE:LEVEL filters every row. Without --variants:
// auto, rle, zlib at levels 6 to 9 and libdeflate at 6 to 10 and 12.

#include "engine/image/qimagerowreader.h"
#include "engine/image/rowdeflater.h"
#include "engine/image/spillfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace folioset::image;

namespace {

struct Variant
{
    std::string name;
    std::optional<DeflateMethod> method; // none: the trial picks, as in a conversion
    std::uint64_t bytes = 0;
    qint64 nanoseconds = 0;
};

struct Rows
{
    RowLayout layout;
    std::vector<unsigned char> data;
};

// The layout the image encoder gives these samples.
Rows decodedRows(const QImage &image, const QString &path)
{
    // Qt gives a GIF as 32-bit pixels; the engine keeps its palette, as Indexed8 does.
    const bool paletted =
        (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32) &&
        QImageReader::imageFormat(path) == "gif" &&
        image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither)
                .convertToFormat(image.format()) == image;
    QImageRowReader reader(paletted ? image.convertToFormat(QImage::Format_Indexed8,
                                                            Qt::ThresholdDither | Qt::AvoidDither)
                                    : image);
    const RowFormat &format = reader.format();
    const bool whole = format.bitsPerComponent >= 8 && format.colorSpace != ColorSpace::Indexed;
    const RowLayout layout{format.height, format.colourRowBytes(),
                           whole ? format.components() * format.bitsPerComponent / 8 : 0};
    Rows rows{layout, std::vector<unsigned char>(std::size_t(format.height) * layout.rowBytes)};
    std::vector<unsigned char> alpha(format.alphaRowBytes());
    for (int y = 0; y < format.height; ++y) {
        QString reason;
        if (!reader.readRow(rows.data.data() + std::size_t(y) * rows.layout.rowBytes, alpha.data(),
                            &reason))
            return {};
    }
    return rows;
}

bool compress(const Rows &rows, Variant &variant, SpillFile &spill)
{
    QElapsedTimer timer;
    timer.start();
    RowDeflater deflater(rows.layout, spill, 0, variant.method);
    QString reason;
    for (int y = 0; y < rows.layout.height; ++y) {
        std::memcpy(deflater.nextRow(), rows.data.data() + std::size_t(y) * rows.layout.rowBytes,
                    rows.layout.rowBytes);
        if (!deflater.commitRow(&reason))
            return false;
    }
    const auto encoded = deflater.finish(&reason);
    variant.nanoseconds += timer.nsecsElapsed();
    if (!encoded)
        return false;
    for (const ByteRange &range : encoded->ranges)
        variant.bytes += range.length;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using Engine = DeflateMethod::Engine;
    std::vector<std::string> names;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--variants") == 0) {
        for (const QString &name : QString::fromLocal8Bit(argv[2]).split(QLatin1Char(',')))
            names.push_back(name.toStdString());
        first = 3;
    } else {
        for (const char *name :
             {"auto", "rle", "zlib:6", "zlib:7", "zlib:8", "zlib:9", "libdeflate:6", "libdeflate:7",
              "libdeflate:8", "libdeflate:9", "libdeflate:10", "libdeflate:12"})
            names.push_back(name);
    }
    std::vector<Variant> variants;
    for (const std::string &name : names) {
        if (name == "auto") {
            variants.push_back({name, std::nullopt});
            continue;
        }
        if (name == "rle") {
            variants.push_back({name, DeflateMethod{Engine::Zlib, 1, true}});
            continue;
        }
        const auto colon = name.find(':');
        const std::string engine = name.substr(0, colon);
        const int level = colon == std::string::npos ? 0 : std::atoi(name.c_str() + colon + 1);
        if ((engine != "zlib" && engine != "libdeflate") || level < 1 || level > 12) {
            std::fprintf(stderr, "unknown variant %s\n", name.c_str());
            return 2;
        }
        variants.push_back(
            {name, DeflateMethod{engine == "zlib" ? Engine::Zlib : Engine::Libdeflate, level}});
    }
    std::uint64_t samples = 0;
    int pages = 0;
    for (int i = first; i < argc; ++i) {
        QImageReader reader(QString::fromLocal8Bit(argv[i]));
        for (int page = 0; page < std::max(1, reader.imageCount()); ++page) {
            if (page > 0 && !reader.jumpToNextImage())
                break;
            const Rows rows = decodedRows(reader.read(), reader.fileName());
            if (rows.data.empty()) {
                std::fprintf(stderr, "cannot decode %s\n", argv[i]);
                return 1;
            }
            samples += rows.data.size();
            ++pages;
            for (Variant &variant : variants) {
                QString reason;
                const auto spill = SpillFile::create(QString(), &reason);
                if (!spill || !compress(rows, variant, *spill)) {
                    std::fprintf(stderr, "%s failed on %s\n", variant.name.c_str(), argv[i]);
                    return 1;
                }
            }
        }
    }
    std::printf("%d pages, %.1f MB of samples\n", pages, double(samples) / 1e6);
    std::printf("%-14s %12s %8s %9s\n", "variant", "bytes", "ratio", "seconds");
    for (const Variant &variant : variants)
        std::printf("%-14s %12llu %8.4f %9.2f\n", variant.name.c_str(),
                    static_cast<unsigned long long>(variant.bytes),
                    double(variant.bytes) / double(samples), double(variant.nanoseconds) / 1e9);
    return 0;
}
