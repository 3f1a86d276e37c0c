#include "openahead.h"

#include <algorithm>
#include <system_error>

namespace folioset {

OpenAhead::OpenAhead(QStringList paths) : m_paths(std::move(paths))
{
    if (m_paths.size() < 2)
        return;
    // One core is the page maker's; on a machine of two, opening takes the other, and two
    // openers keep it busy while one waits.
    const auto openers = std::clamp<qsizetype>(std::thread::hardware_concurrency(), 2, 4);
    try {
        for (qsizetype i = 0; i < std::min(openers, m_paths.size()); ++i)
            m_threads.emplace_back([this] { run(); });
    } catch (const std::system_error &) {
        // The system has no thread to spare: those that started open ahead, and with none at
        // all each file is opened when it is taken.
    }
}

OpenAhead::~OpenAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void OpenAhead::run()
{
    for (;;) {
        qsizetype index = 0;
        {
            std::unique_lock lock(m_mutex);
            // A path may be opened once the one kAhead before it has been taken: its slot is free.
            m_changed.wait(lock, [this] {
                return m_stopping || m_claimed == m_paths.size() || m_claimed < m_taken + kAhead;
            });
            if (m_stopping || m_claimed == m_paths.size())
                return;
            index = m_claimed++;
        }
        Opened opened;
        try {
            opened.source = image::ImageSource::open(m_paths.at(index), &opened.reason);
        } catch (...) {
            opened.error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_ready[std::size_t(index % kAhead)] = std::move(opened);
        }
        m_changed.notify_all();
    }
}

std::unique_ptr<image::ImageSource> OpenAhead::take(const QString &path, QString *reason)
{
    // A run that gave up on the rest of an output file asks for a later path: those passed
    // over are dropped.
    const qsizetype wanted = m_threads.empty() ? -1 : m_paths.indexOf(path, m_taken);
    if (wanted < 0)
        return image::ImageSource::open(path, reason);
    Opened opened;
    {
        std::unique_lock lock(m_mutex);
        while (m_taken <= wanted) {
            std::optional<Opened> &slot = m_ready[std::size_t(m_taken % kAhead)];
            m_changed.wait(lock, [&slot] { return slot.has_value(); });
            opened = std::move(*slot);
            slot.reset();
            ++m_taken;
            m_changed.notify_all();
        }
    }
    if (opened.error)
        std::rethrow_exception(opened.error);
    if (reason && !opened.source)
        *reason = opened.reason;
    return std::move(opened.source);
}

} // namespace folioset
