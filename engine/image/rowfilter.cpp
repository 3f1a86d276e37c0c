#include "rowfilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace folioset::image {

namespace {

// Written without branches so that the loops that call it vectorise.
inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return pa <= pb && pa <= pc ? a : bc;
}

// A filtered byte read as a signed difference, made positive.
inline unsigned magnitude(int difference)
{
    return unsigned(std::abs(int(static_cast<signed char>(difference & 0xFF))));
}

using Sums = std::array<std::uint64_t, 5>;

// The sum of the magnitudes each filter leaves on bytes [from, to), in one pass over the row.
// `left` and `corner` stand for the pixel to the left and the one above it: zeros when `from`
// is the row's first pixel. Sums per chunk stay within 32 bits and vectorise.
template <bool FirstPixel>
void addSums(const unsigned char *row, const unsigned char *up, std::size_t from, std::size_t to,
             std::size_t bpp, Sums &sums)
{
    constexpr std::size_t kChunk = 1 << 16;
    for (std::size_t start = from; start < to; start += kChunk) {
        const std::size_t end = std::min(to, start + kChunk);
        unsigned s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
        for (std::size_t i = start; i < end; ++i) {
            const int x = row[i], b = up[i];
            const int a = FirstPixel ? 0 : row[i - bpp];
            const int c = FirstPixel ? 0 : up[i - bpp];
            s0 += magnitude(x);
            s1 += magnitude(x - a);
            s2 += magnitude(x - b);
            s3 += magnitude(x - ((a + b) >> 1));
            s4 += magnitude(x - paethPredictor(a, b, c));
        }
        sums[0] += s0;
        sums[1] += s1;
        sums[2] += s2;
        sums[3] += s3;
        sums[4] += s4;
    }
}

template <RowFilter Filter, bool FirstPixel>
void apply(const unsigned char *row, const unsigned char *up, std::size_t from, std::size_t to,
           std::size_t bpp, unsigned char *out)
{
    for (std::size_t i = from; i < to; ++i) {
        const int x = row[i], b = up[i];
        const int a = FirstPixel ? 0 : row[i - bpp];
        const int c = FirstPixel ? 0 : up[i - bpp];
        int predicted = 0;
        if constexpr (Filter == RowFilter::Sub)
            predicted = a;
        else if constexpr (Filter == RowFilter::Up)
            predicted = b;
        else if constexpr (Filter == RowFilter::Average)
            predicted = (a + b) >> 1;
        else if constexpr (Filter == RowFilter::Paeth)
            predicted = paethPredictor(a, b, c);
        out[i] = static_cast<unsigned char>(x - predicted);
    }
}

template <RowFilter Filter>
void applyRow(const unsigned char *row, const unsigned char *up, std::size_t n, std::size_t bpp,
              unsigned char *out)
{
    apply<Filter, true>(row, up, 0, bpp, bpp, out);
    apply<Filter, false>(row, up, bpp, n, bpp, out);
}

} // namespace

RowFilter filterRow(const unsigned char *row, const unsigned char *up, std::size_t n,
                    std::size_t bpp, unsigned char *out)
{
    bpp = std::min(bpp, n);
    Sums sums{};
    addSums<true>(row, up, 0, bpp, bpp, sums);
    addSums<false>(row, up, bpp, n, bpp, sums);
    // The first of the smallest: None, then the cheaper filters, win ties.
    const auto chosen = RowFilter(std::min_element(sums.begin(), sums.end()) - sums.begin());
    out[0] = static_cast<unsigned char>(chosen);
    switch (chosen) {
    case RowFilter::None:
        std::memcpy(out + 1, row, n);
        break;
    case RowFilter::Sub:
        applyRow<RowFilter::Sub>(row, up, n, bpp, out + 1);
        break;
    case RowFilter::Up:
        applyRow<RowFilter::Up>(row, up, n, bpp, out + 1);
        break;
    case RowFilter::Average:
        applyRow<RowFilter::Average>(row, up, n, bpp, out + 1);
        break;
    case RowFilter::Paeth:
        applyRow<RowFilter::Paeth>(row, up, n, bpp, out + 1);
        break;
    }
    return chosen;
}

} // namespace folioset::image
