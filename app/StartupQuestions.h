#pragma once

#include <functional>
#include <memory>
#include <QObject>
#include <QString>

namespace glimora::app {

class BackgroundAttempt;

// At a station's start, the questions its query screen asks first (its first level and its
// filter lists) are asked once on a thread and a connection of their own, so that the server
// builds the indexes they need now rather than when a visitor asks them. Readers are not held
// up meanwhile: the embedded server's readers never wait for its writer.
class StartupQuestions : public QObject
{
    Q_OBJECT
public:
    // Asks the questions; returns what went wrong, empty on success. Runs on the worker.
    using Asker = std::function<QString()>;

    explicit StartupQuestions(Asker asker, QObject* parent = nullptr);
    ~StartupQuestions() override;

    // Through a connection made from the login as it is now, when [index] questions is on;
    // nothing while it is off.
    static std::unique_ptr<StartupQuestions> fromSettings(QObject* parent = nullptr);

    void start();
    bool running() const;

signals:
    void finished(const QString& problem);

private:
    std::unique_ptr<BackgroundAttempt> m_attempt;
};

} // namespace glimora::app
