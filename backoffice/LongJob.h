#pragma once

#include "backoffice/JobProgress.h"
#include "maintenance/RecordExport.h"

#include <memory>
#include <QList>
#include <QString>

namespace glimora::backoffice {

// One of the long jobs: its statements, built on the user-interface thread, and what to do
// when one fails. run() sends them through the shared command on the job's thread. An export
// sends none: it reads on a connection of its own and can be cancelled.
class LongJob
{
public:
    enum class Kind { Import = 0, Backup = 1, Restore = 2, SearchIndex = 3, Export = 4 };

    static LongJob import(const QString& statement);
    static LongJob backup(const QString& statement);
    // `connectSetting` is the `connect` template: empty sends the restore alone, a template
    // checks the backup first and drops the database before restoring.
    static LongJob restore(const QString& database, const QString& backupPath, const QString& connectSetting);
    // A restore of a snapshot: the file is always checked before anything is killed.
    static LongJob undo(const QString& database, const QString& snapshotPath, const QString& connectSetting);
    // Builds the search index anew from the records.
    static LongJob searchIndex();
    static LongJob exporting(const maintenance::RecordExport& job);

    // The same job, first backing up `database` to `path` and checking that backup; when
    // either fails the job stops before it changes anything.
    LongJob withSnapshot(const QString& database, const QString& path) const;
    QString snapshotPath() const { return m_snapshotPath; }

    Kind kind() const { return m_kind; }
    // The texts that run() sends, in order (without the reconnection of the restore).
    QStringList statements() const;

    void run(JobProgress& progress) const;
    // How the export ended, once run() has returned; copies of the job share it.
    maintenance::RecordExport::Result exportResult() const;

private:
    enum class OnFailure {
        GoOn, // preparations whose failure does not matter
        Fail, // the job fails
        FailWithReason, // the job fails and shows the server's description
    };
    struct Step
    {
        QString statement;
        OnFailure onFailure;
        bool snapshot = false;
        bool changesNothing = false; // a check: failing here leaves the data as it was
    };

    LongJob(Kind kind, QList<Step> steps);
    static LongJob restoring(
        const QString& database, const QString& backupPath, const QString& connectSetting, bool verifyFirst);
    // The restore's own connection, without a database, so that it is not among those killed.
    bool reconnectWithoutDatabase() const;
    QString kindName() const; // as the event log names the job
    bool changesRecords() const; // an import or a restore
    // After the steps: the search index and the screen's first questions, as the job has them;
    // the index's problem, or empty.
    QString closingWork(
        JobProgress& progress, int sent, int indexSteps, int questionSteps, int& indexError) const;
    // After a restore, the shared connection on the restored database again; false if it failed.
    bool useRestoredDatabase() const;
    // Whether the job ends by building the search index: imports and restores when the search is on.
    bool buildsSearchIndex() const;
    // The index built on the job's own connection; its problem, or empty when it was built.
    QString buildSearchIndex(JobProgress& progress, int firstStep, int& errorNumber) const;
    QString searchIndexProblem() const; // what the job tells when the index was not built
    void runExport(JobProgress& progress) const;

    Kind m_kind;
    QList<Step> m_steps;
    QString m_snapshotPath;
    QString m_database; // a restore's
    std::shared_ptr<const maintenance::RecordExport> m_export;
    std::shared_ptr<maintenance::RecordExport::Result> m_exportResult;
};

} // namespace glimora::backoffice
