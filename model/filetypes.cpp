#include "filetypes.h"

namespace folioset {

const QStringList &allowedFileTypes()
{
    static const QStringList types = [] {
        QStringList lower{QStringLiteral("bmp"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                          QStringLiteral("png"), QStringLiteral("gif"), QStringLiteral("tif"),
                          QStringLiteral("tiff")};
        QStringList all = lower;
        for (const QString &type : lower)
            all << type.toUpper();
        return all;
    }();
    return types;
}

bool isAllowedFileName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return allowedFileTypes().contains(fileName.mid(dot + 1));
}

} // namespace folioset
