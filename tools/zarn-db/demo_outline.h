#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zarn::demo {

class DemoRandom;

// A parcel's boundary: points counter-clockwise from the south-west corner in
// whole centimetres, so lengths and areas come out the same on every machine.
struct Outline {
    QList<qint64> x, y;   // east, north
    QList<int> corners;   // indices of the points that end the south, east, north, west sides
    QStringList computed; // side i (point i to i+1), back-calculated, metres
    QStringList measured; // the same as taped on site
    double area = 0;      // square metres
};

// A parcel of about areaM2 square metres with `points` boundary points (3,
// or 4 and more: a rectangle's corners with bent points between them), its
// south-west corner at the origin (centimetres).
Outline makeOutline(DemoRandom &r, int points, int areaM2, qint64 originX, qint64 originY);

// The 1:500 map sheet holding a point, named by its south-west corner in km.
QString mapSheet(qint64 xCm, qint64 yCm);

} // namespace zarn::demo
