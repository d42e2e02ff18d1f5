#pragma once

#include <QHash>
#include <QString>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace glimora::query {

// How many records lie behind each value of a level, asked on a thread and a connection of its
// own and waited for no longer than a budget: counts that come later are dropped rather than
// shown late, and no count is asked while one is still under way, so a slow server costs a
// visitor at most the budget and never a queue of counts.
class ValueCounts
{
public:
    static constexpr int BudgetMilliseconds = 200;
    static constexpr int CommandTimeoutSeconds = 5;
    // Each value's count, by the text the screen compares the value with.
    using Counts = QHash<QString, qint64>;

    explicit ValueCounts(int budgetMilliseconds = BudgetMilliseconds);
    ~ValueCounts();
    ValueCounts(const ValueCounts&) = delete;
    ValueCounts& operator=(const ValueCounts&) = delete;

    // Sends `statement` (a value and its count per row) through a connection of
    // `connectionString`; nothing when the budget ran out, a count was under way, or the server
    // refused it. With `entryColumn`, the number of a filter list's column, the values are
    // compared as that list shows them, and a number counts only where it is exactly the one
    // its entry compares with.
    std::optional<Counts> count(
        const QString& statement, const QString& connectionString, int entryColumn = 0);
    void setBudget(int milliseconds) { m_budget = milliseconds; }
    // The count of `value` (as the screen shows it) in `counts`, none when it was not counted.
    static std::optional<qint64> countOf(const Counts& counts, const QString& value);
    // Opens the connection ahead, without waiting: a login may take longer than the budget.
    void open(const QString& connectionString);

private:
    struct Job
    {
        QString statement;
        QString connectionString;
        int entryColumn = 0;
        std::promise<std::optional<Counts>> result;
    };
    struct OwnConnection;
    void work();

    int m_budget;
    std::unique_ptr<OwnConnection> m_own; // the worker's alone
    std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    std::unique_ptr<Job> m_job; // waiting for the worker
    bool m_busy = false;
    bool m_opening = false; // the job under way only opens the connection
    bool m_stopping = false;
    std::thread m_worker; // last: started once the rest is ready
};

} // namespace glimora::query
