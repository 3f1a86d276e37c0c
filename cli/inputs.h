#pragma once

#include "inputlist.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace folioset::cli {

// An entry of the input list that names no file; the run goes on without it.
struct SkippedEntry
{
    ListEntry entry;
    QString reason;
};

struct GatheredInputs
{
    QStringList files;           // absolute, cleaned paths in run order, each once
    QStringList missing;         // arguments that name neither a file nor a readable folder
    QList<SkippedEntry> skipped; // list entries that are empty or name no file

    bool hasRejects() const { return !missing.isEmpty() || !skipped.isEmpty(); }
};

// Expands the command line's inputs in their given order, then the listed ones. A file is taken
// as it is; a folder gives its files (and with `recursive` those of its subfolders) whose names
// pass isAllowedFileName, sorted by path. Hidden files and folders are skipped. A list names
// files only: each of its entries is one input, whatever its extension.
GatheredInputs gatherInputs(const QStringList &arguments, bool recursive,
                            const QList<ListEntry> &listed = {});

} // namespace folioset::cli
