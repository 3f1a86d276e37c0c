#include "sourcereadahead.h"

#include "engine/image/filestamp.h"

#include <QScopeGuard>

#include <system_error>

#include <unistd.h>

namespace folioset::pdf {

namespace {

using Bytes = SourceReadAhead::Bytes;
using Outcome = SourceReadAhead::Outcome;

// The bytes `origin` names, checked against the size and time the file had when its page was
// made, as the writer would check them.
Bytes readSource(const StreamOrigin &origin, std::size_t length)
{
    const int fd = origin.openUnchanged();
    if (fd < 0)
        return {Outcome::Changed, {}, 0};
    const auto closeLater = qScopeGuard([fd] { ::close(fd); });
    Bytes bytes{Outcome::Read,
                std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(length, 1)), 0};
    for (const image::ByteRange &range : origin.ranges) {
        const auto want = std::size_t(range.length);
        if (image::readAt(fd, bytes.data.get() + bytes.size, want, range.offset) != ssize_t(want))
            return {Outcome::Changed, {}, 0};
        bytes.size += want;
    }
    return bytes;
}

} // namespace

SourceReadAhead::SourceReadAhead(std::vector<std::shared_ptr<const StreamOrigin>> origins,
                                 const std::atomic<bool> *abort)
    : m_origins(std::move(origins)), m_abort(abort)
{
    if (m_origins.size() < 2)
        return;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        // No thread to spare: the writer copies every stream itself.
    }
}

SourceReadAhead::~SourceReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_space.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SourceReadAhead::run()
{
    for (std::size_t next = 0; next < m_origins.size(); ++next) {
        {
            std::unique_lock lock(m_mutex);
            if (m_ready.size() >= kAhead || m_waiting >= kBudget) {
                m_readerWaits = true;
                m_space.wait(lock, [this] { return m_stopping || halfFree(); });
                m_readerWaits = false;
            }
            if (m_stopping)
                break;
        }
        if (m_abort && m_abort->load(std::memory_order_relaxed))
            break;
        Bytes bytes;
        const StreamOrigin &origin = *m_origins[next];
        const auto length = std::size_t(origin.totalLength()) - std::size_t(origin.prefix.size());
        if (length <= kLargest) {
            try {
                bytes = readSource(origin, length);
            } catch (const std::bad_alloc &) {
                bytes = {}; // the writer copies it itself, piece by piece
            }
        }
        const std::lock_guard lock(m_mutex);
        m_waiting += bytes.size;
        m_ready.push_back(std::move(bytes));
        if (m_writerWaits)
            m_filled.notify_one();
    }
    const std::lock_guard lock(m_mutex);
    m_finished = true;
    m_filled.notify_one();
}

bool SourceReadAhead::halfFree() const
{
    return m_ready.size() <= kAhead / 2 && m_waiting <= kBudget / 2;
}

SourceReadAhead::Bytes SourceReadAhead::take(std::size_t sequence)
{
    if (!m_thread.joinable())
        return {};
    std::unique_lock lock(m_mutex);
    if (sequence < m_taken)
        return {};
    for (;;) {
        if (m_ready.empty() && !m_finished) {
            m_writerWaits = true;
            m_filled.wait(lock, [this] { return !m_ready.empty() || m_finished; });
            m_writerWaits = false;
        }
        if (m_ready.empty())
            return {};
        Bytes bytes = std::move(m_ready.front());
        m_ready.pop_front();
        m_waiting -= bytes.size;
        const bool wanted = m_taken++ == sequence;
        if (m_readerWaits && halfFree())
            m_space.notify_one();
        if (wanted)
            return bytes;
    }
}

} // namespace folioset::pdf
