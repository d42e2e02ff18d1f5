#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace glimora::query {

// The path of the drill-down: the hierarchy of level columns, the value chosen on each
// level and how many levels have been entered. Entry 0 of the values holds the first
// level's column name; entries deeper than the current level keep the choices of an
// earlier path, which "向后" and "最后" replay.
class DrillDown
{
public:
    static constexpr int Entries = 60;

    DrillDown();

    // The level columns in order (entry 1 first); at most 59 are kept.
    void setLevelColumns(const QStringList& columns);

    int level() const { return m_level; }
    void setLevel(int level) { m_level = level; }
    const QStringList& levelColumns() const { return m_levelColumns; }
    const QStringList& levelValues() const { return m_levelValues; }
    QString levelColumn(int index) const { return m_levelColumns.value(index); }
    QString levelValue(int index) const { return m_levelValues.value(index); }

    // After a step from level L with `value`: entry L holds the value, the level is L + 1.
    void chose(const QString& value);

    // "当前位置： " followed by the values of the entered levels, each with two blanks.
    QString breadcrumb() const;

    // The navigation buttons: each lowers the level to where the step starts and returns the
    // value to step with, or nothing when there is nothing to replay.
    std::optional<QString> first();
    std::optional<QString> back();
    std::optional<QString> forward() const;
    std::optional<QString> last();

private:
    QStringList m_levelColumns;
    QStringList m_levelValues;
    int m_level = 0;
};

} // namespace glimora::query
