#include "rowdeflater.h"

#include "spillfile.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <system_error>
#include <thread>

#include <zlib.h>

namespace folioset::image {

namespace {

// PNG filter types; rows without a tag byte are plain samples, read without a predictor.
enum Filter : int {
    Untagged = -1,
    None = 0,
    Sub = 1,
    Up = 2,
    Paeth = 4,
};

struct Method
{
    int filter;
    int level;
    int strategy;
};

// Palette indices and masks: filters do not help them, and the data is small next to the
// samples of a photo, so a dearer level costs little time.
constexpr Method kPacked{Untagged, 6, Z_DEFAULT_STRATEGY};

// Tried on a sample of every image of whole samples; the smallest wins. Run-length matching is
// both the fastest and the smallest on scans of text, where most rows are runs of paper. Level 3
// with a row filter beats level 6 without one (the plain zlib data other converters write) on
// photos and noisy scans at a third of the time. Average is left out: it never won on photos or
// scans and is the dearest filter after Paeth.
constexpr std::array<Method, 6> kCandidates{{
    {Untagged, 1, Z_RLE},
    {Up, 1, Z_RLE},
    {Untagged, 3, Z_DEFAULT_STRATEGY},
    {Sub, 3, Z_DEFAULT_STRATEGY},
    {Up, 3, Z_DEFAULT_STRATEGY},
    {Paeth, 3, Z_DEFAULT_STRATEGY},
}};

constexpr std::size_t kWindow = 32 * 1024;
constexpr std::size_t kBatch = 256 * 1024; // filtered bytes handed to zlib at a time
constexpr std::size_t kOutputChunk = 256 * 1024;
constexpr std::size_t kBlockBytes = 2 * 1024 * 1024;
constexpr int kMaxThreads = 4;

// Written without branches so the compiler can vectorise the loop that calls it.
inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bc;
}

// `row` filtered against `up` (the row above; zeros above the first) into `out`, tag byte
// first. Returns the bytes written.
std::size_t filterRow(int filter, const unsigned char *row, const unsigned char *up,
                      unsigned char *out, std::size_t n, std::size_t bpp)
{
    if (filter == Untagged) {
        std::memcpy(out, row, n);
        return n;
    }
    *out++ = static_cast<unsigned char>(filter);
    bpp = std::min(bpp, n);
    switch (filter) {
    case Sub:
        std::memcpy(out, row, bpp);
        for (std::size_t i = bpp; i < n; ++i)
            out[i] = static_cast<unsigned char>(row[i] - row[i - bpp]);
        break;
    case Up:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>(row[i] - up[i]);
        break;
    case Paeth:
        for (std::size_t i = 0; i < bpp; ++i)
            out[i] = static_cast<unsigned char>(row[i] - up[i]);
        for (std::size_t i = bpp; i < n; ++i)
            out[i] = static_cast<unsigned char>(row[i] -
                                                paethPredictor(row[i - bpp], up[i], up[i - bpp]));
        break;
    default:
        std::memcpy(out, row, n);
        break;
    }
    return n + 1;
}

struct DeflateStream
{
    z_stream z{};
    bool ready = false;

    // Raw deflate: the blocks share one zlib header and checksum, written around them.
    explicit DeflateStream(const Method &method)
    {
        ready = deflateInit2(&z, method.level, Z_DEFLATED, -15, 8, method.strategy) == Z_OK;
    }
    ~DeflateStream()
    {
        if (ready)
            deflateEnd(&z);
    }
    DeflateStream(const DeflateStream &) = delete;
    DeflateStream &operator=(const DeflateStream &) = delete;

    template <typename Sink>
    bool feed(const unsigned char *data, std::size_t length, int flush,
              std::vector<unsigned char> &output, const Sink &sink)
    {
        z.next_in = const_cast<unsigned char *>(data);
        z.avail_in = uInt(length);
        do {
            z.next_out = output.data();
            z.avail_out = uInt(output.size());
            if (deflate(&z, flush) == Z_STREAM_ERROR)
                return false;
            const std::size_t produced = output.size() - z.avail_out;
            if (produced > 0)
                sink(output.data(), produced);
        } while (z.avail_out == 0);
        return true;
    }
};

// Consecutive rows of the image with the rows before them that the filters and the deflate
// window look back on. Every block but the last ends on a byte boundary with a non-final deflate
// block (a sync flush), so the outputs placed one after the other are a single stream.
struct Block
{
    std::vector<unsigned char> rows; // context rows, then the block's own
    int contextRows = 0;
    bool contextStartsImage = true; // else the first context row only serves as the row above
    int count = 0;
    bool last = false;
    Method method{};

    std::vector<unsigned char> output;
    uLong adler = 1; // adler32 of nothing
    std::uint64_t length = 0;
    bool ok = false;
    std::jthread worker;

    const unsigned char *row(int i, std::size_t rowBytes) const
    {
        return rows.data() + std::size_t(i) * rowBytes;
    }
};

// Filters rows [first, end) of `block` (counting context rows) in batches, handing each batch
// to `use`; zeros stand above the image's first row.
template <typename Use>
void filterRows(const Block &block, const RowLayout &layout, int filter, int first, int end,
                std::vector<unsigned char> &buffer, const Use &use)
{
    const std::size_t n = layout.rowBytes;
    const std::size_t stride = n + (filter == Untagged ? 0 : 1);
    const std::size_t bpp = std::size_t(std::max(1, layout.bytesPerPixel));
    const std::vector<unsigned char> zeros(first == 0 ? n : 0, 0);
    const std::size_t perBatch = std::max<std::size_t>(1, buffer.size() / stride);
    for (int y = first; y < end;) {
        const int count = int(std::min<std::size_t>(perBatch, std::size_t(end - y)));
        std::size_t filled = 0;
        for (int i = 0; i < count; ++i, ++y) {
            const unsigned char *up = y == 0 ? zeros.data() : block.row(y - 1, n);
            filled += filterRow(filter, block.row(y, n), up, buffer.data() + filled, n, bpp);
        }
        use(buffer.data(), filled, y == end);
    }
}

void deflateBlock(Block &block, const RowLayout &layout)
{
    const Method &method = block.method;
    DeflateStream stream(method);
    if (!stream.ready)
        return;
    const std::size_t stride = layout.rowBytes + (method.filter == Untagged ? 0 : 1);
    std::vector<unsigned char> buffer(std::max(kBatch, stride));
    const int own = block.contextRows;
    const int firstContext = block.contextStartsImage ? 0 : 1;
    if (own > firstContext) {
        // The window a single pass would have: the filtered rows just before this block.
        std::vector<unsigned char> before;
        before.reserve(std::size_t(own - firstContext) * stride);
        filterRows(block, layout, method.filter, firstContext, own, buffer,
                   [&](const unsigned char *data, std::size_t length, bool) {
                       before.insert(before.end(), data, data + length);
                   });
        const std::size_t keep = std::min(before.size(), kWindow);
        if (deflateSetDictionary(&stream.z, before.data() + before.size() - keep, uInt(keep)) !=
            Z_OK)
            return;
    }
    std::vector<unsigned char> output(kOutputChunk);
    const auto keep = [&block](const unsigned char *data, std::size_t length) {
        block.output.insert(block.output.end(), data, data + length);
    };
    bool ok = true;
    filterRows(block, layout, method.filter, own, own + block.count, buffer,
               [&](const unsigned char *data, std::size_t length, bool end) {
                   block.adler = adler32_z(block.adler, data, length);
                   block.length += length;
                   const int flush = !end ? Z_NO_FLUSH : block.last ? Z_FINISH : Z_SYNC_FLUSH;
                   ok = ok && stream.feed(data, length, flush, output, keep);
               });
    block.ok = ok;
}

// Bands of rows spread over `height` rows, as [first, end) pairs.
std::vector<std::pair<int, int>> sampleBands(int height)
{
    const int wanted = std::min(height, std::clamp(height / 32, 8, 64));
    const int bands = std::min(4, wanted);
    const int perBand = wanted / bands;
    std::vector<std::pair<int, int>> result;
    for (int b = 0; b < bands; ++b) {
        const int centre = int(std::int64_t(height) * (2 * b + 1) / (2 * bands));
        const int first = std::clamp(centre - perBand / 2, 0, height - perBand);
        result.emplace_back(first, first + perBand);
    }
    return result;
}

// The candidate that makes the least of a sample of the block's rows.
Method chooseMethod(const Block &block, const RowLayout &layout)
{
    if (layout.bytesPerPixel <= 0)
        return kPacked;
    std::vector<unsigned char> buffer(kBatch + layout.rowBytes + 1), output(kOutputChunk);
    Method best = kCandidates[0];
    std::size_t bestSize = ~std::size_t(0);
    for (const Method &method : kCandidates) {
        DeflateStream stream(method);
        std::size_t size = 0;
        const auto count = [&size](const unsigned char *, std::size_t length) { size += length; };
        bool ok = stream.ready;
        for (const auto &[first, end] : sampleBands(block.count)) {
            const int offset = block.contextRows;
            filterRows(block, layout, method.filter, offset + first, offset + end, buffer,
                       [&](const unsigned char *data, std::size_t length, bool) {
                           ok = ok && stream.feed(data, length, Z_NO_FLUSH, output, count);
                       });
        }
        ok = ok && stream.feed(nullptr, 0, Z_FINISH, output, count);
        if (ok && size < bestSize) {
            bestSize = size;
            best = method;
        }
    }
    return best;
}

} // namespace

struct RowDeflater::Private
{
    RowLayout layout;
    SpillFile &spill;
    int threads;
    int blockRows;
    int contextLimit; // rows kept for the next block: the window's worth and the row above
    std::unique_ptr<Block> filling = std::make_unique<Block>();
    std::deque<std::unique_ptr<Block>> running;
    std::optional<Method> method;
    int committed = 0;
    int dispatched = 0; // rows handed to blocks already started
    bool headerWritten = false;
    uLong adler = 1;
    EncodedRows result;
    QString failure;

    Private(const RowLayout &l, SpillFile &s, int t) : layout(l), spill(s), threads(t)
    {
        const std::size_t n = std::max<std::size_t>(1, layout.rowBytes);
        blockRows = int(std::max<std::size_t>(4, kBlockBytes / n));
        contextLimit = int((kWindow + n) / n + 1);
        filling->rows.resize(std::size_t(blockRows) * n);
    }

    bool append(const void *data, std::size_t length)
    {
        if (!failure.isEmpty() || length == 0)
            return failure.isEmpty();
        const std::uint64_t offset = spill.size();
        if (!spill.append(static_cast<const char *>(data), length, &failure))
            return false;
        auto &ranges = result.ranges;
        if (!ranges.empty() && ranges.back().offset + ranges.back().length == offset)
            ranges.back().length += length;
        else
            ranges.push_back({offset, length});
        return true;
    }

    void collect(Block &block)
    {
        if (block.worker.joinable())
            block.worker.join();
        if (!block.ok) {
            if (failure.isEmpty())
                failure = QStringLiteral("Unable to compress the image");
            return;
        }
        // CMF: deflate with a 32 KiB window; FLG: no preset dictionary, check bits that make the
        // pair a multiple of 31.
        static constexpr unsigned char kHeader[2] = {0x78, 0x01};
        if (!headerWritten)
            headerWritten = append(kHeader, sizeof kHeader);
        append(block.output.data(), block.output.size());
        adler = adler32_combine(adler, block.adler, z_off_t(block.length));
        block.output = {};
    }

    void dispatch(bool last)
    {
        std::unique_ptr<Block> block = std::move(filling);
        if (!method)
            method = chooseMethod(*block, layout);
        block->method = *method;
        block->last = last;
        if (!last) {
            // The next block starts with this one's tail.
            const int total = block->contextRows + block->count;
            const int keep = std::min(contextLimit, total);
            filling = std::make_unique<Block>();
            filling->contextRows = keep;
            filling->contextStartsImage = dispatched + block->count == keep;
            filling->rows.resize(std::size_t(keep + blockRows) * layout.rowBytes);
            std::memcpy(filling->rows.data(), block->row(total - keep, layout.rowBytes),
                        std::size_t(keep) * layout.rowBytes);
        }
        dispatched += block->count;
        if (threads <= 1) {
            deflateBlock(*block, layout);
            collect(*block);
            return;
        }
        while (int(running.size()) >= threads) {
            collect(*running.front());
            running.pop_front();
        }
        Block *raw = block.get();
        const RowLayout copy = layout;
        const auto deflate = [raw, copy] {
            try {
                deflateBlock(*raw, copy);
            } catch (...) {
                raw->ok = false;
            }
        };
        try {
            raw->worker = std::jthread(deflate);
        } catch (const std::system_error &) {
            deflate(); // no thread to spare: compressed here, in turn
        }
        running.push_back(std::move(block));
    }
};

RowDeflater::RowDeflater(const RowLayout &layout, SpillFile &spill, int threads)
    : d(std::make_unique<Private>(layout, spill, threads > 0 ? threads : defaultThreads()))
{}

RowDeflater::~RowDeflater() = default; // the workers' threads join as their blocks go

int RowDeflater::defaultThreads()
{
    return std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

unsigned char *RowDeflater::nextRow()
{
    if (d->filling->count == d->blockRows)
        d->dispatch(false);
    Block &block = *d->filling;
    return block.rows.data() + std::size_t(block.contextRows + block.count) * d->layout.rowBytes;
}

bool RowDeflater::commitRow(QString *reason)
{
    ++d->filling->count;
    ++d->committed;
    if (d->failure.isEmpty())
        return true;
    if (reason)
        *reason = d->failure;
    return false;
}

std::optional<EncodedRows> RowDeflater::finish(QString *reason)
{
    if (d->layout.height < 1 || d->layout.rowBytes == 0 || d->committed != d->layout.height) {
        if (reason)
            *reason = QStringLiteral("The image data is incomplete");
        return std::nullopt;
    }
    d->dispatch(true);
    for (auto &block : d->running)
        d->collect(*block);
    d->running.clear();
    const uLong adler = d->adler;
    const unsigned char trailer[4] = {
        static_cast<unsigned char>(adler >> 24), static_cast<unsigned char>(adler >> 16),
        static_cast<unsigned char>(adler >> 8), static_cast<unsigned char>(adler)};
    if (d->append(trailer, sizeof trailer)) {
        d->result.filter = d->method && d->method->filter != Untagged ? StreamFilter::FlatePredict
                                                                      : StreamFilter::Flate;
        return std::move(d->result);
    }
    if (reason)
        *reason = d->failure;
    return std::nullopt;
}

} // namespace folioset::image
