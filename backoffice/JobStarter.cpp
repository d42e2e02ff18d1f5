#include "backoffice/JobStarter.h"

#include "backoffice/JobStatements.h"
#include "backoffice/LongJob.h"
#include "backoffice/ProgressDialog.h"
#include "backoffice/Snapshots.h"
#include "data/ConnectionSetup.h"
#include "data/SharedDatabase.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "settings/SnapshotSetting.h"
#include "ui/FileDialog.h"
#include "ui/OkMessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace glimora::backoffice {

JobStarter::JobStarter(QWidget* menu)
    : m_menu(menu)
{
}

const QString& JobStarter::workbookFilter()
{
    // The server reads both kinds of workbook.
    static const QString filter = QStringLiteral("(*.XLS)|*.XLS|(*.XLSX)|*.XLSX||");
    return filter;
}

const QString& JobStarter::backupFilter()
{
    static const QString filter = QStringLiteral("morvex(*.dbk)|*.dbk||");
    return filter;
}

// The server opens the file, so the path may be one that only the server's machine has:
// the dialog takes any name typed. A network path of this computer means nothing here;
// for another server the dialog starts in the station's folder, and the path chosen must be
// one that the server reaches under the same name. The backup writes its file, so its dialog
// is one for saving, which takes a new name.
QString JobStarter::chooseFile(const QString& filter, Purpose purpose) const
{
    const data::LoginValues& login = data::SharedDatabase::login();
    QString directory;
    if (login.serverName.compare(login.computerName, Qt::CaseInsensitive) != 0)
        directory = settings::Settings::instance().directory;
    const QString chosen = purpose == Purpose::Write
        ? ui::FileDialog::getSaveFileName(nullptr, filter, directory)
        : ui::FileDialog::getOpenFileName(nullptr, filter, directory, ui::FileDialog::Mode::AnyFile);
    QDir::setCurrent(settings::Settings::instance().directory);
    return chosen;
}

std::optional<JobOutcome> JobStarter::startImport()
{
    const QString path = chooseFile(workbookFilter());
    if (path.isEmpty())
        return std::nullopt;
    const QString insertText
        = settings::ReadSetting(QStringLiteral("insert"), QStringLiteral("inserttext"), QString());
    return runWithSnapshot(
        LongJob::import(JobStatements::import(insertText, path)), QStringLiteral("import"));
}

std::optional<JobOutcome> JobStarter::startBackup()
{
    const QString path = chooseFile(backupFilter(), Purpose::Write);
    if (path.isEmpty())
        return std::nullopt;
    return run(LongJob::backup(
        JobStatements::backup(data::SharedDatabase::login().databaseName, JobStatements::backupPath(path))));
}

std::optional<JobOutcome> JobStarter::startRestore()
{
    const QString path = chooseFile(backupFilter());
    if (path.isEmpty())
        return std::nullopt;
    return runWithSnapshot(LongJob::restore(data::SharedDatabase::login().databaseName, path,
                               data::ConnectionSetup::fromSettings().connectTemplate),
        QStringLiteral("restore"), path);
}

std::optional<JobOutcome> JobStarter::startUndo()
{
    const QString database = data::SharedDatabase::login().databaseName;
    const QString snapshot = Snapshots::latest(database);
    if (snapshot.isEmpty()) {
        ui::OkMessageBox::show(m_menu,
            QString::fromUtf8("没有可以撤销的导入或恢复：快照文件夹 %1 中没有快照。")
                .arg(QDir::toNativeSeparators(settings::SnapshotSetting::folder())));
        return std::nullopt;
    }
    if (!ui::OkMessageBox::askYesNo(m_menu,
            QString::fromUtf8("把数据恢复到快照 %1 保存时的样子吗？当前的数据会先另存为一个快照。")
                .arg(QFileInfo(snapshot).fileName())))
        return std::nullopt;
    return runWithSnapshot(
        LongJob::undo(database, snapshot, data::ConnectionSetup::fromSettings().connectTemplate),
        QStringLiteral("undo"), snapshot);
}

JobOutcome JobStarter::startSearchIndex()
{
    return run(LongJob::searchIndex());
}

JobOutcome JobStarter::runWithSnapshot(const LongJob& job, const QString& name, const QString& restoring)
{
    if (!settings::SnapshotSetting::enabled())
        return run(job);
    const QString database = data::SharedDatabase::login().databaseName;
    const JobOutcome outcome = run(job.withSnapshot(database, Snapshots::newPath(database, name)));
    Snapshots::prune(database, restoring);
    return outcome;
}

maintenance::RecordExport::Result JobStarter::runExport(const maintenance::RecordExport& job)
{
    const LongJob exporting = LongJob::exporting(job);
    ProgressDialog dialog;
    dialog.setJob(exporting);
    dialog.exec();
    return exporting.exportResult();
}

JobOutcome JobStarter::run(const LongJob& job)
{
    ProgressDialog dialog;
    dialog.setJob(job);
    m_menu->hide();
    dialog.exec();
    m_menu->show();
    return dialog.outcome();
}

} // namespace glimora::backoffice
