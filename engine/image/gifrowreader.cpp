#include "gifrowreader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace folioset::image {

namespace {

constexpr std::uint32_t kClear = 0xFFFFFFFF;
// giflib's decoding tables and buffers, per decoder.
constexpr std::uint64_t kDecoderBytes = 48 * 1024;

// Rows of an interlaced frame come in four passes: every eighth row from 0, every eighth from
// 4, every fourth from 2, every second from 1.
int passOf(int row)
{
    return row % 8 == 0 ? 0 : row % 8 == 4 ? 1 : row % 4 == 2 ? 2 : 3;
}

int rowsBefore(int pass, int height)
{
    const std::array<int, 4> rows{(height + 7) / 8, (height + 3) / 8, (height + 1) / 4, height / 2};
    int total = 0;
    for (int p = 0; p < pass; ++p)
        total += rows[std::size_t(p)];
    return total;
}

std::uint32_t rgbAt(const QByteArray &colours, int i)
{
    const auto *c = reinterpret_cast<const unsigned char *>(colours.constData()) + 3 * i;
    return std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2];
}

bool coversOpaquely(const GifFrame &frame, const GifFacts &facts)
{
    return frame.left == 0 && frame.top == 0 && frame.width >= facts.width &&
           frame.height >= facts.height && frame.transparent < 0;
}

} // namespace

// The rows of one frame in display order, one decoder per pass.
class GifRowReader::FrameRows
{
public:
    static std::unique_ptr<FrameRows> open(int fd, const GifFrame &frame, QString *reason)
    {
        auto rows = std::make_unique<FrameRows>();
        rows->m_interlaced = frame.interlaced;
        std::vector<unsigned char> skipped(std::size_t(std::max(1, frame.width)));
        for (int pass = 0; pass < (frame.interlaced ? 4 : 1); ++pass) {
            auto gif = GifFile::open(fd, reason);
            if (!gif)
                return nullptr;
            gif->seek(frame.descriptor);
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            bool ok = DGifGetRecordType(gif->get(), &type) != GIF_ERROR &&
                      type == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(gif->get()) != GIF_ERROR;
            const int skip = frame.interlaced ? rowsBefore(pass, frame.height) : 0;
            for (int i = 0; i < skip && ok; ++i)
                ok = DGifGetLine(gif->get(), skipped.data(), frame.width) != GIF_ERROR;
            if (!ok) {
                if (reason)
                    *reason = QStringLiteral("Unable to decode the image (%1)").arg(gif->error());
                return nullptr;
            }
            rows->m_passes.push_back(std::move(gif));
        }
        return rows;
    }

    // Row `row` of the frame; rows are asked for in increasing order.
    bool row(int row, unsigned char *indices, int width, QString *reason)
    {
        GifFile &gif = *m_passes[std::size_t(m_interlaced ? passOf(row) : 0)];
        if (DGifGetLine(gif.get(), indices, width) != GIF_ERROR)
            return true;
        if (reason)
            *reason = QStringLiteral("Unable to decode the image (%1)").arg(gif.error());
        return false;
    }

private:
    bool m_interlaced = false;
    std::vector<std::unique_ptr<GifFile>> m_passes;
};

GifRowReader::~GifRowReader() = default;

std::unique_ptr<GifRowReader> GifRowReader::open(const QString &path, const GifFacts &facts,
                                                 int index, QString *reason)
{
    auto reader = std::unique_ptr<GifRowReader>(new GifRowReader);
    int first = 0;
    for (int i = index; i >= 0 && first == 0; --i) {
        if (coversOpaquely(facts.frames[std::size_t(i)], facts))
            first = i;
    }
    reader->m_frames.assign(facts.frames.begin() + first, facts.frames.begin() + index + 1);
    std::uint64_t decoders = 0;
    for (const GifFrame &frame : reader->m_frames)
        decoders += frame.interlaced ? 4 : 1;
    const std::uint64_t held = decoders * kDecoderBytes + std::uint64_t(facts.width) * 16;
    reader->m_format.width = facts.width;
    reader->m_format.height = facts.height;
    if (!reader->fitsLimit(held, reason) || !openFile(reader->m_file, path, reason))
        return nullptr;
    int widest = 1;
    for (const GifFrame &frame : reader->m_frames) {
        auto rows = FrameRows::open(reader->m_file.handle(), frame, reason);
        if (!rows)
            return nullptr;
        reader->m_rows.push_back(std::move(rows));
        widest = std::max(widest, frame.width);
    }
    reader->m_line.resize(std::size_t(widest));
    reader->m_canvas.resize(std::size_t(facts.width));
    reader->combinePalettes();

    RowFormat &f = reader->m_format;
    f.width = facts.width;
    f.height = facts.height;
    const std::size_t colours = reader->m_colours.size();
    if (colours <= 256) {
        f.colorSpace = ColorSpace::Indexed;
        f.bitsPerComponent = colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
        for (const std::uint32_t c : reader->m_colours)
            f.palette.append(char(c >> 16)).append(char(c >> 8)).append(char(c));
    } else {
        f.colorSpace = ColorSpace::Rgb;
    }
    const bool opaque = reader->m_frames.size() == 1 && coversOpaquely(reader->m_frames[0], facts);
    f.alphaBits = opaque ? 0 : 8;
    return reader;
}

// One table shared by every frame keeps its indices; frames with tables of their own share the
// union of their colours.
void GifRowReader::combinePalettes()
{
    const QByteArray &shared = m_frames.front().colours;
    const bool same = std::all_of(m_frames.begin(), m_frames.end(),
                                  [&](const GifFrame &f) { return f.colours == shared; });
    std::unordered_map<std::uint32_t, std::uint32_t> seen;
    for (const GifFrame &frame : m_frames) {
        const int entries = int(frame.colours.size() / 3);
        std::vector<std::uint32_t> map(256, 0); // indices past the table show its first colour
        for (int i = 0; i < entries; ++i) {
            const std::uint32_t rgb = rgbAt(frame.colours, i);
            if (same) {
                map[std::size_t(i)] = std::uint32_t(i);
                continue;
            }
            const auto [it, added] = seen.try_emplace(rgb, std::uint32_t(m_colours.size()));
            if (added)
                m_colours.push_back(rgb);
            map[std::size_t(i)] = it->second;
        }
        m_maps.push_back(std::move(map));
    }
    if (same) {
        for (int i = 0; i < shared.size() / 3; ++i)
            m_colours.push_back(rgbAt(shared, i));
    }
    if (m_colours.empty())
        m_colours.push_back(0);
}

bool GifRowReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    const int width = m_format.width;
    if (m_y >= m_format.height) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    std::fill(m_canvas.begin(), m_canvas.end(), kClear);
    for (std::size_t i = 0; i < m_frames.size(); ++i) {
        const GifFrame &frame = m_frames[i];
        const bool last = i + 1 == m_frames.size();
        const bool inside = m_y >= frame.top && m_y < frame.top + frame.height;
        if (!last && frame.disposal == DISPOSE_PREVIOUS)
            m_saved = m_canvas;
        const int end = std::min(width, frame.left + frame.width);
        if (inside) {
            if (!m_rows[i]->row(m_y - frame.top, m_line.data(), frame.width, reason))
                return false;
            const auto &map = m_maps[i];
            for (int x = frame.left; x < end; ++x) {
                const int index = m_line[std::size_t(x - frame.left)];
                if (index != frame.transparent)
                    m_canvas[std::size_t(x)] = map[std::size_t(index)];
            }
        }
        if (last)
            break;
        if (frame.disposal == DISPOSE_BACKGROUND && inside && frame.left < end)
            std::fill(m_canvas.begin() + frame.left, m_canvas.begin() + end, kClear);
        else if (frame.disposal == DISPOSE_PREVIOUS)
            m_canvas = m_saved;
    }
    ++m_y;
    const bool indexed = m_format.colorSpace == ColorSpace::Indexed;
    const int bits = m_format.bitsPerComponent;
    if (indexed)
        std::memset(colour, 0, m_format.colourRowBytes());
    for (int x = 0; x < width; ++x) {
        const std::uint32_t slot = m_canvas[std::size_t(x)];
        if (alpha)
            alpha[x] = slot == kClear ? 0 : 255;
        const std::uint32_t shown = slot == kClear ? 0 : slot;
        if (indexed) {
            const int bit = x * bits;
            colour[bit / 8] |= static_cast<unsigned char>(shown << (8 - bits - bit % 8));
            continue;
        }
        const std::uint32_t rgb = m_colours[shown];
        colour[3 * x] = static_cast<unsigned char>(rgb >> 16);
        colour[3 * x + 1] = static_cast<unsigned char>(rgb >> 8);
        colour[3 * x + 2] = static_cast<unsigned char>(rgb);
    }
    return true;
}

} // namespace folioset::image
