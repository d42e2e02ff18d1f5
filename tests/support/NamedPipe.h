#pragma once

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <QFile>
#include <QString>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// A named pipe for tests of code that must never open one. Should the code open it all the
// same, the other end is opened after a grace period, so that the test fails instead of
// hanging: a writer that closes at once for a reader stuck in its open (which then reads the
// end), or a reader that stays, for a writer.
class NamedPipe
{
public:
    enum class Release { Readers, Writers };

    NamedPipe(const QString& path, Release release)
        : m_path(QFile::encodeName(path))
        , m_made(::mkfifo(m_path.constData(), 0600) == 0)
    {
        if (m_made)
            m_partner = std::thread([this, release] { partner(release); });
    }
    ~NamedPipe()
    {
        m_done = true;
        if (m_partner.joinable())
            m_partner.join();
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool isMade() const { return m_made; }

private:
    void partner(Release release)
    {
        const auto start = std::chrono::steady_clock::now();
        int reader = -1;
        while (!m_done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
                continue;
            if (release == Release::Readers) {
                const int writer = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0)
                    ::close(writer);
            } else if (reader < 0) {
                reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
            } else {
                char buffer[4096];
                while (::read(reader, buffer, sizeof buffer) > 0) { }
            }
        }
        if (reader >= 0)
            ::close(reader);
    }

    QByteArray m_path;
    bool m_made;
    std::atomic<bool> m_done = false;
    std::thread m_partner;
};
