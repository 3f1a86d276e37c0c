#include "machineid.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QUuid>

namespace folioset {

namespace {

QString readId(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString id = QString::fromLatin1(file.read(64)).trimmed().remove(QLatin1Char('-'));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{32}$"));
    return hex.match(id).hasMatch() ? id.toUpper() : QString();
}

QString asUuid(const QString &hex)
{
    return QStringLiteral("%1-%2-%3-%4-%5")
        .arg(hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4), hex.mid(16, 4), hex.mid(20, 12));
}

} // namespace

QString machineIdentifier(const QString &fallbackFile)
{
    for (const QString &system :
         {QStringLiteral("/etc/machine-id"), QStringLiteral("/var/lib/dbus/machine-id")}) {
        const QString id = readId(system);
        if (!id.isEmpty())
            return asUuid(id);
    }
    QString id = readId(fallbackFile);
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString(QUuid::Id128).toUpper();
        AtomicFile::writeWhole(fallbackFile, id.toLatin1() + '\n', nullptr);
    }
    return asUuid(id);
}

} // namespace folioset
