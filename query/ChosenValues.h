#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace glimora::query {

// The values a visitor has ticked in each filter list that takes several: a tap on an entry
// ticks it, a second tap takes it back, in the order they were ticked.
class ChosenValues
{
public:
    static constexpr int Lists = 20;

    // Ticks the entry of list n (1..19), or takes it back when it was ticked.
    void toggle(int n, const QString& text, const QString& stored);
    void clear(int n);
    void clearAll();

    bool isChosen(int n, const QString& stored) const;
    const QStringList& stored(int n) const { return m_lists.at(n).stored; }
    // What the list shows for them: "A 或 B".
    QString text(int n) const;

private:
    struct List
    {
        QStringList texts;
        QStringList stored;
    };
    std::array<List, Lists> m_lists;
};

} // namespace glimora::query
