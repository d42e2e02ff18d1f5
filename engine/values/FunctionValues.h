#pragma once

#include "engine/server/ServerError.h"
#include "engine/values/SqlFunctions.h"
#include "engine/values/SqlType.h"

#include <QString>
#include <sqlite3.h>

// What the engine's SQLite functions share: reading their arguments, giving their results
// and failures, and measuring text as a double-byte code page does.
namespace glimora::engine::FunctionValues {

inline void fail(sqlite3_context* context, const ServerError& error)
{
    const QByteArray text = SqlFunctions::encodeError(error);
    sqlite3_result_error(context, text.constData(), int(text.size()));
}

inline QString textOf(sqlite3_value* value)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QString::fromUtf8(data, sqlite3_value_bytes(value));
}

inline void resultText(sqlite3_context* context, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

inline bool isNull(sqlite3_value* value)
{
    return sqlite3_value_type(value) == SQLITE_NULL;
}

inline bool anyNull(int count, sqlite3_value** values)
{
    for (int i = 0; i < count; ++i) {
        if (isNull(values[i]))
            return true;
    }
    return false;
}

inline void define(sqlite3* db, const char* name, int arguments,
    void (*function)(sqlite3_context*, int, sqlite3_value**), bool deterministic = true)
{
    sqlite3_create_function_v2(db, name, arguments, SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0),
        nullptr, function, nullptr, nullptr, nullptr);
}

// Length in the bytes of a double-byte code page: the measure of char and varchar.
inline int codePageLength(const QString& text)
{
    int length = 0;
    for (QChar c : text)
        length += c.unicode() < 0x80 ? 1 : 2;
    return length;
}

inline QString codePageLeft(const QString& text, int bytes)
{
    int length = 0;
    int i = 0;
    for (; i < text.size(); ++i) {
        const int width = text[i].unicode() < 0x80 ? 1 : 2;
        if (length + width > bytes)
            break;
        length += width;
    }
    return text.left(i);
}

inline ServerError conversionFailed(const QString& text, const SqlType& target)
{
    return ServerError(245,
        QStringLiteral("Conversion failed when converting the varchar value '%1' to data type %2.")
            .arg(text, target.baseName()),
        16)
        .setAbortsBatch();
}

} // namespace glimora::engine::FunctionValues
