#include "support/smalldisk.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fixtures {

SmallDisk::SmallDisk(qint64 bytes, Access access)
{
    const QByteArray where = QFile::encodeName(m_folder.path());
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    m_mounted = m_folder.isValid() &&
                ::mount("tmpfs", where.constData(), "tmpfs",
                        MS_NOSUID | MS_NODEV | (access == Access::ReadOnly ? MS_RDONLY : 0),
                        options.constData()) == 0;
    if (!m_mounted)
        m_refusal = QStringLiteral("cannot mount a small tmpfs here: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
}

qint64 SmallDisk::freeBytes() const
{
    struct statvfs info
    {};
    if (::statvfs(QFile::encodeName(path()).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool SmallDisk::fillLeaving(qint64 leave) const
{
    const int fd = ::open(QFile::encodeName(path() + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    static const char block[4096] = {};
    while (freeBytes() > leave) {
        const qint64 chunk = std::min<qint64>(sizeof block, freeBytes() - leave);
        if (::write(fd, block, std::size_t(chunk)) <= 0)
            break;
    }
    ::close(fd);
    return freeBytes() <= leave;
}

} // namespace fixtures
