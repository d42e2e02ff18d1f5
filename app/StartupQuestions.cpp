#include "app/StartupQuestions.h"

#include "app/BackgroundAttempt.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "platform/EventLog.h"
#include "query/ScreenQuestions.h"

namespace glimora::app {

StartupQuestions::StartupQuestions(Asker asker, QObject* parent)
    : QObject(parent)
    , m_attempt(std::make_unique<BackgroundAttempt>(std::move(asker)))
{
    connect(m_attempt.get(), &BackgroundAttempt::finished, this, &StartupQuestions::finished);
    // Nobody waits for these questions, so a failure is only ever seen in the log.
    connect(this, &StartupQuestions::finished, this, [](const QString& problem) {
        if (!problem.isEmpty())
            platform::EventLog::write(platform::EventLog::Event::Notice,
                QStringLiteral("the first questions at start failed: ") + problem);
    });
}

StartupQuestions::~StartupQuestions() = default;

std::unique_ptr<StartupQuestions> StartupQuestions::fromSettings(QObject* parent)
{
    if (!query::ScreenQuestions::askedAfterJobs())
        return nullptr;
    // Read here and not by the worker, while a login may change it.
    const QString connectionString = data::SharedDatabase::loginConnectionString();
    const Asker asker = [connectionString]() -> QString {
        try {
            data::Connection connection = data::Connection::create();
            connection.Open(connectionString);
            query::ScreenQuestions::ask(connection);
            connection.Close();
            return QString();
        } catch (const data::DbError& error) {
            return error.description();
        } catch (const std::exception& error) {
            return QString::fromLocal8Bit(error.what());
        }
    };
    return std::make_unique<StartupQuestions>(asker, parent);
}

void StartupQuestions::start()
{
    m_attempt->start();
}

bool StartupQuestions::running() const
{
    return m_attempt->running();
}

} // namespace glimora::app
