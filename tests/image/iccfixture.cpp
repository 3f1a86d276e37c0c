#include "iccfixture.h"

#include <QtEndian>

#include <cstring>

namespace fixtures {

QByteArray iccProfile(const IccShape &shape)
{
    QByteArray profile(128 + 4 + 12 + 16, '\0');
    char *p = profile.data();
    qToBigEndian<quint32>(quint32(profile.size()), p);
    p[8] = char(shape.version);
    std::memcpy(p + 12, shape.profileClass.constData(), 4);
    std::memcpy(p + 16, shape.space.constData(), 4);
    std::memcpy(p + 20, "XYZ ", 4);
    std::memcpy(p + 36, shape.signature.constData(), 4);
    qToBigEndian<quint32>(1, p + 128);
    std::memcpy(p + 132, "desc", 4);
    qToBigEndian<quint32>(144, p + 136);
    qToBigEndian<quint32>(quint32(16 + shape.tagOverrun), p + 140);
    std::memcpy(p + 144, shape.body.leftJustified(16, '.').constData(), 16);
    return profile;
}

} // namespace fixtures
