#include "usermanual.h"

#include "platform/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace folioset {

namespace {

struct Manual
{
    QString resource;
    QString fileName; // the name a viewer offers when the manual is saved elsewhere
};

Manual editionManual()
{
    if (QCoreApplication::applicationName() == QLatin1String("folioset1"))
        return {QStringLiteral(":/manual/MACFolioset1.pdf"),
                QStringLiteral("Folioset Classic User Manual.pdf")};
    return {QStringLiteral(":/manual/MACFolioset2.pdf"),
            QStringLiteral("Folioset User Manual.pdf")};
}

QString failed(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return {};
}

bool holds(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.size() == bytes.size() && file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

} // namespace

QString userManualPath(QString *reason)
{
    const Manual manual = editionManual();
    QFile resource(manual.resource);
    if (!resource.open(QIODevice::ReadOnly))
        return failed(reason, QStringLiteral("The user manual is missing from this build."));
    const QByteArray bytes = resource.readAll();

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty())
        return failed(reason, QStringLiteral("There is no cache folder to put the manual in."));
    if (!QDir().mkpath(folder))
        return failed(reason, QStringLiteral("The folder %1 could not be created.").arg(folder));

    const QString target = QDir(folder).filePath(manual.fileName);
    if (holds(target, bytes))
        return target;
    QString why;
    if (!AtomicFile::writeWhole(target, bytes, &why))
        return failed(
            reason, QStringLiteral("The manual could not be written to %1 (%2).").arg(target, why));
    return target;
}

} // namespace folioset
