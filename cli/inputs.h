#pragma once

#include <QString>
#include <QStringList>

namespace folioset::cli {

struct GatheredInputs
{
    QStringList files;   // absolute, cleaned paths in run order, each once
    QStringList missing; // arguments that name neither a file nor a readable folder
};

// Expands the command line's inputs in their given order. A file is taken as it is; a folder
// gives its files (and with `recursive` those of its subfolders) whose names pass
// isAllowedFileName, sorted by path. Hidden files and folders are skipped.
GatheredInputs gatherInputs(const QStringList &arguments, bool recursive);

} // namespace folioset::cli
