#include "backoffice/JobStarter.h"

#include "backoffice/JobStatements.h"
#include "backoffice/LongJob.h"
#include "backoffice/ProgressDialog.h"
#include "data/ConnectionSetup.h"
#include "data/SharedDatabase.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/FileDialog.h"

#include <QDir>
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
    return run(LongJob::import(JobStatements::import(insertText, path)));
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
    return run(LongJob::restore(data::SharedDatabase::login().databaseName, path,
        data::ConnectionSetup::fromSettings().connectTemplate));
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
