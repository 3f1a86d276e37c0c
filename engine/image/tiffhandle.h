#pragma once

#include <QString>

#include <cstdint>
#include <memory>

#include <tiffio.h>

namespace folioset::image {

// One libtiff handle with handlers of its own: the first error is kept for the user instead of
// going to stderr, and the process-wide handlers (which Qt's TIFF plugin uses) stay untouched.
class TiffHandle
{
public:
    // Reading without memory-mapping the file, so what is read stays in small buffers instead of
    // mapping pages of the whole file into the process; no single allocation may pass
    // `maxAllocation` bytes (0: libtiff's own default). nullptr, with a reason, on failure.
    static std::unique_ptr<TiffHandle> openFile(const QString &path, std::uint64_t maxAllocation,
                                                QString *reason);

    struct ClientProcs
    {
        TIFFReadWriteProc read;
        TIFFReadWriteProc write;
        TIFFSeekProc seek;
        TIFFCloseProc close;
        TIFFSizeProc size;
        TIFFMapFileProc map;
        TIFFUnmapFileProc unmap;
    };
    // A handle on data that `client` reaches through `procs`.
    static std::unique_ptr<TiffHandle> openClient(const char *mode, thandle_t client,
                                                  const ClientProcs &procs, QString *reason);

    ~TiffHandle();
    TiffHandle(const TiffHandle &) = delete;
    TiffHandle &operator=(const TiffHandle &) = delete;

    TIFF *get() const { return m_tiff; }
    // libtiff's first error, else its first warning, else `fallback`.
    QString error(const QString &fallback) const;
    bool hasError() const { return !m_error.isEmpty(); }
    // Codecs report damage and still hand over rows (of white, for a fax whose data breaks
    // off), some only as a warning: once the page is set up, whatever libtiff reports while the
    // pixels are read counts as damage.
    void clearMessages();
    bool reportedTrouble() const { return !m_error.isEmpty() || !m_warning.isEmpty(); }

private:
    TiffHandle() = default;
    static int onError(TIFF *, void *user, const char *, const char *format, va_list args);
    static int onWarning(TIFF *, void *user, const char *, const char *format, va_list args);
    TIFFOpenOptions *options(std::uint64_t maxAllocation);

    TIFF *m_tiff = nullptr;
    QString m_error;
    QString m_warning;
};

} // namespace folioset::image
