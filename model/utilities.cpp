#include "utilities.h"

#include "platform/bundleinfo.h"
#include "platform/edition.h"
#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace folioset::Utilities {

QString getAppPath()
{
    const QStringList folders = userDataFolders();
    if (folders.size() != 1)
        return {};
    return QDir(folders.first()).filePath(QStringLiteral("Quillmark/") + editionName());
}

bool createApplicationUsersFolder(const QString &name, QString *error)
{
    const QString base = getAppPath();
    if (base.isEmpty()) {
        if (error)
            *error = QStringLiteral("No per-user data folder is available.");
        return false;
    }
    const QString path = name.isEmpty() ? base : QDir(base).filePath(name);
    if (QFileInfo(path).isDir())
        return true;
    if (QDir().mkpath(path))
        return true;
    if (error)
        *error = QStringLiteral("The folder “%1” could not be created.").arg(path);
    return false;
}

QString getAppTitle(const QString &suffix)
{
    return infoEntry(QStringLiteral("CFBundleDisplayName")) + suffix;
}

} // namespace folioset::Utilities
