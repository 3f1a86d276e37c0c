#include "options.h"

#include "model/settings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

namespace folioset::cli {

namespace {

struct UsageError
{
    QString message;
};

const QString stdinName = QStringLiteral("-");

// One line without its line end; a file saved on another system may end lines with CR LF.
QString firstLine(QIODevice &device)
{
    QByteArray line = device.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// An empty password would leave the PDF open to all without a word: almost always a file that
// was not filled in, so it is refused.
QString readPassword(const QString &option, const QString &fileName, QIODevice *standardInput)
{
    QString password;
    if (fileName == stdinName) {
        if (!standardInput || !standardInput->isReadable())
            throw UsageError{QStringLiteral("--%1: standard input cannot be read").arg(option)};
        password = firstLine(*standardInput);
    } else {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw UsageError{QStringLiteral("--%1: cannot read password file '%2': %3")
                                 .arg(option, fileName, file.errorString())};
        password = firstLine(file);
    }
    if (password.isEmpty())
        throw UsageError{QStringLiteral("--%1: the password is empty (first line of %2)")
                             .arg(option, fileName == stdinName
                                              ? QStringLiteral("standard input")
                                              : QLatin1Char('\'') + fileName + QLatin1Char('\''))};
    return password;
}

QList<ListEntry> readList(const QString &fileName, ListSeparator separator,
                          QIODevice *standardInput)
{
    if (fileName == stdinName) {
        if (!standardInput || !standardInput->isReadable())
            throw UsageError{QStringLiteral("--from-file: standard input cannot be read")};
        return readInputList(*standardInput, separator);
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError{
            QStringLiteral("--from-file: cannot read '%1': %2").arg(fileName, file.errorString())};
    return readInputList(file, separator);
}

[[noreturn]] void refuseChoice(const QString &option, const QString &value,
                               const QStringList &names)
{
    throw UsageError{QStringLiteral("invalid --%1 '%2' (expected %3)")
                         .arg(option, value, names.join(QStringLiteral(", ")))};
}

int choice(const QString &option, const QString &value, const QStringList &names)
{
    const qsizetype index = names.indexOf(value);
    if (index < 0)
        refuseChoice(option, value, names);
    return int(index);
}

// A value the engine has a text form for. The engine also reads other cases and surrounding
// spaces (for stored preferences); the command line takes a name only as --help writes it.
template <typename Value>
Value engineChoice(const QString &option, const QString &value,
                   std::optional<Value> (*parse)(const QString &), QString (*text)(Value),
                   std::initializer_list<Value> values)
{
    if (const std::optional<Value> parsed = parse(value); parsed && text(*parsed) == value)
        return *parsed;
    QStringList names;
    for (const Value known : values)
        names << text(known);
    refuseChoice(option, value, names);
}

QString mergeName(const QString &value)
{
    QString name = value;
    // The plan always appends ".pdf"; "--name book.pdf" should not give "book.pdf.pdf".
    if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.isEmpty())
        throw UsageError{QStringLiteral("--name must not be empty")};
    if (name.contains(QLatin1Char('/')))
        throw UsageError{QStringLiteral("--name '%1' must be a file name, not a path").arg(value)};
    return name;
}

QList<QCommandLineOption> addOptions(QCommandLineParser &parser)
{
    QList<QCommandLineOption> added;
    const auto valued = [&](const QStringList &names, const QString &valueName) {
        added << QCommandLineOption(names, QString(), valueName);
    };
    const auto flag = [&](const QStringList &names) { added << QCommandLineOption(names); };
    flag({QStringLiteral("r"), QStringLiteral("recursive")});
    valued({QStringLiteral("from-file")}, QStringLiteral("FILE"));
    flag({QStringLiteral("0"), QStringLiteral("null")});
    valued({QStringLiteral("mode")}, QStringLiteral("MODE"));
    valued({QStringLiteral("name")}, QStringLiteral("NAME"));
    valued({QStringLiteral("group-size")}, QStringLiteral("N"));
    valued({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("DIR"));
    valued({QStringLiteral("title")}, QStringLiteral("TEXT"));
    valued({QStringLiteral("subject")}, QStringLiteral("TEXT"));
    valued({QStringLiteral("author")}, QStringLiteral("TEXT"));
    valued({QStringLiteral("keywords")}, QStringLiteral("TEXT"));
    valued({QStringLiteral("open-password-file")}, QStringLiteral("FILE"));
    valued({QStringLiteral("permission-password-file")}, QStringLiteral("FILE"));
    flag({QStringLiteral("no-print")});
    flag({QStringLiteral("no-copy")});
    valued({QStringLiteral("key-bits")}, QStringLiteral("BITS"));
    valued({QStringLiteral("bookmarks")}, QStringLiteral("KIND"));
    valued({QStringLiteral("pages")}, QStringLiteral("RULE"));
    valued({QStringLiteral("page-size")}, QStringLiteral("SIZE"));
    valued({QStringLiteral("orientation")}, QStringLiteral("TURN"));
    valued({QStringLiteral("fit")}, QStringLiteral("FIT"));
    valued({QStringLiteral("margin")}, QStringLiteral("LENGTHS"));
    valued({QStringLiteral("default-dpi")}, QStringLiteral("DPI"));
    valued({QStringLiteral("log-dir")}, QStringLiteral("DIR"));
    valued({QStringLiteral("report")}, QStringLiteral("FILE"));
    flag({QStringLiteral("open")});
    flag({QStringLiteral("q"), QStringLiteral("quiet")});
    flag({QStringLiteral("h"), QStringLiteral("help")});
    flag({QStringLiteral("version")});
    parser.addOptions(added);
    return added;
}

std::optional<QString> optionalValue(const QCommandLineParser &parser, const QString &name)
{
    if (!parser.isSet(name))
        return std::nullopt;
    return parser.value(name);
}

pdf::PageSetup readPageSetup(const QCommandLineParser &parser)
{
    pdf::PageSetup setup;
    const QString size = QStringLiteral("page-size");
    const QString margin = QStringLiteral("margin");
    if (parser.isSet(size)) {
        const std::optional<pdf::PaperChoice> paper = pdf::parsePaperSize(parser.value(size));
        if (!paper)
            throw UsageError{QStringLiteral("invalid --page-size '%1' (expected image, A3, A4, "
                                            "A5, Letter, Legal, or WIDTHxHEIGHT with mm, in or "
                                            "pt, such as 210x297mm)")
                                 .arg(parser.value(size))};
        setup.paper = paper->paper;
        setup.customSize = paper->customSize;
        setup.customUnit = paper->customUnit;
    }
    const QString turn = QStringLiteral("orientation");
    const QString fit = QStringLiteral("fit");
    if (setup.isImageSize() && (parser.isSet(turn) || parser.isSet(fit)))
        throw UsageError{QStringLiteral("--orientation and --fit need a paper size (--page-size): "
                                        "a page of the image's own size is neither turned nor "
                                        "scaled")};
    if (parser.isSet(turn))
        setup.orientation =
            engineChoice(turn, parser.value(turn), pdf::parseOrientation, pdf::orientationText,
                         {pdf::PageOrientation::Automatic, pdf::PageOrientation::Portrait,
                          pdf::PageOrientation::Landscape});
    if (parser.isSet(fit))
        setup.fit = engineChoice(fit, parser.value(fit), pdf::parseFit, pdf::fitText,
                                 {pdf::ImageFit::Into, pdf::ImageFit::Fill, pdf::ImageFit::Exact,
                                  pdf::ImageFit::ShrinkOnly});
    if (const QString problem = setup.problem(); !problem.isEmpty())
        throw UsageError{
            QStringLiteral("invalid --page-size '%1': %2").arg(parser.value(size), problem)};
    if (parser.isSet(margin)) {
        const std::optional<pdf::Margins> margins = pdf::parseMargins(parser.value(margin));
        if (!margins)
            throw UsageError{QStringLiteral("invalid --margin '%1' (expected one length for "
                                            "every side or four as top,right,bottom,left; a "
                                            "length is a number with mm, the default, in or "
                                            "pt, such as 10mm)")
                                 .arg(parser.value(margin))};
        setup.margins = *margins;
        if (const QString problem = setup.problem(); !problem.isEmpty())
            throw UsageError{
                QStringLiteral("invalid --margin '%1': %2").arg(parser.value(margin), problem)};
    }
    const QString dpi = QStringLiteral("default-dpi");
    if (parser.isSet(dpi)) {
        const std::optional<double> resolution = pdf::parseResolution(parser.value(dpi));
        if (!resolution)
            throw UsageError{QStringLiteral("invalid --default-dpi '%1' (expected a number of "
                                            "dots per inch from 1 to 100000)")
                                 .arg(parser.value(dpi))};
        setup.defaultDpi = *resolution;
    }
    return setup;
}

Options readOptions(const QCommandLineParser &parser, QIODevice *standardInput)
{
    Options options;
    options.inputs = parser.positionalArguments();
    const bool listed = parser.isSet(QStringLiteral("from-file"));
    if (options.inputs.isEmpty() && !listed)
        throw UsageError{QStringLiteral("no input files or folders given")};
    if (parser.isSet(QStringLiteral("null")) && !listed)
        throw UsageError{QStringLiteral("-0 needs --from-file")};
    options.recursive = parser.isSet(QStringLiteral("recursive"));
    if (parser.isSet(QStringLiteral("mode")))
        options.mode =
            choice(QStringLiteral("mode"), parser.value(QStringLiteral("mode")),
                   {QStringLiteral("single"), QStringLiteral("merge"), QStringLiteral("group")});
    if (parser.isSet(QStringLiteral("group-size"))) {
        const QString text = parser.value(QStringLiteral("group-size"));
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 2)
            throw UsageError{
                QStringLiteral("invalid --group-size '%1' (expected a whole number of 2 or more)")
                    .arg(text)};
        options.groupSize = size;
    }
    if (parser.isSet(QStringLiteral("name")))
        options.name = mergeName(parser.value(QStringLiteral("name")));
    if (options.mode != 0 && options.name.isEmpty())
        throw UsageError{
            QStringLiteral("--mode %1 needs --name")
                .arg(options.mode == 1 ? QStringLiteral("merge") : QStringLiteral("group"))};

    options.outputFolder = parser.value(QStringLiteral("output"));
    if (!parser.isSet(QStringLiteral("output")) || options.outputFolder.isEmpty())
        throw UsageError{QStringLiteral("no output folder given (-o DIR)")};

    options.title = optionalValue(parser, QStringLiteral("title"));
    options.subject = optionalValue(parser, QStringLiteral("subject"));
    options.author = optionalValue(parser, QStringLiteral("author"));
    options.keywords = optionalValue(parser, QStringLiteral("keywords"));
    for (const auto &[option, field] :
         {std::pair{QStringLiteral("open-password-file"), &options.openPassword},
          std::pair{QStringLiteral("permission-password-file"), &options.permissionPassword}}) {
        if (parser.isSet(option))
            *field = readPassword(option, parser.value(option), standardInput);
    }
    if (listed) {
        const QString list = parser.value(QStringLiteral("from-file"));
        // The passwords are the first lines of standard input; a list there would start with
        // them, or they with the list.
        if (list == stdinName &&
            (parser.value(QStringLiteral("open-password-file")) == stdinName ||
             parser.value(QStringLiteral("permission-password-file")) == stdinName))
            throw UsageError{QStringLiteral("--from-file - cannot share standard input with a "
                                            "password file")};
        options.listedInputs = readList(
            list,
            parser.isSet(QStringLiteral("null")) ? ListSeparator::Nul : ListSeparator::Newline,
            standardInput);
    }
    options.noPrint = parser.isSet(QStringLiteral("no-print"));
    options.noCopy = parser.isSet(QStringLiteral("no-copy"));
    if (parser.isSet(QStringLiteral("key-bits"))) {
        static const int bits[] = {40, 128, 256};
        options.keyBits =
            bits[choice(QStringLiteral("key-bits"), parser.value(QStringLiteral("key-bits")),
                        {QStringLiteral("40"), QStringLiteral("128"), QStringLiteral("256")})];
    }
    // Without a password the PDF is not encrypted, and a right withheld would hold nothing back.
    if (options.hasIneffectiveRights())
        throw UsageError{QStringLiteral("--no-print, --no-copy and --key-bits need a password "
                                        "(--open-password-file or --permission-password-file)")};
    if (parser.isSet(QStringLiteral("bookmarks")))
        options.bookmarkType =
            choice(QStringLiteral("bookmarks"), parser.value(QStringLiteral("bookmarks")),
                   {QStringLiteral("none"), QStringLiteral("name"), QStringLiteral("stem"),
                    QStringLiteral("path")});
    if (parser.isSet(QStringLiteral("pages"))) {
        const QString text = parser.value(QStringLiteral("pages"));
        const std::optional<SelectionRange> rule = parsePageRule(text);
        if (!rule)
            throw UsageError{QStringLiteral("invalid --pages '%1' (expected all, ranges such as "
                                            "1-3,7-7, step:N or rstep:N)")
                                 .arg(text)};
        options.pages = *rule;
    }
    options.pageSetup = readPageSetup(parser);
    if (parser.isSet(QStringLiteral("log-dir"))) {
        options.logFolder = parser.value(QStringLiteral("log-dir"));
        if (options.logFolder.isEmpty())
            throw UsageError{QStringLiteral("--log-dir must not be empty")};
    }
    if (parser.isSet(QStringLiteral("report"))) {
        options.reportPath = parser.value(QStringLiteral("report"));
        if (options.reportPath.isEmpty())
            throw UsageError{QStringLiteral("--report must not be empty")};
    }
    options.open = parser.isSet(QStringLiteral("open"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    return options;
}

std::optional<int> positiveNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int number = text.toInt();
    return number >= 1 ? std::optional<int>(number) : std::nullopt;
}

} // namespace

QList<QCommandLineOption> commandLineOptions()
{
    QCommandLineParser parser;
    return addOptions(parser);
}

bool Options::appliesDocumentSettings() const
{
    return title || subject || author || keywords || openPassword || permissionPassword ||
           noPrint || noCopy || keyBits || bookmarkType;
}

bool Options::hasIneffectiveRights() const
{
    // A password is never empty: the parser refuses an empty one.
    const bool anyPassword = openPassword.has_value() || permissionPassword.has_value();
    return !anyPassword && (noPrint || noCopy || keyBits);
}

std::optional<SelectionRange> parsePageRule(const QString &text)
{
    SelectionRange rule;
    const QString trimmed = text.trimmed();
    if (trimmed == QLatin1String("all"))
        return rule;
    for (const auto &[prefix, kind] :
         {std::pair{QStringLiteral("step:"), SelectionRange::Steps},
          std::pair{QStringLiteral("rstep:"), SelectionRange::ReversedSteps}}) {
        if (!trimmed.startsWith(prefix))
            continue;
        const std::optional<int> step = positiveNumber(trimmed.mid(prefix.size()));
        if (!step)
            return std::nullopt;
        rule.setPageRangeType(kind);
        if (kind == SelectionRange::Steps)
            rule.setPageSteps(*step);
        else
            rule.setPageStepsReversed(*step);
        return rule;
    }
    QStringList pairs;
    for (const QString &piece : trimmed.split(QLatin1Char(','))) {
        const QStringList ends = piece.trimmed().split(QLatin1Char('-'));
        if (ends.size() > 2)
            return std::nullopt;
        const std::optional<int> start = positiveNumber(ends.first());
        const std::optional<int> end = positiveNumber(ends.last());
        if (!start || !end)
            return std::nullopt;
        pairs << QStringLiteral("%1-%2").arg(*start).arg(*end);
    }
    rule.setPageRangeType(SelectionRange::Ranges);
    rule.setPageRange(pairs.join(QLatin1Char(',')));
    return rule;
}

ParseResult parseArguments(const QStringList &arguments, QIODevice *standardInput)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    addOptions(parser);
    ParseResult result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.status = ParseStatus::Help;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.status = ParseStatus::Version;
        return result;
    }
    try {
        result.options = readOptions(parser, standardInput);
        result.status = ParseStatus::Run;
    } catch (const UsageError &e) {
        result.error = e.message;
    }
    return result;
}

void applyToSettings(const Options &options, Settings &settings)
{
    settings.setCombineOptionIndex(options.mode);
    settings.setGroupMultiPagePDFCount(options.groupSize);
    settings.setSingleMultiPagePDFName(options.mode == 1 ? options.name : QString());
    settings.setGroupMultiPagePDFName(options.mode == 2 ? options.name : QString());
    settings.setOutputFolderPath(options.outputFolder);
    settings.setIsSetCurrentAsDefaultOutputFolderPath(false);
    settings.setIsOpenFolderAfterConversion(options.open);
    settings.setIsClearProcessedFiles(false);
    settings.setIsApplyDocumentSetings(options.appliesDocumentSettings());

    PDFSettings &pdf = *settings.pdfSettings();
    const auto set = [&pdf](const std::optional<QString> &value,
                            void (PDFSettings::*setter)(const QString &)) {
        if (value)
            (pdf.*setter)(*value);
    };
    set(options.title, &PDFSettings::setTitle);
    set(options.subject, &PDFSettings::setSubject);
    set(options.author, &PDFSettings::setAuthor);
    set(options.keywords, &PDFSettings::setKeywords);
    set(options.openPassword, &PDFSettings::setPdfOpenPassword);
    set(options.permissionPassword, &PDFSettings::setPdfPermissionPassword);
    pdf.setCanPrint(!options.noPrint);
    pdf.setCanCopy(!options.noCopy);
    // The old RC4 kinds only when asked for by name: AES is what current readers expect.
    if (options.keyBits)
        pdf.setKeyBits(*options.keyBits);
    else if (options.openPassword.has_value() || options.permissionPassword.has_value())
        pdf.setKeyBits(256);
    if (options.bookmarkType)
        pdf.setBookmarkType(*options.bookmarkType);
}

} // namespace folioset::cli
