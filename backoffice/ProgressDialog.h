#pragma once

#include "backoffice/JobProgress.h"
#include "backoffice/LongJob.h"
#include "ui/TemplateDialog.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <QString>
#include <utility>

class QThread;

namespace glimora::backoffice {

// Runs a long job on a thread of its own while it shows, modally, that the job is at work.
// It cannot be closed by the user; the job's end closes it, after telling how it went. An
// export shows how many records it has written and a cancel, and leaves the telling to the
// screen that started it.
class ProgressDialog : public ui::TemplateDialog, private JobProgress
{
    Q_OBJECT
public:
    explicit ProgressDialog(QWidget* parent = nullptr);
    ~ProgressDialog() override;

    // Set before the dialog runs.
    void setJob(const LongJob& job);
    // Starts the job, then runs modally until it has ended.
    int exec() override;
    // How the job ended; Failed until it has.
    JobOutcome outcome() const { return m_outcome; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitDialog();
    void OnTimer(int timerId);
    void OnJobDone(JobOutcome outcome, const QString& errorDescription);
    void OnCancel();
    bool isExport() const { return m_job && m_job->kind() == LongJob::Kind::Export; }

    // Called on the job's thread; the end is handed over under a lock, for the timer to find.
    void start(int steps) override;
    void update(int step) override;
    void end(JobOutcome outcome, const QString& errorDescription) override;
    bool cancelRequested() const override { return m_cancelRequested; }

    std::optional<LongJob> m_job;
    std::unique_ptr<QThread> m_worker;
    // Where the job's snapshot was saved, for its end message; empty without one.
    QString snapshotNote(const QString& job) const;

    JobOutcome m_outcome = JobOutcome::Failed;
    bool m_ended = false;
    std::mutex m_doneMutex;
    std::optional<std::pair<JobOutcome, QString>> m_done;
    std::atomic<int> m_step = 0;
    std::atomic<int> m_steps = 0;
    std::atomic<bool> m_cancelRequested = false;
};

} // namespace glimora::backoffice
