#include "pathlist.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>

namespace folioset {

QList<QUrl> parsePathList(const QString &text, const QStringList &allowedTypes)
{
    QList<QUrl> urls;
    QSet<QUrl> seen;
    if (text.isEmpty())
        return urls;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype slash = line.lastIndexOf(QLatin1Char('/'));
        const qsizetype dot = line.lastIndexOf(QLatin1Char('.'));
        if (dot <= slash)
            continue;
        if (!allowedTypes.contains(line.mid(dot + 1).toUpper()))
            continue;
        const QUrl url = QUrl::fromLocalFile(
            QDir::isAbsolutePath(line) ? line : QDir::current().absoluteFilePath(line));
        if (!seen.contains(url)) {
            seen.insert(url);
            urls << url;
        }
    }
    return urls;
}

QList<QUrl> parsePathListFile(const QString &path, const QStringList &allowedTypes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(file.readAll());
    if (utf8.hasError())
        return {};
    return parsePathList(text, allowedTypes);
}

} // namespace folioset
