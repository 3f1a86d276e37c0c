#include "chooserfolders.h"

#include "paths.h"
#include "preferences.h"
#include "systemlog.h"

#include <QDir>

namespace folioset {

namespace {

const QString storeKey = QStringLiteral("CHOOSERFOLDERS");

QString keyOf(ChooserPurpose purpose)
{
    switch (purpose) {
    case ChooserPurpose::AddFiles:
        return QStringLiteral("addFiles");
    case ChooserPurpose::AddFolder:
        return QStringLiteral("addFolder");
    case ChooserPurpose::Export:
        return QStringLiteral("export");
    case ChooserPurpose::OutputFolder:
        return QStringLiteral("outputFolder");
    case ChooserPurpose::ImportList:
        return QStringLiteral("importList");
    case ChooserPurpose::Agreement:
        return QStringLiteral("agreement");
    }
    return {};
}

} // namespace

QString chooserFolder(ChooserPurpose purpose)
{
    const QString stored = Preferences().value(storeKey).toMap().value(keyOf(purpose)).toString();
    // Never the working directory: a program started from a menu has an arbitrary one.
    return stored.isEmpty() || QDir::isRelativePath(stored) ? QDir::homePath()
                                                            : nearestExistingFolder(stored);
}

void rememberChooserFolder(ChooserPurpose purpose, const QString &folder)
{
    if (folder.isEmpty())
        return;
    Preferences preferences;
    QVariantMap folders = preferences.value(storeKey).toMap();
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (folders.value(keyOf(purpose)).toString() == clean)
        return;
    folders.insert(keyOf(purpose), clean);
    QString reason;
    if (!preferences.setValue(storeKey, folders, &reason))
        logError(QStringLiteral("rememberChooserFolder"), reason);
}

} // namespace folioset
