#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::data {

// The shape of a SELECT statement, as far as writing rows back needs it: the select list
// and the one table it reads. Anything that is not a plain single-table SELECT (joins,
// DISTINCT, TOP, GROUP BY, UNION, several statements) is not single-table.
class SelectStatement
{
public:
    static SelectStatement parse(const QString& text);

    bool isSingleTable() const { return m_singleTable; }
    // The table as written (for statements) and its bare name (for the key lookup).
    QString table() const { return m_table; }
    QString tableName() const;
    QStringList items() const { return m_items; }
    bool selectsAllColumns() const; // a "*" in the list
    // The column that item `index` reads when it is a plain column name, else empty.
    QString itemColumn(int index) const;
    // The statement with `columns` added at the end of the select list.
    QString withExtraColumns(const QStringList& columns) const;

private:
    QString m_text;
    bool m_singleTable = false;
    QString m_table;
    QStringList m_items;
    QList<bool> m_itemIsName;
    qsizetype m_listEnd = 0; // where the select list ends: the blank before FROM
};

} // namespace glimora::data
