#pragma once

#include <QString>
#include <QTemporaryDir>

namespace fixtures {

// A file system of its own (tmpfs) of `bytes`, mounted on a new folder, for tests that need a
// disk that really fills up. Mounting needs privileges; where it is refused, mounted() is false
// and refusal() says why.
class SmallDisk
{
public:
    enum class Access { ReadWrite, ReadOnly };
    explicit SmallDisk(qint64 bytes, Access access = Access::ReadWrite);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString refusal() const { return m_refusal; }
    QString path() const { return m_folder.path(); }
    qint64 freeBytes() const;

    // Writes a filler file until at most `leave` bytes are free.
    bool fillLeaving(qint64 leave) const;

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
    QString m_refusal;
};

} // namespace fixtures
