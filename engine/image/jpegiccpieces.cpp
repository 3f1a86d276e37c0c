#include "jpegiccpieces.h"

namespace folioset::image {

void JpegIccPieces::add(const unsigned char *payload, std::size_t length)
{
    if (length < 2) {
        m_damaged = true;
        return;
    }
    const int sequence = payload[0];
    const int count = payload[1];
    if (sequence < 1 || sequence > count || (m_count != 0 && count != m_count) ||
        m_pieces.count(sequence) != 0) {
        m_damaged = true;
        return;
    }
    m_count = count;
    m_pieces.emplace(
        sequence, QByteArray(reinterpret_cast<const char *>(payload + 2), qsizetype(length - 2)));
}

QByteArray JpegIccPieces::joined() const
{
    if (m_damaged || m_count == 0 || int(m_pieces.size()) != m_count)
        return {};
    QByteArray profile;
    for (const auto &[sequence, piece] : m_pieces)
        profile += piece;
    return profile;
}

} // namespace folioset::image
