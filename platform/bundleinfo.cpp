#include "bundleinfo.h"

#include "edition.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace folioset {

namespace {
QJsonObject loadInfo(Edition which)
{
    const QString name = which == Edition::Folioset1 ? QStringLiteral(":/info/folioset1.json")
                                                     : QStringLiteral(":/info/folioset2.json");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}
} // namespace

QString infoEntry(const QString &key)
{
    // Read once per edition; the resource never changes while the program runs.
    static const QJsonObject second = loadInfo(Edition::Folioset2);
    static const QJsonObject first = loadInfo(Edition::Folioset1);
    return (isFirstGeneration() ? first : second).value(key).toString();
}

} // namespace folioset
