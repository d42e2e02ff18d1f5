#include "query/ValueButtonRows.h"

#include <algorithm>

namespace glimora::query {

QList<QRect> ValueButtonRows::spread(const QList<QRect>& places, int shown)
{
    QList<QRect> out;
    shown = std::clamp(shown, 0, int(places.size()));
    for (int first = 0; first < shown; first += PerRow) {
        const int rowEnd = std::min(first + PerRow, int(places.size()));
        const int inRow = std::min(PerRow, shown - first);
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
