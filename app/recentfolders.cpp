// The recent folders of the folioset2 window.

#include "foliosetappdelegate.h"

#include "ui_MainWindow2.h"

#include "filelist/filelistmodel.h"
#include "platform/paths.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>

namespace folioset {

namespace {

const QString recentItemsKey = QStringLiteral("RECENTITEMS");
const QString popupTitle = QStringLiteral("Recent Folders...");

QString homeShortened(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home || path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace

void FoliosetAppDelegate::loadStoredRecentItems()
{
    m_recentItems = RecentItem::fromStored(Preferences().value(recentItemsKey));
    loadRecentFolders();
    connect(m_form->recentFoldersPopup, &QComboBox::activated, this,
            &FoliosetAppDelegate::recentFolderChanged);
}

void FoliosetAppDelegate::storeRecentItems()
{
    QVariantList stored;
    for (const RecentItem &item : std::as_const(m_recentItems))
        stored << item.getData();
    QString reason;
    if (!Preferences().setValue(recentItemsKey, stored, &reason))
        logError(QStringLiteral("storeRecentItems"), reason);
}

void FoliosetAppDelegate::addRecentItem(const QStringList &folders)
{
    // Folders added together are dated in their order, a millisecond apart and after every
    // entry already there, so the later ones stand above even within one tick of the clock.
    QDateTime now = QDateTime::currentDateTime();
    for (const RecentItem &item : std::as_const(m_recentItems))
        now = std::max(now, item.lastUsedDate().addMSecs(1));
    int added = 0;
    for (const QString &folder : folders) {
        const bool known =
            std::any_of(m_recentItems.cbegin(), m_recentItems.cend(),
                        [&folder](const RecentItem &item) { return item.isEqual(folder); });
        if (known)
            continue;
        RecentItem item = RecentItem::initWithItem(folder);
        item.setLastUsedDate(now.addMSecs(added++));
        m_recentItems << item;
    }
    loadRecentFolders();
}

void FoliosetAppDelegate::loadRecentFolders()
{
    std::stable_sort(m_recentItems.begin(), m_recentItems.end(),
                     [](const RecentItem &a, const RecentItem &b) {
                         return a.lastUsedDate() > b.lastUsedDate();
                     });
    QComboBox *popup = m_form->recentFoldersPopup;
    const QSignalBlocker quiet(popup);
    popup->clear();
    popup->addItem(popupTitle);
    for (const RecentItem &item : std::as_const(m_recentItems)) {
        popup->addItem(item.itemPath());
        popup->setItemData(popup->count() - 1, homeShortened(item.itemPath()), Qt::ToolTipRole);
    }
    popup->setCurrentIndex(0);
}

void FoliosetAppDelegate::replaceListWithFolders(const QStringList &folders)
{
    m_files->clear();
    resetView(true);
    updateTotalLabel();
    Arguments request;
    for (const QString &folder : folders)
        request.urls << QUrl::fromLocalFile(folder);
    request.isFolders = true;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
}

void FoliosetAppDelegate::recentFolderChanged(int index)
{
    try {
        if (index < 1)
            return;
        QComboBox *popup = m_form->recentFoldersPopup;
        const QString chosen = popup->itemText(index);
        auto entry =
            std::find_if(m_recentItems.rbegin(), m_recentItems.rend(),
                         [&chosen](const RecentItem &item) { return item.isEqual(chosen); });
        if (entry == m_recentItems.rend())
            return;
        const QFileInfo folder(chosen);
        if (folder.isDir() && folder.isReadable()) {
            entry->setLastUsedDate(QDateTime::currentDateTime());
            loadRecentFolders();
            popup->setCurrentIndex(popup->findText(chosen, Qt::MatchExactly));
            replaceListWithFolders({chosen});
            return;
        }
        // Moved, deleted or no longer readable: let the user point at it again.
        endEditing(m_window.get());
        auto *panel = new QFileDialog(m_window.get(), QStringLiteral("Choose folder(s):"));
        panel->setObjectName(QStringLiteral("recentFolderPanel"));
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->setWindowModality(Qt::WindowModal);
        panel->setFileMode(QFileDialog::Directory);
        panel->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
        panel->setDirectory(nearestExistingFolder(chosen));
        connect(panel, &QFileDialog::filesSelected, this,
                [this, chosen](const QStringList &folders) {
                    for (RecentItem &item : m_recentItems) {
                        if (item.isEqual(chosen))
                            item.setLastUsedDate(QDateTime::currentDateTime());
                    }
                    addRecentItem(folders);
                    if (!folders.isEmpty())
                        m_form->recentFoldersPopup->setCurrentIndex(
                            m_form->recentFoldersPopup->findText(folders.last(), Qt::MatchExactly));
                    replaceListWithFolders(folders);
                });
        panel->open();
    } catch (const std::exception &e) {
        systemLog(
            QStringLiteral("Error in recentFolderChanged : %1").arg(QString::fromUtf8(e.what())));
    }
}

} // namespace folioset
