#include "imagestream.h"

#include "engine/image/filestamp.h"
#include "sourcereadahead.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <qpdf/Pipeline.hh>

#include <memory>

#include <unistd.h>

namespace folioset::pdf {

using image::ByteRange;
using image::ColorSpace;
using image::StreamFilter;
using image::StreamOrigin;

namespace {

// qpdf gathers the whole stream anyway: large reads only save system calls and appends.
constexpr std::size_t kChunk = 1024 * 1024;

// Streams the bytes of one image from where they were left at append time. qpdf calls it once
// per stream (filtering on write is off), in the middle of writing the file.
class ImageDataProvider : public QPDFObjectHandle::StreamDataProvider
{
public:
    ImageDataProvider(std::shared_ptr<WriteContext> context, const StreamOrigin &origin)
        : m_context(std::move(context)), m_shared(std::make_shared<const StreamOrigin>(origin)),
          m_origin(*m_shared)
    {
        if (m_origin.kind == StreamOrigin::Kind::SourceFile) {
            m_sequence = m_context->sourceStreams.size();
            m_context->sourceStreams.push_back(m_shared);
        }
    }

    void provideStreamData(QPDFObjGen const &, Pipeline *pipeline) override
    {
        if (m_context->readAhead && m_sequence != kNotFromSource && readAhead(pipeline))
            return;
        // Uninitialised: a 70 KB thumbnail should not pay for clearing a megabyte.
        const std::size_t size =
            std::size_t(std::clamp<std::uint64_t>(m_origin.totalLength(), 1, kChunk));
        const std::unique_ptr<char[]> buffer(new char[size]);
        const QByteArray &prefix = m_origin.prefix;
        pipeline->write(reinterpret_cast<const unsigned char *>(prefix.constData()),
                        std::size_t(prefix.size()));
        if (m_origin.kind == StreamOrigin::Kind::SourceFile)
            copyFromSource(pipeline, buffer.get(), size);
        else
            copyFromSpill(pipeline, buffer.get(), size);
        pipeline->finish();
    }

private:
    static constexpr std::size_t kNotFromSource = std::size_t(-1);

    // False when the bytes were not read ahead, and must be copied here.
    bool readAhead(Pipeline *pipeline) const
    {
        checkAbort();
        const SourceReadAhead::Bytes bytes = m_context->readAhead->take(m_sequence);
        if (bytes.outcome == SourceReadAhead::Outcome::Changed)
            sourceChanged();
        if (bytes.outcome != SourceReadAhead::Outcome::Read)
            return false;
        const QByteArray &prefix = m_origin.prefix;
        pipeline->write(reinterpret_cast<const unsigned char *>(prefix.constData()),
                        std::size_t(prefix.size()));
        pipeline->write(reinterpret_cast<const unsigned char *>(bytes.data.get()), bytes.size);
        pipeline->finish();
        return true;
    }

    void checkAbort() const
    {
        if (m_context->abort && m_context->abort->load(std::memory_order_relaxed)) {
            m_context->cancelled = true;
            throw WriteCancelled();
        }
    }

    [[noreturn]] void fail(const QString &text) const
    {
        m_context->failure = text;
        throw WriteFailure(text.toStdString());
    }

    [[noreturn]] void sourceChanged() const
    {
        const QString text = QStringLiteral("The image file %1 changed or disappeared before it "
                                            "was written")
                                 .arg(QFileInfo(m_origin.path).fileName());
        fail(text);
    }

    void copyFromSource(Pipeline *pipeline, char *buffer, std::size_t size) const
    {
        const int fd = m_origin.openUnchanged();
        if (fd < 0)
            sourceChanged();
        const auto closeLater = qScopeGuard([fd] { ::close(fd); });
        for (const ByteRange &range : m_origin.ranges) {
            for (std::uint64_t done = 0; done < range.length;) {
                checkAbort();
                const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
                if (image::readAt(fd, buffer, want, range.offset + done) != ssize_t(want))
                    sourceChanged();
                pipeline->write(reinterpret_cast<const unsigned char *>(buffer), want);
                done += want;
            }
        }
    }

    void copyFromSpill(Pipeline *pipeline, char *buffer, std::size_t size) const
    {
        for (const ByteRange &range : m_origin.ranges) {
            for (std::uint64_t done = 0; done < range.length;) {
                checkAbort();
                const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
                if (!m_context->spill || !m_context->spill->read(range.offset + done, buffer, want))
                    fail(QStringLiteral("Unable to read the scratch file"));
                pipeline->write(reinterpret_cast<const unsigned char *>(buffer), want);
                done += want;
            }
        }
    }

    std::shared_ptr<WriteContext> m_context;
    std::shared_ptr<const StreamOrigin> m_shared;
    const StreamOrigin &m_origin;
    std::size_t m_sequence = kNotFromSource;
};

QPDFObjectHandle colorSpaceObject(QPDF &pdf, const EmbeddedImage &image, IccColourSpaces &profiles,
                                  SharedObjects &shared)
{
    const bool indexed = image.colorSpace == ColorSpace::Indexed;
    QPDFObjectHandle base;
    if (!image.iccProfile.isEmpty())
        base = profiles.colourSpace(pdf, image.iccProfile, indexed ? 3 : image.components());
    switch (image.colorSpace) {
    case ColorSpace::Gray:
        return base.isInitialized() ? base : shared.name("/DeviceGray");
    case ColorSpace::Rgb:
        return base.isInitialized() ? base : shared.name("/DeviceRGB");
    case ColorSpace::Cmyk:
        return base.isInitialized() ? base : shared.name("/DeviceCMYK");
    case ColorSpace::Indexed:
        break;
    }
    auto lookup = QPDFObjectHandle::newArray();
    lookup.appendItem(shared.name("/Indexed"));
    lookup.appendItem(base.isInitialized() ? base : shared.name("/DeviceRGB"));
    lookup.appendItem(QPDFObjectHandle::newInteger(image.palette.size() / 3 - 1));
    lookup.appendItem(QPDFObjectHandle::newString(image.palette.toStdString()));
    return lookup;
}

QPDFObjectHandle decodeArray(const EmbeddedImage &image, SharedObjects &shared)
{
    auto decode = QPDFObjectHandle::newArray();
    for (int i = 0; i < image.components(); ++i) {
        decode.appendItem(shared.integer(1));
        decode.appendItem(shared.integer(0));
    }
    return decode;
}

} // namespace

QPDFObjectHandle makeImageXObject(QPDF &pdf, const EmbeddedImage &image,
                                  const std::shared_ptr<WriteContext> &context,
                                  IccColourSpaces &profiles, SharedObjects &shared)
{
    QPDFObjectHandle stream = pdf.newStream();
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", shared.name("/XObject"));
    dict.replaceKey("/Subtype", shared.name("/Image"));
    dict.replaceKey("/Width", shared.integer(image.width));
    dict.replaceKey("/Height", shared.integer(image.height));
    dict.replaceKey("/ColorSpace", colorSpaceObject(pdf, image, profiles, shared));
    dict.replaceKey("/BitsPerComponent", shared.integer(image.bitsPerComponent));
    // Group 4 data codes runs as white or black; which bit value black decodes to (/BlackIs1)
    // is the reader's choice. Gray whose 0 is white takes the default and needs no /Decode.
    const bool ccitt = image.filter == StreamFilter::CcittG4;
    const bool whiteIsZero = image.colorSpace == ColorSpace::Gray && image.invertedDecode;
    if (image.invertedDecode && !(ccitt && whiteIsZero))
        dict.replaceKey("/Decode", decodeArray(image, shared));
    if (image.softMask)
        dict.replaceKey("/SMask",
                        makeImageXObject(pdf, *image.softMask, context, profiles, shared));

    QPDFObjectHandle filter;
    QPDFObjectHandle parms = QPDFObjectHandle::newNull();
    switch (image.filter) {
    case StreamFilter::Dct:
        filter = shared.name("/DCTDecode");
        if (image.colorSpace == ColorSpace::Rgb && image.dctWithoutColorTransform)
            parms = QPDFObjectHandle::parse("<< /ColorTransform 0 >>");
        break;
    case StreamFilter::Flate:
        filter = shared.name("/FlateDecode");
        break;
    case StreamFilter::FlatePredict:
        filter = shared.name("/FlateDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", shared.integer(15));
        parms.replaceKey("/Colors", shared.integer(image.components()));
        parms.replaceKey("/BitsPerComponent", shared.integer(image.bitsPerComponent));
        parms.replaceKey("/Columns", shared.integer(image.width));
        break;
    case StreamFilter::CcittG4:
        filter = shared.name("/CCITTFaxDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/K", shared.integer(-1));
        parms.replaceKey("/Columns", shared.integer(image.width));
        parms.replaceKey("/Rows", shared.integer(image.height));
        if (!whiteIsZero)
            parms.replaceKey("/BlackIs1", QPDFObjectHandle::newBool(true));
        break;
    }
    stream.replaceStreamData(std::make_shared<ImageDataProvider>(context, image.origin), filter,
                             parms);
    // The data is already in its final form: qpdf must neither decode nor recompress it, which
    // would also make it ask the provider twice.
    stream.setFilterOnWrite(false);
    return stream;
}

} // namespace folioset::pdf
