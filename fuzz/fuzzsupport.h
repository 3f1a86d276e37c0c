#pragma once

// What the fuzz targets share: the input as a file for readers that take a path, and the
// decoded path of an image run under a budget.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "engine/image/spillfile.h"

#include <memory>

namespace folioset::image {
class RowReader;
}

namespace fuzzing {

// The program lets a page decode to 4 GiB of samples, seconds of real work; a fuzzer that
// wants thousands of runs a second takes only images below this, and still reaches every
// branch that a larger one would.
inline constexpr std::uint64_t kDecodedBudget = 8ULL * 1024 * 1024;

// `data` as the contents of a file in memory; its path stays the same for the whole process.
QString inputFile(const std::uint8_t *data, std::size_t size);

bool withinBudget(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel);

// Encodes every row of `reader` (when there is one and it fits the budget) into a scratch file
// of its own, as a page would be.
void encodeRows(folioset::image::RowReader *reader);

// A scratch file made on first use and kept in `holder`, as a document gives its pages one.
folioset::image::SpillAccess lazySpill(std::unique_ptr<folioset::image::SpillFile> &holder);

// Pages tried per input: later frames and pages go through the same code.
inline constexpr int kPagesTried = 4;

} // namespace fuzzing
