#include "inputs.h"

#include "model/filetypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folioset::cli {

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

const QString notRegular = QStringLiteral("not a regular file");

// Walks one folder with the system's own calls, so that what cannot be read is known and
// said, not passed over. Entries are looked at relative to their folder, so a path longer than
// the system can open is found and named rather than lost.
class FolderWalk
{
public:
    FolderWalk(bool recursive, QStringList &files, QList<RejectedPath> &rejects)
        : m_recursive(recursive), m_files(files), m_rejects(rejects)
    {}

    void walk(const QString &folder)
    {
        DIR *dir = ::opendir(QFile::encodeName(folder).constData());
        if (!dir) {
            reject(folder, systemReason(errno));
            return;
        }
        const auto closeLater = qScopeGuard([dir] { ::closedir(dir); });
        const int fd = ::dirfd(dir);
        QStringList subfolders;
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                if (errno != 0)
                    reject(folder, systemReason(errno));
                break;
            }
            const QString name = QFile::decodeName(entry->d_name);
            if (name.startsWith(QLatin1Char('.'))) // hidden, and the folder itself and its parent
                continue;
            // What is neither a file to take nor a folder to walk needs no look at all. A link is
            // never walked, so only a folder, or an entry of unknown kind, is looked at further.
            const bool accepted = isAllowedFileName(name);
            if (!accepted &&
                (!m_recursive || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)))
                continue;
            const QString path = folder.endsWith(QLatin1Char('/'))
                                     ? folder + name
                                     : folder + QLatin1Char('/') + name;
            struct stat link
            {};
            if (::fstatat(fd, entry->d_name, &link, AT_SYMLINK_NOFOLLOW) != 0) {
                if (accepted)
                    reject(path, systemReason(errno));
                continue;
            }
            if (S_ISDIR(link.st_mode)) {
                if (m_recursive)
                    subfolders << path;
                continue;
            }
            if (!accepted)
                continue;
            struct stat target = link;
            if (S_ISLNK(link.st_mode) && ::fstatat(fd, entry->d_name, &target, 0) != 0) {
                reject(path, systemReason(errno)); // a dangling link
                continue;
            }
            if (S_ISDIR(target.st_mode)) // a link to a folder is not followed
                continue;
            if (!S_ISREG(target.st_mode))
                reject(path, notRegular);
            else if (QFile::encodeName(path).size() >= PATH_MAX)
                reject(path, systemReason(ENAMETOOLONG));
            else if (::faccessat(fd, entry->d_name, R_OK, 0) != 0)
                reject(path, systemReason(errno));
            else
                m_files << path;
        }
        for (const QString &subfolder : std::as_const(subfolders))
            walk(subfolder);
    }

private:
    void reject(const QString &path, const QString &reason) { m_rejects.append({path, reason}); }

    const bool m_recursive;
    QStringList &m_files;
    QList<RejectedPath> &m_rejects;
};

void folderFiles(const QString &folder, bool recursive, QStringList &files,
                 QList<RejectedPath> &rejects)
{
    QStringList found;
    QList<RejectedPath> refused;
    FolderWalk(recursive, found, refused).walk(folder);
    // Directory order depends on the file system; a batch should come out the same every time.
    std::sort(found.begin(), found.end());
    std::sort(refused.begin(), refused.end(),
              [](const RejectedPath &a, const RejectedPath &b) { return a.path < b.path; });
    files << found;
    rejects << refused;
}

// Why `path` is nothing to take; empty when it is. A path named on the command line may be a
// folder to walk, which `isFolder` then says; a listed path (`isFolder` null) must be a file.
QString whyNoInput(const QString &path, bool *isFolder)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    {};
    if (::stat(name.constData(), &status) != 0) {
        if (isFolder)
            return errno == ENOENT ? QStringLiteral("no such file or folder") : systemReason(errno);
        return errno == ENOENT || errno == ENOTDIR ? QStringLiteral("no such file")
                                                   : systemReason(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        if (!isFolder)
            return QStringLiteral("not a file");
        *isFolder = true;
        return {};
    }
    if (!S_ISREG(status.st_mode))
        return notRegular;
    if (::access(name.constData(), R_OK) != 0)
        return systemReason(errno);
    return {};
}

} // namespace

GatheredInputs gatherInputs(const QStringList &arguments, bool recursive,
                            const QList<ListEntry> &listed)
{
    GatheredInputs gathered;
    QSet<QString> seen;
    const auto add = [&](const QString &path) {
        if (!seen.contains(path)) {
            seen.insert(path);
            gathered.files << path;
        }
    };
    for (const QString &argument : arguments) {
        const QString path = QDir::cleanPath(QFileInfo(argument).absoluteFilePath());
        bool isFolder = false;
        if (const QString why = whyNoInput(path, &isFolder); !why.isEmpty()) {
            gathered.rejects.append({argument, why});
        } else if (isFolder) {
            QStringList files;
            folderFiles(path, recursive, files, gathered.rejects);
            for (const QString &file : std::as_const(files))
                add(file);
        } else {
            add(path);
        }
    }
    for (const ListEntry &entry : listed) {
        if (entry.path.isEmpty()) {
            gathered.skipped.append({entry, QStringLiteral("empty line")});
        } else if (const QString why = whyNoInput(entry.path, nullptr); !why.isEmpty()) {
            gathered.skipped.append({entry, why});
        } else {
            add(QDir::cleanPath(QFileInfo(entry.path).absoluteFilePath()));
        }
    }
    return gathered;
}

} // namespace folioset::cli
