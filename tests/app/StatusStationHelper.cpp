// A small station for the status tests: writes the heartbeat of the uinfo.ini in its working
// directory to the embedded server's folder given, after showing one error, until killed.
//   status_station_helper <data folder> <sa password>
#include "app/StationHeartbeat.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "settings/Settings.h"
#include "settings/StatusSetting.h"
#include "ui/OkMessageBox.h"

#include <cstdio>
#include <QApplication>

using namespace glimora;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: status_station_helper <data folder> <sa password>\n", stderr);
        return 2;
    }
    QApplication::setApplicationVersion(QStringLiteral("0.1-test"));
    settings::Settings::instance().load();
    data::BackendRouter::setEmbeddedBackend(std::make_shared<engine::EmbeddedBackend>(arguments.at(1)));
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = QStringLiteral("LOCALHOST");
    login.userName = QStringLiteral("sa");
    login.password = arguments.at(2);

    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    ui::OkMessageBox::show(
        nullptr, QStringLiteral("disk full at ") + settings::StatusSetting::station(), 1105);

    const std::unique_ptr<app::StationHeartbeat> heartbeat = app::StationHeartbeat::fromSettings();
    if (!heartbeat)
        return 3;
    QObject::connect(heartbeat.get(), &app::StationHeartbeat::beatEnded, [](const QString& problem) {
        if (!problem.isEmpty())
            std::fprintf(stderr, "beat failed: %s\n", qPrintable(problem));
    });
    heartbeat->beat();
    return QApplication::exec();
}
