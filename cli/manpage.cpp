#include "helpdoc.h"

#include <QRegularExpression>

#include <functional>

namespace folioset::cli {

namespace {

QString minusSigns(QString text)
{
    return text.replace(QLatin1Char('-'), QLatin1String("\\-"));
}

QString bold(const QString &text)
{
    return QStringLiteral("\\fB%1\\fR").arg(minusSigns(text));
}

QString italic(const QString &text)
{
    return QStringLiteral("\\fI%1\\fR").arg(minusSigns(text));
}

// `line` with each match of `pattern` replaced by what `shown` makes of it.
QString replaced(const QString &line, const QRegularExpression &pattern,
                 const std::function<QString(const QString &)> &shown)
{
    QString out;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &match : pattern.globalMatch(line)) {
        out += line.mid(done, match.capturedStart() - done) + shown(match.captured());
        done = match.capturedEnd();
    }
    return out + line.mid(done);
}

// A line of running text: backslashes kept, option names set in bold with real minus signs
// (roff's "-" is a hyphen, which breaks a line and does not paste into a shell), the names the
// user fills in (INPUT, FILE) in italics, and a leading dot or quote kept from being read as a
// request.
QString text(QString line, const QStringList &placeholders)
{
    line.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    static const QRegularExpression option(
        QStringLiteral("(?<![\\w-])(?:--?[A-Za-z0-9][\\w-]*|-(?![\\w-]))"));
    line = replaced(line, option, [](const QString &name) {
        return name == QLatin1String("-") ? QStringLiteral("\\-") : bold(name);
    });
    if (!placeholders.isEmpty()) {
        const QRegularExpression placeholder(
            QStringLiteral("\\b(?:%1)(?=s?\\b)").arg(placeholders.join(QLatin1Char('|'))));
        line = replaced(line, placeholder, italic);
    }
    if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
        line.prepend(QLatin1String("\\&"));
    return line;
}

// How a line of --help is split into words: "[INPUT...]" gives "[", "INPUT" and "...]".
const QRegularExpression &wordShape()
{
    static const QRegularExpression shape(QStringLiteral("^(\\[?)(.*?)((?:\\.\\.\\.)?\\]?,?)$"));
    return shape;
}

struct Page
{
    QString program;
    QStringList placeholders; // what the user fills in: "INPUT", "FILE", "DIR"
};

Page pageOf(const HelpDocument &help)
{
    Page page{help.usage.first().section(QLatin1Char(' '), 0, 0), {}};
    QStringList syntaxes = help.usage;
    for (const HelpOption &option : help.allOptions())
        syntaxes << option.value;
    static const QRegularExpression capitals(QStringLiteral("^[A-Z][A-Z0-9]*$"));
    for (const QString &line : syntaxes) {
        for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString core = wordShape().match(word).captured(2);
            if (capitals.match(core).hasMatch() && !page.placeholders.contains(core))
                page.placeholders << core;
        }
    }
    return page;
}

// "[options] --from-file FILE [INPUT...]" or "--mode single|merge|group": names and listed
// values in bold, what the user fills in in italics, brackets and ellipses as they stand.
QString syntax(const QString &line, const Page &page)
{
    QStringList words;
    for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch parts = wordShape().match(word);
        const QString core = parts.captured(2);
        QString shown;
        if (core.startsWith(QLatin1Char('-')) || core == page.program) {
            shown = bold(core);
        } else if (core.contains(QLatin1Char('|'))) {
            QStringList choices;
            for (const QString &choice : core.split(QLatin1Char('|')))
                choices << (isPlaceholder(choice) ? italic(choice) : bold(choice));
            shown = choices.join(QLatin1Char('|'));
        } else {
            shown = italic(core);
        }
        words << parts.captured(1) + shown + parts.captured(3);
    }
    return words.join(QLatin1Char(' '));
}

QString paragraphs(const QStringList &list, const Page &page)
{
    QStringList lines;
    for (const QString &paragraph : list)
        lines << text(paragraph, page.placeholders);
    return lines.join(QLatin1String("\n.PP\n"));
}

QString options(const HelpDocument &help, const Page &page)
{
    QStringList lines;
    for (const HelpSection &section : help.sections) {
        QString title = section.title;
        lines << QStringLiteral(".SS \"%1\"").arg(title.replace(QLatin1Char('"'), "\\(dq"));
        for (const HelpEntry &entry : section.entries)
            lines << QStringLiteral(".TP") << syntax(entry.syntax, page)
                  << text(entry.description, page.placeholders);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

std::optional<QString> manPage(const HelpDocument &help, const QString &pageTemplate,
                               const QString &version, QString *error)
{
    const Page page = pageOf(help);
    QStringList synopsis;
    for (const QString &form : help.usage)
        synopsis << syntax(form, page);
    const QList<std::pair<QString, QString>> parts = {
        {QStringLiteral("@SYNOPSIS@"), synopsis.join(QLatin1String("\n.br\n"))},
        {QStringLiteral("@DESCRIPTION@"), paragraphs(help.description, page)},
        {QStringLiteral("@OPTIONS@"), options(help, page)},
        {QStringLiteral("@NOTES@"), paragraphs(help.notes, page)},
        {QStringLiteral("@EXIT STATUS@"), text(help.exitStatus, page.placeholders)},
    };
    QStringList lines = pageTemplate.split(QLatin1Char('\n'));
    for (const auto &[marker, roff] : parts) {
        if (lines.count(marker) != 1) {
            *error = QStringLiteral("the page template must have the line %1 once").arg(marker);
            return std::nullopt;
        }
        lines[lines.indexOf(marker)] = roff;
    }
    static const QRegularExpression leftOver(QStringLiteral("^@[A-Z ]+@$"));
    for (const QString &line : lines) {
        if (leftOver.match(line).hasMatch()) {
            *error = QStringLiteral("the page template has an unknown marker %1").arg(line);
            return std::nullopt;
        }
    }
    return lines.join(QLatin1Char('\n')).replace(QLatin1String("@VERSION@"), version);
}

} // namespace folioset::cli
