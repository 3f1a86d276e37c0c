#pragma once

// BMP files in every header form, written byte by byte: Qt writes only one of them.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QRgb>

#include <array>
#include <cstdint>
#include <functional>

namespace fixtures {

struct BmpForm
{
    int headerSize = 40; // 12 OS/2 core, 64 OS/2 2.x, 40 info, 52 v2, 56 v3, 108 v4, 124 v5
    int bits = 24;
    int compression = 0;                  // 0 plain, 1 RLE8, 2 RLE4, 3 bitfields, 6 with alpha
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha, for bitfields
    bool topDown = false;
    QList<QRgb> palette; // up to 8 bits
    int unusedByte = 0;  // the fourth byte of 32-bit pixels without masks
    bool deltas = false; // run-length data skips runs of index 0 with delta codes
};

// `value(x, y)` is what the file stores for the pixel: a palette index, 0xRRGGBB for 24 and
// 32 bits without masks, the packed pixel under masks.
using BmpPixels = std::function<std::uint32_t(int x, int y)>;

QByteArray bmpBytes(const BmpForm &form, int width, int height, const BmpPixels &value);

} // namespace fixtures

Q_DECLARE_METATYPE(fixtures::BmpForm)
