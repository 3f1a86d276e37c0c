#pragma once

#include <QString>
#include <QVariant>

namespace folioset {

// The per-user preferences store of the running edition ("Quillmark/folioset2.conf" under the XDG
// config home). A map value is kept as a group of readable keys, nested maps as nested groups,
// so the file stays editable by hand; reading a group gives the map back. Scalars come back as
// text: callers convert with QVariant's toInt()/toBool().
//
// Every change is written at once, whole or not at all, owner-only (the store holds the PDF
// passwords): a full disk or an unwritable folder leaves the previous file as it was.
class Preferences
{
public:
    Preferences();

    QString fileName() const { return m_path; }

    bool contains(const QString &key) const;
    QVariant value(const QString &key) const;
    // Every key, from one reading of the file: several values that belong together.
    QVariantMap values() const;
    // False, with the reason, when the store could not be written; it then holds what it held.
    bool setValue(const QString &key, const QVariant &value, QString *reason = nullptr);
    // Several keys in one write: all of them reach the file, or none.
    bool setValues(const QVariantMap &entries, QString *reason = nullptr);
    bool remove(const QString &key, QString *reason = nullptr);

    // True when the last change made through this object reached the disk.
    bool sync() const { return m_lastWriteOk; }

private:
    bool store(const QVariantMap &root, QString *reason);

    QString m_path;
    bool m_lastWriteOk = true;
};

} // namespace folioset
