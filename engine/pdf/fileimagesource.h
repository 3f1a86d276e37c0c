#pragma once

#include "embeddedimage.h"
#include "imagesource.h"
#include "jpegfacts.h"
#include "pngfacts.h"

#include <QByteArray>
#include <QSize>

#include <functional>
#include <optional>

namespace folioset::pdf {

class SpillFile;

enum class FileFormat
{
    Jpeg,
    Png,
    Bmp,
    Gif,
    Tiff,
    Other
};

// Gives the document's spill file, creating it on first use; nullptr, with a reason, on failure.
using SpillAccess = std::function<SpillFile *(QString *reason)>;

class FileImageSource final : public ImageSource
{
public:
    static std::unique_ptr<FileImageSource> openFile(const QString &path, QString *reason);

    QString path() const override { return m_path; }
    int frameCount() const override { return m_frames; }
    FileFormat format() const { return m_format; }

    // The page image of frame `index`: header facts for data carried unchanged, otherwise the
    // frame decoded now and parked compressed in the spill file.
    std::optional<PageImage> makePageImage(int index, const SpillAccess &spill,
                                           QString *reason) const;

private:
    std::optional<PageImage> decodeFrame(int index, Resolution resolution, int orientation,
                                         const SpillAccess &spill, QString *reason) const;

    std::optional<JpegFacts> jpegFacts(QString *reason) const;
    std::optional<PngFacts> pngFacts(QString *reason) const;

    QString m_path;
    FileFormat m_format = FileFormat::Other;
    int m_frames = 1;
    // Read when the file was opened; used again while the file keeps its size and time.
    std::optional<JpegFacts> m_jpeg;
    std::optional<PngFacts> m_png;
};

} // namespace folioset::pdf
