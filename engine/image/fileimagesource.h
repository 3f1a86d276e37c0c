#pragma once

#include "bmpheader.h"
#include "embeddedimage.h"
#include "filestamp.h"
#include "giffile.h"
#include "imagesource.h"
#include "jpegfacts.h"
#include "pngfacts.h"
#include "spillfile.h"

#include <optional>

namespace folioset::image {

class RowReader;

enum class FileFormat { Jpeg, Png, Bmp, Gif, Tiff, Other };

// An image file: its format told by its first bytes, its headers read at once so that a file
// that cannot be a page fails when it is opened.
class FileImageSource final : public ImageSource
{
public:
    static std::unique_ptr<FileImageSource> openFile(const QString &path, QString *reason);

    QString path() const override { return m_path; }
    int frameCount() const override { return m_frames; }
    FileFormat format() const { return m_format; }

    // The page image of frame `index`: header facts for data carried unchanged, otherwise the
    // frame decoded now and left compressed in the spill file.
    std::optional<PageImage> makePageImage(int index, const SpillAccess &spill,
                                           QString *reason) const;
    // What makePageImage would give of frame `index` to lay out its page, from the headers
    // alone: nothing is decoded.
    std::optional<ImageFacts> imageFacts(int index, QString *reason) const;

private:
    // The file as openFile holds it: a JPEG's headers are read from there, not opened again.
    struct Opened
    {
        int fd;
        const struct stat &status;
        const QByteArray &head; // the first bytes, the whole of a small file
    };
    bool readHeaders(QString *reason, const Opened *opened = nullptr) const;
    // The headers read at open while the file keeps its size and time, which costs one stat
    // instead of a second read; read again otherwise. Whatever changes after this is caught
    // when the data is copied.
    bool refresh(QString *reason) const;
    PageImage carriedJpeg() const;
    PageImage carriedPng() const;
    std::optional<PageImage> decodedByQt(int index, const SpillAccess &spill,
                                         QString *reason) const;

    QString m_path;
    FileFormat m_format = FileFormat::Other;
    mutable int m_frames = 1;
    mutable std::optional<FileStamp> m_stamp;
    mutable std::optional<JpegFacts> m_jpeg;
    mutable std::optional<PngFacts> m_png;
    mutable std::optional<BmpHeader> m_bmp;
    mutable std::optional<GifFacts> m_gif;
};

} // namespace folioset::image
