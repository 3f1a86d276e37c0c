#include "helpdoc.h"

#include <QRegularExpression>

namespace folioset::cli {

namespace {

const QString entryStart = QStringLiteral("  -");
const QString exitLabel = QStringLiteral("Exit status:");

struct Line
{
    int number = 0; // from 1, for messages
    QString text;
};
using Block = QList<Line>;

QList<Block> blocksOf(const QString &text)
{
    QList<Block> blocks;
    Block current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty()) {
            if (!current.isEmpty())
                blocks << current;
            current.clear();
        } else {
            current << Line{int(i + 1), lines[i]};
        }
    }
    if (!current.isEmpty())
        blocks << current;
    return blocks;
}

QString joined(const Block &block, qsizetype from = 0)
{
    QStringList words;
    for (qsizetype i = from; i < block.size(); ++i)
        words << block[i].text.trimmed();
    return words.join(QLatin1Char(' '));
}

QString lineError(const Line &line, const QString &why)
{
    return QStringLiteral("line %1 of the help (%2): \"%3\"").arg(line.number).arg(why, line.text);
}

// "-o, --output DIR" or "--title TEXT, --subject TEXT": names with the value each takes. A
// short name right before a long one is its other spelling and takes the same value.
std::optional<QList<HelpOption>> readSyntax(const QString &syntax)
{
    static const QRegularExpression piece(
        QStringLiteral("^(--?[A-Za-z0-9][A-Za-z0-9-]*)(?: ([^ ]+))?$"));
    QList<HelpOption> options;
    for (const QString &part : syntax.split(QStringLiteral(", "))) {
        const QRegularExpressionMatch match = piece.match(part);
        if (!match.hasMatch())
            return std::nullopt;
        options << HelpOption{match.captured(1), match.captured(2)};
    }
    for (qsizetype i = options.size() - 2; i >= 0; --i) {
        HelpOption &option = options[i];
        const HelpOption &next = options[i + 1];
        if (option.value.isEmpty() && !option.name.startsWith(QLatin1String("--")) &&
            next.name.startsWith(QLatin1String("--")))
            option.value = next.value;
    }
    return options;
}

std::optional<HelpSection> readSection(const Block &block, QString *error)
{
    HelpSection section{block.first().text.chopped(1), {}};
    static const QRegularExpression columns(QStringLiteral("^(\\S+(?: \\S+)*)(?: {2,}(.*))?$"));
    for (qsizetype i = 1; i < block.size(); ++i) {
        const Line &line = block[i];
        if (line.text.startsWith(entryStart)) {
            const QRegularExpressionMatch match = columns.match(line.text.mid(2));
            const std::optional<QList<HelpOption>> options =
                match.hasMatch() ? readSyntax(match.captured(1)) : std::nullopt;
            if (!options) {
                *error = lineError(line, QStringLiteral("not an option's names and value"));
                return std::nullopt;
            }
            section.entries << HelpEntry{match.captured(1), *options, match.captured(2)};
        } else if (line.text.startsWith(QLatin1String("   ")) && !section.entries.isEmpty()) {
            QString &description = section.entries.last().description;
            if (!description.isEmpty())
                description += QLatin1Char(' ');
            description += line.text.trimmed();
        } else {
            *error = lineError(line, QStringLiteral("neither an option nor its description"));
            return std::nullopt;
        }
    }
    return section;
}

bool isSection(const Block &block)
{
    return block.size() >= 2 && !block.first().text.startsWith(QLatin1Char(' ')) &&
           block.first().text.endsWith(QLatin1Char(':')) && block[1].text.startsWith(entryStart);
}

} // namespace

bool isPlaceholder(const QString &word)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Z][A-Z,.]*$"));
    return shape.match(word).hasMatch();
}

QStringList HelpOption::choices() const
{
    if (!value.contains(QLatin1Char('|')))
        return {};
    QStringList listed = value.split(QLatin1Char('|'));
    listed.removeIf(isPlaceholder);
    return listed;
}

QList<HelpOption> HelpDocument::allOptions() const
{
    QList<HelpOption> options;
    for (const HelpSection &section : sections)
        for (const HelpEntry &entry : section.entries)
            options << entry.options;
    return options;
}

std::optional<HelpDocument> readHelp(const QString &text, QString *error)
{
    const QList<Block> blocks = blocksOf(text);
    const QString usageLabel = QStringLiteral("Usage: ");
    if (blocks.isEmpty() || !blocks.first().first().text.startsWith(usageLabel)) {
        *error = QStringLiteral("the help does not start with \"%1\"").arg(usageLabel);
        return std::nullopt;
    }
    HelpDocument help;
    const Block &usage = blocks.first();
    help.usage << usage.first().text.mid(usageLabel.size()).trimmed();
    for (qsizetype i = 1; i < usage.size(); ++i) {
        if (!usage[i].text.startsWith(QLatin1Char(' '))) {
            *error = lineError(usage[i], QStringLiteral("a usage line that is not indented"));
            return std::nullopt;
        }
        help.usage << usage[i].text.trimmed();
    }
    for (qsizetype b = 1; b < blocks.size(); ++b) {
        const Block &block = blocks[b];
        if (isSection(block)) {
            const std::optional<HelpSection> section = readSection(block, error);
            if (!section)
                return std::nullopt;
            help.sections << *section;
            continue;
        }
        for (const Line &line : block) {
            if (line.text.startsWith(QLatin1Char(' '))) {
                *error = lineError(line, QStringLiteral("indented outside a section of options"));
                return std::nullopt;
            }
        }
        const QString paragraph = joined(block);
        if (paragraph.startsWith(exitLabel))
            help.exitStatus = paragraph.mid(exitLabel.size()).trimmed();
        else if (help.sections.isEmpty())
            help.description << paragraph;
        else
            help.notes << paragraph;
    }
    if (help.sections.isEmpty() || help.exitStatus.isEmpty()) {
        *error = QStringLiteral("the help has no options or no \"%1\" paragraph").arg(exitLabel);
        return std::nullopt;
    }
    return help;
}

} // namespace folioset::cli
