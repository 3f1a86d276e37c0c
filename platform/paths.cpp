#include "paths.h"

#include <QDir>
#include <QFileInfo>

#include <QStandardPaths>

namespace folioset {

QStringList userDataFolders()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return home.isEmpty() ? QStringList{} : QStringList{home};
}

QString nearestExistingFolder(const QString &path)
{
    QString folder = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace folioset
