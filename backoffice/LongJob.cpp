#include "backoffice/LongJob.h"

#include "backoffice/JobStatements.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/SharedDatabase.h"
#include "platform/EventLog.h"
#include "query/ScreenQuestions.h"
#include "query/SearchIndex.h"

#include <exception>
#include <limits>
#include <QFile>

namespace glimora::backoffice {

namespace {

constexpr int IndexSteps = 20;
constexpr int QuestionSteps = 10;

} // namespace

LongJob::LongJob(Kind kind, QList<Step> steps)
    : m_kind(kind)
    , m_steps(std::move(steps))
{
}

LongJob LongJob::import(const QString& statement)
{
    return LongJob(Kind::Import, { { statement, OnFailure::FailWithReason } });
}

LongJob LongJob::backup(const QString& statement)
{
    return LongJob(Kind::Backup, { { statement, OnFailure::Fail } });
}

LongJob LongJob::restore(const QString& database, const QString& backupPath, const QString& connectSetting)
{
    return restoring(database, backupPath, connectSetting, false);
}

LongJob LongJob::undo(const QString& database, const QString& snapshotPath, const QString& connectSetting)
{
    return restoring(database, snapshotPath, connectSetting, true);
}

LongJob LongJob::exporting(const maintenance::RecordExport& job)
{
    LongJob exporting(Kind::Export, {});
    exporting.m_export = std::make_shared<const maintenance::RecordExport>(job);
    exporting.m_exportResult = std::make_shared<maintenance::RecordExport::Result>();
    return exporting;
}

maintenance::RecordExport::Result LongJob::exportResult() const
{
    return m_exportResult ? *m_exportResult : maintenance::RecordExport::Result();
}

void LongJob::runExport(JobProgress& progress) const
{
    using platform::EventLog;
    using Outcome = maintenance::RecordExport::Outcome;
    EventLog::write(EventLog::Event::JobStart, kindName());
    progress.start(0);
    const maintenance::RecordExport::Result result = m_export->run([&progress](qint64 records) {
        progress.update(int(qMin<qint64>(records, std::numeric_limits<int>::max())));
        return !progress.cancelRequested();
    });
    *m_exportResult = result;
    const JobOutcome outcome = result.outcome == Outcome::Done ? JobOutcome::Done
        : result.outcome == Outcome::Cancelled                 ? JobOutcome::Cancelled
                                                               : JobOutcome::Failed;
    EventLog::write(EventLog::Event::JobEnd,
        kindName()
            + (outcome == JobOutcome::Failed           ? QStringLiteral(" failed")
                    : outcome == JobOutcome::Cancelled ? QStringLiteral(" cancelled")
                                                       : QStringLiteral(" done"))
            + (result.reason.isEmpty() ? QString() : QStringLiteral(": ") + result.reason),
        0);
    progress.end(outcome, result.reason);
}

LongJob LongJob::restoring(
    const QString& database, const QString& backupPath, const QString& connectSetting, bool verifyFirst)
{
    const bool dropFirst = !connectSetting.isEmpty();
    QList<Step> steps;
    // The drop-and-restore form would leave no database at all if the file then proved
    // unreadable: check it before anything is killed or dropped.
    if (dropFirst || verifyFirst)
        steps.append({ JobStatements::verify(backupPath), OnFailure::FailWithReason, false, true });
    steps.append({ JobStatements::dropWorkTable(), OnFailure::GoOn });
    steps.append(
        { JobStatements::killConnections(database, dropFirst), OnFailure::FailWithReason, false, true });
    if (dropFirst)
        steps.append({ JobStatements::logBackup(), OnFailure::GoOn });
    steps.append({ JobStatements::restore(database, backupPath, dropFirst), OnFailure::FailWithReason });
    LongJob job(Kind::Restore, std::move(steps));
    job.m_database = database;
    return job;
}

LongJob LongJob::searchIndex()
{
    return LongJob(Kind::SearchIndex, {});
}

LongJob LongJob::withSnapshot(const QString& database, const QString& path) const
{
    LongJob job = *this;
    job.m_snapshotPath = path;
    job.m_steps.prepend({ JobStatements::verify(path), OnFailure::FailWithReason, true });
    job.m_steps.prepend({ JobStatements::backup(database, path), OnFailure::FailWithReason, true });
    return job;
}

QStringList LongJob::statements() const
{
    QStringList texts;
    for (const Step& step : m_steps)
        texts.append(step.statement);
    return texts;
}

bool LongJob::reconnectWithoutDatabase() const
{
    try {
        data::SharedDatabase::reopen(QString());
    } catch (const std::exception&) { // DbError among them
        return false;
    }
    return true;
}

void LongJob::run(JobProgress& progress) const
{
    if (m_kind == Kind::Export) {
        runExport(progress);
        return;
    }
    using platform::EventLog;
    // Not the statements: an import's may carry a linked server's password.
    EventLog::write(EventLog::Event::JobStart, kindName());
    const auto end = [this, &progress](JobOutcome outcome, const QString& reason, int errorNumber) {
        EventLog::write(EventLog::Event::JobEnd,
            kindName() + (outcome == JobOutcome::Failed ? QStringLiteral(" failed") : QStringLiteral(" done"))
                + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason),
            errorNumber);
        progress.end(outcome, reason);
    };
    // A snapshot of data that the failed job left unchanged would be the next undo's choice,
    // and that undo would restore the present while saying it undid the last job.
    const auto dropSnapshot = [this](const Step& step) {
        if (!m_snapshotPath.isEmpty() && (step.snapshot || step.changesNothing))
            QFile::remove(m_snapshotPath);
    };
    // The indexes' building counts as steps of its own, so that a rebuild of millions of
    // records shows that it moves.
    const int indexSteps = buildsSearchIndex() ? IndexSteps : 0;
    const int questionSteps
        = changesRecords() && query::ScreenQuestions::askedAfterJobs() ? QuestionSteps : 0;
    progress.start(static_cast<int>(m_steps.size()) + indexSteps + questionSteps);
    if (m_kind == Kind::Restore && !reconnectWithoutDatabase()) {
        end(JobOutcome::Failed, QString(), 0);
        return;
    }
    data::Command& command = data::SharedDatabase::command();
    int sent = 0;
    for (const Step& step : m_steps) {
        try {
            command.SetCommandText(step.statement);
            command.Execute();
        } catch (const data::DbError& error) {
            if (step.onFailure != OnFailure::GoOn) {
                QString reason
                    = step.onFailure == OnFailure::FailWithReason ? data::ErrorHints::text(error) : QString();
                if (step.snapshot)
                    reason = QString::fromUtf8("快照未能保存，数据没有改动。\n") + reason;
                dropSnapshot(step);
                end(JobOutcome::Failed, reason, error.nativeError());
                return;
            }
        } catch (const std::exception& error) {
            // Not the server's answer (memory ran out, say): the job has failed, whatever its
            // step would bear, and the back office goes on.
            dropSnapshot(step);
            end(JobOutcome::Failed,
                step.onFailure == OnFailure::FailWithReason ? QString::fromLocal8Bit(error.what())
                                                            : QString(),
                0);
            return;
        }
        progress.update(++sent);
    }
    // The records are in: a search index that fails is told, never reported as a failed
    // import, which would be run again and imported twice.
    int indexError = 0;
    const QString indexProblem = closingWork(progress, sent, indexSteps, questionSteps, indexError);
    if (m_kind == Kind::SearchIndex && !indexProblem.isEmpty()) {
        end(JobOutcome::Failed, indexProblem, indexError);
        return;
    }
    end(m_kind == Kind::Restore ? JobOutcome::Restored : JobOutcome::Done, indexProblem, indexError);
}

QString LongJob::closingWork(
    JobProgress& progress, int sent, int indexSteps, int questionSteps, int& indexError) const
{
    if (indexSteps + questionSteps == 0)
        return QString();
    const bool onDatabase = m_kind != Kind::Restore || useRestoredDatabase();
    QString indexProblem;
    if (indexSteps > 0)
        indexProblem = onDatabase ? buildSearchIndex(progress, sent, indexError) : searchIndexProblem();
    if (questionSteps > 0 && onDatabase) {
        // The server makes the indexes of the screen's first questions now, behind the
        // progress, rather than while the first visitor waits.
        const int first = sent + indexSteps;
        try {
            query::ScreenQuestions::ask(data::SharedDatabase::connection(),
                [&](int done, int total) { progress.update(first + done * QuestionSteps / total); });
        } catch (const std::exception&) { // DbError among them
            // Only a visitor's first wait is lost; the records are in.
        }
    }
    return indexProblem;
}

bool LongJob::changesRecords() const
{
    return m_kind == Kind::Import || m_kind == Kind::Restore;
}

bool LongJob::useRestoredDatabase() const
{
    // The restore left its connection without a database, so as not to be killed.
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(JobStatements::useDatabase(m_database));
        command.Execute();
        return true;
    } catch (const data::DbError&) {
        return false;
    }
}

bool LongJob::buildsSearchIndex() const
{
    return m_kind == Kind::SearchIndex || (changesRecords() && query::SearchIndex::enabled());
}

QString LongJob::buildSearchIndex(JobProgress& progress, int firstStep, int& errorNumber) const
{
    try {
        query::SearchIndex::rebuild(
            data::SharedDatabase::connection(), query::SearchIndex::columns(), [&](long done, long total) {
                if (total > 0)
                    progress.update(firstStep + int(double(done) / double(total) * IndexSteps));
            });
        progress.update(firstStep + IndexSteps);
        return QString();
    } catch (const data::DbError& error) {
        errorNumber = error.nativeError();
        return searchIndexProblem() + QLatin1Char('\n') + data::ErrorHints::text(error);
    } catch (const std::exception& error) {
        return searchIndexProblem() + QLatin1Char('\n') + QString::fromLocal8Bit(error.what());
    }
}

QString LongJob::searchIndexProblem() const
{
    switch (m_kind) {
    case Kind::Import:
        return QString::fromUtf8("数据已导入，但搜索索引未能更新，搜索暂时找不到新导入的记录。");
    case Kind::Restore:
        return QString::fromUtf8("数据已恢复，但搜索索引未能重建，搜索可能找不到部分记录。");
    default:
        return QString::fromUtf8("搜索索引未能重建。");
    }
}

QString LongJob::kindName() const
{
    switch (m_kind) {
    case Kind::Import:
        return QStringLiteral("import");
    case Kind::Backup:
        return QStringLiteral("backup");
    case Kind::Restore:
        return QStringLiteral("restore");
    case Kind::SearchIndex:
        return QStringLiteral("search index");
    case Kind::Export:
        return QStringLiteral("export");
    }
    return QString();
}

} // namespace glimora::backoffice
