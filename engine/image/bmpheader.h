#pragma once

#include "embeddedimage.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace folioset::image {

// The headers of a BMP file: the OS/2 core header, the Windows info header and its later forms
// (v2 to v5 with their colour masks), OS/2 2.x; bottom-up and top-down rows.
struct BmpHeader
{
    enum class Coding {
        Plain,     // palette indices or BGR bytes
        Rle8,      // run-length coded 8-bit indices
        Rle4,      // run-length coded 4-bit indices
        Bitfields, // 16 or 32 bits a pixel, channels where the masks say
    };

    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    Coding coding = Coding::Plain;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha (0: none)
    QByteArray palette;                   // RGB triples, as many as the file gives
    std::uint64_t dataOffset = 0;
    std::uint64_t fileSize = 0;
    Resolution resolution; // the pixels-per-metre fields

    // Bytes of one stored row of uncompressed data: padded to four.
    std::uint64_t rowBytes() const;
};

// Refuses a header it cannot read, a coding it does not know, absurd dimensions, and
// uncompressed pixel data that the file is too short to hold.
std::optional<BmpHeader> readBmpHeader(const QString &path, QString *reason);

} // namespace folioset::image
