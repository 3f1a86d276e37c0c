#include "sharedobjects.h"

namespace folioset::pdf {

QPDFObjectHandle SharedObjects::name(const char *name)
{
    auto found = m_names.find(name);
    if (found == m_names.end())
        found = m_names.emplace(name, QPDFObjectHandle::newName(name)).first;
    return found->second;
}

QPDFObjectHandle SharedObjects::integer(long long value)
{
    auto found = m_integers.find(value);
    if (found == m_integers.end())
        found = m_integers.emplace(value, QPDFObjectHandle::newInteger(value)).first;
    return found->second;
}

QPDFObjectHandle SharedObjects::box(double width, double height)
{
    auto found = m_boxes.find({width, height});
    if (found == m_boxes.end()) {
        auto box = QPDFObjectHandle::newArray();
        box.appendItem(integer(0));
        box.appendItem(integer(0));
        box.appendItem(QPDFObjectHandle::newReal(width, 4, true));
        box.appendItem(QPDFObjectHandle::newReal(height, 4, true));
        found = m_boxes.insert({width, height}, box);
    }
    return found.value();
}

QPDFObjectHandle SharedObjects::contents(QPDF &pdf, const QByteArray &content)
{
    auto found = m_contents.find(content);
    if (found == m_contents.end())
        found = m_contents.insert(content, pdf.newStream(content.toStdString()));
    return found.value();
}

} // namespace folioset::pdf
