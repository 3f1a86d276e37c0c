#pragma once

#include <QByteArray>
#include <QHash>
#include <QPair>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <string>
#include <unordered_map>

namespace folioset::pdf {

// Objects that many pages of one document say alike, made once. qpdf holds every object of a
// document until it is written: shared, they leave a long document's memory, and the time spent
// allocating and freeing it, to what differs from page to page. Only objects nothing changes
// once made are shared.
class SharedObjects
{
public:
    // A direct name such as "/DeviceRGB".
    QPDFObjectHandle name(const char *name);
    // A direct integer.
    QPDFObjectHandle integer(long long value);
    // A direct [0 0 width height] box, the sizes written with at most four decimals.
    QPDFObjectHandle box(double width, double height);
    // An indirect content stream holding `content`: pages that draw their image alike (same
    // size, same placement) draw it with one stream.
    QPDFObjectHandle contents(QPDF &pdf, const QByteArray &content);

private:
    std::unordered_map<std::string, QPDFObjectHandle> m_names;
    std::unordered_map<long long, QPDFObjectHandle> m_integers;
    QHash<QByteArray, QPDFObjectHandle> m_contents;
    QHash<QPair<double, double>, QPDFObjectHandle> m_boxes;
};

} // namespace folioset::pdf
