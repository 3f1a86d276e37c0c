#include "tiffhandle.h"

#include <QFile>

#include <cstdarg>
#include <cstdio>

namespace folioset::image {

namespace {

struct OptionsDeleter
{
    void operator()(TIFFOpenOptions *options) const { TIFFOpenOptionsFree(options); }
};

} // namespace

namespace {

void keepFirst(QString &kept, const char *format, va_list args)
{
    if (!kept.isEmpty())
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    kept = QString::fromLocal8Bit(text);
}

} // namespace

int TiffHandle::onError(TIFF *, void *user, const char *, const char *format, va_list args)
{
    keepFirst(static_cast<TiffHandle *>(user)->m_error, format, args);
    return 1;
}

int TiffHandle::onWarning(TIFF *, void *user, const char *, const char *format, va_list args)
{
    keepFirst(static_cast<TiffHandle *>(user)->m_warning, format, args);
    return 1;
}

void TiffHandle::clearMessages()
{
    m_error.clear();
    m_warning.clear();
}

TIFFOpenOptions *TiffHandle::options(std::uint64_t maxAllocation)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, this);
    if (maxAllocation > 0)
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(maxAllocation));
    return options;
}

std::unique_ptr<TiffHandle> TiffHandle::openFile(const QString &path, std::uint64_t maxAllocation,
                                                 QString *reason)
{
    auto handle = std::unique_ptr<TiffHandle>(new TiffHandle);
    const std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(handle->options(maxAllocation));
    handle->m_tiff = TIFFOpenExt(QFile::encodeName(path).constData(), "rm", options.get());
    if (!handle->m_tiff) {
        if (reason)
            *reason = handle->error(QStringLiteral("Unable to read the TIFF file"));
        return nullptr;
    }
    return handle;
}

std::unique_ptr<TiffHandle> TiffHandle::openClient(const char *mode, thandle_t client,
                                                   const ClientProcs &procs, QString *reason)
{
    auto handle = std::unique_ptr<TiffHandle>(new TiffHandle);
    const std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(handle->options(0));
    handle->m_tiff =
        TIFFClientOpenExt("memory", mode, client, procs.read, procs.write, procs.seek, procs.close,
                          procs.size, procs.map, procs.unmap, options.get());
    if (!handle->m_tiff) {
        if (reason)
            *reason = handle->error(QStringLiteral("Unable to start a TIFF codec"));
        return nullptr;
    }
    return handle;
}

TiffHandle::~TiffHandle()
{
    if (m_tiff)
        TIFFClose(m_tiff);
}

QString TiffHandle::error(const QString &fallback) const
{
    return !m_error.isEmpty() ? m_error : !m_warning.isEmpty() ? m_warning : fallback;
}

} // namespace folioset::image
