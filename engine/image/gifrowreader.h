#pragma once

#include "giffile.h"
#include "rowreader.h"

#include <QFile>

#include <memory>
#include <vector>

namespace folioset::image {

// Frame `index` of a GIF as a viewer shows it: the frames up to it composed onto the logical
// screen with their transparency and disposal, a row at a time. Each frame that shows through
// is read by a decoder of its own (four for an interlaced frame, one per pass), all in step,
// so no frame is held whole. The composition starts at the last frame that covers the screen
// opaquely, since nothing before it shows. Pixels no frame covers are transparent. The output
// is a palette when the frames' colours fit in one, RGB otherwise.
class GifRowReader final : public RowReader
{
public:
    // nullptr, with a reason, when a frame cannot be read or the decoders would pass the
    // decoding limit.
    static std::unique_ptr<GifRowReader> open(const QString &path, const GifFacts &facts, int index,
                                              QString *reason);
    ~GifRowReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    class FrameRows;
    GifRowReader() = default;
    void combinePalettes();

    QFile m_file;
    std::vector<GifFrame> m_frames; // the frames composed, last one shown
    std::vector<std::unique_ptr<FrameRows>> m_rows;
    std::vector<std::vector<std::uint32_t>> m_maps; // per frame: colour index to palette slot
    std::vector<std::uint32_t> m_colours;           // the slots, as 0xRRGGBB
    std::vector<std::uint32_t> m_canvas, m_saved;
    std::vector<unsigned char> m_line;
    int m_y = 0;
};

} // namespace folioset::image
