#include "outline.h"

namespace folioset::pdf {

void installOutline(QPDF &pdf, const std::vector<OutlineEntry> &entries)
{
    QPDFObjectHandle root = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    root.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
    root.replaceKey("/Count", QPDFObjectHandle::newInteger(qsizetype(entries.size())));

    std::vector<QPDFObjectHandle> items;
    items.reserve(entries.size());
    for (const OutlineEntry &entry : entries) {
        QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(entry.title.toStdString()));
        item.replaceKey("/Parent", root);
        // One inch above the top edge, so following the entry shows the whole top of the page.
        auto dest = QPDFObjectHandle::newArray();
        dest.appendItem(entry.page);
        dest.appendItem(QPDFObjectHandle::newName("/XYZ"));
        dest.appendItem(QPDFObjectHandle::newInteger(0));
        dest.appendItem(QPDFObjectHandle::newReal(entry.mediaBoxHeight + 72, 4, true));
        dest.appendItem(QPDFObjectHandle::newNull());
        item.replaceKey("/Dest", dest);
        if (!items.empty()) {
            item.replaceKey("/Prev", items.back());
            items.back().replaceKey("/Next", item);
        }
        items.push_back(item);
    }
    QPDFObjectHandle catalog = pdf.getRoot();
    if (!items.empty()) {
        root.replaceKey("/First", items.front());
        root.replaceKey("/Last", items.back());
        catalog.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
    } else {
        catalog.removeKey("/PageMode");
    }
    catalog.replaceKey("/Outlines", root);
}

} // namespace folioset::pdf
