#pragma once

// --help read back as data, so that the manual page and the shell completion are made from the
// very text the command prints and can never say something else.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace folioset::cli {

struct HelpOption
{
    QString name;  // "--output", "-o"
    QString value; // "DIR", "single|merge|group"; empty for a switch

    // The values the option accepts when --help lists them ("single|merge|group"), else none;
    // a word the user fills in ("A4|SIZE", "LENGTH|TOP,RIGHT,BOTTOM,LEFT") is not among them.
    QStringList choices() const;
};

// "SIZE", "TOP,RIGHT,BOTTOM,LEFT": a word of --help that stands for what the user fills in.
// "A4" and "40" are values as they stand.
bool isPlaceholder(const QString &word);

struct HelpEntry
{
    QString syntax;            // as --help prints it: "-o, --output DIR"
    QList<HelpOption> options; // every name the entry gives, with the value it takes
    QString description;       // its lines joined into one
};

struct HelpSection
{
    QString title; // "Output", without the colon
    QList<HelpEntry> entries;
};

struct HelpDocument
{
    QStringList usage;       // one line per form, "folioset-cli [options] INPUT..."
    QStringList description; // the paragraphs before the first section of options
    QList<HelpSection> sections;
    QStringList notes;  // the paragraphs after the options, other than the exit status
    QString exitStatus; // the "Exit status:" paragraph without its label

    QList<HelpOption> allOptions() const;
};

// Reads text laid out as helpText() is: a usage block, paragraphs, sections of options (a title
// ending in ':', entries starting "  -", continuation lines indented further) and paragraphs.
// A line that fits none of these is an error naming it, rather than something left out.
std::optional<HelpDocument> readHelp(const QString &text, QString *error);

// Fills a manual page template: the lines "@SYNOPSIS@", "@DESCRIPTION@", "@OPTIONS@",
// "@NOTES@" and "@EXIT STATUS@" are replaced by those parts of `help` in roff, "@VERSION@" by
// `version` wherever it stands. Each marker must stand once; otherwise `error` says why.
std::optional<QString> manPage(const HelpDocument &help, const QString &pageTemplate,
                               const QString &version, QString *error);

// A bash completion script for `program`: option names, the listed values of options that have
// them, folders for DIR values, files for FILE values and for the inputs.
QString bashCompletion(const HelpDocument &help, const QString &program);

} // namespace folioset::cli
