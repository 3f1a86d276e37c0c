#pragma once

#include "selectionrange.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

namespace folioset {

class FileItem;
using FileItemPtr = std::shared_ptr<FileItem>;

// One input file of the list. Page count, size and the encryption flag are probed once, when
// the path is set; name, type, location and dates follow the file system at each request.
class FileItem
{
public:
    // nullptr unless `url` is a file URL.
    static FileItemPtr initWithURL(const QUrl &url);

    QUrl filePath() const { return m_filePath; }
    // Stores the URL and probes size, page count and (for a PDF) the encryption flag.
    void setFilePath(const QUrl &url);

    bool isSelected() const { return m_isSelected; }
    void setIsSelected(bool selected) { m_isSelected = selected; }
    int pages() const { return m_pages; }
    // Allocated size on disk in bytes; 64 bits so that files of 2 GiB and more count right.
    qint64 size() const { return m_size; }
    bool isEncrypted() const { return m_isEncrypted; }
    void setIsEncrypted(bool encrypted) { m_isEncrypted = encrypted; }
    // The rule is shared, not copied: a caller that keeps it sees later changes.
    std::shared_ptr<SelectionRange> selection() const { return m_selection; }
    void setSelection(std::shared_ptr<SelectionRange> selection)
    {
        m_selection = std::move(selection);
    }

    QString name() const;
    QString type() const;
    QString location() const;
    QString sizeInKB() const;
    QDateTime dateModified() const;
    QDateTime dateCreated() const;
    QDateTime dateAccessed() const;
    QString combineMethod() const;

    // The value the file table shows for a column key, in any letter case: text, a Boolean
    // (check box), a whole number, or the lock image; the empty text for an unknown key.
    QVariant displayField(const QString &key) const;

    // The file's path as the file system takes it (kept from the URL: tables and sorts ask for it
    // over and over).
    const QByteArray &nativePath() const { return m_nativePath; }
    // The file's path as Qt takes it, kept from the URL like the native path.
    const QString &localPath() const { return m_localPath; }

    // Equal when both name the same URL, letter case included; marks and rules do not count.
    bool isEqual(const FileItem *other) const;
    bool operator==(const FileItem &other) const { return isEqual(&other); }

private:
    QDateTime fileDate(QFileDevice::FileTime which) const;

    bool m_isSelected = true;
    QUrl m_filePath;
    QString m_localPath;
    QByteArray m_nativePath;
    int m_pages = 0;
    qint64 m_size = 0;
    std::shared_ptr<SelectionRange> m_selection;
    bool m_isEncrypted = false;
};

} // namespace folioset
