// The demo parcels' shapes: boundary points, side lengths and area.
#include "zarn-db/demo_outline.h"

#include "zarn-db/demo_people.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace zarn::demo {

Outline makeOutline(DemoRandom &r, int points, int areaM2, qint64 originX, qint64 originY)
{
    const double aspect = 0.6 + r.below(100) / 100.0;
    const qint64 w = std::max<qint64>(300, qint64(std::sqrt(areaM2 * aspect) * 100));
    const qint64 h = std::max<qint64>(300, qint64(areaM2 * 10000.0 / double(w)));
    Outline o;
    auto add = [&](qint64 px, qint64 py) {
        o.x << originX + px;
        o.y << originY + py;
    };
    if (points == 3) {
        add(0, 0);
        add(w, 0);
        add(w * r.between(30, 70) / 100, h);
        o.corners = {1, 2, 0};
    } else {
        // Corners at perimeter positions 0, w, w+h, 2w+h; extra points in
        // metre-wide places at least a metre from the corners, drawn without
        // putting back, so the drawing always ends.
        const qint64 perimeter = 2 * (w + h);
        const qint64 cornerAt[4] = {0, w, w + h, 2 * w + h};
        QList<qint64> places;
        for (qint64 t = 50; t < perimeter; t += 100) {
            bool nearCorner = std::llabs(perimeter - t) < 100;
            for (const qint64 c : cornerAt)
                nearCorner = nearCorner || std::llabs(c - t) < 100;
            if (!nearCorner) places << t;
        }
        QList<qint64> at(std::begin(cornerAt), std::end(cornerAt));
        for (qsizetype i = 0; i < places.size() && at.size() < points; ++i) {
            std::swap(places[i], places[i + r.below(int(places.size() - i))]);
            at << places[i] + r.between(-20, 20);
        }
        std::sort(at.begin(), at.end());
        for (int i = 0; i < at.size(); ++i) {
            const qint64 t = at[i];
            const bool corner =
                std::find(std::begin(cornerAt), std::end(cornerAt), t) != std::end(cornerAt);
            const qint64 bend = corner ? 0 : r.between(-40, 40);
            if (t < w)
                add(t, bend);
            else if (t < w + h)
                add(w + bend, t - w);
            else if (t < 2 * w + h)
                add(w - (t - w - h), h + bend);
            else
                add(bend, h - (t - 2 * w - h));
            if (corner && t != 0) o.corners << i;
        }
        o.corners << 0;
    }
    const int n = int(o.x.size());
    qint64 twiceArea = 0;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const qint64 dx = o.x[j] - o.x[i], dy = o.y[j] - o.y[i];
        const double cm = std::sqrt(double(dx * dx + dy * dy));
        o.computed << QString::number(cm / 100.0, 'f', 2);
        o.measured << QString::number((cm + r.between(-3, 3)) / 100.0, 'f', 2);
        twiceArea += o.x[i] * o.y[j] - o.x[j] * o.y[i];
    }
    o.area = double(std::llabs(twiceArea)) / 2.0 / 10000.0;
    return o;
}

QString mapSheet(qint64 xCm, qint64 yCm)
{
    const qint64 north = yCm / 100 / 250 * 250, east = xCm / 100 / 250 * 250;
    return QStringLiteral("%1-%2").arg(north / 1000.0, 0, 'f', 2).arg(east / 1000.0, 0, 'f', 2);
}

} // namespace zarn::demo
