#include "preferences.h"

#include "edition.h"

#include <QSettings>
#include <QStandardPaths>

namespace folioset {

namespace {

QVariantMap readGroup(QSettings &store)
{
    QVariantMap map;
    const QStringList keys = store.childKeys();
    for (const QString &key : keys)
        map.insert(key, store.value(key));
    const QStringList groups = store.childGroups();
    for (const QString &group : groups) {
        store.beginGroup(group);
        map.insert(group, readGroup(store));
        store.endGroup();
    }
    return map;
}

void writeValue(QSettings &store, const QString &key, const QVariant &value)
{
    store.remove(key);
    if (value.typeId() != QMetaType::QVariantMap) {
        store.setValue(key, value);
        return;
    }
    store.beginGroup(key);
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        writeValue(store, it.key(), it.value());
    store.endGroup();
}

} // namespace

Preferences::Preferences()
    : m_path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/Quillmark/") + editionName() + QStringLiteral(".conf"))
{}

bool Preferences::contains(const QString &key) const
{
    QSettings store(m_path, QSettings::IniFormat);
    return store.contains(key) || store.childGroups().contains(key);
}

QVariant Preferences::value(const QString &key) const
{
    QSettings store(m_path, QSettings::IniFormat);
    if (store.childGroups().contains(key)) {
        store.beginGroup(key);
        return readGroup(store);
    }
    return store.value(key);
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    QSettings store(m_path, QSettings::IniFormat);
    writeValue(store, key, value);
}

void Preferences::remove(const QString &key)
{
    QSettings store(m_path, QSettings::IniFormat);
    store.remove(key);
}

bool Preferences::sync()
{
    QSettings store(m_path, QSettings::IniFormat);
    store.sync();
    return store.status() == QSettings::NoError;
}

} // namespace folioset
