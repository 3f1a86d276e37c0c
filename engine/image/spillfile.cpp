#include "spillfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace folioset::image {

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::unique_ptr<SpillFile> SpillFile::create(const QString &folder, QString *reason)
{
    const QByteArray dir = QFile::encodeName(folder.isEmpty() ? QDir::tempPath() : folder);
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Filesystems without O_TMPFILE: a named file, unlinked before anyone can see it long.
        QByteArray pattern = dir + "/.folioset-spill-XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(pattern.constData());
    }
    if (fd < 0) {
        if (reason)
            *reason = systemError("Unable to create a scratch file");
        return nullptr;
    }
    return std::unique_ptr<SpillFile>(new SpillFile(fd));
}

SpillFile::~SpillFile()
{
    ::close(m_fd);
}

bool SpillFile::append(const char *data, std::size_t length, QString *reason)
{
    if (!put(m_size, data, length, reason))
        return false;
    m_size += length;
    return true;
}

bool SpillFile::writeAt(std::uint64_t offset, const char *data, std::size_t length, QString *reason)
{
    if (offset + length > m_size) {
        if (reason)
            *reason = QStringLiteral("Unable to write the scratch file past its end");
        return false;
    }
    return put(offset, data, length, reason);
}

bool SpillFile::put(std::uint64_t offset, const char *data, std::size_t length, QString *reason)
{
    while (length > 0) {
        const ssize_t written = ::pwrite(m_fd, data, length, off_t(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC; // a write that takes nothing and says nothing: the disk is full
            if (m_failure.isEmpty())
                m_failure = systemError("Unable to write the scratch file");
            if (reason)
                *reason = m_failure;
            return false;
        }
        data += written;
        length -= std::size_t(written);
        offset += std::uint64_t(written);
    }
    return true;
}

bool SpillFile::truncate(std::uint64_t offset)
{
    if (offset > m_size || ::ftruncate(m_fd, off_t(offset)) != 0)
        return false;
    m_size = offset;
    return true;
}

bool SpillFile::read(std::uint64_t offset, char *data, std::size_t length) const
{
    while (length > 0) {
        const ssize_t got = ::pread(m_fd, data, length, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        length -= std::size_t(got);
        offset += std::uint64_t(got);
    }
    return true;
}

} // namespace folioset::image
