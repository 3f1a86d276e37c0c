#include "imageencoder.h"

#include "decodinglimits.h"
#include "g4encoder.h"
#include "rowdeflater.h"
#include "rowreader.h"
#include "spillfile.h"

#include <algorithm>

namespace folioset::image {

namespace {

EmbeddedImage describe(const RowFormat &format, const EncodedRows &rows)
{
    EmbeddedImage image;
    image.width = format.width;
    image.height = format.height;
    image.bitsPerComponent = format.bitsPerComponent;
    image.colorSpace = format.colorSpace;
    image.palette = format.palette;
    image.invertedDecode = format.invertedDecode;
    image.iccProfile = format.iccProfile;
    image.filter = rows.filter;
    image.origin.kind = StreamOrigin::Kind::SpillFile;
    image.origin.ranges = rows.ranges;
    return image;
}

std::unique_ptr<RowEncoder> colourEncoder(const RowFormat &format, SpillFile &spill,
                                          QString *reason)
{
    if (format.bitsPerComponent == 1 && format.components() == 1 && format.alphaBits == 0)
        return G4Encoder::create(format.width, format.height, spill, reason);
    const bool whole = format.bitsPerComponent >= 8 && format.colorSpace != ColorSpace::Indexed;
    const int bytesPerPixel = whole ? format.components() * format.bitsPerComponent / 8 : 0;
    return std::make_unique<RowDeflater>(
        RowLayout{format.height, format.colourRowBytes(), bytesPerPixel}, spill);
}

std::optional<EmbeddedImage> encodeRows(RowReader &reader, SpillFile &spill, QString *reason)
{
    const RowFormat &format = reader.format();
    if (const auto tooLarge =
            checkDecodedBytes(format.width, format.height, format.decodedBytes())) {
        if (reason)
            *reason = *tooLarge;
        return std::nullopt;
    }
    const auto colour = colourEncoder(format, spill, reason);
    if (!colour)
        return std::nullopt;
    std::unique_ptr<RowDeflater> alpha;
    if (format.alphaBits > 0)
        alpha = std::make_unique<RowDeflater>(
            RowLayout{format.height, format.alphaRowBytes(), format.alphaBits / 8}, spill);
    const std::size_t alphaBytes = format.alphaRowBytes();
    bool opaque = true;
    for (int y = 0; y < format.height; ++y) {
        unsigned char *samples = colour->nextRow();
        unsigned char *alphas = alpha ? alpha->nextRow() : nullptr;
        if (!reader.readRow(samples, alphas, reason))
            return std::nullopt;
        // Full opacity is all ones at 8 and at 16 bits alike.
        opaque = opaque && (!alphas || std::all_of(alphas, alphas + alphaBytes,
                                                   [](unsigned char a) { return a == 0xFF; }));
        if (!colour->commitRow(reason) || (alpha && !alpha->commitRow(reason)))
            return std::nullopt;
    }
    const auto rows = colour->finish(reason);
    if (!rows)
        return std::nullopt;
    EmbeddedImage image = describe(format, *rows);
    if (alpha) {
        const auto mask = alpha->finish(reason);
        if (!mask)
            return std::nullopt;
        if (!opaque) {
            RowFormat maskFormat;
            maskFormat.width = format.width;
            maskFormat.height = format.height;
            maskFormat.bitsPerComponent = format.alphaBits;
            image.softMask = std::make_shared<EmbeddedImage>(describe(maskFormat, *mask));
        }
    }
    return image;
}

} // namespace

std::optional<EmbeddedImage> encodeImage(RowReader &reader, SpillFile &spill, QString *reason)
{
    const std::uint64_t start = spill.size();
    auto image = encodeRows(reader, spill, reason);
    // What a failed image left in the scratch file would only take room from the pages after it.
    if (!image)
        spill.truncate(start);
    return image;
}

} // namespace folioset::image
