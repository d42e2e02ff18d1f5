#include "tests/query/QueryStation.h"

#include "backoffice/LoginStatements.h"
#include "components/ComponentFactories.h"
#include "components/CWebBrowser2.h"
#include "components/TextPageView.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "engine/server/EmbeddedBackend.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/OkMessageBox.h"
#include "ui/TemplateDialog.h"

#include <QFile>

using namespace glimora;

namespace {
const QString DemoFolder = QStringLiteral(GLIMORA_SOURCE_DIR "/demo/");
}

QByteArray demoSettings()
{
    QFile file(DemoFolder + QStringLiteral("uinfo.ini"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QueryStation::QueryStation(const QByteArray& settings)
{
    workspace.writeFile("uinfo.ini", settings);
    settings::setSettingsDirectory(workspace.path());
    settings::Settings::instance().load();
    m_backend = std::make_shared<engine::EmbeddedBackend>(workspace.filePath("sqldata"));
    data::BackendRouter::setEmbeddedBackend(m_backend);

    const QString database = settings::Settings::instance().database;
    auto session = m_backend->open(
        QStringLiteral("Driver={SQL Server};Server=(LOCAL);Database=;Uid=sa;pwd=station"), 30);
    session->execute(backoffice::LoginStatements::createDatabase(database), 30);
    session->execute(
        backoffice::LoginStatements::createTables(database, DemoFolder + QStringLiteral("Contrast.XLS")), 30);

    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = QStringLiteral("(LOCAL)");
    login.userName = QStringLiteral("sa");
    login.password = QStringLiteral("station");
    login.databaseName = database;
    ui::OkMessageBox::clearShownTexts();
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);

    // The screens' components, with the home page in the text view: the tests need no
    // browser engine behind it.
    components::ComponentFactories::install();
    ui::TemplateDialog::setComponentFactory(
        res::ControlKind::WebBrowser, [](const res::ControlTemplate&, QWidget* parent) {
            return static_cast<QWidget*>(new components::CWebBrowser2(new components::TextPageView, parent));
        });
}

QueryStation::~QueryStation()
{
    ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
    data::SharedDatabase::releaseObjects();
    data::BackendRouter::setEmbeddedBackend(nullptr);
    settings::setSettingsDirectory(QString());
}

QString QueryStation::connectionString() const
{
    return QStringLiteral("Driver={SQL Server};Server=(LOCAL);Database=")
        + settings::Settings::instance().database + QStringLiteral(";Uid=sa;pwd=station");
}

void QueryStation::importDemoRecords()
{
    QString statement = QStringLiteral("insert inquiry")
        + settings::ReadSetting(QStringLiteral("insert"), QStringLiteral("inserttext"), QString());
    statement.replace(QStringLiteral("?%"), DemoFolder + QStringLiteral("records.xls"));
    execute(statement);
}

void QueryStation::execute(const QString& batch)
{
    m_backend->open(connectionString(), 30)->execute(batch, 30);
}

QStringList QueryStation::rows(const QString& statement)
{
    auto session = m_backend->open(connectionString(), 30);
    auto result = session->execute(statement, 30);
    QStringList texts;
    QList<data::Variant> row;
    while (result.cursor && result.cursor->fetchRow(row)) {
        QStringList cells;
        for (const data::Variant& value : row)
            cells << (value.isNull() ? QStringLiteral("NULL") : data::ValueText(value));
        texts << cells.join('|');
    }
    return texts;
}
