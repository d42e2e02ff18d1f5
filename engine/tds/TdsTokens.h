#pragma once

#include "data/Backend.h"
#include "engine/values/SqlType.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace glimora::engine::tds {

// Token stream pieces that SQL Server sends, appended to a response payload.
namespace token {

enum DoneStatus : quint16 {
    DoneFinal = 0x00,
    DoneMore = 0x01,
    DoneError = 0x02,
    DoneCount = 0x10,
    DoneAttention = 0x20,
};
enum DoneKind : quint8 { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };
enum EnvChange : quint8 { Database = 1, Language = 2, PacketSize = 4, Collation = 7 };
constexpr quint16 CommandSelect = 0xC1;

// Chinese_PRC_CI_AS: code page 936 (GBK) for varchar and char.
QByteArray serverCollation();

void message(QByteArray& out, bool info, int number, int state, int severity, const QString& text,
    const QString& serverName, int line);
void envChange(QByteArray& out, EnvChange type, const QString& newValue, const QString& oldValue);
void collationChange(QByteArray& out);
void loginAck(QByteArray& out, quint32 tdsVersion);
void done(QByteArray& out, DoneKind kind, quint16 status, quint16 command, quint64 rows);

} // namespace token

// Encodes one result set: its COLMETADATA from the engine's column types, then each row as
// ROW, or NBCROW when it holds a NULL. Values travel in SQL Server's wire form of their type.
class ResultEncoder
{
public:
    ResultEncoder(const QList<data::FieldInfo>& fields, const QList<SqlType>& types);

    void metadata(QByteArray& out) const;
    // Appends a row; throws data::DbError when a value cannot take its column's wire form.
    void row(QByteArray& out, const QList<data::Variant>& values) const;

    // How a column goes on the wire; public for the tests of each form.
    enum class Wire {
        Bit,
        Int,
        Decimal,
        Numeric,
        Money,
        Float,
        DateTime,
        Char,
        VarChar,
        Text,
        NChar,
        NVarChar,
        NText,
        Binary,
        VarBinary,
        Image,
    };
    struct Column
    {
        QString name;
        QString table;
        Wire wire = Wire::NVarChar;
        int size = 0; // bytes of a fixed-length form, or the declared length; -1 for max
        int precision = 0;
        int scale = 0;
    };
    static Column columnOf(const data::FieldInfo& field, const SqlType& type);
    const QList<Column>& columns() const { return m_columns; }

private:
    void value(QByteArray& out, const Column& column, const data::Variant& value) const;

    QList<Column> m_columns;
};

} // namespace glimora::engine::tds
