#include "outline.h"

#include "objectwriter.h"

namespace folioset::pdf {

int writeOutline(ObjectWriter &writer, const std::vector<OutlineEntry> &entries,
                 const std::vector<int> &pageObjects)
{
    const int root = writer.reserve();
    std::vector<int> items(entries.size());
    for (int &item : items)
        item = writer.reserve();

    QByteArray rootBody =
        "<< /Type /Outlines /Count " + QByteArray::number(qsizetype(items.size()));
    if (!items.empty()) {
        rootBody += " /First " + ObjectWriter::reference(items.front()) + " /Last " +
                    ObjectWriter::reference(items.back());
    }
    writer.object(root, rootBody + " >>");

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const OutlineEntry &entry = entries[i];
        const int number = items[i];
        // One inch above the top edge, so following the entry shows the whole top of the page.
        QByteArray body = "<< /Title " + writer.text(entry.title, number) + " /Parent " +
                          ObjectWriter::reference(root) + " /Dest [" +
                          ObjectWriter::reference(pageObjects.at(std::size_t(entry.page - 1))) +
                          " /XYZ 0 " + pdfNumber(entry.mediaBoxHeight + 72) + " null]";
        if (i > 0)
            body += " /Prev " + ObjectWriter::reference(items[i - 1]);
        if (i + 1 < items.size())
            body += " /Next " + ObjectWriter::reference(items[i + 1]);
        writer.object(number, body + " >>");
    }
    return root;
}

} // namespace folioset::pdf
