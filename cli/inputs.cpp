#include "inputs.h"

#include "model/filetypes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace folioset::cli {

namespace {

QStringList folderFiles(const QString &folder, bool recursive)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Readable,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isAllowedFileName(it.fileName()))
            files << QDir::cleanPath(path);
    }
    // Directory order depends on the file system; a batch should come out the same every time.
    std::sort(files.begin(), files.end());
    return files;
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
        const QFileInfo info(argument);
        const QString path = QDir::cleanPath(info.absoluteFilePath());
        if (info.isDir() && info.isReadable()) {
            for (const QString &file : folderFiles(path, recursive))
                add(file);
        } else if (info.isFile()) {
            add(path);
        } else {
            gathered.missing << argument;
        }
    }
    for (const ListEntry &entry : listed) {
        const QFileInfo info(entry.path);
        if (entry.path.isEmpty())
            gathered.skipped.append({entry, QStringLiteral("empty line")});
        else if (info.isFile())
            add(QDir::cleanPath(info.absoluteFilePath()));
        else
            gathered.skipped.append({entry, info.exists() ? QStringLiteral("not a file")
                                                          : QStringLiteral("no such file")});
    }
    return gathered;
}

} // namespace folioset::cli
