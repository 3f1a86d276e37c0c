#pragma once

#include <QString>
#include <QVariant>

namespace folioset {

// The per-user preferences store of the running edition ("Quillmark/folioset2.conf" under the XDG
// config home). A map value is kept as a group of readable keys, nested maps as nested groups,
// so the file stays editable by hand; reading a group gives the map back. Scalars come back as
// text: callers convert with QVariant's toInt()/toBool().
class Preferences
{
public:
    Preferences();

    QString fileName() const { return m_path; }

    bool contains(const QString &key) const;
    QVariant value(const QString &key) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);

    // Writes pending changes to disk now; false when the store cannot be written.
    bool sync();

private:
    QString m_path;
};

} // namespace folioset
