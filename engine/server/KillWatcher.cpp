#include "engine/server/KillWatcher.h"

#include "engine/server/Catalogue.h"

#include <chrono>
#include <exception>

namespace glimora::engine {

KillWatcher::KillWatcher(Catalogue& catalogue)
    : m_catalogue(catalogue)
{
}

KillWatcher::~KillWatcher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void KillWatcher::watch(int spid, std::function<void()> onKilled)
{
    std::lock_guard lock(m_mutex);
    m_sessions[spid] = std::move(onKilled);
    if (!m_thread.joinable())
        m_thread = std::thread(&KillWatcher::run, this);
}

void KillWatcher::unwatch(int spid)
{
    std::lock_guard lock(m_mutex);
    m_sessions.erase(spid);
}

void KillWatcher::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        m_wake.wait_for(lock, std::chrono::milliseconds(250));
        if (m_stopping)
            break;
        for (auto session = m_sessions.begin(); session != m_sessions.end();) {
            bool alive = true;
            try {
                alive = m_catalogue.sessionExists(session->first);
            } catch (const std::exception&) {
                // An unreadable catalogue kills nobody; the next round looks again.
            }
            if (alive) {
                ++session;
                continue;
            }
            session->second();
            session = m_sessions.erase(session);
        }
    }
}

} // namespace glimora::engine
