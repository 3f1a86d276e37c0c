#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>

#include <sys/stat.h>

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

} // namespace folioset::image
