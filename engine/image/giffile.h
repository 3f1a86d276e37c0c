#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <gif_lib.h>

namespace folioset::image {

// One giflib decoder reading a GIF file through a descriptor of its own position, so that
// several can read one file in step.
class GifFile
{
public:
    // nullptr, with giflib's reason, when the header cannot be read.
    static std::unique_ptr<GifFile> open(int fd, QString *reason);
    ~GifFile();
    GifFile(const GifFile &) = delete;
    GifFile &operator=(const GifFile &) = delete;

    GifFileType *get() const { return m_gif; }
    // Where the next byte will be read from.
    std::uint64_t position() const { return m_position; }
    void seek(std::uint64_t offset) { m_position = offset; }
    // giflib's last error in words.
    QString error() const;

private:
    GifFile() = default;
    static int read(GifFileType *gif, GifByteType *data, int length);

    int m_fd = -1;
    std::uint64_t m_position = 0;
    GifFileType *m_gif = nullptr;
};

struct GifFrame
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    QByteArray colours; // RGB triples: the frame's own table, else the file's
    int transparent = -1;
    int disposal = 0;
    std::uint64_t descriptor = 0; // file offset of the frame's image separator
};

struct GifFacts
{
    int width = 0; // the logical screen, which every frame is composed onto
    int height = 0;
    std::vector<GifFrame> frames; // those whose data is all present
};

// Walks the blocks without decoding pixels; refuses a file whose first frame is incomplete.
std::optional<GifFacts> readGifFacts(const QString &path, QString *reason);

} // namespace folioset::image
