#include "fuzzsupport.h"

#include "engine/image/imageencoder.h"
#include "engine/image/rowreader.h"
#include "engine/image/spillfile.h"

#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace fuzzing {

QString inputFile(const std::uint8_t *data, std::size_t size)
{
    static const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::pwrite(fd, data + done, size - done, off_t(done));
        if (written <= 0)
            std::abort();
        done += std::size_t(written);
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

folioset::image::SpillAccess lazySpill(std::unique_ptr<folioset::image::SpillFile> &holder)
{
    return [&holder](QString *why) {
        if (!holder)
            holder = folioset::image::SpillFile::create(QString(), why);
        if (!holder)
            std::abort(); // the machine, not the input
        return holder.get();
    };
}

bool withinBudget(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel)
{
    return width * height * bytesPerPixel <= kDecodedBudget;
}

void encodeRows(folioset::image::RowReader *reader)
{
    if (!reader || reader->format().decodedBytes() > kDecodedBudget)
        return;
    QString reason;
    const auto spill = folioset::image::SpillFile::create(QString(), &reason);
    if (!spill)
        std::abort(); // the machine, not the input
    folioset::image::encodeImage(*reader, *spill, &reason);
}

} // namespace fuzzing
