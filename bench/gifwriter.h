#pragma once

#include <QImage>
#include <QString>

namespace bench {

// Writes `image` as a single-frame GIF with a fixed 6x7x6 colour cube palette, LZW-compressed
// (Qt reads GIF but cannot write it).
bool writeGif(const QString &path, const QImage &image);

} // namespace bench
