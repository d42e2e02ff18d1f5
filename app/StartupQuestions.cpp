#include "app/StartupQuestions.h"

#include "app/BackgroundAttempt.h"
#include "data/Connection.h"
#include "data/ConnectionSetup.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "query/ScreenQuestions.h"

namespace glimora::app {

StartupQuestions::StartupQuestions(Asker asker, QObject* parent)
    : QObject(parent)
    , m_attempt(std::make_unique<BackgroundAttempt>(std::move(asker)))
{
    connect(m_attempt.get(), &BackgroundAttempt::finished, this, &StartupQuestions::finished);
}

StartupQuestions::~StartupQuestions() = default;

std::unique_ptr<StartupQuestions> StartupQuestions::fromSettings(QObject* parent)
{
    if (!query::ScreenQuestions::askedAfterJobs())
        return nullptr;
    // The login values as they are now, read here and not by the worker while a login may
    // change them.
    const data::LoginValues login = data::SharedDatabase::login();
    const QString connectionString = data::ConnectionSetup::fromSettings().connectionString(
        login.userName, login.password, login.serverName, login.databaseName);
    const Asker asker = [connectionString]() -> QString {
        try {
            data::Connection connection = data::Connection::create();
            connection.Open(connectionString);
            query::ScreenQuestions::ask(connection);
            connection.Close();
            return QString();
        } catch (const data::DbError& error) {
            return error.description();
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
