#pragma once

#include "engine/image/imagesource.h"

#include <QString>
#include <QStringList>

#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace folioset {

// Opens a run's image files on threads of their own, a few ahead of the one being converted.
// For small JPEGs, reading the headers is most of the work of a page; done ahead, it overlaps
// making the pages and uses the cores the page maker leaves idle. Opening only reads, so a
// source opened early is the same as one opened late, and anything that changes in between is
// caught when the data is copied. Memory stays flat: at most a few opened sources wait.
class OpenAhead
{
public:
    // `paths` in the order take() will ask for them.
    explicit OpenAhead(QStringList paths);
    ~OpenAhead();
    OpenAhead(const OpenAhead &) = delete;
    OpenAhead &operator=(const OpenAhead &) = delete;

    // What image::ImageSource::open gives for `path`, with the same reason or exception. A path
    // out of the announced order is opened on the spot.
    std::unique_ptr<image::ImageSource> take(const QString &path, QString *reason);

private:
    static constexpr qsizetype kAhead = 8;

    struct Opened
    {
        std::unique_ptr<image::ImageSource> source;
        QString reason;
        std::exception_ptr error;
    };
    void run();

    const QStringList m_paths;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qsizetype m_claimed = 0; // paths below this are opened or being opened
    qsizetype m_taken = 0;   // paths below this have been taken or passed over
    std::array<std::optional<Opened>, kAhead> m_ready; // path i in slot i % kAhead
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace folioset
