#include "fileitem.h"

#include "sizetext.h"

#include "engine/probe/probes.h"
#include "platform/datetext.h"
#include "platform/edition.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <optional>

#include <sys/stat.h>

namespace folioset {

namespace {
const QString tableDatePattern = QStringLiteral("dd-MMM-yyyy h:mm a");

QString dateText(const QDateTime &when)
{
    return when.isValid() ? formatDate(when, tableDatePattern) : QString(QLatin1String(""));
}

// Blocks really taken on disk, as the file manager reports; nothing when the file is gone.
std::optional<qint64> allocatedSize(const QString &path)
{
    struct stat info;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return qint64(info.st_blocks) * 512;
}
} // namespace

FileItemPtr FileItem::initWithURL(const QUrl &url)
{
    if (url.isEmpty() || !url.isLocalFile())
        return nullptr;
    auto item = std::make_shared<FileItem>();
    item->m_isSelected = true;
    item->m_isEncrypted = false;
    item->setFilePath(QUrl(url.toString()));
    item->m_selection = std::make_shared<SelectionRange>();
    return item;
}

void FileItem::setFilePath(const QUrl &url)
{
    m_filePath = url;
    m_localPath = url.isEmpty() ? QString() : url.toLocalFile();
    m_nativePath = QFile::encodeName(m_localPath);
    if (const auto allocated = allocatedSize(localPath()))
        m_size = *allocated;
    if (isFirstGeneration())
        m_pages = getTiffPageCount(url, QString());
    else
        m_pages = getTiffPageCount(url, QString(), &m_isEncrypted);
}

QString FileItem::name() const
{
    return m_filePath.isEmpty() ? QString(QLatin1String("")) : QFileInfo(localPath()).fileName();
}

QString FileItem::type() const
{
    const QString fileName = name();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // A leading dot marks a hidden file, not an extension.
    if (dot <= 0 || dot == fileName.size() - 1)
        return QStringLiteral("");
    return fileName.mid(dot + 1);
}

QString FileItem::location() const
{
    if (m_filePath.isEmpty())
        return QStringLiteral("");
    QString path = localPath();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString FileItem::sizeInKB() const
{
    return sizeText(m_size);
}

QDateTime FileItem::fileDate(QFileDevice::FileTime which) const
{
    if (m_filePath.isEmpty())
        return {};
    const QFileInfo info(localPath());
    return info.exists() ? info.fileTime(which) : QDateTime();
}

QDateTime FileItem::dateModified() const
{
    return fileDate(QFileDevice::FileModificationTime);
}

QDateTime FileItem::dateCreated() const
{
    return fileDate(QFileDevice::FileBirthTime);
}

QDateTime FileItem::dateAccessed() const
{
    return fileDate(QFileDevice::FileAccessTime);
}

QString FileItem::combineMethod() const
{
    return m_selection ? m_selection->description() : SelectionRange().description();
}

QVariant FileItem::displayField(const QString &key) const
{
    const QString empty = QStringLiteral("");
    if (key.isNull())
        return empty;
    const QString k = key.toUpper();
    if (k == QLatin1String("ISSELECTED"))
        return m_isSelected;
    if (k == QLatin1String("NAME"))
        return name();
    if (k == QLatin1String("PAGES"))
        return m_pages;
    if (k == QLatin1String("SELECTION"))
        return combineMethod();
    if (k == QLatin1String("SIZEINKB"))
        return sizeInKB();
    if (k == QLatin1String("TYPE"))
        return type();
    if (k == QLatin1String("DATEMODIFIED"))
        return dateText(dateModified());
    if (k == QLatin1String("DATECREATED"))
        return dateText(dateCreated());
    if (k == QLatin1String("DATEACCESSED"))
        return dateText(dateAccessed());
    if (k == QLatin1String("LOCATION"))
        return location();
    if (k == QLatin1String("SECURED") && !isFirstGeneration()) {
        if (m_isEncrypted)
            return QImage(QStringLiteral(":/images/LockTemplate.pdf"));
        return empty;
    }
    return empty;
}

bool FileItem::isEqual(const FileItem *other) const
{
    if (other == this)
        return true;
    return other && other->m_filePath == m_filePath;
}

} // namespace folioset
