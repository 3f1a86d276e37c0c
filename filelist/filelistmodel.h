#pragma once

#include "model/fileitem.h"

#include <QAbstractTableModel>
#include <QList>

#include <functional>

namespace folioset {

// The input list as the file table shows it: one row per item, in list order, one column per
// display key of FileItem. The check box column ("isselected") is the only one edited here.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString identifier; // a FileItem display key
        QString title;
    };

    explicit FileListModel(QObject *parent = nullptr);

    static const QList<Column> &columns();
    // The column of an identifier, letter case included; -1 when there is none.
    static int columnOf(const QString &identifier);

    const QList<FileItemPtr> &files() const { return m_files; }
    FileItemPtr item(int row) const { return m_files.value(row); }
    void append(const QList<FileItemPtr> &items);
    // Removes the items `remove` says yes to; returns how many went.
    qsizetype removeIf(const std::function<bool(const FileItem &)> &remove);
    void clear();
    // The items' check marks changed from outside: redraw that column.
    void checkMarksChanged();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // A check mark was changed by the user in the table.
    void checkMarkEdited(int row);

private:
    QList<FileItemPtr> m_files;
};

} // namespace folioset
