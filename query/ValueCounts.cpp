#include "query/ValueCounts.h"

#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/ValueReaders.h"
#include "query/QueryStatements.h"

#include <chrono>

namespace glimora::query {

namespace {

// Whether the number `value` is exactly the one the entry `shown` compares with: through a
// double, 12345678901234567 would pass for the entry 12345678901234568.
bool isExactly(const data::Variant& value, const QString& shown)
{
    using Kind = data::Variant::Kind;
    switch (value.kind()) {
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64: {
        bool ok = false;
        return shown.toLongLong(&ok) == value.toInt64() && ok;
    }
    case Kind::Decimal: {
        data::Decimal entry;
        if (!data::Decimal::parse(shown, entry))
            return false;
        data::Decimal held = value.toDecimal();
        // Compared at the larger scale; each holds few enough places for that to fit.
        while (held.scale < entry.scale) {
            held.unscaledValue *= 10;
            ++held.scale;
        }
        while (entry.scale < held.scale) {
            entry.unscaledValue *= 10;
            ++entry.scale;
        }
        return held.unscaledValue == entry.unscaledValue;
    }
    case Kind::Single:
    case Kind::Double:
        return value.toDouble() == shown.toDouble();
    default:
        return false;
    }
}

} // namespace

struct ValueCounts::OwnConnection
{
    data::Connection connection;
    QString connectionString;
};

ValueCounts::ValueCounts(int budgetMilliseconds)
    : m_budget(budgetMilliseconds)
    , m_own(std::make_unique<OwnConnection>())
    , m_worker([this] { work(); })
{
}

ValueCounts::~ValueCounts()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

std::optional<ValueCounts::Counts> ValueCounts::count(
    const QString& statement, const QString& connectionString, int entryColumn)
{
    if (m_budget <= 0)
        return std::nullopt;
    std::future<std::optional<Counts>> answer;
    {
        std::lock_guard lock(m_mutex);
        // A connection still opening is no count under way: the screen's first level, shown
        // while it opens, waits for it within the budget.
        if ((m_busy && !m_opening) || (m_job && !m_job->statement.isEmpty()))
            return std::nullopt;
        m_job = std::make_unique<Job>();
        m_job->statement = statement;
        m_job->connectionString = connectionString;
        m_job->entryColumn = entryColumn;
        answer = m_job->result.get_future();
    }
    m_changed.notify_all();
    if (answer.wait_for(std::chrono::milliseconds(m_budget)) != std::future_status::ready)
        return std::nullopt;
    return answer.get();
}

std::optional<qint64> ValueCounts::countOf(const Counts& counts, const QString& value)
{
    if (const auto found = counts.constFind(value); found != counts.cend())
        return *found;
    // A server comparing without case groups "A" and "a" under whichever it met first; the
    // button may show the other. Two groups of one letter case apart are told apart exactly.
    std::optional<qint64> only;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key().compare(value, Qt::CaseInsensitive) != 0)
            continue;
        if (only)
            return std::nullopt;
        only = it.value();
    }
    return only;
}

void ValueCounts::open(const QString& connectionString)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_busy || m_job)
            return;
        m_job = std::make_unique<Job>();
        m_job->connectionString = connectionString;
    }
    m_changed.notify_all();
}

void ValueCounts::work()
{
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || m_job; });
            if (m_stopping)
                return;
            job = std::move(m_job);
            m_busy = true;
            m_opening = job->statement.isEmpty();
        }
        std::optional<Counts> counts;
        try {
            OwnConnection& own = *m_own;
            if (own.connection.isNull() || own.connection.State() != data::Connection::StateOpen
                || own.connectionString != job->connectionString) {
                own.connection = data::Connection::create();
                own.connection.Open(job->connectionString);
                own.connectionString = job->connectionString;
            }
            if (job->statement.isEmpty()) {
                job->result.set_value(std::nullopt);
                std::lock_guard lock(m_mutex);
                m_busy = false;
                continue;
            }
            data::Command command = data::Command::create();
            command.SetActiveConnection(own.connection);
            // A count past its budget is shown to nobody, but closing the screen waits for it:
            // a server gone quiet costs that wait this long at most, not the usual 30 s.
            command.SetCommandTimeout(CommandTimeoutSeconds);
            command.SetCommandText(job->statement);
            Counts found;
            for (data::Recordset rows = command.Execute(); !rows.EndOfFile(); rows.MoveNext()) {
                const data::Variant value = rows.Item(0).Value();
                const QString shown = job->entryColumn == 0
                    ? data::ValueText(value)
                    : QueryStatements::filterEntryText(value, job->entryColumn);
                // 12.345 shows as the entry 12.35, which finds only the records of 12.35.
                if (job->entryColumn > 20 && !isExactly(value, shown))
                    continue;
                // Moments of one day are one button: their counts add up.
                found[QueryStatements::storedText(value, shown)] += rows.Item(1).Value().toInt64();
            }
            counts = std::move(found);
        } catch (const data::DbError&) {
            // The next count opens a new connection.
            m_own->connection = data::Connection();
        } catch (const std::exception&) {
            m_own->connection = data::Connection();
        }
        job->result.set_value(std::move(counts));
        std::lock_guard lock(m_mutex);
        m_busy = false;
    }
}

} // namespace glimora::query
