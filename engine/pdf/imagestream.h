#pragma once

#include "engine/image/embeddedimage.h"
#include "engine/image/spillfile.h"
#include "objectwriter.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace folioset::pdf {

using image::ColorSpace;
using image::EmbeddedImage;
using image::SpillFile;
using image::StreamFilter;
using image::StreamOrigin;

class IccColourSpaces;
class SourceReadAhead;

// What the image streams of one document share while it is written.
struct WriteContext
{
    const std::atomic<bool> *abort = nullptr; // set for the duration of a write
    SourceReadAhead *readAhead = nullptr;     // set for the duration of a write
    std::shared_ptr<const SpillFile> spill;
    // The streams whose bytes are copied from image files, in the order they are written.
    std::vector<std::shared_ptr<const StreamOrigin>> sourceStreams;
};

// One image XObject as a page keeps it until the document is written: what its dictionary
// says and where its bytes are, no more. A long document holds one of these per page.
struct ImageRecord
{
    static constexpr std::size_t kNotFromSource = std::size_t(-1);

    int width = 0;
    int height = 0;
    int bitsPerComponent = 8;
    ColorSpace colorSpace = ColorSpace::Rgb;
    StreamFilter filter = StreamFilter::Flate;
    bool invertedDecode = false;
    bool dctWithoutColorTransform = false;
    int profile = -1; // among the document's colour profiles; -1: device colour
    QByteArray palette;
    std::shared_ptr<const StreamOrigin> origin;
    std::size_t sequence = kNotFromSource; // among the streams copied from image files
    std::unique_ptr<ImageRecord> softMask;

    // Keeps what `image` (and its mask) will need; a stream copied from an image file joins
    // `context`'s list of them, in the order the streams are then written: each image before
    // its mask.
    static std::unique_ptr<ImageRecord> from(const EmbeddedImage &image, WriteContext &context,
                                             IccColourSpaces &profiles);

    // The stream dictionary's entries but /Length, for object `number` with its mask written as
    // `maskNumber`.
    QByteArray entries(const ObjectWriter &writer, int number, const IccColourSpaces &profiles,
                       int maskNumber) const;

    // Writes the stream's bytes into `pipeline` and finishes it. A source file that changed
    // since its page was made, an unreadable scratch file or `context`'s abort flag throw
    // WriteFailure.
    void copyBytes(const WriteContext &context, Pipeline *pipeline) const;
};

} // namespace folioset::pdf
