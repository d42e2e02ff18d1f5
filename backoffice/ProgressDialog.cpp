#include "backoffice/ProgressDialog.h"

#include "ui/MainScreen.h"
#include "ui/OkMessageBox.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <utility>

namespace glimora::backoffice {

namespace {

constexpr int Bar = 1100;
constexpr int Status = 1101;
constexpr int CancelButton = 2;
constexpr int AnimationTimer = 0;

QString statusText(LongJob::Kind kind)
{
    switch (kind) {
    case LongJob::Kind::Import:
        return QString::fromUtf8("正在导入，请稍候.......");
    case LongJob::Kind::Backup:
        return QString::fromUtf8("正在备份，请稍候.......");
    case LongJob::Kind::Restore:
        return QString::fromUtf8("正在恢复，请稍候.......");
    case LongJob::Kind::SearchIndex:
        return QString::fromUtf8("正在重建搜索索引，请稍候.......");
    case LongJob::Kind::Export:
        return QString::fromUtf8("正在导出，请稍候.......");
    }
    return {};
}

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : TemplateDialog(133, parent)
{
    onTimer(&ProgressDialog::OnTimer);
    onClicked(CancelButton, &ProgressDialog::OnCancel);
    enableEscapeSwallowing();
}

ProgressDialog::~ProgressDialog()
{
    if (m_worker)
        m_worker->wait();
}

void ProgressDialog::setJob(const LongJob& job)
{
    m_job = job;
}

int ProgressDialog::exec()
{
    OnInitDialog();
    return TemplateDialog::exec();
}

void ProgressDialog::OnInitDialog()
{
    if (m_job && !m_worker) {
        const LongJob job = *m_job;
        m_worker.reset(QThread::create([this, job] { job.run(*this); }));
        m_worker->start(QThread::HighPriority);
        control<QLabel>(Status)->setText(statusText(job.kind()));
        control(CancelButton)->setVisible(isExport());
    }
    auto* bar = control<QProgressBar>(Bar);
    bar->setRange(0, 100);
    bar->setValue(0);
    setTimer(AnimationTimer, 100);
}

// The bar shows that the job is at work, not how far it has got. Each tick also looks for
// the job's end.
void ProgressDialog::OnTimer(int timerId)
{
    if (timerId != AnimationTimer)
        return;
    auto* bar = control<QProgressBar>(Bar);
    if (bar->value() >= 100)
        bar->setValue(0);
    bar->setValue(bar->value() + 5);
    std::optional<std::pair<JobOutcome, QString>> done;
    {
        const std::lock_guard<std::mutex> lock(m_doneMutex);
        done = std::exchange(m_done, std::nullopt);
    }
    if (!done && isExport() && m_step > 0 && !m_cancelRequested)
        control<QLabel>(Status)->setText(
            QString::fromUtf8("正在导出，已写出 %1 条记录……").arg(m_step.load()));
    if (!done && m_job && m_job->kind() == LongJob::Kind::SearchIndex && m_steps > 0)
        control<QLabel>(Status)->setText(
            QString::fromUtf8("正在重建搜索索引，已完成 %1%……").arg(m_step.load() * 100 / m_steps.load()));
    if (done)
        OnJobDone(done->first, done->second);
}

// The job looks between records; the file it was writing is dropped.
void ProgressDialog::OnCancel()
{
    if (!isExport() || m_ended)
        return;
    m_cancelRequested = true;
    control(CancelButton)->setEnabled(false);
    control<QLabel>(Status)->setText(QString::fromUtf8("正在取消，请稍候......."));
}

void ProgressDialog::OnJobDone(JobOutcome outcome, const QString& errorDescription)
{
    stopTimer(AnimationTimer);
    m_outcome = outcome;
    m_ended = true;
    if (isExport()) {
        endDialog(ui::IDOK);
        return;
    }
    switch (outcome) {
    case JobOutcome::Failed:
    case JobOutcome::Cancelled:
        if (!errorDescription.isEmpty())
            ui::OkMessageBox::show(this, errorDescription);
        ui::OkMessageBox::show(this, QString::fromUtf8("系统异常，请稍后重试。"));
        break;
    case JobOutcome::Restored:
        if (!errorDescription.isEmpty())
            ui::OkMessageBox::show(this, errorDescription);
        ui::OkMessageBox::inform(this,
            QString::fromUtf8("恢复完成，请退出后重新登入。") + snapshotNote(QString::fromUtf8("恢复")));
        ui::MainScreen::postCloseRequest();
        break;
    case JobOutcome::Done:
        if (!errorDescription.isEmpty())
            ui::OkMessageBox::show(this, errorDescription);
        if (m_job && !m_job->snapshotPath().isEmpty())
            ui::OkMessageBox::inform(
                this, QString::fromUtf8("导入完成。") + snapshotNote(QString::fromUtf8("导入")));
        else if (m_job && m_job->kind() == LongJob::Kind::SearchIndex && errorDescription.isEmpty())
            ui::OkMessageBox::inform(this, QString::fromUtf8("搜索索引已重建。"));
        break;
    }
    endDialog(ui::IDOK);
}

QString ProgressDialog::snapshotNote(const QString& job) const
{
    if (!m_job || m_job->snapshotPath().isEmpty())
        return QString();
    return QString::fromUtf8("\n%1前的数据已保存为快照：\n%2")
        .arg(job, QDir::toNativeSeparators(m_job->snapshotPath()));
}

void ProgressDialog::closeEvent(QCloseEvent* event)
{
    if (m_ended)
        TemplateDialog::closeEvent(event);
    else
        event->ignore();
}

void ProgressDialog::reject()
{
    if (m_ended)
        TemplateDialog::reject();
}

void ProgressDialog::start(int steps)
{
    m_steps = steps;
}

void ProgressDialog::update(int step)
{
    m_step = step;
}

void ProgressDialog::end(JobOutcome outcome, const QString& errorDescription)
{
    const std::lock_guard<std::mutex> lock(m_doneMutex);
    m_done.emplace(outcome, errorDescription);
}

} // namespace glimora::backoffice
