#pragma once

#include <QString>

namespace folioset {

// The counters of one feature (a conversion mode): completed conversions and files processed.
struct FeatureUsages
{
    QString name;
    int usagesCount = 0;
    int filesCount = 0;

    static FeatureUsages initWithName(const QString &name, int usagesCount = 0, int filesCount = 0)
    {
        return {name, usagesCount, filesCount};
    }
    QString description() const
    {
        return QStringLiteral("name : %1 usagesCount:%2 filesCount:%3")
            .arg(name)
            .arg(usagesCount)
            .arg(filesCount);
    }
};

} // namespace folioset
