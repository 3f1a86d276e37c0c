#pragma once

#include <QByteArray>

namespace fixtures {

struct IccShape
{
    QByteArray space = "RGB ";
    QByteArray profileClass = "mntr";
    int version = 2;
    QByteArray signature = "acsp";
    int tagOverrun = 0;                   // bytes the tag claims past the profile's end
    QByteArray body = "a profile body.."; // 16 bytes, to tell profiles apart
};

// A minimal colour profile: the 128-byte header, one tag and its data.
QByteArray iccProfile(const IccShape &shape = {});

} // namespace fixtures
