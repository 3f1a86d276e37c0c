#pragma once

#include <QString>

#include <memory>

namespace folioset::image {

// An image file opened for conversion. Opening reads header facts only (format, frame count,
// dimensions of the first frame); pixel data is read when a page is made from a frame and, for
// data carried unchanged into the PDF, again only when the document is written.
class ImageSource
{
public:
    // nullptr, with a reason, when the file is missing, empty, not an image the program reads,
    // or declares dimensions beyond the decoding limit.
    static std::unique_ptr<ImageSource> open(const QString &path, QString *reason = nullptr);

    virtual ~ImageSource() = default;

    virtual QString path() const = 0;
    // One per page of a TIFF; the frames of an animated GIF; 1 for every other file.
    virtual int frameCount() const = 0;
};

} // namespace folioset::image
