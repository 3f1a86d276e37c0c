#include "g4encoder.h"

#include "spillfile.h"
#include "tiffhandle.h"

#include <vector>

namespace folioset::image {

namespace {

// libtiff's raw-data buffer: by default it is the size of the whole strip, which for a one-strip
// image is the whole image.
constexpr tmsize_t kCodecBuffer = 256 * 1024;

// The TIFF file libtiff writes, laid over the end of the spill file from `base` on. libtiff
// appends the strip, pads to even offsets and comes back to patch the header; once the strip's
// place is known, `sealed` makes the rest (the directory) go nowhere.
struct VirtualFile
{
    SpillFile *spill = nullptr;
    std::uint64_t base = 0;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
    bool sealed = false;
    QString failure;

    bool write(const char *data, std::uint64_t length)
    {
        if (sealed)
            return true;
        if (spill->size() < base + end) {
            failure = QStringLiteral("The scratch file was changed during encoding");
            return false;
        }
        static const char zeros[16] = {};
        while (position > end) {
            const std::uint64_t gap = std::min<std::uint64_t>(position - end, sizeof zeros);
            if (!spill->append(zeros, gap, &failure))
                return false;
            end += gap;
        }
        const std::uint64_t inside = std::min(length, end - position);
        if (inside > 0 && !spill->writeAt(base + position, data, inside, &failure))
            return false;
        if (length > inside && !spill->append(data + inside, length - inside, &failure))
            return false;
        position += length;
        end = std::max(end, position);
        return true;
    }

    static VirtualFile &of(thandle_t handle) { return *static_cast<VirtualFile *>(handle); }

    static tmsize_t readProc(thandle_t handle, void *data, tmsize_t size)
    {
        VirtualFile &file = of(handle);
        const std::uint64_t available = file.end - std::min(file.position, file.end);
        const auto length = std::min<std::uint64_t>(std::uint64_t(size), available);
        if (length > 0 && !file.spill->read(file.base + file.position, static_cast<char *>(data),
                                            std::size_t(length)))
            return -1;
        file.position += length;
        return tmsize_t(length);
    }
    static tmsize_t writeProc(thandle_t handle, void *data, tmsize_t size)
    {
        return of(handle).write(static_cast<const char *>(data), std::uint64_t(size)) ? size : -1;
    }
    static toff_t seekProc(thandle_t handle, toff_t offset, int whence)
    {
        VirtualFile &file = of(handle);
        const std::uint64_t from = whence == SEEK_CUR   ? file.position
                                   : whence == SEEK_END ? file.end
                                                        : 0;
        file.position = from + offset;
        return file.position;
    }
    static int closeProc(thandle_t) { return 0; }
    static toff_t sizeProc(thandle_t handle) { return of(handle).end; }
    static int mapProc(thandle_t, void **, toff_t *) { return 0; }
    static void unmapProc(thandle_t, void *, toff_t) {}
};

} // namespace

struct G4Encoder::Private
{
    VirtualFile file;
    std::unique_ptr<TiffHandle> tiff;
    std::vector<unsigned char> row;
    int height = 0;
    int written = 0;
    QString failure;

    bool fail(const QString &fallback)
    {
        if (failure.isEmpty())
            failure = !file.failure.isEmpty() ? file.failure : tiff->error(fallback);
        return false;
    }
};

G4Encoder::G4Encoder(std::unique_ptr<Private> p) : d(std::move(p)) {}

G4Encoder::~G4Encoder()
{
    // Whatever libtiff writes while closing belongs to no stream.
    d->file.sealed = true;
}

std::unique_ptr<G4Encoder> G4Encoder::create(int width, int height, SpillFile &spill,
                                             QString *reason)
{
    auto p = std::make_unique<Private>();
    p->file.spill = &spill;
    p->file.base = spill.size();
    p->height = height;
    p->row.assign((std::size_t(std::max(width, 0)) + 7) / 8, 0);
    const TiffHandle::ClientProcs procs{VirtualFile::readProc, VirtualFile::writeProc,
                                        VirtualFile::seekProc, VirtualFile::closeProc,
                                        VirtualFile::sizeProc, VirtualFile::mapProc,
                                        VirtualFile::unmapProc};
    p->tiff = TiffHandle::openClient("w", &p->file, procs, reason);
    if (!p->tiff)
        return nullptr;
    TIFF *tif = p->tiff->get();
    const bool ok = width > 0 && height > 0 &&
                    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(width)) &&
                    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(height)) &&
                    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1) &&
                    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
                    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
                    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) &&
                    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) &&
                    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(height)) &&
                    TIFFWriteBufferSetup(tif, nullptr, kCodecBuffer);
    if (!ok) {
        p->fail(QStringLiteral("Unable to start the Group 4 encoder"));
        if (reason)
            *reason = p->failure;
        return nullptr;
    }
    return std::unique_ptr<G4Encoder>(new G4Encoder(std::move(p)));
}

unsigned char *G4Encoder::nextRow()
{
    return d->row.data();
}

bool G4Encoder::commitRow(QString *reason)
{
    if (d->failure.isEmpty() && d->written < d->height &&
        TIFFWriteScanline(d->tiff->get(), d->row.data(), std::uint32_t(d->written), 0) < 0)
        d->fail(QStringLiteral("Unable to encode the image"));
    ++d->written;
    if (d->failure.isEmpty())
        return true;
    if (reason)
        *reason = d->failure;
    return false;
}

std::optional<EncodedRows> G4Encoder::finish(QString *reason)
{
    TIFF *tif = d->tiff->get();
    if (d->written != d->height)
        d->failure = QStringLiteral("The image data is incomplete");
    else if (d->failure.isEmpty() && !TIFFFlushData(tif))
        d->fail(QStringLiteral("Unable to encode the image"));
    if (!d->failure.isEmpty()) {
        d->file.sealed = true;
        if (reason)
            *reason = d->failure;
        return std::nullopt;
    }
    const ByteRange strip{d->file.base + TIFFGetStrileOffset(tif, 0),
                          TIFFGetStrileByteCount(tif, 0)};
    d->file.sealed = true;
    return EncodedRows{{strip}, StreamFilter::CcittG4};
}

} // namespace folioset::image
