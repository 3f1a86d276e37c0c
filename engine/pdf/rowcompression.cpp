#include "rowcompression.h"

#include "spillfile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <zlib.h>

namespace folioset::pdf {

namespace {

// PNG filter types; rows without a tag byte are plain samples, read without a predictor.
enum Filter : int
{
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

// 1-bit pages, palette indices and masks. On bilevel A4 scans level 4 takes half the time of
// level 6 for 25 % more bytes (about 40 KB a page); on 256-colour GIF frames 3 % more.
constexpr Method kPacked{Untagged, 4, Z_DEFAULT_STRATEGY};

// Tried on a sample of every image of whole samples; the smallest wins. Level 1 with a row
// filter keeps 24-bit photos within a few percent of level 6 without a filter (the plain zlib
// data other converters write) in a quarter of the time; run-length matching is both the
// fastest and the smallest on scans of text, where most rows are runs of paper. Average is
// left out: it never won on photos or scans and is the dearest filter after Paeth.
constexpr std::array<Method, 6> kCandidates{{
    {Untagged, 1, Z_RLE},
    {Up, 1, Z_RLE},
    {Untagged, 1, Z_DEFAULT_STRATEGY},
    {Sub, 1, Z_DEFAULT_STRATEGY},
    {Up, 1, Z_DEFAULT_STRATEGY},
    {Paeth, 1, Z_DEFAULT_STRATEGY},
}};

constexpr std::size_t kWindow = 32 * 1024;
constexpr std::size_t kBatch = 256 * 1024; // filtered bytes handed to zlib at a time
constexpr std::size_t kOutputChunk = 256 * 1024;
// Below this much raw data per slice a thread costs more than it saves.
constexpr std::size_t kMinSliceBytes = 1024 * 1024;
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

std::size_t strideOf(const RowLayout &layout, int filter)
{
    return layout.rowBytes + (filter == Untagged ? 0 : 1);
}

// Filtered rows of one image in order from `first`, as one sequential pass would make them.
class FilteredRows
{
public:
    FilteredRows(const RowLayout &layout, const RowSource &source, int filter, int first)
        : m_source(source), m_filter(filter), m_rowBytes(layout.rowBytes),
          m_bpp(std::size_t(std::max(1, layout.bytesPerPixel))), m_current(layout.rowBytes),
          m_previous(layout.rowBytes, 0), m_next(first)
    {
        if (first > 0 && (filter == Up || filter == Paeth))
            m_source(first - 1, m_previous.data());
    }

    std::size_t next(unsigned char *out)
    {
        m_source(m_next++, m_current.data());
        const std::size_t written =
            filterRow(m_filter, m_current.data(), m_previous.data(), out, m_rowBytes, m_bpp);
        std::swap(m_current, m_previous);
        return written;
    }

private:
    const RowSource &m_source;
    int m_filter;
    std::size_t m_rowBytes;
    std::size_t m_bpp;
    std::vector<unsigned char> m_current;
    std::vector<unsigned char> m_previous;
    int m_next;
};

struct DeflateStream
{
    z_stream z{};
    bool ready = false;

    // Raw deflate: the slices share one zlib header and checksum, written around them.
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
            if (produced > 0 && !sink(output.data(), produced))
                return false;
        } while (z.avail_out == 0);
        return true;
    }
};

// A run of consecutive rows compressed on its own thread. Every slice but the last ends on a
// byte boundary with a non-final block (a sync flush), so the slices placed one after the other
// are a single deflate stream.
struct Slice
{
    int first = 0;
    int end = 0;
    uLong adler = 1; // adler32 of nothing
    std::uint64_t length = 0;
    std::vector<unsigned char> output; // kept in memory until the slices before it are written
    bool ok = false;
};

template <typename Sink>
bool deflateSlice(const RowLayout &layout, const RowSource &source, const Method &method, bool last,
                  Slice &slice, const std::atomic<bool> &stop, const Sink &sink)
{
    DeflateStream stream(method);
    if (!stream.ready)
        return false;
    const std::size_t stride = strideOf(layout, method.filter);
    if (slice.first > 0) {
        // Let matches reach back into the slice before, as one sequential pass could.
        const int back =
            int(std::min<std::size_t>(std::size_t(slice.first), (kWindow + stride - 1) / stride));
        FilteredRows before(layout, source, method.filter, slice.first - back);
        std::vector<unsigned char> tail(std::size_t(back) * stride);
        for (int i = 0; i < back; ++i)
            before.next(tail.data() + std::size_t(i) * stride);
        const std::size_t keep = std::min(tail.size(), kWindow);
        if (deflateSetDictionary(&stream.z, tail.data() + tail.size() - keep, uInt(keep)) != Z_OK)
            return false;
    }
    FilteredRows rows(layout, source, method.filter, slice.first);
    const std::size_t perBatch = std::max<std::size_t>(1, kBatch / stride);
    std::vector<unsigned char> input(perBatch * stride), output(kOutputChunk);
    for (int y = slice.first; y < slice.end;) {
        if (stop.load(std::memory_order_relaxed))
            return false;
        const int count = int(std::min<std::size_t>(perBatch, std::size_t(slice.end - y)));
        std::size_t filled = 0;
        for (int i = 0; i < count; ++i)
            filled += rows.next(input.data() + filled);
        y += count;
        slice.adler = adler32_z(slice.adler, input.data(), filled);
        slice.length += filled;
        const int flush = y < slice.end ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
        if (!stream.feed(input.data(), filled, flush, output, sink))
            return false;
    }
    return true;
}

// Bands of rows spread over the image, as [first, end) pairs.
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

Method chooseMethod(const RowLayout &layout, const RowSource &source)
{
    if (layout.bytesPerPixel <= 0)
        return kPacked;
    const std::size_t n = layout.rowBytes;
    const std::size_t bpp = std::size_t(layout.bytesPerPixel);
    // Each band's rows with the row above it, fetched once for every candidate.
    struct Band
    {
        int rows;
        std::vector<unsigned char> data; // rows + 1 rows: the one above first
    };
    std::vector<Band> bands;
    for (const auto &[first, end] : sampleBands(layout.height)) {
        Band band{end - first, std::vector<unsigned char>(std::size_t(end - first + 1) * n, 0)};
        for (int y = first > 0 ? first - 1 : first; y < end; ++y)
            source(y, band.data.data() + std::size_t(y - first + 1) * n);
        bands.push_back(std::move(band));
    }
    std::vector<unsigned char> filtered(n + 1), output(kOutputChunk);
    Method best = kCandidates[0];
    std::size_t bestSize = ~std::size_t(0);
    for (const Method &method : kCandidates) {
        DeflateStream stream(method);
        if (!stream.ready)
            continue;
        std::size_t size = 0;
        const auto count = [&size](const unsigned char *, std::size_t length) {
            size += length;
            return true;
        };
        bool ok = true;
        for (const Band &band : bands) {
            for (int i = 0; i < band.rows && ok; ++i) {
                const unsigned char *row = band.data.data() + std::size_t(i + 1) * n;
                const std::size_t length =
                    filterRow(method.filter, row, row - n, filtered.data(), n, bpp);
                ok = stream.feed(filtered.data(), length, Z_NO_FLUSH, output, count);
            }
        }
        ok = ok && stream.feed(nullptr, 0, Z_FINISH, output, count);
        if (ok && size < bestSize) {
            bestSize = size;
            best = method;
        }
    }
    return best;
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

} // namespace

int compressionThreads()
{
    return std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

std::optional<CompressedRows> compressRows(const RowLayout &layout, const RowSource &source,
                                           SpillFile &spill, QString *reason, int threads)
{
    if (layout.height < 1 || layout.rowBytes == 0) {
        fail(reason, QStringLiteral("The image is empty"));
        return std::nullopt;
    }
    const Method method = chooseMethod(layout, source);
    const std::uint64_t total = std::uint64_t(layout.height) * strideOf(layout, method.filter);
    const int count = int(std::clamp<std::uint64_t>(
        total / kMinSliceBytes, 1,
        std::uint64_t(std::min(threads > 0 ? threads : compressionThreads(), layout.height))));
    std::vector<Slice> slices(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        slices[std::size_t(i)].first = int(std::int64_t(layout.height) * i / count);
        slices[std::size_t(i)].end = int(std::int64_t(layout.height) * (i + 1) / count);
    }

    const std::uint64_t start = spill.size();
    // CMF: deflate with a 32 KiB window; FLG: the fastest-level hint, with the check bits that
    // make the pair a multiple of 31.
    static constexpr char kHeader[2] = {0x78, 0x01};
    if (!spill.append(kHeader, sizeof kHeader, reason))
        return std::nullopt;

    std::atomic<bool> stop{false};
    QString spillFailure;
    {
        std::vector<std::jthread> workers;
        for (int i = 1; i < count; ++i) {
            workers.emplace_back([&, i] {
                Slice &slice = slices[std::size_t(i)];
                const auto keep = [&slice](const unsigned char *data, std::size_t length) {
                    slice.output.insert(slice.output.end(), data, data + length);
                    return true;
                };
                try {
                    slice.ok =
                        deflateSlice(layout, source, method, i == count - 1, slice, stop, keep);
                } catch (...) {
                    slice.ok = false;
                }
                if (!slice.ok)
                    stop = true;
            });
        }
        Slice &head = slices.front();
        const auto write = [&](const unsigned char *data, std::size_t length) {
            return spill.append(reinterpret_cast<const char *>(data), length, &spillFailure);
        };
        try {
            head.ok = deflateSlice(layout, source, method, count == 1, head, stop, write);
        } catch (...) {
            head.ok = false;
        }
        if (!head.ok)
            stop = true;
    } // joins the workers

    uLong adler = slices.front().adler;
    for (std::size_t i = 1; i < slices.size(); ++i) {
        const Slice &slice = slices[i];
        if (slice.ok && !spill.append(reinterpret_cast<const char *>(slice.output.data()),
                                      slice.output.size(), &spillFailure))
            stop = true;
        adler = adler32_combine(adler, slice.adler, z_off_t(slice.length));
    }
    if (!stop && std::none_of(slices.begin(), slices.end(), [](const Slice &s) { return !s.ok; })) {
        const char trailer[4] = {char(adler >> 24), char(adler >> 16), char(adler >> 8),
                                 char(adler)};
        if (spill.append(trailer, sizeof trailer, &spillFailure))
            return CompressedRows{ByteRange{start, spill.size() - start},
                                  method.filter != Untagged};
    }
    fail(reason,
         spillFailure.isEmpty() ? QStringLiteral("Unable to compress the image") : spillFailure);
    return std::nullopt;
}

} // namespace folioset::pdf
