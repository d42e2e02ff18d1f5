#pragma once

#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace glimora::engine::test {

// The rows of a result, each value as text: NULL as "NULL", decimals with their scale,
// dates as yyyy-MM-dd HH:mm:ss.
struct Rows
{
    QList<data::FieldInfo> fields;
    QList<QStringList> rows;
    qint64 rowsAffected = -1;
};

inline QString show(const data::Variant& value)
{
    switch (value.kind()) {
    case data::Variant::Kind::Null:
        return QStringLiteral("NULL");
    case data::Variant::Kind::Decimal:
        return value.toDecimal().toString();
    case data::Variant::Kind::DateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case data::Variant::Kind::String:
        return value.toString();
    case data::Variant::Kind::Single:
    case data::Variant::Kind::Double:
        return QString::number(value.toDouble());
    case data::Variant::Kind::Bytes:
        return QStringLiteral("0x") + QString::fromLatin1(value.toBytes().toHex());
    default:
        return QString::number(value.toInt64());
    }
}

inline Rows run(data::BackendSession& session, const QString& batch)
{
    data::ExecuteResult result = session.execute(batch, 30);
    Rows rows;
    rows.rowsAffected = result.rowsAffected;
    if (result.cursor) {
        rows.fields = result.cursor->fields();
        QList<data::Variant> row;
        while (result.cursor->fetchRow(row)) {
            QStringList texts;
            for (const data::Variant& value : row)
                texts.append(show(value));
            rows.rows.append(texts);
        }
    }
    return rows;
}

// The first column of every row.
inline QStringList column(data::BackendSession& session, const QString& batch)
{
    QStringList values;
    for (const QStringList& row : run(session, batch).rows)
        values.append(row.value(0));
    return values;
}

// The SQL Server message number that the batch fails with, 0 when it succeeds.
inline int errorOf(data::BackendSession& session, const QString& batch, QString* message = nullptr)
{
    try {
        run(session, batch);
    } catch (const data::DbError& error) {
        if (message)
            *message = error.description();
        return error.nativeError();
    }
    return 0;
}

inline QString connectionString(
    const QString& user, const QString& password, const QString& database = QString())
{
    return QStringLiteral("Driver={SQL Server};Server=LOCALHOST;Database=%1;Uid=%2;pwd=%3")
        .arg(database, user, password);
}

// A fresh server in a temporary folder whose sa password is "Secret1".
class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_directory.isValid());
        m_backend = std::make_unique<EmbeddedBackend>(dataDirectory());
    }

    QString dataDirectory() const { return m_directory.filePath(QStringLiteral("sqldata")); }

    std::unique_ptr<data::BackendSession> connect(const QString& user = QStringLiteral("sa"),
        const QString& password = QStringLiteral("Secret1"), const QString& database = QString())
    {
        return m_backend->open(connectionString(user, password, database), 5);
    }

    // sa on a database with the three tables of the station.
    std::unique_ptr<data::BackendSession> stationDatabase(const QString& name = QStringLiteral("nivo"))
    {
        auto session = connect();
        run(*session, QStringLiteral("create database ") + name);
        run(*session,
            QStringLiteral("use ") + name
                + QStringLiteral(
                    " create table inquiry(d1 nvarchar(255) null, d2 nvarchar(255) null, d16 datetime null,"
                    " d21 decimal(18,0) null, d26 decimal(18,2) null, d51 image null,"
                    " d60 decimal(18,0) not null primary key identity(1,1))"
                    " create table contrast(chna varchar(50) null,engl varchar(50) null,withe int null,nub "
                    "int null,"
                    "nober int not null PRIMARY KEY,sort int null)"
                    " create table username(uname varchar(20) not null,acc1 int null,acc2 int null)"));
        return session;
    }

    QTemporaryDir m_directory;
    std::unique_ptr<EmbeddedBackend> m_backend;
};

} // namespace glimora::engine::test
