#include "preferences.h"

#include "atomicfile.h"
#include "edition.h"
#include "inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace folioset {

namespace {

// Read afresh each time: QSettings would cache the file and miss a replacement written within
// the same millisecond, and another instance of the program may have written since.
QVariantMap readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseIni(file.readAll());
}

} // namespace

Preferences::Preferences()
    : m_path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/Quillmark/") + editionName() + QStringLiteral(".conf"))
{}

bool Preferences::contains(const QString &key) const
{
    return readAll(m_path).contains(key);
}

QVariant Preferences::value(const QString &key) const
{
    return readAll(m_path).value(key);
}

QVariantMap Preferences::values() const
{
    return readAll(m_path);
}

bool Preferences::setValue(const QString &key, const QVariant &value, QString *reason)
{
    QVariantMap root = readAll(m_path);
    root.insert(key, value);
    return store(root, reason);
}

bool Preferences::setValues(const QVariantMap &entries, QString *reason)
{
    QVariantMap root = readAll(m_path);
    root.insert(entries);
    return store(root, reason);
}

bool Preferences::remove(const QString &key, QString *reason)
{
    QVariantMap root = readAll(m_path);
    if (!root.remove(key))
        return true;
    return store(root, reason);
}

bool Preferences::store(const QVariantMap &root, QString *reason)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QString failure;
    if (!QDir().mkpath(folder))
        failure = QStringLiteral("Unable to create the folder %1").arg(folder);
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_lastWriteOk = failure.isEmpty() && AtomicFile::writeWhole(m_path, iniText(root), &failure,
                                                                AtomicFile::Access::Private);
    if (!m_lastWriteOk && reason)
        *reason = failure;
    return m_lastWriteOk;
}

} // namespace folioset
