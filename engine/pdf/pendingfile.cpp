#include "pendingfile.h"

#include "document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folioset::pdf {

namespace {

// Fixed storage only: the signal handler may read it at any moment and must not allocate.
constexpr int kSlots = 16;
constexpr std::size_t kNameMax = 4096;

struct Slot
{
    std::atomic<int> state{0}; // 0 free, 1 claimed, 2 holds a file name
    char name[kNameMax];
};

std::array<Slot, kSlots> g_slots;

static_assert(std::atomic<int>::is_always_lock_free, "the registry is read from signal handlers");

int claimSlot()
{
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1))
            return i;
    }
    return -1;
}

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// The umask, read without changing it (umask() would, and is process-wide).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
        }
    }
    return 022;
}

} // namespace

std::unique_ptr<PendingFile> PendingFile::create(const QString &target, QString *reason)
{
    const QFileInfo info(target);
    const QByteArray pattern = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") +
                                                 info.fileName() + QStringLiteral(".XXXXXX"));
    auto file = std::unique_ptr<PendingFile>(new PendingFile);
    file->m_target = info.absoluteFilePath();
    char *name = nullptr;
    file->m_slot = pattern.size() < qsizetype(kNameMax) ? claimSlot() : -1;
    if (file->m_slot >= 0) {
        Slot &slot = g_slots[file->m_slot];
        std::memcpy(slot.name, pattern.constData(), std::size_t(pattern.size()) + 1);
        slot.state.store(2);
        name = slot.name;
    } else {
        file->m_ownName = std::make_unique<char[]>(std::size_t(pattern.size()) + 1);
        std::memcpy(file->m_ownName.get(), pattern.constData(), std::size_t(pattern.size()) + 1);
        name = file->m_ownName.get();
    }
    const int fd = ::mkostemp(name, O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = systemError(QStringLiteral("Unable to create a file in the output folder"));
        file->m_done = true;
        if (file->m_slot >= 0)
            g_slots[file->m_slot].state.store(0);
        file->m_slot = -1;
        return nullptr;
    }
    file->m_stream = ::fdopen(fd, "wb");
    if (!file->m_stream) {
        ::close(fd);
        if (reason)
            *reason = systemError(QStringLiteral("Unable to write in the output folder"));
        return nullptr; // the destructor removes the file
    }
    return file;
}

const char *PendingFile::name() const
{
    return m_slot >= 0 ? g_slots[m_slot].name : m_ownName.get();
}

PendingFile::~PendingFile()
{
    if (!m_done)
        discard();
    if (m_slot >= 0)
        g_slots[m_slot].state.store(0);
}

void PendingFile::discard()
{
    if (m_stream)
        std::fclose(m_stream);
    m_stream = nullptr;
    ::unlink(name());
    m_done = true;
}

bool PendingFile::commit(QString *reason)
{
    const int fd = ::fileno(m_stream);
    struct stat existing
    {};
    const mode_t mode = ::stat(QFile::encodeName(m_target).constData(), &existing) == 0
                            ? existing.st_mode & 07777
                            : 0666 & ~currentUmask();
    // A file that is renamed into place must be on disk first, or a crash could leave an empty
    // file where a good one was.
    if (std::fflush(m_stream) != 0 || ::fsync(fd) != 0) {
        if (reason)
            *reason = systemError(QStringLiteral("Unable to write the PDF file"));
        discard();
        return false;
    }
    ::fchmod(fd, mode);
    const int closed = std::fclose(m_stream);
    m_stream = nullptr;
    if (closed != 0) {
        if (reason)
            *reason = systemError(QStringLiteral("Unable to write the PDF file"));
        discard();
        return false;
    }
    if (::rename(name(), QFile::encodeName(m_target).constData()) != 0) {
        if (reason)
            *reason = systemError(QStringLiteral("Unable to replace the PDF file"));
        discard();
        return false;
    }
    m_done = true;
    return true;
}

void removePendingTemporaryFiles() noexcept
{
    for (Slot &slot : g_slots) {
        if (slot.state.load() == 2)
            ::unlink(slot.name);
    }
}

} // namespace folioset::pdf
