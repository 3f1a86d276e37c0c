#pragma once

#include <cstddef>

namespace folioset::image {

// PNG row filters, which PDF readers undo for /Predictor 15. The tag byte says which one a row
// went through.
enum class RowFilter : unsigned char { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Filters `row` against `up` (the row above; zeros above an image's first row) with whichever of
// the five filters leaves the smallest sum of absolute differences (each byte read as a signed
// difference): the usual measure of which one deflate will code in the fewest bits. Writes the
// tag byte and the `n` filtered bytes to `out` and returns the filter. `bpp` is the bytes of a
// whole pixel.
RowFilter filterRow(const unsigned char *row, const unsigned char *up, std::size_t n,
                    std::size_t bpp, unsigned char *out);

} // namespace folioset::image
