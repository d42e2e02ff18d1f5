#include "tests/fuzz/ScratchServer.h"

#include "data/DbError.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>

namespace glimora::fuzz {

namespace {

const QString password = QStringLiteral("Fuzz-sa-1");

QString temporaryTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base = QDir(memory).exists() && QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("glimora-fuzz-XXXXXX"));
}

void appendRows(const QString& path, const char* query, QString& out)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                    out += QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
                    out += u'|';
                }
                out += u'\n';
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    out += u'#';
}

} // namespace

ScratchServer::ScratchServer()
    : m_directory(temporaryTemplate())
{
    const QString data = QDir(m_directory.path()).filePath(QStringLiteral("sqldata"));
    m_backend = std::make_unique<engine::EmbeddedBackend>(data);
    auto session = connect(QStringLiteral("master"));
    session->execute(QStringLiteral("create database fuzz"), 30);
    createFuzzDatabase(*session);
    m_initialState = serverState();
    m_initialFiles = fuzzFiles();
}

std::unique_ptr<data::BackendSession> ScratchServer::connect(const QString& database)
{
    return m_backend->open(QStringLiteral("Driver={SQL Server};Server=LOCALHOST;Database=%1;Uid=sa;pwd=%2")
                               .arg(database, password),
        5);
}

void ScratchServer::createFuzzDatabase(data::BackendSession& session)
{
    session.execute(
        QStringLiteral(
            "use fuzz"
            " create table inquiry(d1 nvarchar(255) null, d2 nvarchar(255) null, d3 varchar(50) null,"
            " d16 datetime null, d21 decimal(18,0) null, d26 decimal(18,2) null, d51 image null,"
            " d60 decimal(18,0) not null primary key identity(1,1))"
            " create table contrast(chna varchar(50) null,engl varchar(50) null,withe int null,nub int null,"
            "nober int not null PRIMARY KEY,sort int null)"
            " create table username(uname varchar(20) not null,acc1 int null,acc2 int null,acc3 int null)"
            " insert inquiry(d1,d2,d3,d16,d21,d26,d51) values"
            " (N'内科','O''Brien','a','2024-01-31 10:00:00',1,1.50,0x89504E47),"
            " (N'外科',N'张三','b',null,2,-2.25,null),(null,'','c','1999-12-31',null,0,0x)"
            " insert contrast "
            "values('名称','d1',100,1,1,1),('科室','d2',80,2,2,2),(null,null,null,null,3,null)"
            " insert username values('sa',1,1,1)"),
        30);
}

QString ScratchServer::serverState() const
{
    const QDir data(QDir(m_directory.path()).filePath(QStringLiteral("sqldata")));
    QString state;
    const QString catalogue = data.filePath(QStringLiteral("catalogue.sqlite"));
    appendRows(
        catalogue, "SELECT name, password_hash, default_database, sid FROM logins ORDER BY name", state);
    appendRows(catalogue, "SELECT role, login FROM server_role_members ORDER BY role, login", state);
    appendRows(catalogue, "SELECT name, file, owner FROM databases ORDER BY name", state);
    appendRows(data.filePath(QStringLiteral("master.sqlite")),
        "SELECT type, name, sql FROM sqlite_master ORDER BY name", state);
    return state;
}

QString ScratchServer::fuzzFiles() const
{
    QString files;
    const QDir data(QDir(m_directory.path()).filePath(QStringLiteral("sqldata")));
    for (const char* name : { "fuzz.sqlite", "fuzz.sqlite-wal", "fuzz.sqlite-journal" }) {
        struct stat status;
        if (::stat(QFile::encodeName(data.filePath(QLatin1String(name))).constData(), &status) == 0)
            files += QStringLiteral("%1 %2.%3;")
                         .arg(status.st_size)
                         .arg(status.st_mtim.tv_sec)
                         .arg(status.st_mtim.tv_nsec);
        else
            files += u'-';
    }
    return files;
}

bool ScratchServer::reset()
{
    if (serverState() != m_initialState)
        return false;
    if (fuzzFiles() == m_initialFiles)
        return true;
    try {
        auto session = connect(QStringLiteral("master"));
        session->execute(QStringLiteral("drop database fuzz create database fuzz"), 30);
        createFuzzDatabase(*session);
    } catch (const data::DbError&) {
        return false;
    }
    // The new file has the same name, so the catalogue reads as before.
    m_initialFiles = fuzzFiles();
    return serverState() == m_initialState;
}

} // namespace glimora::fuzz
