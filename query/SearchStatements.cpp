#include "query/SearchStatements.h"

#include "data/PinyinReadings.h"
#include "data/SqlLiteral.h"

namespace glimora::query {

namespace {

// A compared text and a query hold no blanks, so a blank or a tab never falls inside a match:
// a tab stands before and after each text of a run, a blank before each start of an initials
// reading and each reading of a value, a tab before each start of a full pinyin reading.
constexpr QChar TextMark = u'\t';
constexpr QChar InitialsMark = u' ';
constexpr QChar PinyinMark = u'\t';

QString text(const QString& value)
{
    return QStringLiteral("N'") + data::SqlLiteral::quotesDoubled(value) + QLatin1Char('\'');
}

QString found(const QString& needle, const QString& haystack)
{
    return QStringLiteral("charindex(") + text(needle) + QStringLiteral(", ") + haystack + QLatin1Char(')');
}

void appendOnce(QString& readings, QStringList& seen, QChar mark, const QString& reading)
{
    if (reading.isEmpty() || seen.contains(reading))
        return;
    seen.append(reading);
    readings += mark;
    readings += reading;
}

// The values of `column` that `condition` (on the value row `x`) takes, looked for only in the
// runs whose texts or readings pass `runCondition` (on the run `r`). The numbers alone lead
// from a run to its values: a value's column compared there would have the server filter it
// first for all of them.
QString values(const QString& column, const QString& runCondition, const QString& condition)
{
    return QStringLiteral("select distinct x.v from inquiry_search_chunk r cross join inquiry_search_value x "
                          "where r.c='")
        + column + QStringLiteral("' and ") + runCondition
        + QStringLiteral(" and x.id >= r.lo and x.id <= r.hi and ") + condition;
}

// The values of `column` that `condition` takes among those whose key passes `keyCondition`.
QString keyed(const QString& column, const QString& keyCondition, const QString& condition)
{
    return QStringLiteral("select distinct x.v from inquiry_search_value x where x.c='") + column
        + QStringLiteral("' and ") + keyCondition + QStringLiteral(" and ") + condition;
}

} // namespace

QString SearchStatements::storedKey(const QString& key)
{
    static constexpr char digits[] = "0123456789abcdef";
    QString stored(key.size() * 4, Qt::Uninitialized);
    QChar* out = stored.data();
    for (const QChar unit : key) {
        const char16_t code = unit.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = QLatin1Char(digits[(code >> shift) & 0xf]);
    }
    return stored;
}

QString SearchStatements::readingsOf(const data::SearchKeys& keys)
{
    QString readings;
    QStringList seen;
    for (const QString& reading : keys.initials)
        appendOnce(readings, seen, InitialsMark, reading.left(maxKeyLength));
    for (const QString& reading : keys.fullPinyin)
        appendOnce(readings, seen, InitialsMark, reading.left(maxKeyLength));
    return readings;
}

void SearchStatements::Chunk::add(long id, const data::SearchKeys& keys)
{
    if (m_count++ == 0) {
        m_first = id;
        m_texts = TextMark;
        m_readings.clear();
    }
    m_last = id;
    m_texts += keys.text;
    m_texts += TextMark;
    QStringList seen;
    for (const QString& reading : keys.initials)
        appendOnce(m_readings, seen, InitialsMark, reading.left(chunkInitials));
    seen.clear();
    for (const QString& reading : keys.fullPinyin)
        appendOnce(m_readings, seen, PinyinMark, reading.left(chunkPinyin));
}

QString SearchStatements::Chunk::row(const QString& column) const
{
    return QStringLiteral("('") + column + QStringLiteral("', ") + QString::number(m_first)
        + QStringLiteral(", ") + QString::number(m_last) + QStringLiteral(", ") + text(m_texts)
        + QStringLiteral(", ") + text(m_readings) + QLatin1Char(')');
}

QString SearchStatements::createIndex()
{
    return QStringLiteral(
        "if object_id('inquiry_search_value') is null create table inquiry_search_value "
        "(c varchar(128) not null, id int not null, v nvarchar(4000) not null, t nvarchar(4000) not null, "
        "p nvarchar(4000) not null, k varchar(160) not null, primary key (id)) "
        "if object_id('inquiry_search_chunk') is null create table inquiry_search_chunk "
        "(c varchar(128) not null, lo int not null, hi int not null, t nvarchar(max) not null, "
        "p nvarchar(max) not null)");
}

QString SearchStatements::dropIndex()
{
    // inquiry_search is the single table of the station's first index.
    return QStringLiteral("if object_id('inquiry_search') is not null drop table inquiry_search "
                          "if object_id('inquiry_search_value') is not null drop table inquiry_search_value "
                          "if object_id('inquiry_search_chunk') is not null drop table inquiry_search_chunk");
}

QString SearchStatements::columnValues(const QString& column)
{
    return QStringLiteral("select ") + column + QStringLiteral(" from inquiry where ") + column
        + QStringLiteral(" is not null");
}

QString SearchStatements::valueRow(
    const QString& column, long id, const QString& value, const data::SearchKeys& keys)
{
    return QStringLiteral("('") + column + QStringLiteral("', ") + QString::number(id) + QStringLiteral(", ")
        + text(value) + QStringLiteral(", ") + text(keys.text) + QStringLiteral(", ") + text(readingsOf(keys))
        + QStringLiteral(", '") + storedKey(keys.text.left(maxKeyLength)) + QStringLiteral("')");
}

QString SearchStatements::insertValues(const QStringList& rows)
{
    return QStringLiteral("insert into inquiry_search_value (c, id, v, t, p, k) values ")
        + rows.join(QStringLiteral(", "));
}

QString SearchStatements::insertChunks(const QStringList& rows)
{
    return QStringLiteral("insert into inquiry_search_chunk (c, lo, hi, t, p) values ")
        + rows.join(QStringLiteral(", "));
}

QString SearchStatements::addEntry(const QString& column, const QString& value, const data::SearchKeys& keys)
{
    Chunk run;
    run.add(0, keys);
    const QString last = QStringLiteral("(select max(id) from inquiry_search_value)");
    return QStringLiteral("if not exists (select 1 from inquiry_search_value where c='") + column
        + QStringLiteral("' and k='") + storedKey(keys.text.left(maxKeyLength)) + QStringLiteral("' and v=")
        + text(value)
        + QStringLiteral(") begin insert into inquiry_search_value (c, id, v, t, p, k) select '") + column
        + QStringLiteral("', isnull(max(id), 0) + 1, ") + text(value) + QStringLiteral(", ") + text(keys.text)
        + QStringLiteral(", ") + text(readingsOf(keys)) + QStringLiteral(", '")
        + storedKey(keys.text.left(maxKeyLength))
        + QStringLiteral(
            "' from inquiry_search_value insert into inquiry_search_chunk (c, lo, hi, t, p) select '")
        + column + QStringLiteral("', ") + last + QStringLiteral(", ") + last + QStringLiteral(", ")
        + text(run.texts()) + QStringLiteral(", ") + text(run.readings()) + QStringLiteral(" end");
}

QString SearchStatements::warmUp(const QString& column)
{
    // In key order, so that the server keeps an index on (c, k) beside the one of the numbers;
    // and the records of a value are read through an index of the column.
    return QStringLiteral("select distinct k from inquiry_search_value where c='") + column
        + QStringLiteral("' and k >= 'g' and k < 'gg' select ") + column
        + QStringLiteral(" from inquiry where ") + column + QStringLiteral(" = N''");
}

QString SearchStatements::records(const QString& select, const QStringList& columns, const QString& query)
{
    const QString stored = storedKey(query.left(maxKeyLength));
    // 'g' follows every hexadecimal digit, so [key, key + "g") holds exactly the keys it starts.
    const QString startsWith = QStringLiteral("x.k >= '") + stored + QStringLiteral("' and x.k < '") + stored
        + QStringLiteral("g'");
    const QString readingStart = InitialsMark + query.left(maxKeyLength);
    const QString readingInRun = QLatin1Char('(') + found(InitialsMark + query.left(chunkInitials), "r.p")
        + QStringLiteral(" > 0 or ") + found(PinyinMark + query.left(chunkPinyin), "r.p")
        + QStringLiteral(" > 0)");
    const QString textInRun = found(query, QStringLiteral("r.t")) + QStringLiteral(" > 0");
    const QString exact = QStringLiteral("x.t = ") + text(query);
    const QString atStart = found(query, QStringLiteral("x.t")) + QStringLiteral(" = 1");
    const QString notAtStart = found(query, QStringLiteral("x.t")) + QStringLiteral(" <> 1");
    const QString inside = found(query, QStringLiteral("x.t")) + QStringLiteral(" > 1");
    const QString anywhere = found(query, QStringLiteral("x.t")) + QStringLiteral(" > 0");
    const QString readingFound = found(readingStart, QStringLiteral("x.p")) + QStringLiteral(" > 0");
    const QString readingMissed = found(readingStart, QStringLiteral("x.p")) + QStringLiteral(" = 0");

    // One branch for each rank, and for the last rank one for each column, each reading the
    // records of its values as it finds them, never a record that a branch before it gave:
    // a value's rank is its own, so each branch leaves out the values that rank higher.
    // The columns of the records alone: a bare * would take the found value's too.
    QStringList items = select.split(QLatin1Char(','));
    for (QString& item : items)
        if (item.trimmed() == QLatin1String("*"))
            item = QStringLiteral("inquiry.*");
    const QString recordColumns = items.join(QLatin1Char(','));
    const auto branch = [&](int rank, const QString& column, const QString& values, const QString& besides) {
        return QStringLiteral("select ") + recordColumns + QStringLiteral(", ") + QString::number(rank)
            + QStringLiteral(" as search_rank from (") + values
            + QStringLiteral(") as found cross join inquiry where inquiry.") + column
            + QStringLiteral(" = found.v") + besides;
    };
    const QString first = columns.value(0);
    // A character read in pinyin never stands in a reading: such a query looks at texts alone.
    bool reading = true;
    for (const char32_t c : query.toUcs4())
        reading = reading && data::PinyinReadings::of(c).isEmpty();
    const QString matched = reading
        ? QStringLiteral("(") + textInRun + QStringLiteral(" or ") + readingInRun + QStringLiteral(")")
        : textInRun;
    const QString anyMatch = reading
        ? QLatin1Char('(') + anywhere + QStringLiteral(" or ") + readingFound + QLatin1Char(')')
        : anywhere;
    QStringList branches {
        branch(
            0, first, keyed(first, QStringLiteral("x.k = '") + stored + QLatin1Char('\''), exact), QString()),
        branch(1, first, keyed(first, startsWith, atStart + QStringLiteral(" and not ") + exact), QString())
    };
    if (reading) {
        branches.append(branch(1, first,
            values(first, readingInRun, readingFound + QStringLiteral(" and ") + notAtStart), QString()));
    }
    branches.append(branch(2, first,
        values(first, textInRun, inside + (reading ? QStringLiteral(" and ") + readingMissed : QString())),
        QString()));
    QString besides;
    for (qsizetype n = 1; n < columns.size(); ++n) {
        const QString& before = columns[n - 1];
        besides += QStringLiteral(" and (inquiry.") + before + QStringLiteral(" is null or inquiry.") + before
            + QStringLiteral(" not in (") + values(before, matched, anyMatch) + QStringLiteral("))");
        branches.append(branch(2, columns[n], values(columns[n], matched, anyMatch), besides));
    }
    return branches.join(QStringLiteral(" union all ")) + QStringLiteral(" order by search_rank");
}

} // namespace glimora::query
