#include "probes.h"

#include "engine/image/decodinglimits.h"
#include "engine/pdf/pdfinspect.h"
#include "platform/edition.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace folioset {

namespace {

// JPEG and PNG files hold one image, as their signatures show. Qt would say the same after
// searching its format plugins by content, which costs more than the rest of adding a small
// file to a list; every other file is counted by Qt.
bool hasSingleImageSignature(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[8] = {};
    const ssize_t got = ::read(fd, head, sizeof head);
    ::close(fd);
    static constexpr unsigned char jpeg[] = {0xFF, 0xD8, 0xFF};
    static constexpr unsigned char png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return (got >= qsizetype(sizeof jpeg) && std::memcmp(head, jpeg, sizeof jpeg) == 0) ||
           (got == qsizetype(sizeof png) && std::memcmp(head, png, sizeof png) == 0);
}

bool hasExtension(const QString &path, std::initializer_list<QLatin1String> extensions)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](QLatin1String extension) { return suffix == extension; });
}

// The pages a conversion makes of the file: one per image for a file named as a TIFF, the
// first image alone for every other name (an animated GIF gives one page, as does a TIFF under
// another name), so that the list promises what the run delivers.
int imageCount(const QString &path)
{
    if (hasSingleImageSignature(path))
        return 1;
    image::prepareQtImageReading();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const int count = std::max(0, reader.imageCount());
    return hasTiffName(path) ? count : std::min(count, 1);
}

bool hasPdfExtension(const QString &path)
{
    return hasExtension(path, {QLatin1String("PDF")});
}

struct Interval
{
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
};

Interval split(const QDateTime &start, const QDateTime &end)
{
    const qint64 total = start.msecsTo(end) / 1000;
    return {total / 3600, (total % 3600) / 60, total % 60};
}

// The count when the file is an image or no PDF at all; nothing when it must be read as a PDF.
std::optional<int> countUnlessPdf(const QUrl &url)
{
    if (url.isEmpty())
        return 0;
    const QString path = url.toLocalFile();
    if (const int count = imageCount(path))
        return count;
    if (!hasPdfExtension(path))
        return 0;
    return std::nullopt;
}

} // namespace

bool hasTiffName(const QString &path)
{
    return hasExtension(path, {QLatin1String("TIF"), QLatin1String("TIFF")});
}

int getTiffPageCount(const QUrl &url, const QString &, bool *isEncrypted)
{
    if (const auto known = countUnlessPdf(url))
        return *known;
    const pdf::PdfFacts facts = pdf::inspectPdf(url.toLocalFile());
    if (!facts.opened)
        return 0;
    if (isEncrypted)
        *isEncrypted = facts.encrypted;
    return facts.pages;
}

int getTiffPageCount(const QUrl &url, const QString &password)
{
    if (const auto known = countUnlessPdf(url))
        return *known;
    const QString path = url.toLocalFile();
    pdf::PdfFacts facts = pdf::inspectPdf(path);
    if (!facts.opened)
        return 0;
    if (facts.pages == 0 && facts.encrypted) {
        const pdf::PdfFacts unlocked = pdf::inspectPdf(path, password);
        if (unlocked.opened)
            facts.pages = unlocked.pages;
    }
    return facts.pages;
}

QString timeTakenString(const QDateTime &start, const QDateTime &end)
{
    return isFirstGeneration() ? timeTakenWords(start, end) : timeTakenClock(start, end);
}

QString timeTakenClock(const QDateTime &start, const QDateTime &end)
{
    if (!start.isValid() || !end.isValid())
        return {};
    const Interval t = split(start, end);
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (t.hours < 1)
        return two(t.minutes) + QLatin1Char(':') + two(t.seconds);
    return two(t.hours) + QLatin1Char(':') + two(t.minutes) + QLatin1Char(':') + two(t.seconds);
}

QString timeTakenWords(const QDateTime &start, const QDateTime &end)
{
    if (!start.isValid() || !end.isValid())
        return {};
    const Interval t = split(start, end);
    QString text;
    if (t.hours >= 1)
        text += QStringLiteral("%1 hr(s) ").arg(t.hours);
    if (t.minutes > 0)
        text += QStringLiteral("%1 min(s) ").arg(t.minutes);
    if (t.seconds >= 1)
        text += QStringLiteral("%1 sec(s) ").arg(t.seconds);
    return text;
}

bool isLionOrLater()
{
    // The first generation skipped its strict output-folder checks only on systems older than
    // any this program runs on; every system it runs on takes the strict path.
    return true;
}

} // namespace folioset
