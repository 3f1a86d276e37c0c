#pragma once

#include "embeddedimage.h"

#include <QString>

#include <optional>

namespace folioset::pdf {

// Header facts of the formats Qt decodes for us. Qt's readers accept files cut short (the
// missing rows come out blank) and report sizes Qt chose rather than the file's, so the
// headers are read here before Qt is asked to decode.

struct BmpFacts
{
    int width = 0;
    int height = 0;
    Resolution resolution; // the pixels-per-metre fields
};

// Refuses a header it cannot read, absurd dimensions, and uncompressed pixel data that the
// file is too short to hold.
std::optional<BmpFacts> readBmpFacts(const QString &path, QString *reason);

struct GifFacts
{
    int width = 0; // the logical screen, which every frame is composed onto
    int height = 0;
    int completeFrames = 0; // frames whose data is all present
};

// Walks the blocks; refuses a file whose first frame is incomplete.
std::optional<GifFacts> readGifFacts(const QString &path, QString *reason);

} // namespace folioset::pdf
