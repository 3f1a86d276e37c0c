#include "pagesetup.h"

#include "objectwriter.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <cmath>
#include <utility>

namespace folioset::pdf {

namespace {

constexpr double kPointsPerInch = 72;
constexpr double kMillimetresPerInch = 25.4;

struct NamedPaper
{
    PaperSize paper;
    const char *name;
    double width; // portrait, in its own unit
    double height;
    LengthUnit unit;
};

constexpr std::array<NamedPaper, 5> kNamedPapers{{
    {PaperSize::A3, "A3", 297, 420, LengthUnit::Millimetre},
    {PaperSize::A4, "A4", 210, 297, LengthUnit::Millimetre},
    {PaperSize::A5, "A5", 148, 210, LengthUnit::Millimetre},
    {PaperSize::Letter, "Letter", 8.5, 11, LengthUnit::Inch},
    {PaperSize::Legal, "Legal", 8.5, 14, LengthUnit::Inch},
}};

template <typename Value, std::size_t N>
using Names = std::array<std::pair<Value, const char *>, N>;

constexpr Names<PageOrientation, 3> kOrientationNames{{{PageOrientation::Automatic, "auto"},
                                                       {PageOrientation::Portrait, "portrait"},
                                                       {PageOrientation::Landscape, "landscape"}}};
constexpr Names<ImageFit, 4> kFitNames{{{ImageFit::Into, "into"},
                                        {ImageFit::Fill, "fill"},
                                        {ImageFit::Exact, "exact"},
                                        {ImageFit::ShrinkOnly, "shrink"}}};

template <typename Value, std::size_t N>
std::optional<Value> byName(const Names<Value, N> &names, const QString &text)
{
    for (const auto &[value, name] : names) {
        if (text.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

template <typename Value, std::size_t N> QString nameOf(const Names<Value, N> &names, Value value)
{
    for (const auto &[known, name] : names) {
        if (known == value)
            return QLatin1String(name);
    }
    return QLatin1String(names.front().second);
}

const NamedPaper *namedPaper(PaperSize paper)
{
    for (const NamedPaper &named : kNamedPapers) {
        if (named.paper == paper)
            return &named;
    }
    return nullptr;
}

QString unitName(LengthUnit unit)
{
    switch (unit) {
    case LengthUnit::Inch:
        return QStringLiteral("in");
    case LengthUnit::Point:
        return QStringLiteral("pt");
    case LengthUnit::Millimetre:
        break;
    }
    return QStringLiteral("mm");
}

QString number(double value, int decimals)
{
    return QString::fromLatin1(trimmedNumber(value, decimals));
}

struct Length
{
    double value = 0;
    LengthUnit unit = LengthUnit::Millimetre;
};

// A non-negative number, optionally followed by mm, in or pt.
std::optional<Length> parseLength(const QString &text, bool unitRequired)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)\\s*(mm|in|pt)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch() || (unitRequired && match.captured(2).isEmpty()))
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const QString unit = match.captured(2).toLower();
    return Length{value, unit == QLatin1String("in")   ? LengthUnit::Inch
                         : unit == QLatin1String("pt") ? LengthUnit::Point
                                                       : LengthUnit::Millimetre};
}

QSizeF turned(QSizeF portrait, PageOrientation orientation)
{
    return orientation == PageOrientation::Landscape ? portrait.transposed() : portrait;
}

QString paperName(const PageSetup &setup, PageOrientation orientation)
{
    const QString turn = orientation == PageOrientation::Landscape ? QStringLiteral("landscape")
                                                                   : QStringLiteral("portrait");
    if (const NamedPaper *named = namedPaper(setup.paper))
        return QStringLiteral("%1 %2").arg(QLatin1String(named->name), turn);
    const QSizeF page = turned(setup.portraitPaper(), orientation);
    return QStringLiteral("the %1 page in %2").arg(sizeText(page, setup.customUnit), turn);
}

// Why `first` and `second` (opposite margins) leave no room across `side` points; empty when
// they leave some.
QString marginRoom(double first, double second, const char *firstName, const char *secondName,
                   double side, const char *across, const QString &page)
{
    // Margins of exactly half, given in another unit than the paper, may miss it by a hair.
    if (first + second < side - 1e-6)
        return {};
    const QString length = lengthText(side, LengthUnit::Millimetre);
    if (first == second)
        return QStringLiteral("a margin of %1 is half the page or more: %2 is %3 %4")
            .arg(lengthText(first, LengthUnit::Millimetre), page, length, QLatin1String(across));
    return QStringLiteral("the %1 and %2 margins (%3 + %4) leave no room: %5 is %6 %7")
        .arg(QLatin1String(firstName), QLatin1String(secondName),
             lengthText(first, LengthUnit::Millimetre), lengthText(second, LengthUnit::Millimetre),
             page, length, QLatin1String(across));
}

} // namespace

double toPoints(double value, LengthUnit unit)
{
    switch (unit) {
    case LengthUnit::Inch:
        return value * kPointsPerInch;
    case LengthUnit::Point:
        return value;
    case LengthUnit::Millimetre:
        break;
    }
    return value * kPointsPerInch / kMillimetresPerInch;
}

double fromPoints(double points, LengthUnit unit)
{
    return points / toPoints(1, unit);
}

QString lengthText(double points, LengthUnit unit)
{
    return number(fromPoints(points, unit), 2) + QLatin1Char(' ') + unitName(unit);
}

QString sizeText(const QSizeF &points, LengthUnit unit)
{
    return number(fromPoints(points.width(), unit), 2) + QStringLiteral(" x ") +
           lengthText(points.height(), unit);
}

QSizeF PageSetup::portraitPaper() const
{
    QSizeF size;
    if (const NamedPaper *named = namedPaper(paper))
        size = QSizeF(toPoints(named->width, named->unit), toPoints(named->height, named->unit));
    else if (paper == PaperSize::Custom)
        size = customSize;
    else
        return {};
    if (size.width() > size.height())
        size.transpose();
    return size;
}

QString PageSetup::problem() const
{
    if (!(defaultDpi > 0 && defaultDpi <= kLargestDefaultDpi))
        return QStringLiteral("the resolution of images that state none must be from 1 to "
                              "100000 dpi");
    for (const double margin : {margins.top, margins.right, margins.bottom, margins.left}) {
        if (!(margin >= 0 && margin <= kLargestPageSide))
            return QStringLiteral("a margin must be from 0 to 5080 mm (200 in)");
    }
    if (isImageSize())
        return {};
    const QSizeF paper = portraitPaper();
    if (!(paper.width() >= kSmallestPageSide && paper.height() <= kLargestPageSide))
        return QStringLiteral("a page side must be from 3 pt to 14400 pt (200 in)");
    std::array<PageOrientation, 2> turns{PageOrientation::Portrait, PageOrientation::Landscape};
    const std::size_t first = orientation == PageOrientation::Landscape ? 1 : 0;
    const std::size_t last = orientation == PageOrientation::Portrait ? 1 : 2;
    for (std::size_t i = first; i < last; ++i) {
        const QSizeF page = turned(paper, turns[i]);
        const QString name = paperName(*this, turns[i]);
        QString why =
            marginRoom(margins.left, margins.right, "left", "right", page.width(), "wide", name);
        if (why.isEmpty())
            why = marginRoom(margins.top, margins.bottom, "top", "bottom", page.height(), "high",
                             name);
        if (!why.isEmpty())
            return orientation == PageOrientation::Automatic
                       ? why + QStringLiteral(", and automatic orientation uses it for %1 images")
                                   .arg(i == 0 ? QStringLiteral("tall and square")
                                               : QStringLiteral("wide"))
                       : why;
    }
    return {};
}

std::optional<PaperChoice> parsePaperSize(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("image"), Qt::CaseInsensitive) == 0)
        return PaperChoice{};
    for (const NamedPaper &named : kNamedPapers) {
        if (trimmed.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return PaperChoice{named.paper, {}, LengthUnit::Millimetre};
    }
    const QStringList sides =
        trimmed.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (sides.size() != 2)
        return std::nullopt;
    // "210x297mm": the unit at the end stands for both; "8.5inx11in" says it twice.
    const std::optional<Length> height = parseLength(sides.at(1), true);
    if (!height)
        return std::nullopt;
    std::optional<Length> width = parseLength(sides.at(0), false);
    if (width && sides.at(0).trimmed().back().isDigit())
        width->unit = height->unit;
    if (!width || width->unit != height->unit || width->value <= 0 || height->value <= 0)
        return std::nullopt;
    return PaperChoice{
        PaperSize::Custom,
        QSizeF(toPoints(width->value, width->unit), toPoints(height->value, height->unit)),
        height->unit};
}

QString paperSizeText(const PageSetup &setup)
{
    if (const NamedPaper *named = namedPaper(setup.paper))
        return QLatin1String(named->name);
    if (setup.paper != PaperSize::Custom)
        return QStringLiteral("image");
    return number(fromPoints(setup.customSize.width(), setup.customUnit), 4) + QLatin1Char('x') +
           number(fromPoints(setup.customSize.height(), setup.customUnit), 4) +
           unitName(setup.customUnit);
}

std::optional<PageOrientation> parseOrientation(const QString &text)
{
    return byName(kOrientationNames, text);
}

QString orientationText(PageOrientation orientation)
{
    return nameOf(kOrientationNames, orientation);
}

std::optional<ImageFit> parseFit(const QString &text)
{
    return byName(kFitNames, text);
}

QString fitText(ImageFit fit)
{
    return nameOf(kFitNames, fit);
}

std::optional<Margins> parseMargins(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 1 && parts.size() != 4)
        return std::nullopt;
    std::array<double, 4> sides{};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const std::optional<Length> length = parseLength(parts.at(i), false);
        if (!length)
            return std::nullopt;
        sides[std::size_t(i)] = toPoints(length->value, length->unit);
    }
    if (parts.size() == 1)
        return Margins{sides[0], sides[0], sides[0], sides[0]};
    return Margins{sides[0], sides[1], sides[2], sides[3]};
}

QString marginsText(const Margins &margins)
{
    const auto mm = [](double points) {
        return number(fromPoints(points, LengthUnit::Millimetre), 4) + QStringLiteral("mm");
    };
    if (margins.top == margins.right && margins.top == margins.bottom &&
        margins.top == margins.left)
        return mm(margins.top);
    return QStringList{mm(margins.top), mm(margins.right), mm(margins.bottom), mm(margins.left)}
        .join(QLatin1Char(','));
}

std::optional<double> parseResolution(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)\\s*(dpi)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double dpi = match.captured(1).toDouble();
    if (!(dpi > 0 && dpi <= kLargestDefaultDpi))
        return std::nullopt;
    return dpi;
}

QVariantMap pageSetupToMap(const PageSetup &setup)
{
    return {
        {QStringLiteral("pageSize"), paperSizeText(setup)},
        {QStringLiteral("orientation"), orientationText(setup.orientation)},
        {QStringLiteral("fit"), fitText(setup.fit)},
        {QStringLiteral("margins"), marginsText(setup.margins)},
        {QStringLiteral("defaultDpi"), number(setup.defaultDpi, 4)},
    };
}

std::optional<PageSetup> pageSetupFromMap(const QVariant &stored, QString *problem)
{
    const auto refuse = [problem](const QString &why) -> std::optional<PageSetup> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (stored.typeId() != QMetaType::QVariantMap)
        return refuse(QStringLiteral("the stored page layout is not a group of entries"));
    const QVariantMap map = stored.toMap();
    PageSetup setup;
    // Each entry read by its reader, or a reason naming it and what it held.
    const auto read = [&map](const char *key, auto reader, auto assign) -> QString {
        const QString name = QLatin1String(key);
        if (!map.contains(name))
            return {};
        const QString text = map.value(name).toString();
        const auto value = reader(text);
        if (!value)
            return QStringLiteral("unknown %1 '%2'").arg(name, text);
        assign(*value);
        return {};
    };
    const std::array<QString, 5> errors{
        read("pageSize", parsePaperSize,
             [&setup](const PaperChoice &choice) {
                 setup.paper = choice.paper;
                 setup.customSize = choice.customSize;
                 setup.customUnit = choice.customUnit;
             }),
        read("orientation", parseOrientation,
             [&setup](PageOrientation value) { setup.orientation = value; }),
        read("fit", parseFit, [&setup](ImageFit value) { setup.fit = value; }),
        read("margins", parseMargins, [&setup](const Margins &value) { setup.margins = value; }),
        read("defaultDpi", parseResolution, [&setup](double value) { setup.defaultDpi = value; }),
    };
    for (const QString &error : errors) {
        if (!error.isEmpty())
            return refuse(error);
    }
    if (const QString why = setup.problem(); !why.isEmpty())
        return refuse(why);
    return setup;
}

} // namespace folioset::pdf
