#pragma once

#include "embeddedimage.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace folioset::image {

// A nameless scratch file in the system's temporary folder: unlinked as soon as it is opened,
// so it disappears with the descriptor however the process ends. Decoded images are parked here
// compressed until the document is written.
class SpillFile
{
public:
    static std::unique_ptr<SpillFile> create(QString *reason);
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

private:
    explicit SpillFile(int fd) : m_fd(fd) {}
    bool put(std::uint64_t offset, const char *data, std::size_t length, QString *reason);
    int m_fd;
    std::uint64_t m_size = 0;
};

// Gives the document's spill file, creating it on first use; nullptr, with a reason, on failure.
using SpillAccess = std::function<SpillFile *(QString *reason)>;

} // namespace folioset::image
