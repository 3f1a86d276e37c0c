// The import's path-list text, as text and as a file (which must be UTF-8), and the command
// line's input list, split at line ends or NULs. The first byte chooses the separator.

#include "cli/inputlist.h"
#include "filelist/pathlist.h"

#include "fuzzsupport.h"

#include <QBuffer>

using namespace folioset;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const QStringList types{QStringLiteral("JPG"), QStringLiteral("PNG"),
                                   QStringLiteral("TIF"), QStringLiteral("TIFF")};
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QList<QUrl> urls = parsePathList(QString::fromUtf8(bytes), types);
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            __builtin_trap();
    }
    parsePathListFile(fuzzing::inputFile(data + 1, size - 1), types);

    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const auto separator = data[0] % 2 ? cli::ListSeparator::Nul : cli::ListSeparator::Newline;
    const QList<cli::ListEntry> entries = cli::readInputList(device, separator);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).line != i + 1)
            __builtin_trap();
    }
    return 0;
}
