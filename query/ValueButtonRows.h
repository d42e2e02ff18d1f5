#pragma once

#include <QList>
#include <QRect>

namespace glimora::query {

// Where a level's value buttons stand: in large text fewer and wider to a row, and when those
// without a value are hidden, in as many rows as they need, each row's buttons spread evenly
// over the width that a full row takes, so that a short level fills its row instead of leaving
// a run of empty buttons.
class ValueButtonRows
{
public:
    static constexpr int PerRow = 10;
    static constexpr int Rows = 2;

    // The rows of a full level (`places`, PerRow to a row) with `perRow` buttons to a row
    // instead, spanning the same width with the same gaps.
    static QList<QRect> widened(const QList<QRect>& places, int perRow);
    // `places`: every button's place in a full level, row after row, `perRow` to a row; the
    // first `shown` get new places, in order.
    static QList<QRect> spread(const QList<QRect>& places, int shown, int perRow = PerRow);
};

} // namespace glimora::query
