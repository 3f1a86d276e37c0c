#include "icccolourspaces.h"

#include "engine/image/iccprofile.h"
#include "objectwriter.h"

#include <zlib.h>

namespace folioset::pdf {

int IccColourSpaces::add(const QByteArray &profile, int components)
{
    if (const auto found = m_indexes.find(profile); found != m_indexes.end())
        return found->second;
    Profile entry{profile, false, components, 0};
    uLongf length = compressBound(uLong(profile.size()));
    QByteArray packed(qsizetype(length), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &length,
                  reinterpret_cast<const Bytef *>(profile.constData()), uLong(profile.size()),
                  Z_BEST_COMPRESSION) == Z_OK) {
        packed.resize(qsizetype(length));
        entry.data = packed;
        entry.flate = true;
    }
    m_version4 = m_version4 || image::iccMajorVersion(profile) >= 4;
    m_profiles.push_back(std::move(entry));
    const int index = int(m_profiles.size() - 1);
    m_indexes.emplace(profile, index);
    return index;
}

void IccColourSpaces::write(ObjectWriter &writer)
{
    for (Profile &profile : m_profiles) {
        profile.number = writer.reserve();
        // What a reader that cannot use the profile shows instead.
        const char *alternate = profile.components == 1   ? "/DeviceGray"
                                : profile.components == 4 ? "/DeviceCMYK"
                                                          : "/DeviceRGB";
        QByteArray entries =
            " /N " + QByteArray::number(profile.components) + " /Alternate " + alternate;
        if (profile.flate)
            entries += " /Filter /FlateDecode";
        writer.stream(profile.number, entries, profile.data);
    }
}

QByteArray IccColourSpaces::colourSpace(int index) const
{
    return "[/ICCBased " + ObjectWriter::reference(m_profiles.at(std::size_t(index)).number) + ']';
}

} // namespace folioset::pdf
