#pragma once

#include "embeddedimage.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace folioset::image {

// A nameless scratch file: unlinked as soon as it is opened, so it disappears with the
// descriptor however the process ends. Decoded images are parked here compressed until the
// document is written. It belongs in the folder the document goes to: on the file system that
// must hold the result anyway, rather than in a temporary folder (often in memory) whose size
// has nothing to do with it.
class SpillFile
{
public:
    // In `folder`; an empty folder means the system's temporary folder.
    static std::unique_ptr<SpillFile> create(const QString &folder, QString *reason);
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    std::uint64_t size() const { return m_size; }
    bool append(const char *data, std::size_t length, QString *reason);
    // Overwrites bytes already appended; false, with a reason, past the end or on failure.
    bool writeAt(std::uint64_t offset, const char *data, std::size_t length, QString *reason);
    // Gives back the bytes from `offset` on (an image that failed half-way); false on failure.
    bool truncate(std::uint64_t offset);
    // Reads exactly `length` bytes at `offset`; false when the file cannot give them.
    bool read(std::uint64_t offset, char *data, std::size_t length) const;
    // Why the first write failed ("... No space left on device"); empty while none has. A
    // failure here is the document's, not the image's being written.
    const QString &failure() const { return m_failure; }

private:
    explicit SpillFile(int fd) : m_fd(fd) {}
    bool put(std::uint64_t offset, const char *data, std::size_t length, QString *reason);
    int m_fd;
    std::uint64_t m_size = 0;
    QString m_failure;
};

// Gives the document's spill file, creating it on first use; nullptr, with a reason, on failure.
using SpillAccess = std::function<SpillFile *(QString *reason)>;

} // namespace folioset::image
