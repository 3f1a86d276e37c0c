#include "paths.h"

#include <QStandardPaths>

namespace folioset {

QStringList userDataFolders()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return home.isEmpty() ? QStringList{} : QStringList{home};
}

} // namespace folioset
