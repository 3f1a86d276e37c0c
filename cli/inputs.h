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

// A path the run cannot take, and why in the system's words ("Permission denied", "not a
// regular file", "no such file or folder").
struct RejectedPath
{
    QString path;
    QString reason;
};

struct GatheredInputs
{
    QStringList files;           // absolute, cleaned paths in run order, each once
    QList<RejectedPath> rejects; // arguments that name nothing to convert, and what a folder
                                 // walk found but could not read, in that order
    QList<SkippedEntry> skipped; // list entries that are empty or name no file

    bool hasRejects() const { return !rejects.isEmpty() || !skipped.isEmpty(); }
};

// Expands the command line's inputs in their given order, then the listed ones. A file is taken
// as it is; a folder gives its files (and with `recursive` those of its subfolders) whose names
// pass isAllowedFileName, sorted by path. Hidden files and folders, names of other types and
// links to folders are left out by rule, without a word; a subfolder that cannot be read, and a
// file of an accepted name that cannot be read, is no regular file (a FIFO, a device, a dangling
// link) or has a path too long to open, is rejected with its reason. A list names files only:
// each of its entries is one input, whatever its extension.
GatheredInputs gatherInputs(const QStringList &arguments, bool recursive,
                            const QList<ListEntry> &listed = {});

} // namespace folioset::cli
