#include "bmpwriter.h"

#include <QtEndian>

namespace fixtures {

namespace {

void put16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void put32(QByteArray &out, std::uint32_t v)
{
    put16(out, int(v & 0xFFFF));
    put16(out, int(v >> 16));
}

// One row of run-length data, ending with its end-of-line code: runs of a value as runs,
// three or more differing values as an absolute run, runs of index 0 as a jump when asked.
QByteArray runRow(const std::vector<std::uint32_t> &row, bool four, bool deltas)
{
    QByteArray out;
    const int n = int(row.size());
    int x = 0;
    while (x < n) {
        int run = 1;
        while (x + run < n && run < 255 && row[std::size_t(x + run)] == row[std::size_t(x)])
            ++run;
        if (deltas && row[std::size_t(x)] == 0 && run >= 4) {
            out.append('\0').append('\2').append(char(run)).append('\0');
        } else if (run >= 2) {
            const std::uint32_t v = row[std::size_t(x)];
            out.append(char(run)).append(char(four ? (v << 4 | v) : v));
        } else {
            int literal = 1;
            while (x + literal < n && literal < 254 &&
                   row[std::size_t(x + literal)] != row[std::size_t(x + literal - 1)])
                ++literal;
            if (literal < 3) {
                out.append('\1').append(
                    char(four ? row[std::size_t(x)] << 4 : row[std::size_t(x)]));
                run = 1;
            } else {
                out.append('\0').append(char(literal));
                QByteArray data;
                for (int i = 0; i < literal; ++i) {
                    const std::uint32_t v = row[std::size_t(x + i)];
                    if (!four)
                        data.append(char(v));
                    else if (i % 2 == 0)
                        data.append(char(v << 4));
                    else
                        data[data.size() - 1] = char(data[data.size() - 1] | char(v));
                }
                if (data.size() % 2)
                    data.append('\0');
                out.append(data);
                run = literal;
            }
        }
        x += run;
    }
    return out.append('\0').append('\0');
}

QByteArray plainRow(const std::vector<std::uint32_t> &row, const BmpForm &form)
{
    QByteArray out;
    const int bits = form.bits;
    if (bits <= 8) {
        out.resize(qsizetype((row.size() * std::size_t(bits) + 7) / 8), '\0');
        for (std::size_t x = 0; x < row.size(); ++x) {
            const std::size_t bit = x * std::size_t(bits);
            out[qsizetype(bit / 8)] =
                char(out[qsizetype(bit / 8)] | char(row[x] << (8 - bits - int(bit % 8))));
        }
    }
    for (const std::uint32_t v : row) {
        if (bits == 16) {
            put16(out, int(v));
        } else if (bits == 24) {
            out.append(char(v)).append(char(v >> 8)).append(char(v >> 16));
        } else if (bits == 32) {
            const bool masked = form.compression == 3 || form.compression == 6;
            put32(out, masked ? v : (v & 0xFFFFFF) | std::uint32_t(form.unusedByte) << 24);
        }
    }
    while (out.size() % 4)
        out.append('\0');
    return out;
}

} // namespace

QByteArray bmpBytes(const BmpForm &form, int width, int height, const BmpPixels &value)
{
    QByteArray pixels;
    const bool runs = form.compression == 1 || form.compression == 2;
    for (int i = 0; i < height; ++i) {
        const int y = form.topDown ? i : height - 1 - i;
        std::vector<std::uint32_t> row;
        for (int x = 0; x < width; ++x)
            row.push_back(value(x, y));
        pixels += runs ? runRow(row, form.compression == 2, form.deltas) : plainRow(row, form);
    }
    if (runs)
        pixels.append('\0').append('\1');

    const bool core = form.headerSize == 12;
    QByteArray info;
    put32(info, std::uint32_t(form.headerSize));
    if (core) {
        put16(info, width);
        put16(info, height);
        put16(info, 1);
        put16(info, form.bits);
    } else {
        put32(info, std::uint32_t(width));
        put32(info, std::uint32_t(form.topDown ? -height : height));
        put16(info, 1);
        put16(info, form.bits);
        put32(info, std::uint32_t(form.compression));
        put32(info, std::uint32_t(pixels.size()));
        put32(info, 3780); // 96 dpi
        put32(info, 3780);
        put32(info, std::uint32_t(form.palette.size()));
        put32(info, 0);
        const bool masked = form.compression == 3 || form.compression == 6;
        const bool windows = form.headerSize != 64;
        if ((windows && form.headerSize >= 52) || (form.headerSize == 40 && masked)) {
            for (int i = 0; i < (form.headerSize >= 56 || form.compression == 6 ? 4 : 3); ++i)
                put32(info, form.masks[std::size_t(i)]);
        }
        const qsizetype end = form.headerSize + (form.headerSize == 40 ? info.size() - 40 : 0);
        info.resize(end, '\0');
    }
    QByteArray table;
    for (const QRgb c : form.palette) {
        table.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (!core)
            table.append('\0');
    }
    const std::uint32_t offset = std::uint32_t(14 + info.size() + table.size());
    QByteArray file("BM");
    put32(file, offset + std::uint32_t(pixels.size()));
    put32(file, 0);
    put32(file, offset);
    return file + info + table + pixels;
}

} // namespace fixtures
