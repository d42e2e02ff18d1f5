#include "query/ValueButtonRows.h"

#include <algorithm>

namespace glimora::query {

QList<QRect> ValueButtonRows::widened(const QList<QRect>& places, int perRow)
{
    perRow = std::clamp(perRow, 1, int(PerRow));
    if (perRow == PerRow || places.size() < PerRow * Rows)
        return places;
    QList<QRect> out;
    for (int row = 0; row < Rows; ++row) {
        const QRect& first = places[row * PerRow];
        const int left = first.left();
        const int right = places[row * PerRow + PerRow - 1].right();
        const int gap = std::max(0, places[row * PerRow + 1].left() - first.right() - 1);
        const int width = (right - left + 1 - (perRow - 1) * gap) / perRow;
        for (int n = 0; n < perRow; ++n)
            out.append(QRect(left + n * (width + gap), first.y(), width, first.height()));
    }
    return out;
}

QList<QRect> ValueButtonRows::spread(const QList<QRect>& places, int shown, int perRow)
{
    QList<QRect> out;
    perRow = std::max(1, perRow);
    shown = std::clamp(shown, 0, int(places.size()));
    for (int first = 0; first < shown; first += perRow) {
        const int rowEnd = std::min(first + perRow, int(places.size()));
        const int inRow = std::min(perRow, shown - first);
        if (inRow == rowEnd - first) {
            // A full row stands as it always did.
            out.append(places.mid(first, inRow));
            continue;
        }
        const QRect& start = places[first];
        const int left = start.left();
        const int right = places[rowEnd - 1].right();
        // Equal room between buttons, half of it at either end.
        const int room = std::max(0, right - left + 1 - inRow * start.width());
        for (int n = 0; n < inRow; ++n) {
            const int x = left + (room * (2 * n + 1)) / (2 * inRow) + n * start.width();
            out.append(QRect(x, start.y(), start.width(), start.height()));
        }
    }
    return out;
}

} // namespace glimora::query
