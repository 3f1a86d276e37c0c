#include "rowdeflater.h"

#include "rowfilter.h"
#include "spillfile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <system_error>
#include <thread>

#include <libdeflate.h>
#include <zlib.h>

namespace folioset::image {

namespace {

constexpr std::size_t kWindow = 32 * 1024;
constexpr std::size_t kOutputChunk = 256 * 1024;
constexpr std::size_t kBlockBytes = 2 * 1024 * 1024;
constexpr int kMaxThreads = 4;

// Palette indices and samples below 8 bits: filters do not help them, and zlib makes a little
// less of them than libdeflate at the same level (GIF pictures: 1.3% less).
constexpr DeflateMethod kPacked{DeflateMethod::Engine::Zlib, 6, false};
// The trial's candidates for whole pixels: filtered rows for photos and noisy scans, run-length
// matching for clean scans, where most rows are runs of paper.
constexpr DeflateMethod kFiltered{};
constexpr DeflateMethod kRunLength{DeflateMethod::Engine::Zlib, 1, true};

bool tagged(const RowLayout &layout, const DeflateMethod &method)
{
    return layout.bytesPerPixel > 0 && !method.runLength;
}

using Compressor = std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor *)>;
using Span = std::span<const unsigned char>;

// Leaves new bytes as they are: an output buffer is sized for the worst case and mostly never
// written, and pages never written cost no memory.
template <typename T> struct UninitialisedAllocator : std::allocator<T>
{
    template <typename U> struct rebind
    {
        using other = UninitialisedAllocator<U>;
    };
    template <typename U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
};
using Bytes = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

// Room past a libdeflate block's output for what joins it to the next.
constexpr std::size_t kJoinBytes = 8;

// Consecutive rows of the image with the rows before them that the filters (and zlib's window)
// look back on. Every block but the last ends on a byte boundary without closing the deflate
// stream, so the outputs placed one after the other are a single stream.
struct Block
{
    std::vector<unsigned char> rows; // context rows, then the block's own
    int contextRows = 0;
    bool contextStartsImage = true; // else the first context row only serves as the row above
    int count = 0;
    bool last = false;

    // Made by the calling thread before the worker starts: the large buffers then come from
    // and return to one heap, where a heap per worker thread would each keep their peak.
    Bytes filtered; // room for the block's rows with their filter tags, when they have them
    Bytes output;   // sized for the worst case, cut to the result
    Compressor compressor{nullptr, libdeflate_free_compressor};

    std::uint32_t adler = 1; // adler32 of nothing
    std::uint64_t length = 0;
    bool ok = false;
    std::jthread worker;

    const unsigned char *row(int i, std::size_t rowBytes) const
    {
        return rows.data() + std::size_t(i) * rowBytes;
    }
};

// Rows [first, end) of `block` (counting context rows) as the stream carries them, appended to
// `out`: tagged with the filter chosen for each, or as they are. Zeros stand above the image's
// first row.
template <typename Out>
void filterRows(const Block &block, const RowLayout &layout, bool tags, int first, int end,
                Out &out)
{
    const std::size_t n = layout.rowBytes;
    const std::size_t stride = n + (tags ? 1 : 0);
    const std::size_t start = out.size();
    out.resize(start + std::size_t(end - first) * stride);
    const std::vector<unsigned char> zeros(first == 0 && tags ? n : 0, 0);
    unsigned char *target = out.data() + start;
    for (int y = first; y < end; ++y, target += stride) {
        if (!tags) {
            std::memcpy(target, block.row(y, n), n);
            continue;
        }
        const unsigned char *up = y == 0 ? zeros.data() : block.row(y - 1, n);
        filterRow(block.row(y, n), up, n, std::size_t(layout.bytesPerPixel), target);
    }
}

// zlib with the window of the rows before the block set as its dictionary: the blocks make the
// same bytes a single pass would. Raw deflate: the blocks share one zlib header and checksum,
// written around them.
bool deflateWithZlib(Span before, Span data, const DeflateMethod &method, bool last, Bytes &output)
{
    z_stream z{};
    const int strategy = method.runLength ? Z_RLE : Z_DEFAULT_STRATEGY;
    if (deflateInit2(&z, method.level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
        return false;
    bool ok = true;
    if (!before.empty()) {
        const std::size_t keep = std::min(before.size(), kWindow);
        ok = deflateSetDictionary(&z, before.data() + before.size() - keep, uInt(keep)) == Z_OK;
    }
    z.next_in = const_cast<unsigned char *>(data.data());
    z.avail_in = uInt(data.size());
    std::size_t used = 0;
    while (ok) {
        if (used == output.size())
            output.resize(std::max<std::size_t>(kOutputChunk, 2 * output.size()));
        z.next_out = output.data() + used;
        z.avail_out = uInt(output.size() - used);
        ok = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH) != Z_STREAM_ERROR;
        used = output.size() - z.avail_out;
        if (z.avail_out != 0)
            break;
    }
    output.resize(used);
    deflateEnd(&z);
    return ok;
}

// Turns a whole raw deflate stream into the first part of a longer one: the last-block bit of
// its final block is cleared and an empty stored block brings its end to a byte boundary. The
// blocks are walked with zlib, which stops at each block boundary and tells the bit where the
// next block's header starts.
bool continuable(Bytes &data)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = data.data();
    z.avail_in = uInt(data.size());
    std::array<unsigned char, 16 * 1024> sink;
    std::size_t headerByte = 0;
    unsigned headerBit = 1;
    int unusedAtEnd = -1;
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = sink.data();
        z.avail_out = uInt(sink.size());
        status = inflate(&z, Z_BLOCK);
        if (status == Z_OK && (z.data_type & 128)) {
            // Between blocks, or after the last: the next bit is in the unused high bits of the
            // last byte read, or at the next byte when none is left.
            const int unused = z.data_type & 7;
            const auto consumed = std::size_t(z.next_in - data.data());
            if (z.data_type & 64) {
                unusedAtEnd = unused;
            } else {
                headerByte = unused ? consumed - 1 : consumed;
                headerBit = unused ? 0x100u >> unused : 1u;
            }
        }
    }
    const int unused = unusedAtEnd;
    const bool whole =
        status == Z_STREAM_END && z.avail_in == 0 && unused >= 0 && headerByte < data.size();
    inflateEnd(&z);
    if (!whole)
        return false;
    data[headerByte] = static_cast<unsigned char>(data[headerByte] & ~headerBit);
    if (unused == 0)
        return true;
    // A stored block's three header bits, all zero, then padding to the byte: the padding of the
    // last byte takes them when it has room, else one more byte does.
    data.back() = static_cast<unsigned char>(data.back() & ((0x100u >> unused) - 1));
    if (unused < 3)
        data.push_back(0);
    for (const unsigned char byte : {0x00, 0x00, 0xFF, 0xFF}) // LEN 0, NLEN
        data.push_back(byte);
    return true;
}

// libdeflate compresses the block alone: whole-buffer, faster and smaller than zlib at the
// same level; it takes no dictionary, which costs a block of megabytes next to nothing.
bool deflateWithLibdeflate(libdeflate_compressor *compressor, Span data, bool last, Bytes &output)
{
    if (!compressor || output.size() <= kJoinBytes)
        return false;
    const std::size_t size = libdeflate_deflate_compress(compressor, data.data(), data.size(),
                                                         output.data(), output.size() - kJoinBytes);
    output.resize(size); // keeps the room for joining
    return size > 0 && (last || continuable(output));
}

bool compress(Block &block, Span before, Span data, const DeflateMethod &method)
{
    if (method.engine == DeflateMethod::Engine::Zlib)
        return deflateWithZlib(before, data, method, block.last, block.output);
    return deflateWithLibdeflate(block.compressor.get(), data, block.last, block.output);
}

// Gives `block` what its worker will fill, for `bytes` of rows as the stream has them.
void prepare(Block &block, std::size_t bytes, bool tags, const DeflateMethod &method)
{
    if (tags)
        block.filtered.reserve(bytes);
    std::size_t bound = compressBound(uLong(bytes));
    if (method.engine == DeflateMethod::Engine::Libdeflate) {
        block.compressor.reset(libdeflate_alloc_compressor(method.level));
        bound = block.compressor
                    ? libdeflate_deflate_compress_bound(block.compressor.get(), bytes) + kJoinBytes
                    : 0;
    }
    block.output.resize(bound);
}

void deflateBlock(Block &block, const RowLayout &layout, const DeflateMethod &method)
{
    const bool tags = tagged(layout, method);
    const std::size_t n = layout.rowBytes;
    const int own = block.contextRows;
    const int firstContext = block.contextStartsImage ? 0 : 1;
    // The window a single pass would have; untagged rows are compressed where they are.
    Span before;
    std::vector<unsigned char> window;
    if (method.engine == DeflateMethod::Engine::Zlib && own > firstContext) {
        if (tags) {
            filterRows(block, layout, tags, firstContext, own, window);
            before = window;
        } else {
            before = Span(block.row(firstContext, n), std::size_t(own - firstContext) * n);
        }
    }
    Span data(block.row(own, n), std::size_t(block.count) * n);
    if (tags) {
        filterRows(block, layout, tags, own, own + block.count, block.filtered);
        block.rows = {}; // the next block took its context already
        data = block.filtered;
    }
    block.adler = libdeflate_adler32(1, data.data(), data.size());
    block.length = data.size();
    block.ok = compress(block, before, data, method);
    block.rows = {};
    block.filtered = {};
    block.compressor.reset();
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

// The candidate that makes the least of a sample of the first block's rows.
DeflateMethod chooseMethod(const Block &block, const RowLayout &layout)
{
    if (layout.bytesPerPixel <= 0)
        return kPacked;
    DeflateMethod best = kFiltered;
    std::size_t bestSize = ~std::size_t(0);
    for (const DeflateMethod &method : {kFiltered, kRunLength}) {
        const bool tags = tagged(layout, method);
        Block trial;
        trial.last = true;
        std::vector<unsigned char> sample;
        for (const auto &[first, end] : sampleBands(block.count))
            filterRows(block, layout, tags, first, end, sample);
        prepare(trial, sample.size(), false, method);
        if (compress(trial, {}, sample, method) && trial.output.size() < bestSize) {
            bestSize = trial.output.size();
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
    std::optional<DeflateMethod> method; // chosen on the first block when not given
    int blockRows;
    std::unique_ptr<Block> filling = std::make_unique<Block>();
    std::deque<std::unique_ptr<Block>> running;
    int committed = 0;
    int dispatched = 0; // rows handed to blocks already started
    bool headerWritten = false;
    uLong adler = 1;
    EncodedRows result;
    QString failure;

    Private(const RowLayout &l, SpillFile &s, int t, std::optional<DeflateMethod> m)
        : layout(l), spill(s), threads(t), method(m)
    {
        const std::size_t n = std::max<std::size_t>(1, layout.rowBytes);
        blockRows = int(std::max<std::size_t>(4, kBlockBytes / n));
        filling->rows.resize(std::size_t(blockRows) * n);
    }

    // Rows kept for the next block: the row above, and zlib's window.
    int contextLimit() const
    {
        const std::size_t n = std::max<std::size_t>(1, layout.rowBytes);
        return method->engine == DeflateMethod::Engine::Zlib ? int((kWindow + n) / n + 1) : 1;
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
        block->last = last;
        if (!method)
            method = chooseMethod(*block, layout);
        if (!last) {
            // The next block starts with this one's tail.
            const int total = block->contextRows + block->count;
            const int keep = std::min(contextLimit(), total);
            filling = std::make_unique<Block>();
            filling->contextRows = keep;
            filling->contextStartsImage = dispatched + block->count == keep;
            filling->rows.resize(std::size_t(keep + blockRows) * layout.rowBytes);
            std::memcpy(filling->rows.data(), block->row(total - keep, layout.rowBytes),
                        std::size_t(keep) * layout.rowBytes);
        }
        dispatched += block->count;
        const bool tags = tagged(layout, *method);
        prepare(*block, std::size_t(block->count) * (layout.rowBytes + (tags ? 1 : 0)), tags,
                *method);
        if (threads <= 1) {
            deflateBlock(*block, layout, *method);
            collect(*block);
            return;
        }
        while (int(running.size()) >= threads) {
            collect(*running.front());
            running.pop_front();
        }
        Block *raw = block.get();
        const auto deflate = [raw, layout = layout, method = *method] {
            try {
                deflateBlock(*raw, layout, method);
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

RowDeflater::RowDeflater(const RowLayout &layout, SpillFile &spill, int threads,
                         std::optional<DeflateMethod> method)
    : d(std::make_unique<Private>(layout, spill, threads > 0 ? threads : defaultThreads(), method))
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
        d->result.filter =
            tagged(d->layout, *d->method) ? StreamFilter::FlatePredict : StreamFilter::Flate;
        return std::move(d->result);
    }
    if (reason)
        *reason = d->failure;
    return std::nullopt;
}

} // namespace folioset::image
