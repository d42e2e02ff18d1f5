#pragma once

#include <mutex>
#include <QHash>
#include <QString>

namespace glimora::engine::tds {

// Slows down guessing: after a few failed logins from one address, each further failure is
// answered later and later, while other addresses are answered at once. Safe from any thread.
class LoginThrottle
{
public:
    static constexpr int FreeFailures = 3;
    static constexpr qint64 LongestDelayMs = 16000;
    static constexpr qint64 WindowMs = 10 * 60 * 1000;

    // Records a failed login and returns how long to hold back its answer.
    qint64 failed(const QString& address, qint64 nowMs);
    void succeeded(const QString& address);

private:
    struct Entry
    {
        int failures = 0;
        qint64 lastMs = 0;
    };
    std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
};

} // namespace glimora::engine::tds
