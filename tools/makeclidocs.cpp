// Build-time tool: makes folioset-cli's manual page and its bash completion from the --help text
// the program prints, so that neither can name an option, a value or an exit status that
// --help does not.
//
//   folioset_makeclidocs TEMPLATE.1.in OUTPUT.1.gz COMPLETION VERSION
//
// TEMPLATE holds the parts of the page that --help has no room for (files, examples); see
// manPage() for its markers. The page is written gzip-compressed without a name or time stamp,
// so that two builds of one source give the same bytes.

#include "cli/helpdoc.h"
#include "cli/options.h"
#include "toolfiles.h"

#include <QFile>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "folioset_makeclidocs: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace folioset::cli;
    using folioset::tools::gzipped;
    using folioset::tools::save;
    if (argc != 5)
        return fail(QStringLiteral("usage: folioset_makeclidocs TEMPLATE.1.in OUTPUT.1.gz "
                                   "COMPLETION VERSION"));
    const QString templatePath = QString::fromLocal8Bit(argv[1]);
    const QString version = QString::fromLocal8Bit(argv[4]);

    QString error;
    const std::optional<HelpDocument> help = readHelp(helpText(), &error);
    if (!help)
        return fail(QStringLiteral("--help cannot be read: %1").arg(error));

    QFile templateFile(templatePath);
    if (!templateFile.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("cannot read %1: %2").arg(templatePath, templateFile.errorString()));
    const std::optional<QString> page =
        manPage(*help, QString::fromUtf8(templateFile.readAll()), version, &error);
    if (!page)
        return fail(error);
    const std::optional<QByteArray> compressed = gzipped(page->toUtf8());
    if (!compressed)
        return fail(QStringLiteral("cannot compress the manual page"));
    const QString program = help->usage.first().section(QLatin1Char(' '), 0, 0);
    if (!save(QString::fromLocal8Bit(argv[2]), *compressed, &error) ||
        !save(QString::fromLocal8Bit(argv[3]), bashCompletion(*help, program).toUtf8(), &error))
        return fail(error);
    return 0;
}
