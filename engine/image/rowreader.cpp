#include "rowreader.h"

#include "decodinglimits.h"

namespace folioset::image {

int RowFormat::components() const
{
    return componentsOf(colorSpace);
}

std::size_t RowFormat::colourRowBytes() const
{
    return (std::size_t(width) * std::size_t(components()) * std::size_t(bitsPerComponent) + 7) / 8;
}

std::size_t RowFormat::alphaRowBytes() const
{
    return std::size_t(width) * std::size_t(alphaBits) / 8;
}

std::uint64_t RowFormat::decodedBytes() const
{
    return std::uint64_t(height) * (colourRowBytes() + alphaRowBytes());
}

bool RowReader::fitsLimit(std::uint64_t heldBytes, QString *reason) const
{
    const auto tooLarge = checkHeldBytes(m_format.width, m_format.height, heldBytes);
    if (tooLarge && reason)
        *reason = *tooLarge;
    return !tooLarge;
}

bool RowReader::openFile(QFile &file, const QString &path, QString *reason)
{
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    if (reason)
        *reason = QStringLiteral("Unable to open the image file");
    return false;
}

} // namespace folioset::image
