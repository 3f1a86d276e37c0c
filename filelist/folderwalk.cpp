#include "folderwalk.h"

#include "model/filetypes.h"

#include <QDirIterator>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace folioset {

namespace {

// Folders that other systems show as one document: their contents are the program's own
// parts or derived previews, not the user's pictures.
bool isPackage(const QFileInfo &folder)
{
    static const QStringList packageSuffixes{QStringLiteral("app"), QStringLiteral("bundle"),
                                             QStringLiteral("framework"),
                                             QStringLiteral("photoslibrary")};
    return folder.isBundle() || packageSuffixes.contains(folder.suffix(), Qt::CaseInsensitive);
}

// A name that is not valid UTF-8 cannot be turned back into the bytes on disk: such a file
// could be listed but never opened, so it is passed over.
bool nameIsReadable(const QFileInfo &file)
{
    return !file.fileName().contains(QChar::ReplacementCharacter) || file.exists();
}

// Depth first, each folder's entries in the order the file system gives, descending into a
// subfolder where it is met. Returns false when the walk was told to stop.
bool walkFolder(const QString &root, bool subfolders, const std::function<bool()> &keepGoing,
                const std::function<void(const QString &)> &offer)
{
    const auto entries = [](const QString &folder) {
        return std::make_unique<QDirIterator>(folder, QDir::AllEntries | QDir::System |
                                                          QDir::NoDotAndDotDot);
    };
    std::vector<std::unique_ptr<QDirIterator>> stack;
    stack.push_back(entries(root));
    while (!stack.empty()) {
        QDirIterator &folder = *stack.back();
        if (!folder.hasNext()) {
            stack.pop_back();
            continue;
        }
        folder.next();
        if (!keepGoing())
            return false;
        const QFileInfo entry = folder.fileInfo();
        if (entry.isDir()) {
            if (subfolders && !entry.isSymLink() && !isPackage(entry))
                stack.push_back(entries(entry.filePath()));
        } else if (isAllowedFileName(entry.fileName()) && nameIsReadable(entry)) {
            offer(entry.filePath());
        }
    }
    return true;
}

} // namespace

void walkForFiles(const Arguments &request, const std::function<bool()> &keepGoing,
                  const std::function<void(const QString &path)> &offer)
{
    for (const QUrl &url : request.urls) {
        if (!keepGoing())
            return;
        const QString path = url.toLocalFile();
        if (!request.isFolders) {
            offer(path);
            continue;
        }
        const QFileInfo location(path);
        if (!location.isDir() && isAllowedFileName(location.fileName())) {
            offer(path);
            continue;
        }
        if (location.isDir() &&
            !walkFolder(path, request.isIncludeSubdirectories, keepGoing, offer))
            return;
    }
}

} // namespace folioset
