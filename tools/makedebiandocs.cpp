// Build-time tool: writes the two files every Debian package carries in its documentation
// folder, made from what the program already ships so that they cannot tell another story:
//
//   folioset_makedebiandocs METAINFO.xml AGREEMENT.html VERSION MAINTAINER COPYRIGHT OUTDIR
//
// OUTDIR/changelog.gz: the releases of the metainfo, newest first, in Debian's changelog form.
// The newest must be VERSION, the version the package is given. OUTDIR/copyright: the
// COPYRIGHT line and the end-user license agreement as text ("##APPTITLE##" read as
// "Folioset"). The changelog is compressed without a name or time stamp, so that two builds
// of one source give the same bytes.

#include "toolfiles.h"

#include <QDate>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QXmlStreamReader>

#include <cstdio>
#include <optional>

namespace {

using folioset::tools::gzipped;
using folioset::tools::save;

const QString packageName = QStringLiteral("folioset");
const QString productName = QStringLiteral("Folioset");

int fail(const QString &message)
{
    std::fprintf(stderr, "folioset_makedebiandocs: %s\n", qPrintable(message));
    return 1;
}

// `text` broken into lines of at most `width` characters, the first after `first`, the others
// after `rest`.
QString wrapped(const QString &text, int width, const QString &first, const QString &rest)
{
    QStringList lines;
    QString line = first;
    bool empty = true;
    for (const QString &word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!empty && line.size() + 1 + word.size() > width) {
            lines << line;
            line = rest;
            empty = true;
        }
        line += (empty ? QString() : QStringLiteral(" ")) + word;
        empty = false;
    }
    lines << line;
    return lines.join(QLatin1Char('\n'));
}

struct Release
{
    QString version;
    QDate date;
    QStringList notes; // each paragraph and list item of its description
};

std::optional<QList<Release>> readReleases(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QList<Release> releases;
    QXmlStreamReader xml(&file);
    bool inRelease = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("release")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            releases << Release{
                attributes.value(QLatin1String("version")).toString(),
                QDate::fromString(attributes.value(QLatin1String("date")), Qt::ISODate),
                {}};
            inRelease = true;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("release")) {
            inRelease = false;
        } else if (inRelease && xml.isStartElement() &&
                   (xml.name() == QLatin1String("p") || xml.name() == QLatin1String("li"))) {
            releases.last().notes << xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    if (xml.hasError()) {
        *why = QStringLiteral("%1: %2").arg(path, xml.errorString());
        return std::nullopt;
    }
    for (const Release &release : releases) {
        if (release.version.isEmpty() || !release.date.isValid() || release.notes.isEmpty()) {
            *why = QStringLiteral("%1: a release without a version, a date or a description")
                       .arg(path);
            return std::nullopt;
        }
    }
    return releases;
}

QString changelog(const QList<Release> &releases, const QString &maintainer)
{
    QStringList entries;
    for (const Release &release : releases) {
        QStringList lines{
            QStringLiteral("%1 (%2) unstable; urgency=medium\n").arg(packageName, release.version)};
        for (const QString &note : release.notes)
            lines << wrapped(note, 79, QStringLiteral("  * "), QStringLiteral("    "));
        lines << QStringLiteral("\n -- %1  %2 00:00:00 +0000")
                     .arg(maintainer,
                          QLocale::c().toString(release.date, QStringLiteral("ddd, dd MMM yyyy")));
        entries << lines.join(QLatin1Char('\n'));
    }
    return entries.join(QLatin1String("\n\n")) + QLatin1Char('\n');
}

std::optional<QString> agreementText(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QTextDocument document;
    document.setHtml(
        QString::fromUtf8(file.readAll()).replace(QLatin1String("##APPTITLE##"), productName));
    QStringList paragraphs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text().simplified();
        if (text.isEmpty())
            continue;
        if (block.textList())
            paragraphs << wrapped(text, 79, QStringLiteral("  - "), QStringLiteral("    "));
        else
            paragraphs << wrapped(text, 79, QString(), QString());
    }
    if (paragraphs.isEmpty()) {
        *why = QStringLiteral("%1 has no text").arg(path);
        return std::nullopt;
    }
    return paragraphs.join(QLatin1String("\n\n"));
}

} // namespace

int main(int argc, char **argv)
{
    // The agreement is laid out by QTextDocument, which needs the fonts of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 7)
        return fail(QStringLiteral("usage: folioset_makedebiandocs METAINFO.xml AGREEMENT.html "
                                   "VERSION MAINTAINER COPYRIGHT OUTDIR"));
    const QString &version = args[3];
    const QString &maintainer = args[4];
    const QString &copyrightLine = args[5];
    const QString outDir = args[6] + QLatin1Char('/');

    QString why;
    const std::optional<QList<Release>> releases = readReleases(args[1], &why);
    if (!releases)
        return fail(why);
    if (releases->isEmpty() || releases->first().version != version)
        return fail(
            QStringLiteral("the newest release in %1 is %2, but the package is %3: give "
                           "the metainfo a <release> for %3")
                .arg(args[1],
                     releases->isEmpty() ? QStringLiteral("none") : releases->first().version,
                     version));
    const std::optional<QByteArray> compressed = gzipped(changelog(*releases, maintainer).toUtf8());
    if (!compressed)
        return fail(QStringLiteral("cannot compress the changelog"));

    const std::optional<QString> agreement = agreementText(args[2], &why);
    if (!agreement)
        return fail(why);
    const QString copyright =
        QStringLiteral("%1\n%2\n\n").arg(productName, copyrightLine) +
        wrapped(QStringLiteral("%1 is not free software. It is licensed under the end-user "
                               "license agreement below, which each edition also shows from "
                               "the first menu of its window.")
                    .arg(productName),
                79, QString(), QString()) +
        QStringLiteral("\n\n") + *agreement + QLatin1Char('\n');

    if (!save(outDir + QStringLiteral("changelog.gz"), *compressed, &why) ||
        !save(outDir + QStringLiteral("copyright"), copyright.toUtf8(), &why))
        return fail(why);
    return 0;
}
