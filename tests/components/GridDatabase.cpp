#include "tests/components/GridDatabase.h"

#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "engine/server/EmbeddedBackend.h"

using namespace glimora::data;

namespace {

const QString serverLogin
    = QStringLiteral("Driver={SQL Server};Server=(LOCAL);database=%1;Uid=sa;pwd=Grid-Test1");

Recordset run(const QString& connectionString, const QString& batch)
{
    Connection connection = Connection::create();
    connection.Open(connectionString);
    Command command = Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(batch);
    return command.Execute();
}

} // namespace

GridDatabase::GridDatabase()
    : m_backend(
        std::make_shared<glimora::engine::EmbeddedBackend>(m_workspace.filePath(QStringLiteral("sqldata"))))
    , m_connectionString(serverLogin.arg(QStringLiteral("grid")))
{
    BackendRouter::setEmbeddedBackend(m_backend);
    run(serverLogin.arg(QStringLiteral("master")), QStringLiteral("CREATE DATABASE grid"));
}

GridDatabase::~GridDatabase()
{
    BackendRouter::setEmbeddedBackend(nullptr);
}

void GridDatabase::execute(const QString& batch) const
{
    run(m_connectionString, batch);
}

QString GridDatabase::scalarText(const QString& query) const
{
    Recordset result = run(m_connectionString, query);
    if (result.State() == Recordset::StateClosed || result.EndOfFile())
        return QString();
    const Variant value = result.Item(0).Value();
    switch (value.kind()) {
    case Variant::Kind::String:
        return value.toString();
    case Variant::Kind::Decimal:
        return value.toDecimal().toString();
    case Variant::Kind::Null:
        return QStringLiteral("NULL");
    default:
        return QString::number(value.toDouble());
    }
}

void GridDatabase::createCatalogue() const
{
    execute(QStringLiteral("create table contrast(chna varchar(50) null,engl varchar(50) null,withe int null,"
                           "nub int null,nober int not null PRIMARY   KEY,sort int null)"));
    execute(QStringLiteral("insert into contrast values ('姓名', 'd1', 80, 0, 1, 1)"));
    execute(QStringLiteral("insert into contrast values ('日期', 'd16', 120, 0, 2, 2)"));
    execute(QStringLiteral("insert into contrast values ('金额', 'd26', 95, 0, 3, 3)"));
}

void GridDatabase::createRecords() const
{
    execute(QStringLiteral(
        "CREATE TABLE inquiry(d1 nvarchar(255) NULL, d16 datetime NULL, d26 decimal(18,2) null, "
        "d51 image null, d60 decimal(18,0) not null PRIMARY   KEY identity(1,1))"));
    execute(QStringLiteral(
        "insert into inquiry (d1, d16, d26, d51) values ('张三', '2024-01-31', 12.5, 0xFFD8FFE0)"));
    execute(QStringLiteral("insert into inquiry (d1, d16, d26) values ('李四', '2023-12-01 08:30', 3)"));
}

void GridDatabase::addNumberedRecords(int count) const
{
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows.append(QStringLiteral("('row %1', 1.5)").arg(i));
    execute(QStringLiteral("INSERT INTO inquiry (d1, d26) VALUES ") + rows.join(QLatin1Char(',')));
}
