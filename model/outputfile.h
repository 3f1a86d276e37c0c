#pragma once

#include "fileitem.h"

#include <QList>
#include <QString>

namespace folioset {

// One planned output PDF: its full path and its input items in page order.
struct OutputFile
{
    QString filename;
    QList<FileItemPtr> fileItems;
};

// The request of one background file load.
struct Arguments
{
    QList<QUrl> urls;
    bool isFolders = false;               // walk the URLs as folders, filtered by extension
    bool isIncludeSubdirectories = false; // ... and their subfolders
};

} // namespace folioset
