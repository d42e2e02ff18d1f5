#pragma once

#include "backoffice/JobProgress.h"
#include "maintenance/RecordExport.h"

#include <optional>
#include <QString>

class QWidget;

namespace glimora::backoffice {

class LongJob;

// The starters of the long jobs: each asks for the file, builds the job's statements,
// hides the menu while the progress dialog runs, and returns when that dialog has closed.
class JobStarter
{
public:
    explicit JobStarter(QWidget* menu);

    // How the job ended; nothing when the file dialog was cancelled.
    std::optional<JobOutcome> startImport();
    std::optional<JobOutcome> startBackup();
    std::optional<JobOutcome> startRestore();
    // Restores the latest snapshot, after asking; nothing when there is none or the answer is no.
    std::optional<JobOutcome> startUndo();
    // Builds the search index anew.
    JobOutcome startSearchIndex();
    // Runs an export of data management with its progress and cancel; the screen stays shown.
    static maintenance::RecordExport::Result runExport(const maintenance::RecordExport& job);

    // The filters of the file dialogs.
    static const QString& workbookFilter();
    static const QString& backupFilter();

private:
    enum class Purpose { Read, Write };
    QString chooseFile(const QString& filter, Purpose purpose = Purpose::Read) const;
    JobOutcome run(const LongJob& job);
    // With snapshots on, `job` first saves one named after `name`; then the oldest beyond the
    // number kept are removed, never `restoring`.
    JobOutcome runWithSnapshot(const LongJob& job, const QString& name, const QString& restoring = QString());

    QWidget* m_menu;
};

} // namespace glimora::backoffice
