#pragma once

#include <QString>

#include <cstdio>
#include <memory>

namespace folioset::pdf {

// A temporary output file beside its target, renamed over the target by commit() and removed
// otherwise. While it exists its name sits in a fixed registry that
// removePendingTemporaryFiles() can empty from a signal handler.
class PendingFile
{
public:
    static std::unique_ptr<PendingFile> create(const QString &target, QString *reason);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    std::FILE *stream() const { return m_stream; }
    const char *name() const;

    // Flushes to disk, gives the file the target's permissions and renames it over the target.
    bool commit(QString *reason);

private:
    PendingFile() = default;
    void discard();

    int m_slot = -1;
    std::unique_ptr<char[]> m_ownName; // when no registry slot was free
    std::FILE *m_stream = nullptr;
    QString m_target;
    bool m_done = false;
};

} // namespace folioset::pdf
