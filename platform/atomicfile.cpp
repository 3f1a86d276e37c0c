#include "atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folioset {

namespace {

// Small writes are gathered so the system sees few large ones; large ones go straight through.
constexpr std::size_t kBufferSize = 1 << 20;

// Each time this much more has been written, the disk is told to start on it: it then writes
// while the rest of the file is produced, and the flush in commit() waits only for the tail.
// A file smaller than this costs no extra call.
constexpr std::size_t kWritebackStride = 8 << 20;

// Names of temporary files that exist on disk, in fixed storage: a signal handler may read
// them at any moment and must not allocate.
constexpr int kSlots = 16;
constexpr std::size_t kNameMax = 4096;

struct Slot
{
    std::atomic<int> state{0}; // 0 free, 1 claimed, 2 holds a name that exists on disk
    char name[kNameMax];
};

std::array<Slot, kSlots> g_slots;

std::atomic<bool> g_unnamedFilesEnabled{true};

static_assert(std::atomic<int>::is_always_lock_free, "the registry is read from signal handlers");

int claimSlot(const QByteArray &name)
{
    if (name.size() >= qsizetype(kNameMax))
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].name, name.constData(), std::size_t(name.size()) + 1);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int &slot)
{
    if (slot >= 0)
        g_slots[slot].state.store(0);
    slot = -1;
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

// A short name beside the target: the target's own name may already be as long as a name can
// be, so nothing is added to it.
QByteArray temporaryName(const QByteArray &folder)
{
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = folder + "/.folioset-";
    for (int i = 0; i < 8; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)];
    return name;
}

bool unnamedFilesRefused(int error)
{
    // Older kernels and some file systems (FUSE, NFS, overlay layers) have no unnamed files.
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOTSUP;
}

// Gives the unnamed file behind `fd` the name `path`; fails with EEXIST when the name is taken.
int linkUnnamed(int fd, const char *path)
{
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, procPath, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
        return -1;
    // No /proc: this form needs a privilege, but it is the only one left.
    return ::linkat(fd, "", AT_FDCWD, path, AT_EMPTY_PATH);
}

void syncFolder(const QByteArray &folder)
{
    // The new name itself must survive a crash; a folder that cannot be flushed changes nothing
    // about the file, so this is best effort.
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::unique_ptr<AtomicFile> AtomicFile::open(const QString &target, QString *reason, Access access)
{
    auto file = std::unique_ptr<AtomicFile>(new AtomicFile);
    const QFileInfo info(target);
    file->m_target = QFile::encodeName(info.absoluteFilePath());
    file->m_folder = QFile::encodeName(info.absolutePath());
    file->m_access = access;
    const mode_t mode = access == Access::Private ? 0600 : 0666;

    if (g_unnamedFilesEnabled)
        file->m_fd = ::open(file->m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    else
        errno = EOPNOTSUPP;
    file->m_unnamed = file->m_fd >= 0;
    if (file->m_fd < 0 && unnamedFilesRefused(errno)) {
        file->m_name = temporaryName(file->m_folder);
        file->m_name.chop(6);
        file->m_name += "XXXXXX";
        file->m_fd = ::mkostemp(file->m_name.data(), O_CLOEXEC);
        if (file->m_fd >= 0)
            file->remember(file->m_name);
    }
    if (file->m_fd < 0) {
        file->fail("Unable to create a file in the folder");
        if (reason)
            *reason = file->m_failure;
        file->discard();
        return nullptr;
    }
    file->m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    return file;
}

void AtomicFile::setUnnamedFilesEnabled(bool enabled)
{
    g_unnamedFilesEnabled = enabled;
}

bool AtomicFile::writeWhole(const QString &target, const QByteArray &bytes, QString *reason,
                            Access access)
{
    const auto file = open(target, reason, access);
    if (!file)
        return false;
    file->write(bytes);
    return file->commit(reason);
}

AtomicFile::~AtomicFile()
{
    if (!m_done)
        discard();
}

bool AtomicFile::fail(const char *what)
{
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                 QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool AtomicFile::write(const char *data, std::size_t size)
{
    if (m_done || failed())
        return false;
    m_size += size;
    if (m_buffered + size > kBufferSize) {
        if (!flushBuffer())
            return false;
        if (size >= kBufferSize)
            return writeAll(data, size);
    }
    std::memcpy(m_buffer.get() + m_buffered, data, size);
    m_buffered += size;
    return true;
}

bool AtomicFile::flushBuffer()
{
    return writeAll(m_buffer.get(), std::exchange(m_buffered, 0));
}

bool AtomicFile::writeAll(const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC; // a write that takes nothing and says nothing: the disk is full
            return fail("Unable to write the file");
        }
        data += written;
        size -= std::size_t(written);
        m_written += std::size_t(written);
    }
    return startWriteback();
}

bool AtomicFile::startWriteback()
{
    if (!m_writeback || m_written - m_writebackFrom < kWritebackStride)
        return true;
    if (::sync_file_range(m_fd, off64_t(m_writebackFrom), off64_t(m_written - m_writebackFrom),
                          SYNC_FILE_RANGE_WRITE) != 0) {
        // Only a head start: where the file system has no use for it, commit() flushes it all.
        if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP)
            m_writeback = false;
        else if (errno != EINTR)
            return fail("Unable to write the file to disk");
    }
    m_writebackFrom = m_written;
    return true;
}

void AtomicFile::remember(const QByteArray &name)
{
    m_slot = claimSlot(name);
    if (m_slot >= 0)
        g_slots[m_slot].state.store(2);
}

void AtomicFile::forget(bool removeFile)
{
    if (removeFile && !m_name.isEmpty())
        ::unlink(m_name.constData());
    m_name.clear();
    releaseSlot(m_slot);
}

void AtomicFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    forget(true);
    m_done = true;
}

bool AtomicFile::commit(QString *reason)
{
    return finish([this] { return giveName(); }, reason);
}

bool AtomicFile::commitUnderFreeName(const std::function<QString(int)> &nameFor, QString *chosen,
                                     QString *reason)
{
    return finish([&] { return giveFreeName(nameFor, chosen); }, reason);
}

bool AtomicFile::finish(const std::function<bool()> &name, QString *reason)
{
    if (m_done) {
        if (reason)
            *reason = failed() ? m_failure : QStringLiteral("The file was already closed");
        return false;
    }
    if (!failed())
        flushBuffer();
    if (!failed()) {
        struct stat existing
        {};
        mode_t mode = 0600;
        if (m_access == Access::Ordinary)
            mode = ::stat(m_target.constData(), &existing) == 0 ? existing.st_mode & 07777
                                                                : 0666 & ~currentUmask();
        // A stricter mode than asked for is only a nuisance for an ordinary file; for a
        // private one a wider mode would expose what it holds.
        if (::fchmod(m_fd, mode) != 0 && m_access == Access::Private)
            fail("Unable to protect the file");
    }
    // The file must be on disk before it takes the name, or a crash could leave an empty or
    // partial file where a good one was.
    if (!failed() && ::fdatasync(m_fd) != 0)
        fail("Unable to write the file to disk");
    if (!failed())
        name();
    if (failed()) {
        if (reason)
            *reason = m_failure;
        discard();
        return false;
    }
    syncFolder(m_folder);
    return true;
}

bool AtomicFile::giveName()
{
    if (!m_unnamed) {
        if (::close(std::exchange(m_fd, -1)) != 0)
            return fail("Unable to write the file");
        if (::rename(m_name.constData(), m_target.constData()) != 0)
            return fail("Unable to give the file its name");
        forget(false);
        m_done = true;
        return true;
    }

    // A name that is free is taken directly: the file appears complete or not at all.
    bool replacing = false;
    if (linkUnnamed(m_fd, m_target.constData()) != 0) {
        if (errno != EEXIST)
            return fail("Unable to give the file its name");
        // linkat never replaces: link under a temporary name, then rename over the target.
        replacing = true;
        for (int attempt = 0;; ++attempt) {
            m_name = temporaryName(m_folder);
            remember(m_name);
            if (linkUnnamed(m_fd, m_name.constData()) == 0)
                break;
            const int error = errno;
            forget(false);
            errno = error;
            if (error != EEXIST || attempt == 20)
                return fail("Unable to give the file its name");
        }
    } else {
        m_name = m_target; // ours alone until the descriptor is closed
    }
    if (::close(std::exchange(m_fd, -1)) != 0)
        return fail("Unable to write the file");
    if (replacing && ::rename(m_name.constData(), m_target.constData()) != 0)
        return fail("Unable to give the file its name");
    forget(false);
    m_done = true;
    return true;
}

bool AtomicFile::giveFreeName(const std::function<QString(int)> &nameFor, QString *chosen)
{
    if (!m_unnamed && ::close(std::exchange(m_fd, -1)) != 0)
        return fail("Unable to write the file");
    for (int attempt = 0;; ++attempt) {
        const QString name = nameFor(attempt);
        if (name.isEmpty()) {
            errno = EEXIST;
            return fail("Unable to give the file its name");
        }
        const QByteArray path = m_folder + '/' + QFile::encodeName(name);
        // Neither call replaces an existing file: a name taken by someone else fails with
        // EEXIST, and the next name is tried.
        const int linked = m_unnamed ? linkUnnamed(m_fd, path.constData())
                                     : ::link(m_name.constData(), path.constData());
        if (linked != 0) {
            if (errno == EEXIST)
                continue;
            return fail("Unable to give the file its name");
        }
        if (m_unnamed && ::close(std::exchange(m_fd, -1)) != 0) {
            ::unlink(path.constData());
            return fail("Unable to write the file");
        }
        forget(true); // the temporary name, when there was one; the file keeps its new name
        m_done = true;
        if (chosen)
            *chosen = QFile::decodeName(path);
        return true;
    }
}

void removePendingTemporaryFiles() noexcept
{
    for (Slot &slot : g_slots) {
        if (slot.state.load() == 2)
            ::unlink(slot.name);
    }
}

} // namespace folioset
