#pragma once

#include "data/Backend.h"
#include "engine/rowset/RowsetTable.h"
#include "engine/server/Catalogue.h"
#include "engine/server/DatabasePermissions.h"
#include "engine/storage/CountsCache.h"
#include "engine/storage/DatabaseConnection.h"
#include "engine/storage/SqliteCursor.h"
#include "engine/tsql/TranslationContext.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QDeadlineTimer>
#include <QHash>
#include <vector>

struct sqlite3_stmt;

namespace glimora::engine {

class RowsetStream;

// One connection to the embedded server: a login, a current database and a spid.
// Runs batches statement by statement as SQL Server does: a syntax error stops the
// batch before anything runs; a run-time error ends its statement with nothing changed
// and the batch goes on; the client receives the first error and the first result set.
class EmbeddedSession : public data::BackendSession, private TranslationContext
{
public:
    EmbeddedSession(std::shared_ptr<Catalogue> catalogue, RowsetCellReader rowsetReader,
        const LoginInfo& login, const QString& database, int busyTimeoutMs);
    ~EmbeddedSession() override;

    data::ExecuteResult execute(const QString& batch, int commandTimeoutSeconds) override;
    QStringList primaryKeyColumns(const QString& table) override;
    QString identityColumn(const QString& table) override;
    bool keepsResultsOpen() const override { return true; }

    int spid() const { return m_spid; }
    // Stops the running batch at its next step, as a client's attention does: the statement
    // at work ends with nothing changed and the batch goes no further. Batches stop at once
    // until clearCancel(), since an attention may arrive before the request it stops begins.
    // Safe from any thread.
    void cancel();
    void clearCancel();
    QString currentDatabase() const override;

private:
    struct BatchState
    {
        std::optional<ServerError> error;
        std::shared_ptr<SqliteCursor> cursor;
        qint64 rowsAffected = -1;
    };
    struct Cursor
    {
        ast::SelectPtr select;
        bool open = false;
        QList<QStringList> rows; // SQLite literals, read when the cursor opens
        int position = 0;
    };
    struct Variable
    {
        SqlType type;
        QString sql; // its value as an SQLite literal
    };

    // Lets the result set of the previous batch go on reading while this batch runs.
    void leaveOpenResult();
    void runStatement(const ast::Statement& statement, BatchState& state, bool lastInBatch);
    void runCreateTable(const ast::Statement& statement);
    void runDropTables(const ast::Statement& statement);
    void runCreateDatabase(const ast::Statement& statement);
    void runDropDatabase(const ast::Statement& statement);
    void runSelect(const ast::Statement& statement, BatchState& state, bool lastInBatch);
    // Runs index work of the server's own without the statement's deadline running.
    void outsideDeadline(const std::function<void()>& work);
    void runChange(const ast::Statement& statement, BatchState& state);
    // Runs an insert, update or delete once; `streamRowset` lets an insert's worksheet rows
    // stream into it, `bindValues` an insert's rows of constants go through one prepared row.
    void runChangeOnce(
        const ast::Statement& statement, BatchState& state, bool streamRowset, bool bindValues);
    // An insert whose only source is one worksheet, read in a single scan.
    static bool rowsetMayStream(const ast::Statement& statement);
    // Under SET SHOWPLAN_TEXT ON: SQLite's plan of `sql` as the result, instead of running it.
    void planOf(const QString& sql, BatchState& state);
    // `state` receives a result set (sp_who); null inside exec('...').
    void runExec(const ast::Statement& statement, BatchState* state);
    void runBackupOrRestore(const ast::Statement& statement);
    void runCursorStatement(const ast::Statement& statement);
    void runKill(const ast::Statement& statement);
    void runInsertExec(const ast::Statement& statement, BatchState& state);
    // sp_who as a SELECT over literal rows; `requestId` adds SQL Server 2005's ninth column.
    QString whoQuery(bool requestId);
    static ast::ExprPtr concatenation(const ast::ExprPtr& expr);
    void switchDatabase(const QString& name);
    void refreshRoles();
    // Another database named in a statement: 916 when this login may not use it.
    void refuseOtherDatabase(const QString& database);
    void dropRowsets();
    void letGoAfterKill();
    // Ends the running batch at its next step once another session killed this one.
    void stopIfKilled() const;
    static int interruptCheck(void* session);
    Variable evaluate(const ast::ExprPtr& expr, const SqlType& type);
    bool evaluateCondition(const ast::ExprPtr& expr);
    void runDeclare(const ast::Statement& statement);
    void runSetVariable(const ast::Statement& statement);
    // A column of the current row as an SQLite literal.
    static QString literalOf(sqlite3_stmt* statement, int column);

    // TranslationContext
    std::optional<TableInfo> findTable(const QString& database, const QString& name) override;
    void requireRead(const QString& table) override;
    bool mayKnow(const QString& table) override;
    TableInfo openRowset(const ast::TableSource& source) override;
    std::optional<Value> variable(const QString& name) override;
    std::optional<Value> serverFunction(const QString& name) override;

    std::shared_ptr<Catalogue> m_catalogue;
    RowsetCellReader m_rowsetReader;
    LoginInfo m_login;
    QString m_host;
    int m_spid = 0;
    int m_busyTimeoutMs = 0;
    std::shared_ptr<DatabaseConnection> m_database;
    CountsCache m_counts; // grouped counts kept while the database is unchanged
    QString m_databaseName; // stays readable from any thread after a kill lets go of m_database
    DatabasePermissions m_permissions;
    std::weak_ptr<SqliteCursor> m_openCursor;
    QStringList m_rowsets;
    // Rows of worksheets that stream into the statement reading them (tables among m_rowsets).
    std::vector<std::unique_ptr<RowsetStream>> m_rowsetStreams;
    bool m_mayStreamRowset = false; // the next openrowset(...) may stream
    bool m_lastChangeStreamed = false; // the running change reads streamed rows
    bool m_lastChangeBound = false; // the running change binds its rows of constants
    int m_rowsetCounter = 0;
    qint64 m_rowCount = 0;
    std::optional<qint64> m_identity; // @@IDENTITY
    int m_lastError = 0;
    QHash<QString, Variable> m_variables;
    QHash<QString, Cursor> m_cursors;
    int m_fetchStatus = -1;
    bool m_killed = false;
    bool m_showPlan = false;
    bool m_buildingIndex = false; // the deadline waits while an index is built
    // Set by the kill watcher while a request runs: the request ends and rolls back.
    std::atomic<bool> m_killRequested { false };
    std::atomic<bool> m_cancelRequested { false };
    // Held while the session runs a request; the kill watcher only acts when it is free.
    std::mutex m_busy;
    QDeadlineTimer m_deadline;
};

} // namespace glimora::engine
