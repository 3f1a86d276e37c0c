#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace folioset::image {

// In nanoseconds: a file rewritten within the same second still shows as changed.
inline std::int64_t modificationTime(const struct stat &status)
{
    return std::int64_t(status.st_mtim.tv_sec) * 1000000000 + std::int64_t(status.st_mtim.tv_nsec);
}

// What tells whether a file is still the one that was read: size and modification time.
struct FileStamp
{
    std::int64_t size = -1;
    std::int64_t modified = -1;

    bool operator==(const FileStamp &) const = default;
};

inline std::optional<FileStamp> fileStamp(const QString &path)
{
    struct stat status
    {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileStamp{std::int64_t(status.st_size), modificationTime(status)};
}

// Reads `length` bytes at `offset`, through interruptions and short reads: the count read, less
// only where the file ends, or -1 when reading fails.
inline ssize_t readAt(int fd, char *data, std::size_t length, std::uint64_t offset)
{
    std::size_t have = 0;
    while (have < length) {
        const ssize_t got = ::pread(fd, data + have, length - have, off_t(offset + have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        have += std::size_t(got);
    }
    return ssize_t(have);
}

} // namespace folioset::image
