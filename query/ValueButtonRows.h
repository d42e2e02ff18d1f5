#pragma once

#include <QList>
#include <QRect>

namespace glimora::query {

// Where a level's value buttons stand when those without a value are hidden: in as many rows as
// they need, each row's buttons spread evenly over the width that a full row takes, so that a
// short level fills its row instead of leaving a run of empty buttons.
class ValueButtonRows
{
public:
    static constexpr int PerRow = 10;

    // `places`: every button's place in a full level, row after row; the first `shown` get
    // new places, in order.
    static QList<QRect> spread(const QList<QRect>& places, int shown);
};

} // namespace glimora::query
