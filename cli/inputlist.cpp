#include "inputlist.h"

#include <QFile>
#include <QIODevice>

namespace folioset::cli {

QList<ListEntry> readInputList(QIODevice &device, ListSeparator separator)
{
    const char end = separator == ListSeparator::Nul ? '\0' : '\n';
    const QByteArray bytes = device.readAll();
    QList<ListEntry> entries;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype stop = bytes.indexOf(end, start);
        if (stop < 0)
            stop = bytes.size();
        QByteArrayView piece(bytes.constData() + start, stop - start);
        // Only a line list can come from a file saved on another system; a NUL-separated name
        // may end in CR like any other byte.
        if (separator == ListSeparator::Newline && piece.endsWith('\r'))
            piece.chop(1);
        entries.append({QFile::decodeName(piece.toByteArray()), entries.size() + 1});
        start = stop + 1;
    }
    return entries;
}

} // namespace folioset::cli
