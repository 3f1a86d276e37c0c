// The preferences text as the program reads it at start-up: INI text parsed, then the stored
// settings taken from whatever values it holds. What the reader gives, the writer must give
// back: a preferences file read and saved again keeps every value.

#include "model/pdfsettings.h"
#include "model/settings.h"
#include "platform/inifile.h"

#include <cstdint>

using namespace folioset;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QVariantMap root =
        parseIni(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    Settings settings(Settings::Source::Defaults);
    const QVariant stored = root.value(QStringLiteral("SETTINGS"));
    settings.setData(stored);
    PDFSettings pdf;
    pdf.setData(stored.toMap().value(QStringLiteral("pdfSettings")));
    // Values of any kind where maps are expected, as a damaged file gives them.
    for (auto it = root.cbegin(); it != root.cend(); ++it) {
        settings.setData(it.value());
        pdf.setData(it.value());
    }
    const QVariantMap saved{{QStringLiteral("SETTINGS"), settings.getData()}};
    if (parseIni(iniText(saved)) != parseIni(iniText(parseIni(iniText(saved)))))
        __builtin_trap();
    if (parseIni(iniText(root)) != root)
        __builtin_trap();
    return 0;
}
