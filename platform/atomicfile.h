#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>

namespace folioset {

// The one way this program writes a file: whole or not at all.
//
// Bytes go into an unnamed file (O_TMPFILE) in the target's folder, so a run that is killed
// leaves nothing behind. commit() flushes the file to disk and only then gives it the target's
// name, replacing an earlier file in one step. Where the file system refuses unnamed files, a
// short hidden name is used instead and removed on every failure.
//
// Bytes go to disk while the file grows, in steps of a few megabytes, so that commit() waits
// only for the last of them.
//
// Every write, flush and close is checked, short writes included. The first failure is kept:
// later writes do nothing, commit() reports it, and the target stays as it was. Destroying a
// file that was not committed discards it.
class AtomicFile
{
public:
    enum class Access {
        Ordinary, // an existing target's mode, otherwise what the umask gives a new file
        Private,  // owner only (0600): the file holds what others must not read
    };

    static std::unique_ptr<AtomicFile> open(const QString &target, QString *reason,
                                            Access access = Access::Ordinary);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool write(const char *data, std::size_t size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }

    bool failed() const { return !m_failure.isEmpty(); }
    // Why the file failed, with the system's words ("No space left on device").
    QString failure() const { return m_failure; }
    // Bytes accepted so far.
    std::size_t size() const { return m_size; }

    // True once the complete file is on disk under the target's name.
    bool commit(QString *reason = nullptr);
    // Like commit(), but never replaces a file: the file takes the first of the names
    // `nameFor(0)`, `nameFor(1)`, ... (names in the target's folder) that no file has, in one
    // step that another process taking a name at the same moment cannot undo. `nameFor` ends
    // the search by returning an empty name. `chosen` receives the path taken.
    bool commitUnderFreeName(const std::function<QString(int attempt)> &nameFor, QString *chosen,
                             QString *reason = nullptr);
    // Drops the file; the target is not touched.
    void discard();

    // With false, files are written under a short hidden name as where the file system refuses
    // unnamed files: that path is otherwise hard to reach on purpose. Process-wide.
    static void setUnnamedFilesEnabled(bool enabled);

    // Opens, writes and commits in one call.
    static bool writeWhole(const QString &target, const QByteArray &bytes, QString *reason,
                           Access access = Access::Ordinary);

private:
    AtomicFile() = default;
    bool flushBuffer();
    bool writeAll(const char *data, std::size_t size);
    bool startWriteback();
    bool fail(const char *what);
    bool finish(const std::function<bool()> &giveName, QString *reason);
    bool giveName();
    bool giveFreeName(const std::function<QString(int)> &nameFor, QString *chosen);
    void remember(const QByteArray &name);
    void forget(bool removeFile);

    int m_fd = -1;
    QByteArray m_name; // a temporary name on disk, removed on failure
    int m_slot = -1;   // where a signal handler finds that name
    QByteArray m_target;
    QByteArray m_folder;
    Access m_access = Access::Ordinary;
    bool m_unnamed = false;
    bool m_done = false;
    std::size_t m_size = 0;
    std::size_t m_written = 0;       // bytes handed to the system
    std::size_t m_writebackFrom = 0; // where the disk has not yet been told to start
    bool m_writeback = true;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_buffered = 0;
    QString m_failure;
};

// Removes the named temporary files of writes in progress. Async-signal-safe: for a process
// that is about to end at once (a second Ctrl-C). Unnamed files need nothing: they vanish with
// the process.
void removePendingTemporaryFiles() noexcept;

} // namespace folioset
