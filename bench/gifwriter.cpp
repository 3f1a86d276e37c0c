#include "gifwriter.h"

#include <QFile>
#include <QHash>

namespace bench {

namespace {

constexpr int minimumCodeSize = 8;

int cubeIndex(QRgb pixel)
{
    const int r = (qRed(pixel) * 6) / 256, g = (qGreen(pixel) * 7) / 256,
              b = (qBlue(pixel) * 6) / 256;
    return (r * 7 + g) * 6 + b;
}

// Packs variable-width codes least significant bit first into 255-byte sub-blocks.
class CodeWriter
{
public:
    explicit CodeWriter(QByteArray &out) : m_out(out) {}
    void put(int code, int width)
    {
        m_bits |= quint32(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            byte(char(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void finish()
    {
        if (m_count > 0)
            byte(char(m_bits & 0xff));
        flushBlock();
        m_out.append('\0');
    }

private:
    void byte(char value)
    {
        m_block.append(value);
        if (m_block.size() == 255)
            flushBlock();
    }
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(char(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray &m_out;
    QByteArray m_block;
    quint32 m_bits = 0;
    int m_count = 0;
};

void compress(const QByteArray &indices, QByteArray &out)
{
    const int clear = 1 << minimumCodeSize, end = clear + 1;
    CodeWriter writer(out);
    QHash<quint32, int> table;
    int next = end + 1, width = minimumCodeSize + 1;
    writer.put(clear, width);
    int prefix = uchar(indices.at(0));
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const int c = uchar(indices.at(i));
        const quint32 key = (quint32(prefix) << 8) | quint32(c);
        if (const auto found = table.constFind(key); found != table.constEnd()) {
            prefix = *found;
            continue;
        }
        writer.put(prefix, width);
        if (next < 4096) {
            table.insert(key, next);
            if (next == (1 << width) && width < 12)
                ++width;
            ++next;
        } else {
            writer.put(clear, width);
            table.clear();
            next = end + 1;
            width = minimumCodeSize + 1;
        }
        prefix = c;
    }
    writer.put(prefix, width);
    writer.put(end, width);
    writer.finish();
}

void putWord(QByteArray &out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

} // namespace

bool writeGif(const QString &path, const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray out("GIF89a");
    putWord(out, image.width());
    putWord(out, image.height());
    out.append(char(0xf7)); // global colour table of 256 entries, 8 bits per primary
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const int r = i / 42, g = (i / 6) % 7, b = i % 6;
        out.append(char(i < 252 ? r * 255 / 5 : 0));
        out.append(char(i < 252 ? g * 255 / 6 : 0));
        out.append(char(i < 252 ? b * 255 / 5 : 0));
    }
    out.append(',');
    putWord(out, 0);
    putWord(out, 0);
    putWord(out, image.width());
    putWord(out, image.height());
    out.append('\0');

    QByteArray indices;
    indices.reserve(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            indices.append(char(cubeIndex(line[x])));
    }
    out.append(char(minimumCodeSize));
    compress(indices, out);
    out.append(';');

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

} // namespace bench
