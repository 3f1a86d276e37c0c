#pragma once

#include "platform/preferences.h"

#include <QByteArray>
#include <QFile>
#include <QVariantMap>

namespace fixtures {

// The preferences file as it lies on disk: what a backup or another program would read.
inline QByteArray preferencesText()
{
    QFile file(folioset::Preferences().fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The document settings of the stored "SETTINGS" entry.
inline QVariantMap storedPdfSettings()
{
    return folioset::Preferences()
        .value(QStringLiteral("SETTINGS"))
        .toMap()
        .value(QStringLiteral("pdfSettings"))
        .toMap();
}

} // namespace fixtures
