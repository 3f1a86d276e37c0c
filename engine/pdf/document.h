#pragma once

#include "pagesetup.h"

#include <QSizeF>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace folioset::image {
class ImageSource;
}

namespace folioset::pdf {

using image::ImageSource;

struct DocumentInfo
{
    QString title;
    QString subject;
    QString author;
    QString keywords;
    QString creator;
};

struct Security
{
    QString userPassword;  // empty: the document opens without a password
    QString ownerPassword; // lifts the restrictions below
    bool canPrint = true;
    bool canCopy = true;
    // 40: RC4 R2; 128: RC4 R3; 256: AES-256 R6. Modify, annotate, forms and assembly never
    // allowed.
    int keyBits = 40;
};

struct WriteOptions
{
    std::optional<DocumentInfo> info; // absent: no title, subject, author, keywords or creator
    std::optional<Security> security; // absent: not encrypted
    QString producer;                 // written in every case
};

// One output PDF being built: pages appended from images, an optional outline, then written
// once. Pages hold no pixel data: each page's image bytes are produced while the file is
// written, so a document of a thousand photos holds at most one decoded image at a time.
class Document
{
public:
    Document();
    ~Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    int pageCount() const;

    // Image data that has to be decoded waits for write() in a nameless scratch file in this
    // folder: the one the document will be written to, so that it takes room where the result
    // must fit anyway. Set before the first page; empty means the system's temporary folder.
    void setScratchFolder(const QString &folder);
    // Why scratch data could not be kept ("Unable to write the scratch file: No space left on
    // device"); empty while it could. Once set, the document cannot be written whole: a page
    // that failed for this reason failed for want of room, not because of its image.
    QString scratchFailure() const;

    // How the pages that follow are laid out; by default each is the image's own size. A setup
    // with a problem() makes no pages: each says why.
    void setPageSetup(const PageSetup &setup);

    // Adds frame `index` (0-based) of `source` as the new last page, laid out by the page setup
    // (by default sized pixel size x 72 / dpi) and turned upright by its EXIF orientation.
    // Whatever can fail in reading the image fails here, so the caller knows at once; false,
    // with a reason, when no page was made.
    bool appendImagePage(const ImageSource &source, int index, QString *reason = nullptr);

    // Size of page `pageNumber` (1-based) in points: the media box, before any /Rotate.
    QSizeF mediaBoxSize(int pageNumber) const;
    // Page size as a viewer shows it (width and height swapped for a page turned by 90 or 270).
    QSizeF displaySize(int pageNumber) const;

    bool hasOutlineRoot() const;
    void ensureOutlineRoot();
    // Appends a top-level bookmark to page `pageNumber` (1-based), destination
    // [page /XYZ 0 (media box height + 72) null]. Creates the outline root when there is none.
    void addOutlineEntry(const QString &title, int pageNumber);

    // Writes the document to `path` whole or not at all (see AtomicFile): a failure, a full
    // disk or `abort` turning true leaves no partial file and the previous file at `path`
    // untouched. False, with a reason, on failure.
    bool write(const QString &path, const WriteOptions &options,
               const std::atomic<bool> *abort = nullptr, QString *reason = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace folioset::pdf
