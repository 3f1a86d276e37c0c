#pragma once

#include "engine/image/embeddedimage.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace folioset::pdf {

using image::StreamOrigin;

// Reads the image files whose bytes a document carries on a thread of its own, a few ahead of
// the writer, in the order their streams were made, which is the order the writer asks for
// them. For a batch of small files, opening and reading each one is most of the writer's work;
// ahead, it takes a core the writer leaves idle. Memory stays bounded: a few files, a few
// megabytes at most, wait; larger streams are left to be copied piece by piece as they are
// written.
class SourceReadAhead
{
public:
    enum class Outcome {
        Read,    // the bytes are here
        Changed, // the file changed or disappeared since its page was made
        NotRead, // nothing was read for this stream: the caller copies it itself
    };
    struct Bytes
    {
        Outcome outcome = Outcome::NotRead;
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
    };

    SourceReadAhead(std::vector<std::shared_ptr<const StreamOrigin>> origins,
                    const std::atomic<bool> *abort);
    ~SourceReadAhead();
    SourceReadAhead(const SourceReadAhead &) = delete;
    SourceReadAhead &operator=(const SourceReadAhead &) = delete;

    // The bytes of the stream made `sequence`-th. Streams before it that were not asked for are
    // dropped; one asked for again or out of order gets NotRead.
    Bytes take(std::size_t sequence);

private:
    static constexpr std::size_t kAhead = 16;
    static constexpr std::size_t kBudget = 4 * 1024 * 1024;  // bytes waiting, at most
    static constexpr std::size_t kLargest = 4 * 1024 * 1024; // larger streams are not read here

    void run();
    bool halfFree() const; // with the lock held

    const std::vector<std::shared_ptr<const StreamOrigin>> m_origins;
    const std::atomic<bool> *m_abort;
    std::mutex m_mutex;
    // Each side is woken only when the other has made it worth waking: the reader once half the
    // queue is free again, not for every stream taken.
    std::condition_variable m_space;
    std::condition_variable m_filled;
    bool m_readerWaits = false;
    bool m_writerWaits = false;
    std::deque<Bytes> m_ready; // for streams m_taken onwards
    std::size_t m_taken = 0;
    std::size_t m_waiting = 0; // bytes in m_ready
    bool m_finished = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace folioset::pdf
