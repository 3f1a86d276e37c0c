#pragma once

#include <QByteArray>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>

namespace folioset::pdf {

// The /ICCBased colour spaces of one document: one profile stream per distinct profile, however
// many pages use it.
class IccColourSpaces
{
public:
    // [/ICCBased stream] for `profile` describing `components` colours, made on first use.
    QPDFObjectHandle colourSpace(QPDF &pdf, const QByteArray &profile, int components);
    // A version 4 profile came with PDF 1.5.
    bool needsPdf15() const { return m_version4; }

private:
    std::map<QByteArray, QPDFObjectHandle> m_spaces;
    bool m_version4 = false;
};

} // namespace folioset::pdf
