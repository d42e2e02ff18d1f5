#include "app/BackgroundAttempt.h"

#include <QThread>

namespace glimora::app {

BackgroundAttempt::BackgroundAttempt(std::function<QString()> attempt, QObject* parent)
    : QObject(parent)
    , m_attempt(std::move(attempt))
{
}

BackgroundAttempt::~BackgroundAttempt()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void BackgroundAttempt::start()
{
    if (m_thread)
        return;
    auto problem = std::make_shared<QString>();
    m_thread = QThread::create([this, problem] { *problem = m_attempt(); });
    connect(m_thread, &QThread::finished, this, [this, problem] {
        m_thread->deleteLater();
        m_thread = nullptr;
        emit finished(*problem);
    });
    m_thread->start();
}

} // namespace glimora::app
