// Build-time tool: lays the user manual's HTML out on A4 pages and writes it as PDF with Qt's
// own PDF writer, so the manual needs nothing at build time beyond Qt and the DejaVu fonts.
//
//   folioset_makemanual SOURCE.html OUTPUT.pdf TITLE NAME ICON.svg
//
// TITLE replaces "##APPTITLE##" (the display name), NAME replaces "##APPNAME##" (the
// executable's name, which names the folders). A passage between "<!--only first-->" and
// "<!--end-->" is kept for the first-generation edition (NAME folioset1) only, one between
// "<!--only second-->" and "<!--end-->" for the other only. The PDF's title is the HTML's
// <title>.

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int dpi = 1200;
constexpr double mm = dpi / 25.4; // device pixels per millimetre
const QMarginsF pageMargins(22 * mm, 20 * mm, 22 * mm, 24 * mm);
const QString bodyFamily = QStringLiteral("DejaVu Sans");

int fail(const QString &message)
{
    std::fprintf(stderr, "folioset_makemanual: %s\n", qPrintable(message));
    return 1;
}

QImage renderSvg(const QString &path, int side)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// The cover is page 1 but carries no footer: a number there reads as clutter.
void drawFooter(QPainter &painter, const QRectF &page, const QString &title, int number, int count)
{
    if (number == 1)
        return;
    QFont font(bodyFamily, 8);
    painter.save();
    painter.setFont(font);
    painter.setPen(QPen(QColor(0xB8, 0xC2, 0xD0), 0.3 * mm));
    const double lineY = page.height() - pageMargins.bottom() + 8 * mm;
    painter.drawLine(QPointF(pageMargins.left(), lineY),
                     QPointF(page.width() - pageMargins.right(), lineY));
    painter.setPen(QColor(0x50, 0x62, 0x7A));
    const QRectF text(pageMargins.left(), lineY + 2 * mm,
                      page.width() - pageMargins.left() - pageMargins.right(), 6 * mm);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, title);
    painter.drawText(text, Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("Page %1 of %2").arg(number).arg(count));
    painter.restore();
}

// QTextDocument knows no "keep with next": a heading without room for a few lines of text below
// it on its page, or whose next block went to the next page, is moved there too. One at a
// time, since every move lays out what follows anew.
void keepHeadingsWithText(QTextDocument &document, double room)
{
    const double pageHeight = document.pageSize().height();
    const auto pageOf = [&](const QTextBlock &block, bool bottom = false) {
        const QRectF rect = document.documentLayout()->blockBoundingRect(block);
        return int((bottom ? rect.bottom() + room : rect.top()) / pageHeight);
    };
    const auto breakBefore = [&](const QTextBlock &block, bool on) {
        QTextBlockFormat format;
        format.setPageBreakPolicy(on ? QTextFormat::PageBreak_AlwaysBefore
                                     : QTextFormat::PageBreak_Auto);
        QTextCursor(block).mergeBlockFormat(format);
    };
    QSet<int> moved; // headings moved here, not those the source breaks before
    for (bool again = true; again;) {
        again = false;
        for (QTextBlock block = document.begin(); block.isValid() && !again; block = block.next()) {
            const QTextBlockFormat current = block.blockFormat();
            const QTextBlock next = block.next();
            if (current.headingLevel() == 0 || !next.isValid() ||
                current.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                continue;
            const bool nextMoved = pageOf(next) > pageOf(block);
            if (pageOf(block) == pageOf(block, true) && !nextMoved)
                continue;
            breakBefore(block, true);
            moved.insert(block.blockNumber());
            // A heading moved for the one below it takes that one along.
            if (nextMoved && moved.contains(next.blockNumber()))
                breakBefore(next, false);
            // The layout after a format change is not always redone in full; a page size set
            // anew redoes it.
            document.setPageSize(document.pageSize());
            again = true;
        }
    }
}

// The passages marked for the generation of the edition `name` without their marks; those
// marked for the other left out. Empty when a passage has no end.
QString keepEditionPassages(const QString &html, const QString &name)
{
    const QString generation =
        name == QLatin1String("folioset1") ? QStringLiteral("first") : QStringLiteral("second");
    static const QRegularExpression passage(QStringLiteral("<!--only (\\w+)-->(.*?)<!--end-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QString kept;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = passage.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        kept += html.mid(from, match.capturedStart() - from);
        if (match.captured(1) == generation)
            kept += match.captured(2);
        from = match.capturedEnd();
    }
    kept += html.mid(from);
    return kept.contains(QStringLiteral("<!--only ")) ? QString() : kept;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6)
        return fail(QStringLiteral("usage: folioset_makemanual SOURCE OUTPUT TITLE NAME ICON"));
    const QString &source = args[1], &output = args[2], &appTitle = args[3], &appName = args[4];

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(source + QStringLiteral(": ") + in.errorString());
    QString html = keepEditionPassages(QString::fromUtf8(in.readAll()), appName);
    if (html.isEmpty())
        return fail(source + QStringLiteral(": an edition passage is not closed"));
    html.replace(QStringLiteral("##APPTITLE##"), appTitle);
    html.replace(QStringLiteral("##APPNAME##"), appName);

    // Without the font the layout silently falls back to whatever fontconfig offers, and the
    // manual would change from one machine to the next.
    const QFont body(bodyFamily, 10);
    if (QFontInfo(body).family() != bodyFamily)
        return fail(bodyFamily + QStringLiteral(" is not installed (fonts-dejavu-core)"));

    const QImage icon = renderSvg(args[5], 512);
    if (icon.isNull())
        return fail(args[5] + QStringLiteral(": not a drawable SVG"));

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setResolution(dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("Quillmark ") + appTitle);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDefaultFont(body);
    document.setUseDesignMetrics(true);
    document.setDocumentMargin(0);
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("folioset-icon")), icon);
    document.setHtml(html);
    const QString title = document.metaInformation(QTextDocument::DocumentTitle);
    if (title.isEmpty() || title.contains(QStringLiteral("##")))
        return fail(source + QStringLiteral(": no <title>, or a placeholder left in it"));
    writer.setTitle(title);

    const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
    const QRectF content = page.marginsRemoved(pageMargins);
    document.setPageSize(content.size());
    keepHeadingsWithText(document, 3 * QFontMetricsF(body, &writer).lineSpacing());
    const int pages = document.pageCount();

    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        const QRectF view(0, i * content.height(), content.width(), content.height());
        painter.save();
        painter.translate(content.left(), content.top() - view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        drawFooter(painter, page, title, i + 1, pages);
    }
    if (!painter.end())
        return fail(QStringLiteral("the PDF could not be drawn"));

    QSaveFile out(output);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf.data()) != pdf.data().size() ||
        !out.commit())
        return fail(output + QStringLiteral(": ") + out.errorString());
    return 0;
}
