#include "iccprofile.h"

#include <cstring>

#include <zlib.h>

namespace folioset::image {

namespace {

constexpr int kHeaderBytes = 128;
// Real profiles are a few kilobytes; the largest output profiles stay within a few megabytes.
constexpr qsizetype kMaxProfileBytes = 16 * 1024 * 1024;

std::uint32_t bigEndian32(const QByteArray &b, qsizetype at)
{
    const auto *u = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return std::uint32_t(u[0]) << 24 | std::uint32_t(u[1]) << 16 | std::uint32_t(u[2]) << 8 |
           std::uint32_t(u[3]);
}

int componentsOfSpace(const QByteArray &signature)
{
    if (signature == "GRAY")
        return 1;
    if (signature == "RGB ")
        return 3;
    if (signature == "CMYK")
        return 4;
    return 0;
}

} // namespace

QByteArray checkedIccProfile(const QByteArray &data, int components)
{
    if (data.size() < kHeaderBytes + 4 || data.size() > kMaxProfileBytes)
        return {};
    const std::uint32_t declared = bigEndian32(data, 0);
    if (declared < kHeaderBytes + 4 || declared > std::uint32_t(data.size()))
        return {};
    const QByteArray profile = data.left(qsizetype(declared));
    const QByteArray profileClass = profile.mid(12, 4);
    const bool usable = profileClass == "scnr" || profileClass == "mntr" ||
                        profileClass == "prtr" || profileClass == "spac";
    const int version = iccMajorVersion(profile);
    if (profile.mid(36, 4) != "acsp" || !usable || version < 2 || version > 4 ||
        componentsOfSpace(profile.mid(16, 4)) != components)
        return {};
    const std::uint32_t tags = bigEndian32(profile, kHeaderBytes);
    if (tags == 0 || tags > (declared - kHeaderBytes - 4) / 12)
        return {};
    for (std::uint32_t i = 0; i < tags; ++i) {
        const qsizetype entry = kHeaderBytes + 4 + qsizetype(i) * 12;
        const std::uint64_t offset = bigEndian32(profile, entry + 4);
        const std::uint64_t size = bigEndian32(profile, entry + 8);
        if (offset < kHeaderBytes || offset + size > declared)
            return {};
    }
    return profile;
}

int iccMajorVersion(const QByteArray &profile)
{
    return profile.size() > 8 ? static_cast<unsigned char>(profile[8]) : 0;
}

QByteArray pngIccProfile(const QByteArray &chunk)
{
    const qsizetype nameEnd = chunk.indexOf('\0');
    if (nameEnd < 1 || nameEnd > 79 || nameEnd + 2 > chunk.size() || chunk[nameEnd + 1] != 0)
        return {};
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.constData() + nameEnd + 2));
    z.avail_in = uInt(chunk.size() - nameEnd - 2);
    QByteArray profile;
    int status = Z_OK;
    char buffer[16 * 1024];
    while (status == Z_OK && profile.size() <= kMaxProfileBytes) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        profile.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (status == Z_BUF_ERROR && z.avail_in == 0)
            break;
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? profile : QByteArray();
}

} // namespace folioset::image
