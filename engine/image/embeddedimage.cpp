#include "embeddedimage.h"

#include "filestamp.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace folioset::image {

std::uint64_t StreamOrigin::totalLength() const
{
    std::uint64_t total = std::uint64_t(prefix.size());
    for (const ByteRange &range : ranges)
        total += range.length;
    return total;
}

int StreamOrigin::openUnchanged() const
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status
    {};
    if (::fstat(fd, &status) != 0 || status.st_size != fileSize ||
        (modified >= 0 && modificationTime(status) != modified)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

StreamOrigin StreamOrigin::inFile(const QString &path, std::int64_t fileSize, std::int64_t modified,
                                  std::vector<ByteRange> ranges)
{
    StreamOrigin origin;
    origin.kind = Kind::SourceFile;
    origin.path = path;
    origin.fileSize = fileSize;
    origin.modified = modified;
    origin.ranges = std::move(ranges);
    return origin;
}

int componentsOf(ColorSpace space)
{
    switch (space) {
    case ColorSpace::Rgb:
        return 3;
    case ColorSpace::Cmyk:
        return 4;
    case ColorSpace::Gray:
    case ColorSpace::Indexed:
        return 1;
    }
    return 1;
}

int EmbeddedImage::components() const
{
    return componentsOf(colorSpace);
}

} // namespace folioset::image
