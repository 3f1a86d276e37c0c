#include "giffile.h"

#include "decodinglimits.h"

#include <QFile>

#include <cerrno>

#include <unistd.h>

namespace folioset::image {

namespace {

QByteArray coloursOf(const ColorMapObject *map)
{
    QByteArray colours;
    if (!map)
        return colours;
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType &c = map->Colors[i];
        colours.append(char(c.Red)).append(char(c.Green)).append(char(c.Blue));
    }
    return colours;
}

std::optional<GifFacts> refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return std::nullopt;
}

} // namespace

int GifFile::read(GifFileType *gif, GifByteType *data, int length)
{
    auto *self = static_cast<GifFile *>(gif->UserData);
    int done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(self->m_fd, data + done, std::size_t(length - done), off_t(self->m_position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += int(got);
        self->m_position += std::uint64_t(got);
    }
    return done;
}

std::unique_ptr<GifFile> GifFile::open(int fd, QString *reason)
{
    auto file = std::unique_ptr<GifFile>(new GifFile);
    file->m_fd = fd;
    int error = 0;
    file->m_gif = DGifOpen(file.get(), read, &error);
    if (!file->m_gif) {
        if (reason)
            *reason = QStringLiteral("Unable to read the image header (%1)")
                          .arg(QString::fromUtf8(GifErrorString(error)));
        return nullptr;
    }
    return file;
}

GifFile::~GifFile()
{
    if (m_gif)
        DGifCloseFile(m_gif, nullptr);
}

QString GifFile::error() const
{
    const char *text = GifErrorString(m_gif->Error);
    return text ? QString::fromUtf8(text) : QStringLiteral("Unable to decode the GIF data");
}

std::optional<GifFacts> readGifFacts(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(reason, QStringLiteral("Unable to open the image file"));
    const auto gif = GifFile::open(file.handle(), reason);
    if (!gif)
        return std::nullopt;
    GifFileType *g = gif->get();
    GifFacts facts;
    facts.width = g->SWidth;
    facts.height = g->SHeight;
    if (const auto tooLarge = checkDimensions(facts.width, facts.height))
        return refuse(reason, *tooLarge);
    const QByteArray global = coloursOf(g->SColorMap);
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    // Stops at the first damage: the frames before it are whole.
    for (bool more = true; more;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(g, &type) == GIF_ERROR)
            break;
        switch (type) {
        case IMAGE_DESC_RECORD_TYPE: {
            GifFrame frame;
            frame.descriptor = gif->position() - 1;
            if (DGifGetImageDesc(g) == GIF_ERROR)
                more = false;
            const GifImageDesc &desc = g->Image;
            frame.left = desc.Left;
            frame.top = desc.Top;
            frame.width = desc.Width;
            frame.height = desc.Height;
            frame.interlaced = desc.Interlace;
            frame.colours = desc.ColorMap ? coloursOf(desc.ColorMap) : global;
            frame.transparent = control.TransparentColor;
            frame.disposal = control.DisposalMode;
            control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
            int codeSize = 0;
            GifByteType *block = nullptr;
            more = more && DGifGetCode(g, &codeSize, &block) != GIF_ERROR;
            while (more && block)
                more = DGifGetCodeNext(g, &block) != GIF_ERROR;
            if (more)
                facts.frames.push_back(std::move(frame));
            break;
        }
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType *data = nullptr;
            more = DGifGetExtension(g, &code, &data) != GIF_ERROR;
            if (more && code == GRAPHICS_EXT_FUNC_CODE && data)
                DGifExtensionToGCB(data[0], data + 1, &control);
            while (more && data)
                more = DGifGetExtensionNext(g, &data) != GIF_ERROR;
            break;
        }
        default:
            more = false; // the trailer, or a block GIF does not know
            break;
        }
    }
    if (facts.frames.empty())
        return refuse(reason, QStringLiteral("The GIF file is truncated"));
    return facts;
}

} // namespace folioset::image
