#pragma once

#include <QByteArray>

#include <map>

namespace folioset::image {

// JPEG APP2 payloads after "ICC_PROFILE\0" (sequence number, count, data), keyed by sequence
// number, joined in order; empty when a piece is missing, repeated or disagrees on the count.
class JpegIccPieces
{
public:
    void add(const unsigned char *payload, std::size_t length);
    QByteArray joined() const;

private:
    std::map<int, QByteArray> m_pieces;
    int m_count = 0;
    bool m_damaged = false;
};

} // namespace folioset::image
