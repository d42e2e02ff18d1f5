#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace glimora::engine {

class Catalogue;

// Notices, a few times a second, that a session of this process was killed by any
// process, and tells the session, so that an idle one lets go of its database file at
// once (a restore waits for no connection to be left on it).
class KillWatcher
{
public:
    explicit KillWatcher(Catalogue& catalogue);
    ~KillWatcher();
    KillWatcher(const KillWatcher&) = delete;
    KillWatcher& operator=(const KillWatcher&) = delete;

    // `onKilled` runs on the watcher's thread and must not block.
    void watch(int spid, std::function<void()> onKilled);
    // Returns once no call of the session's `onKilled` runs any more.
    void unwatch(int spid);

private:
    void run();

    Catalogue& m_catalogue;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<int, std::function<void()>> m_sessions;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace glimora::engine
