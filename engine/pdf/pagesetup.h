#pragma once

#include <QSizeF>
#include <QString>
#include <QVariant>

#include <optional>

namespace folioset::pdf {

enum class PaperSize { ImageSize, A3, A4, A5, Letter, Legal, Custom };
enum class PageOrientation { Automatic, Portrait, Landscape };
// How the image meets the room inside the margins: whole and centred, covering it (what
// overflows is cut off), stretched to it, or whole but never larger than its own size.
enum class ImageFit { Into, Fill, Exact, ShrinkOnly };
enum class LengthUnit { Millimetre, Inch, Point };

// Readers show pages of 3 to 14400 points a side (200 inches); margins stay within the largest.
inline constexpr double kSmallestPageSide = 3;
inline constexpr double kLargestPageSide = 14400;
inline constexpr double kLargestDefaultDpi = 100000;

// In points, on the page as a viewer shows it.
struct Margins
{
    double top = 0;
    double right = 0;
    double bottom = 0;
    double left = 0;

    bool operator==(const Margins &) const = default;
    bool isZero() const { return top == 0 && right == 0 && bottom == 0 && left == 0; }
};

// How the pages of a run are laid out. The default makes every page the image's own size at
// its resolution, the image filling it: the pages the program has always made.
struct PageSetup
{
    PaperSize paper = PaperSize::ImageSize;
    QSizeF customSize;                              // points; Custom only, turned as needed
    LengthUnit customUnit = LengthUnit::Millimetre; // the unit the custom size was given in
    PageOrientation orientation = PageOrientation::Automatic;
    ImageFit fit = ImageFit::Into;
    // Around the image's room on paper; added around the image on a page of its own size.
    Margins margins;
    double defaultDpi = 72; // the resolution of an image whose file states none

    bool operator==(const PageSetup &) const = default;

    bool isImageSize() const { return paper == PaperSize::ImageSize; }
    // Whether pages come out as they always have: the image's own size, no margins.
    bool isPlainImagePage() const { return isImageSize() && margins.isZero(); }
    // The paper in points, portrait (width <= height); empty for the image's own size.
    QSizeF portraitPaper() const;
    // Why no page can be laid out with this setup (a margin that leaves no room on the paper,
    // a size or resolution out of range); empty when pages can.
    QString problem() const;
};

// Text forms, shared by the command line and the stored preferences. Names are read without
// regard to case; the readers give nothing for text they do not know.
//   paper:       image, A3, A4, A5, Letter, Legal, or WIDTHxHEIGHT with mm, in or pt (210x297mm)
//   orientation: auto, portrait, landscape
//   fit:         into, fill, exact, shrink
//   margins:     one length for every side, or four as top,right,bottom,left; a length is a
//                number with mm (the default), in or pt
//   resolution:  a number of dots per inch
struct PaperChoice
{
    PaperSize paper = PaperSize::ImageSize;
    QSizeF customSize;
    LengthUnit customUnit = LengthUnit::Millimetre;
};
std::optional<PaperChoice> parsePaperSize(const QString &text);
QString paperSizeText(const PageSetup &setup);
std::optional<PageOrientation> parseOrientation(const QString &text);
QString orientationText(PageOrientation orientation);
std::optional<ImageFit> parseFit(const QString &text);
QString fitText(ImageFit fit);
std::optional<Margins> parseMargins(const QString &text);
QString marginsText(const Margins &margins);
std::optional<double> parseResolution(const QString &text);

// Points in a unit, and back.
double toPoints(double value, LengthUnit unit);
double fromPoints(double points, LengthUnit unit);
// "210 mm", "8.5 in", "612 pt": at most two decimals.
QString lengthText(double points, LengthUnit unit);
// "210 x 297 mm".
QString sizeText(const QSizeF &points, LengthUnit unit);

// The stored form: a map of the text forms, under keys "pageSize", "orientation", "fit",
// "margins" and "defaultDpi". An absent key keeps its default; anything else that cannot be
// read, or a setup that cannot lay out a page, gives nothing and says why.
QVariantMap pageSetupToMap(const PageSetup &setup);
std::optional<PageSetup> pageSetupFromMap(const QVariant &stored, QString *problem);

} // namespace folioset::pdf
