#include "jpegsource.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace folioset::image {

namespace {

[[noreturn]] void onFatalError(j_common_ptr cinfo)
{
    auto *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr, int) {}

boolean fill(j_decompress_ptr cinfo)
{
    auto *self = reinterpret_cast<JpegSource *>(cinfo->src);
    if (!self->prefixGiven && self->prefix && !self->prefix->isEmpty()) {
        self->prefixGiven = true;
        self->pub.next_input_byte = reinterpret_cast<const JOCTET *>(self->prefix->constData());
        self->pub.bytes_in_buffer = std::size_t(self->prefix->size());
        return TRUE;
    }
    self->prefixGiven = true;
    const std::uint64_t left = self->end > self->offset ? self->end - self->offset : 0;
    ssize_t got = 0;
    if (left > 0) {
        do {
            got = ::pread(self->fd, self->buffer,
                          std::size_t(std::min<std::uint64_t>(sizeof self->buffer, left)),
                          off_t(self->offset));
        } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        // What libjpeg's own sources do at the end of the data: a fake end-of-image marker,
        // which makes a header read fail with a message.
        self->buffer[0] = 0xFF;
        self->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        self->offset += std::uint64_t(got);
    }
    self->pub.next_input_byte = self->buffer;
    self->pub.bytes_in_buffer = std::size_t(got);
    return TRUE;
}

void skip(j_decompress_ptr cinfo, long count)
{
    auto *self = reinterpret_cast<JpegSource *>(cinfo->src);
    while (count > 0) {
        if (std::size_t(count) <= self->pub.bytes_in_buffer) {
            self->pub.next_input_byte += count;
            self->pub.bytes_in_buffer -= std::size_t(count);
            return;
        }
        count -= long(self->pub.bytes_in_buffer);
        self->pub.bytes_in_buffer = 0;
        if (self->prefixGiven || !self->prefix) {
            self->offset += std::uint64_t(count);
            return;
        }
        fill(cinfo); // the prefix ran out: go on in the file
    }
}

} // namespace

void JpegErrors::install(jpeg_common_struct *cinfo)
{
    cinfo->err = jpeg_std_error(&pub);
    pub.error_exit = onFatalError;
    pub.emit_message = onMessage;
    message[0] = 0;
}

JpegSource::JpegSource(int descriptor, std::uint64_t from, std::uint64_t until,
                       const QByteArray *before)
    : fd(descriptor), offset(from), end(until), prefix(before)
{
    pub.init_source = [](j_decompress_ptr) {};
    pub.fill_input_buffer = fill;
    pub.skip_input_data = skip;
    pub.resync_to_restart = jpeg_resync_to_restart;
    pub.term_source = [](j_decompress_ptr) {};
}

} // namespace folioset::image
