#pragma once

#include <QList>
#include <QString>

class QIODevice;

namespace folioset::cli {

// One entry of an input list as it was read; whether it names a file is decided when the run
// gathers its inputs.
struct ListEntry
{
    QString path;       // as written, without its separator; may be empty
    qsizetype line = 0; // 1-based place in the list
};

enum class ListSeparator { Newline, Nul };

// The entries of a list of paths, one per line or NUL-separated as `find -print0` writes them.
// A line may end in CR LF; the separator after the last entry is optional.
QList<ListEntry> readInputList(QIODevice &device, ListSeparator separator);

} // namespace folioset::cli
