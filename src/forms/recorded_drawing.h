#pragma once

#include <QBrush>
#include <QGlyphRun>
#include <QLineF>
#include <QList>
#include <QPen>
#include <QRectF>

#include <functional>

class QPainter;
class QTextLayout;

namespace zarn::forms {

// A drawing of lines, rectangles and text made once and replayed onto many
// pages: the text is kept as shaped glyphs, so a replay neither measures nor
// shapes it again, and a PDF still gets it as text in its embedded font.
// Images and curves are not kept (the sheets have none).
class RecordedDrawing {
public:
    // Runs `draw` on a painter that keeps what it draws, in design pixels.
    static RecordedDrawing record(const std::function<void(QPainter &)> &draw);
    // Draws it again where the painter's transform puts design pixels.
    void replay(QPainter &painter) const;

    struct Step {
        QPen pen;
        QBrush brush;
        QList<QLineF> lines;
        QList<QRectF> rects;
        QPointF at; // where the glyphs' run starts
        QGlyphRun glyphs;
    };
    void add(Step step) { m_steps.append(std::move(step)); }
    // Text laid out already, its top left at `at`.
    void addText(const QPointF &at, const QTextLayout &layout, const QPen &pen);
    // Joins the text of one font and pen into one run (drawn where the first
    // of them was), so that a replay hands each font over once.
    void mergeText();

private:
    QList<Step> m_steps;
};

} // namespace zarn::forms
