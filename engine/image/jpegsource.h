#pragma once

#include <QByteArray>

#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace folioset::image {

// libjpeg reports fatal errors through a callback that must not return: it jumps back to the
// setjmp of whoever called libjpeg, with the message kept.
struct JpegErrors
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];

    // Installs the handlers on `cinfo`; the caller still calls setjmp(jump).
    void install(jpeg_common_struct *cinfo);
};

// Feeds libjpeg from a descriptor with pread: no stdio buffer to fill and copy, and the offset
// reached is known exactly. Bytes held in memory (a TIFF's JPEG tables) may come first, and the
// data may end before the file does.
struct JpegSource
{
    jpeg_source_mgr pub{};
    int fd;
    std::uint64_t offset; // the next file byte to read
    std::uint64_t end;    // where the data ends
    const QByteArray *prefix;
    bool prefixGiven = false;
    JOCTET buffer[16 * 1024];

    JpegSource(int descriptor, std::uint64_t from, std::uint64_t until,
               const QByteArray *before = nullptr);
    void install(j_decompress_ptr cinfo) { cinfo->src = &pub; }
};

} // namespace folioset::image
