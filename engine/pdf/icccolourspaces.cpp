#include "icccolourspaces.h"

#include "engine/image/iccprofile.h"

#include <zlib.h>

namespace folioset::pdf {

QPDFObjectHandle IccColourSpaces::colourSpace(QPDF &pdf, const QByteArray &profile, int components)
{
    if (const auto found = m_spaces.find(profile); found != m_spaces.end())
        return found->second;
    // Written as it is given (the document keeps stream data as prepared): compressed here.
    uLongf length = compressBound(uLong(profile.size()));
    std::string packed(length, '\0');
    QPDFObjectHandle stream = pdf.newStream();
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &length,
                  reinterpret_cast<const Bytef *>(profile.constData()), uLong(profile.size()),
                  Z_BEST_COMPRESSION) == Z_OK) {
        packed.resize(length);
        stream.replaceStreamData(packed, QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
    } else {
        stream.replaceStreamData(profile.toStdString(), QPDFObjectHandle::newNull(),
                                 QPDFObjectHandle::newNull());
    }
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/N", QPDFObjectHandle::newInteger(components));
    // What a reader that cannot use the profile shows instead.
    dict.replaceKey("/Alternate", QPDFObjectHandle::newName(components == 1   ? "/DeviceGray"
                                                            : components == 4 ? "/DeviceCMYK"
                                                                              : "/DeviceRGB"));
    auto space = QPDFObjectHandle::newArray();
    space.appendItem(QPDFObjectHandle::newName("/ICCBased"));
    space.appendItem(stream);
    space = pdf.makeIndirectObject(space);
    m_version4 = m_version4 || image::iccMajorVersion(profile) >= 4;
    m_spaces.emplace(profile, space);
    return space;
}

} // namespace folioset::pdf
